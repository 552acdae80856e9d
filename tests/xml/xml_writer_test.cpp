#include "fieldkit/xml/xml_writer.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/device_root.h"

namespace {

using XmlWriterTest = DeviceRootTest;

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";
using Calls = std::function<void(CXMLWriter&)>;

// Fault: indentation not undone by a close tag; a character outside Windows-1252 not a '?'
TEST_F(XmlWriterTest, DocumentBytes) {
    struct Case {
        Calls calls;
        std::string bytes;  // after the header
    };
    const Case cases[] = {
        {[](CXMLWriter& w) {  // four blanks more with every open tag, four less with every close
             w.WriteOpenTag(L"a");
             w.WriteEOL();
             w.WriteStringTag(L"b", L"x", true);
             w.WriteOpenTag(L"c");
             w.WriteEOL();
             w.WriteIntTag(L"b", 3, true);
             w.WriteIndent();
             w.Write(L"");
             w.Write(L"y");
             w.WriteEOL();
             w.WriteCloseTag(L"c", true, true);
             w.WriteCloseTag(L"a", true, true);
         },
         "<a>\n    <b>x</b>\n    <c>\n        <b>3</b>\n        y\n    </c>\n</a>\n"},
        {[](CXMLWriter& w) {
             w.WriteStringTag(L"b", L"", false);
             w.WriteIntTag(L"i", -12, false);
             w.WriteDoubleTag(L"d", 0.1, false);
         },
         "<b></b><i>-12</i><d>0.100000</d>"},
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
        {[](CXMLWriter& w) {  // more than a file's writer gathers, then more
             w.Write(std::wstring(150000, L'x').c_str());
             w.WriteEOL();
         },
         std::string(150000, 'x') + "\n"},
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

// Fault: the caller's stream closed by the writer; a failed write reported as success
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
}

// A file is replaced whole at the close, or not at all: a reader meanwhile sees the old
// document, a failed one (a null text) never takes its place, and no new file stays beside it.
// Fault: a half-written document replacing the old file, or a failed one taking its place
TEST_F(XmlWriterTest, FileReplacedWholeAtTheClose) {
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "failed" : "complete");
        Write("\\d\\w.xml", "old");
        {
            CXMLWriter w(L"\\d\\w.xml");
            w.WriteStringTag(L"a", fails ? nullptr : L"1", true);
            w.WriteStringTag(L"b", L"x", true);
            EXPECT_EQ(Read("\\d\\w.xml"), "old");
            EXPECT_EQ(w.Close(), !fails);
            EXPECT_EQ(Read("\\d\\w.xml"), fails ? "old" : kHeader + "<a>1</a>\n<b>x</b>\n");
            w.Write(L"late");  // lost: the document is closed
            EXPECT_FALSE(w.IsOK());
            EXPECT_EQ(w.Close(), !fails);
        }
        EXPECT_EQ(Read("\\d\\w.xml"), fails ? "old" : kHeader + "<a>1</a>\n<b>x</b>\n");
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Host("\\d")))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"w.xml"});
    }
}

}  // namespace
