#include "fieldkit/xml/xml_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "fieldkit/text/codepage.h"
#include "fieldkit/xml/xml_writer.h"
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
using XmlWriterTest = DeviceRootTest;

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

TEST_F(XmlReaderTest, ItemsAcrossBlockBoundaries) {
    // A 64 KiB block may end inside the CDATA start or its "]]".
    for (std::size_t pad = 65525; pad <= 65540; ++pad) {
        Write("\\big.xml", std::string(pad, 'x') + "<![CDATA[a>]b]]><e/>");
        Recorder r;
        ASSERT_TRUE(r.ReadFile(L"\\big.xml"));
        EXPECT_EQ(r.Log(), "T[" + std::string(pad, 'x') + "]2[DATA[a>]b]]0[e/]") << pad;
    }
}

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

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";
using Calls = std::function<void(CXMLWriter&)>;

TEST_F(XmlWriterTest, DocumentBytes) {
    struct Case {
        Calls calls;
        std::string bytes;  // after the header
    };
    const Case cases[] = {
        {[](CXMLWriter& w) {
             w.WriteOpenTag(L"a");
             w.WriteEOL();
             w.WriteStringTag(L"b", L"x", true);
             w.WriteIntTag(L"b", 3, true);
             w.WriteCloseTag(L"a", true, true);
         },
         "<a>\n    <b>x</b>\n    <b>3</b>\n</a>\n"},
        {[](CXMLWriter& w) {
             w.WriteStringTag(L"b", L"", false);
             w.WriteIntTag(L"i", -12, false);
             w.WriteDoubleTag(L"d", 0.1, false);
             w.WriteDoubleTag(L"d", std::ldexp(1.0, 200), false);  // every digit of 2^200
         },
         "<b></b><i>-12</i><d>0.100000</d>"
         "<d>1606938044258990275541962092341162602522202993782792835301376.000000</d>"},
        {[](CXMLWriter& w) { w.WriteStringTag(L"a x=\"1\"", L"<&>", false); },
         "<a x=\"1\"><&></a x=\"1\">"},
        {[](CXMLWriter& w) {
             w.SetIndent(2);
             w.WriteComment(L"a & b");
             w.SetIndent(-3);
             w.WriteStringTag(L"s", L"\u00E9\u20AC\u0416", false);  // '?' outside Windows-1252
         },
         "  <!-- a & b -->\n<s>\xE9\x80?</s>"},
        {[](CXMLWriter& w) {  // more closes than opens: the indentation stays at none
             w.WriteCloseTag(L"z", true, true);
             w.WriteOpenTag(L"c");
         },
         "</z>\n<c>"},
        {[](CXMLWriter& w) { w.Write(std::wstring(150000, L'x').c_str()); },
         std::string(150000, 'x')},
    };
    for (const Case& c : cases) {
        {
            CXMLWriter w(L"\\w.xml");
            c.calls(w);
            EXPECT_TRUE(w.IsOK());
        }
        EXPECT_EQ(Read("\\w.xml"), kHeader + c.bytes);
    }
}

TEST_F(XmlWriterTest, StreamsAndFailures) {
    std::FILE* f = std::fopen(Host("\\caller.xml").c_str(), "w");
    ASSERT_NE(f, nullptr);
    CXMLWriter(static_cast<void*>(f)).WriteStringTag(L"a", L"1", true);
    std::fputs("after", f);  // the caller's stream stays open
    std::fclose(f);
    EXPECT_EQ(Read("\\caller.xml"), kHeader + "<a>1</a>\nafter");

    // The first failure ends all output.
    EXPECT_FALSE(CXMLWriter(static_cast<void*>(nullptr)).IsOK());
    EXPECT_FALSE(CXMLWriter(L"\\missing\\w.xml").IsOK());

    Write("\\ro.xml", "old");
    std::FILE* readOnly = std::fopen(Host("\\ro.xml").c_str(), "r");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(CXMLWriter(static_cast<void*>(readOnly)).IsOK());
    std::fclose(readOnly);
    EXPECT_EQ(Read("\\ro.xml"), "old");

    {
        CXMLWriter w(L"\\null.xml");
        w.WriteStringTag(L"a", nullptr, true);
        EXPECT_FALSE(w.IsOK());
        w.WriteStringTag(L"b", L"x", true);
    }
    EXPECT_EQ(Read("\\null.xml"), kHeader + "<a>");
}

}  // namespace
