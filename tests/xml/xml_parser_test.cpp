#include "fieldkit/xml/xml_parser.h"

#include <type_traits>
#include <utility>

#include "tests/support/device_root.h"

namespace {

// A station kept as <station><name>...</name><h>...</h></station>.
class Station : public CXMLParser {
  public:
    CString name, height;
    int parsed = 0;
    using CXMLParser::GetCloseTag;
    using CXMLParser::GetTagBody;
    using CXMLParser::IsSimpleTag;

  private:
    bool ParseXML(const CString& xml) override {
        ++parsed;
        const CString body = GetTagBody(xml, L"<station>");
        if (!IsSimpleTag(body, L"<name>")) return false;
        name = GetTagBody(body, L"<name>");
        height = GetTagBody(body, L"<h>");
        return true;
    }
    CString CollectXML() override {
        if (name.IsEmpty()) return CString();
        return L"<station><name>" + name + L"</name><h>" + height + L"</h></station>";
    }
};

// Derived objects are deleted through the base.
static_assert(std::has_virtual_destructor_v<CXMLParser>);

using XmlParserTest = DeviceRootTest;

// Fault: a finished tag walk restarting; an empty tag never advancing the walk
TEST_F(XmlParserTest, TagBodyWalks) {
    Station s;
    const CString two = L"<a>1</a><a>2</a>";
    int pos = 0, end = 0;
    EXPECT_EQ(s.GetTagBody(two, L"<a>", pos, end), L"1");
    EXPECT_EQ(std::pair(pos, end), std::pair(4, 4));
    EXPECT_EQ(s.GetTagBody(two, L"<a>", pos, end), L"2");
    EXPECT_EQ(s.GetTagBody(two, L"<a>", pos, end), L"");
    EXPECT_EQ(std::pair(pos, end), std::pair(-1, 12));
    EXPECT_EQ(s.GetTagBody(two, L"<a>", pos, end), L"");  // a finished walk stays finished

    pos = 0;
    EXPECT_EQ(s.GetTagBody(L"x<a>1", L"<a>", pos, end), L"");  // no close tag
    EXPECT_EQ(std::pair(pos, end), std::pair(4, -1));
    pos = 0;
    EXPECT_EQ(s.GetTagBody(two, L"", pos, end), L"");  // would otherwise never advance
    EXPECT_EQ(pos, -1);

    EXPECT_EQ(s.GetTagBody(L"<a><a>1</a></a>", L"<a>"), L"<a>1");
    EXPECT_EQ(s.GetCloseTag(L"<a x=\"1\">"), L"</a x=\"1\">");  // so "<a x=\"1\">1</a>" has no body
    EXPECT_FALSE(s.IsSimpleTag(L"<a><b/></a>", L"<B/>"));
}

// Fault: a Windows-1252 file read as UTF-8; an empty collection saved as a file
TEST_F(XmlParserTest, SaveLoadAndFailures) {
    Station out;
    out.name = L"\u0417\u043E\u044F caf\u00E9";
    out.height = L"12.5";
    ASSERT_TRUE(out.SaveXML(L"\\st.xml"));
    EXPECT_EQ(Read("\\st.xml"),
              "<station><name>\xD0\x97\xD0\xBE\xD1\x8F caf\xC3\xA9</name><h>12.5</h></station>");
    Station in;
    ASSERT_TRUE(in.LoadXML(L"\\st.xml"));
    EXPECT_EQ(in.name + L"|" + in.height, out.name + L"|12.5");

    // Windows-1252, as CXMLWriter writes: 0x80 is the euro sign there.
    Write("\\old.xml", "<station><name>caf\xE9 \x80</name></station>");
    ASSERT_TRUE(in.LoadXML(L"\\old.xml"));
    EXPECT_EQ(in.name, L"caf\u00E9 \u20AC");

    Station s;
    EXPECT_FALSE(s.SaveXML(L"\\empty.xml"));  // nothing collected
    EXPECT_FALSE(Exists("\\empty.xml"));
    s.name = L"n";
    EXPECT_FALSE(s.SaveXML(L"\\no\\dir.xml"));

    Write("\\zero.xml", "");
    Write("\\a.xml", "<x/>");
    EXPECT_FALSE(s.LoadXML(L"\\missing.xml") || s.LoadXML(L"\\zero.xml"));
    EXPECT_EQ(s.parsed, 0);  // nothing to parse
    EXPECT_FALSE(s.LoadXML(L"\\a.xml"));
    EXPECT_EQ(s.parsed, 1);

    CXMLParser base;
    EXPECT_FALSE(base.LoadXML(L"\\a.xml") || base.SaveXML(L"\\b.xml") || Exists("\\b.xml"));
}

}  // namespace
