#include "fieldkit/settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/files.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

using IniFileTest = DeviceRootTest;

std::string U8(const CString& s) {
    return fieldkit::WideToUtf8(s.GetStdString());
}

// Everything the walks yield, as "[section]<key>=<value>...".
std::string Dump(CINIFile& ini) {
    std::string out;
    POSITION pos = nullptr;
    EXPECT_TRUE(ini.SetFilePosOnStart(pos));
    while (pos != nullptr) {
        CString name, key, value;
        EXPECT_TRUE(ini.LookThroughFile(name, pos));
        out += "[" + U8(name) + "]";
        POSITION keys = nullptr;
        EXPECT_TRUE(ini.SetSectionPosOnStart(name, keys));
        while (ini.LookThroughSection(name, key, value, keys))
            out += "<" + U8(key) + ">=<" + U8(value) + ">";
    }
    return out;
}

// Bucket = h % 17 with h = h * 33 + unit; as 33 = -1 (mod 17), that is the alternating sum
// of the units from the last one: "First" 116-115+114-105+70 = 80 -> 12, "Second" -> 3,
// "Höhe" -> 1, "C" 67 -> 16; keys "g" 103, "x" 120 and "ab" (98-97) all -> 1.
TEST_F(IniFileTest, SavedBytesFollowTheBucketOrder) {
    CINIFile ini;
    ini.SetStringValue(L"First", L"a", L"1");
    ini.SetStringValue(L"First", L"b", L"two words");
    ini.SetStringValue(L"Second", L"k", L"x");
    ini.RemoveValue(L"Second", L"k");  // the section stays, empty
    ini.SetStringValue(L"C", L"g", L"1");
    ini.SetStringValue(L"C", L"x", L"2");
    ini.SetStringValue(L"C", L"ab", L"3");
    ini.SetStringValue(L"C", L"x", L"new");  // replacing keeps the place
    ini.SetStringValue(L"H\u00F6he", L"k", L"\u00BD m");
    int count = 0;
    EXPECT_TRUE(ini.GetNumberOfSections(count) && count == 4);
    ASSERT_TRUE(ini.SaveIni(L"\\s.ini"));
    EXPECT_EQ(Read("\\s.ini"),
              "[H\xC3\xB6he]\nk=\xC2\xBD m\n\n[Second]\n\n[First]\na=1\nb=two words\n\n"
              "[C]\nab=3\nx=new\ng=1\n\n");
    EXPECT_FALSE(Exists("\\s.ini.tmp~"));

    CINIFile empty;
    ASSERT_TRUE(empty.SaveIni(L"\\s.ini"));
    EXPECT_EQ(Read("\\s.ini"), "");
}

TEST_F(IniFileTest, ReadingRules) {
    const struct {
        std::string file, dump;
    } cases[] = {
        {"[S]\na = b\nk=\n", "[S]<a >=< b><k>=<>"},  // "a " -> 3, "k" -> 5
        {"[S]\na=1\n[S]\nb=2\n", "[S]<b>=<2>"},
        {"[S]\nk=1\nk=2\n", "[S]<k>=<2>"},
        {"k=1\n[S]\n", "[S]"},
        {"[]\nk=1\n", "[]<k>=<1>"},
        {"[S] \n", "[S]]"},
        {"[S]\nk=v", "[S]<k>=<v>"},
        {"[S]", "[S]"},
        {"[S]\n=", "[S]"},  // a last line of one byte
        {"[S]\n=\n", "[S]<>=<>"},
        {"\xEF\xBB\xBF[S]\nk=1\n[T]\nj=2\n", "[T]<j>=<2>"},
        {"[S]\r\nk=v\r\n", "[S]<k>=<v>"},
        {"[S]\nk=a\rb\n", "[S]<k>=<a\rb>"},
        {std::string("[S]\nk=a\0b\n", 10), "[S]<k>=<a>"},
        // "" -> 0, ";c" (99-59) -> 6, "a" -> 12
        {"[S]\na=b=c\n=x\n;c=1\nstray\n\n", "[S]<>=<x><;c>=<1><a>=<b=c>"},
        {"[\nk=1\n", "[]<k>=<1>"},
    };
    for (const auto& c : cases) {
        Write("\\r.ini", c.file);
        CINIFile ini;
        EXPECT_TRUE(ini.LoadIni(L"\\r.ini"));
        EXPECT_EQ(Dump(ini), c.dump) << c.file;
    }
}

TEST_F(IniFileTest, LoadingMergesAndKeepsPlaces) {
    CINIFile ini;
    ini.SetStringValue(L"g", L"old", L"1");
    ini.SetStringValue(L"x", L"k", L"2");
    EXPECT_FALSE(ini.LoadIni(L"\\missing.ini"));
    MakeDir("\\folder.ini");
    EXPECT_FALSE(ini.LoadIni(L"\\folder.ini"));
    Write("\\empty.ini", "");
    EXPECT_TRUE(ini.LoadIni(L"\\empty.ini"));
    EXPECT_EQ(Dump(ini), "[x]<k>=<2>[g]<old>=<1>");
    Write("\\g.ini", "[g]\nnew=3\n");
    EXPECT_TRUE(ini.LoadIni(L"\\g.ini"));
    EXPECT_EQ(Dump(ini), "[x]<k>=<2>[g]<new>=<3>");
}

TEST_F(IniFileTest, WalksOfMissingSectionsAndEmptyPositions) {
    CINIFile ini;
    POSITION pos = nullptr;
    CString name = L"keep", key, value;
    EXPECT_FALSE(ini.LookThroughFile(name, pos));
    EXPECT_EQ(name, L"keep");
    int size = 7;
    EXPECT_TRUE(ini.GetSectionSize(L"S", size) && size == 0);
    EXPECT_FALSE(ini.SetSectionPosOnStart(L"S", pos));
    ini.SetStringValue(L"S", L"a", L"1");
    ASSERT_TRUE(ini.SetSectionPosOnStart(L"S", pos));
    EXPECT_FALSE(ini.LookThroughSection(L"T", key, value, pos));
    EXPECT_TRUE(ini.LookThroughSection(L"S", key, value, pos));  // the last entry, pos now null
    EXPECT_FALSE(ini.LookThroughSection(L"S", key, value, pos));
    EXPECT_EQ(key + L"=" + value, L"a=1");
}

TEST_F(IniFileTest, LongLinesRoundTrip) {
    // The CR of the first key line is the last byte of the first 64 KiB read.
    const std::string k(65529, 'x');
    std::string e;
    for (int i = 0; i < 3000; ++i)
        e += "\xC3\xA9";
    Write("\\l.ini", "[S]\nk=" + k + "\r\nj=" + e + "\n");
    CINIFile ini;
    ASSERT_TRUE(ini.LoadIni(L"\\l.ini"));
    EXPECT_EQ(U8(ini.GetStringValue(L"S", L"k", L"")), k);
    EXPECT_EQ(ini.GetStringValue(L"S", L"j", L"").GetLength(), 3000);
    ASSERT_TRUE(ini.SaveIni(L"\\l.ini"));
    EXPECT_EQ(Read("\\l.ini"), "[S]\nj=" + e + "\nk=" + k + "\n\n");  // "j" -> 4, "k" -> 5
}

TEST_F(IniFileTest, TextCannotAddLinesOfItsOwn) {
    CINIFile ini;
    ini.SetStringValue(L"S", L"v", L"x\n[Evil]\ny=z");
    ini.SetStringValue(L"S]", L"w", CString(std::wstring(L"a\0b", 3)));
    ASSERT_TRUE(ini.SaveIni(L"\\t.ini"));
    EXPECT_EQ(Read("\\t.ini"), "[S]]\nw=a\n\n[S]\nv=x\n\n");  // "S]" -> 10, "S" -> 15
    CINIFile back;
    ASSERT_TRUE(back.LoadIni(L"\\t.ini"));
    EXPECT_EQ(Dump(back), "[S]]<w>=<a>[S]<v>=<x>");
}

TEST_F(IniFileTest, FailedSaveLeavesTheOldFile) {
    CINIFile ini;
    ini.SetStringValue(L"S", L"k", L"new");
    Write("\\ok.ini", "old");
    ASSERT_TRUE(ini.SaveIni(L"\\ok.ini"));
    EXPECT_EQ(Read("\\ok.ini"), "[S]\nk=new\n\n");

    Write("\\ro.ini", "old");
    ASSERT_TRUE(SetFileAttributesW(L"\\ro.ini", FILE_ATTRIBUTE_READONLY));
    Write("\\busy.ini", "old");
    MakeDir("\\busy.ini.tmp~");  // the temporary file cannot be created
    MakeDir("\\dir.ini");
    for (const char* target : {"\\ro.ini", "\\busy.ini", "\\dir.ini", "\\none\\s.ini"}) {
        EXPECT_FALSE(ini.SaveIni(fieldkit::Utf8ToWide(target).c_str())) << target;
        if (std::filesystem::is_regular_file(Host(target))) {
            EXPECT_EQ(Read(target), "old");
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(Host("\\dir.ini")));
    for (const char* gone : {"\\ro.ini.tmp~", "\\dir.ini.tmp~", "\\none"})
        EXPECT_FALSE(Exists(gone)) << gone;
}

}  // namespace
