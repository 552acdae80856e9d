#include "fieldkit/xml/xml_reader.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "fieldkit/text/codepage.h"
#include "tests/support/device_root.h"

namespace {

// Records the callbacks as "kind[text]", with "T" for OnText.
class Recorder : public CXMLReader {
  public:
    std::wstring log;
    std::wstring nested;  // read when the open tag "inc" arrives
    bool throwOnTag = false;

    bool ReadFile(const wchar_t* path) { return Read(path); }
    std::string Log() const { return fieldkit::WideToUtf8(log); }
    void OnTag(int kind, std::wstring text) override {
        if (throwOnTag) throw std::runtime_error("stop");
        log += std::to_wstring(kind) + L"[" + text + L"]";
        if (kind == 0 && text == L"inc") Read(nested.c_str());
    }
    void OnText(std::wstring text) override { log += L"T[" + text + L"]"; }
};

using XmlReaderTest = DeviceRootTest;

// Fault: a comment, CDATA or processing instruction given the wrong kind; CR LF kept in text
TEST_F(XmlReaderTest, CallbackSequences) {
    const std::pair<std::string, std::string> cases[] = {
        {"<a>x</a>", "0[a]T[x]1[a]"},
        {"<b/><a x=\"1\"><>", "0[b/]0[a x=\"1\"]0[]"},
        {"<?pi?><!-- cc --><!-- c -->", "3[?pi?]2[ cc -]0[!-- c --]"},  // kind 2 from 11 up
        {"<![CDATA[<a>&b]]>", "2[DATA[<a>&b]]"},
        {"a &amp; b<c>tail", "T[a &amp; b]0[c]"},
        {"<a>\r\n<b", "0[a]T[\n]"},
        {"<\xD1\x82>caf\xE9<", "0[\xD1\x82]T[caf\xC3\xA9]"},  // not UTF-8: Windows-1252
        {"", ""},
    };
    for (const auto& [bytes, log] : cases) {
        Write("\\r.xml", bytes);
        Recorder r;
        EXPECT_TRUE(r.ReadFile(L"\\r.xml"));
        EXPECT_EQ(r.Log(), log) << bytes;
    }
}

// Fault: a CDATA start or end split by the 64 KiB block boundary misread
TEST_F(XmlReaderTest, ItemsAcrossBlockBoundaries) {
    // A 64 KiB block may end inside the CDATA start or its "]]".
    for (std::size_t pad = 65525; pad <= 65540; ++pad) {
        Write("\\big.xml", std::string(pad, 'x') + "<![CDATA[a>]b]]><e/>");
        Recorder r;
        ASSERT_TRUE(r.ReadFile(L"\\big.xml"));
        EXPECT_EQ(r.Log(), "T[" + std::string(pad, 'x') + "]2[DATA[a>]b]]0[e/]") << pad;
    }
}

// Fault: a throwing callback leaving the reader unusable; a nested read losing the outer one
TEST_F(XmlReaderTest, FailuresAndNesting) {
    Recorder r;
    EXPECT_FALSE(r.ReadFile(L"\\missing.xml"));
    Write("\\outer.xml", "<inc>1</inc>");
    Write("\\inner.xml", "<i/>");
    r.nested = L"\\inner.xml";
    ASSERT_TRUE(r.ReadFile(L"\\outer.xml"));
    EXPECT_EQ(r.Log(), "0[inc]0[i/]T[1]1[inc]");

    r.log.clear();
    r.throwOnTag = true;
    EXPECT_FALSE(r.ReadFile(L"\\inner.xml"));
    r.throwOnTag = false;
    EXPECT_TRUE(r.ReadFile(L"\\inner.xml"));  // usable again
    EXPECT_EQ(r.Log(), "0[i/]");
}

}  // namespace
