// Loads arbitrary bytes with CXMLParser::LoadXML and walks the text with GetTagBody, the tag
// taken from the first bytes of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fieldkit/xml/xml_parser.h"
#include "fuzz/fuzz_support.h"

namespace {

const wchar_t* const kFile = L"\\fuzz\\object.xml";

class Parser : public CXMLParser {
  public:
    explicit Parser(const CString& tag) : m_tag(tag) {}

    bool parsed = false;

    // Every body of the tag in turn, as a derived reader walks its document.
    void Walk(const CString& xml) {
        const CString close = GetCloseTag(m_tag);
        if (!m_tag.IsEmpty()) FUZZ_CHECK(close.GetLength() == m_tag.GetLength() + 1);
        int pos = 0;
        int end = 0;
        int steps = 0;
        for (;;) {
            const int before = pos;
            const CString body = GetTagBody(xml, m_tag, pos, end);
            if (pos < 0 || end < 0) {
                FUZZ_CHECK(body.IsEmpty());
                break;
            }
            // pos and end stand at the close tag, right after the body, and the walk moves on.
            FUZZ_CHECK(pos == end && pos > before);
            FUZZ_CHECK(xml.Mid(pos, close.GetLength()) == close);
            FUZZ_CHECK(pos - body.GetLength() - m_tag.GetLength() >= before);
            FUZZ_CHECK(xml.Mid(pos - body.GetLength(), body.GetLength()) == body);
            FUZZ_CHECK(xml.Mid(pos - body.GetLength() - m_tag.GetLength(), m_tag.GetLength()) ==
                       m_tag);
            // The body ends at the first close tag.
            FUZZ_CHECK(body.Find(close.GetString()) < 0);
            FUZZ_CHECK(++steps <= xml.GetLength() + 1);
        }
        const CString first = GetTagBody(xml, m_tag);
        (void)first;
        if (!m_tag.IsEmpty()) FUZZ_CHECK(IsSimpleTag(xml, m_tag) == (xml.Find(m_tag) >= 0));
    }

  private:
    bool ParseXML(const CString& xml) override {
        parsed = true;
        Walk(xml);
        return true;
    }

    CString m_tag;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Byte 0: the tag's length in its low three bits, and whether it gets angle brackets
    // (bit 3); then the tag's bytes; the rest is the document.
    if (size == 0) return 0;
    const std::size_t length = data[0] & 7u;
    const bool brackets = (data[0] & 8u) != 0;
    const std::size_t taken = length < size - 1 ? length : size - 1;
    // A tag is a C text: it ends at a NUL.
    CString tag = fuzz::Text(fuzz::Bytes(data + 1, taken)).GetString();
    if (brackets) tag = CString(L"<") + tag + L">";
    const std::string document = fuzz::Bytes(data + 1 + taken, size - 1 - taken);

    Parser parser(tag);
    // The same text straight from memory, as ParseXML would get it for a valid UTF-8 file.
    parser.Walk(fuzz::Text(document));

    fuzz::DeviceRoot::Get().Write("\\fuzz\\object.xml", document);
    const bool loaded = parser.LoadXML(CString(kFile));
    // An empty file is not parsed; any other is, and this parser accepts everything.
    FUZZ_CHECK(loaded == !document.empty());
    FUZZ_CHECK(parser.parsed == !document.empty());
    return 0;
}
