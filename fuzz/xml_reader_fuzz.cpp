// Reads arbitrary bytes with CXMLReader. For input that is valid UTF-8 without "<!" items the
// pieces handed over must give the document back (CR LF read as LF): the items and the text
// runs between them in order, with only trailing text or an unfinished item left over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fieldkit/xml/xml_reader.h"
#include "fuzz/fuzz_support.h"

namespace {

const wchar_t* const kFile = L"\\fuzz\\doc.xml";

class Reader : public CXMLReader {
  public:
    bool ReadFile() { return Read(kFile); }

    std::wstring outer;  // the document as rebuilt from the outer reading
    std::wstring inner;  // the same from the reading started inside a callback
    int innerReads = 0;

  private:
    void OnTag(int kind, std::wstring text) override {
        FUZZ_CHECK(kind >= 0 && kind <= 3);
        std::wstring& out = m_depth == 0 ? outer : inner;
        if (kind == 1) {
            out += L"</";
        } else {
            out += L'<';
            if (kind == 2) out += L"!\x1F";  // cut, not rebuilt: marked so checks skip it
        }
        out += text;
        out += L'>';
        // A callback may read the file again; the outer reading resumes afterwards.
        if (kind == 0 && text == L"nest" && m_depth == 0 && innerReads == 0) {
            ++innerReads;
            ++m_depth;
            FUZZ_CHECK(ReadFile());
            --m_depth;
        }
    }

    void OnText(std::wstring text) override { (m_depth == 0 ? outer : inner) += text; }

    int m_depth = 0;
};

bool ValidUtf8(const std::string& bytes) {
    return fieldkit::WideToUtf8(fieldkit::Utf8ToWide(bytes)) == bytes;
}

// The rebuilt text is the start of the document, and what is left holds no complete item.
void CheckRebuilt(const std::wstring& document, const std::wstring& rebuilt) {
    FUZZ_CHECK(document.compare(0, rebuilt.size(), rebuilt) == 0);
    const std::size_t open = document.find(L'<', rebuilt.size());
    if (open != std::wstring::npos) FUZZ_CHECK(document.find(L'>', open) == std::wstring::npos);
}

// The text as the text-mode stream gives it.
std::string WithoutCrLf(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' || i + 1 >= bytes.size() || bytes[i + 1] != '\n') out += bytes[i];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Padding text in front moves the document across the reader's 64 KiB blocks.
    const std::size_t pad = fuzz::TakePadding(data, size, 64 * 1024);
    const std::string bytes = std::string(pad, 'x') + fuzz::Bytes(data, size);
    fuzz::DeviceRoot::Get().Write("\\fuzz\\doc.xml", bytes);

    Reader reader;
    FUZZ_CHECK(reader.ReadFile());
    if (bytes.find("<!") == std::string::npos && ValidUtf8(bytes)) {
        const std::wstring document = fieldkit::Utf8ToWide(WithoutCrLf(bytes));
        CheckRebuilt(document, reader.outer);
        if (reader.innerReads > 0) CheckRebuilt(document, reader.inner);
    }
    // A copy keeps nothing of the file and reads it again by itself (small inputs only: the
    // padded ones are slow enough).
    if (pad > 0) return 0;
    Reader copy(reader);
    copy.outer.clear();
    copy.inner.clear();
    copy.innerReads = 0;
    FUZZ_CHECK(copy.ReadFile());
    FUZZ_CHECK(copy.outer == reader.outer);
    return 0;
}
