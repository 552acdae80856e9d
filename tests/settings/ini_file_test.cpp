#include "fieldkit/settings/ini_file.h"

#include <climits>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "tests/support/device_root.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using IniFileTest = DeviceRootTest;

// Everything the walks yield, as "[section]<key>=<value>...".
std::string Dump(CINIFile& ini) {
    CString out;
    POSITION pos = nullptr;
    EXPECT_TRUE(ini.SetFilePosOnStart(pos));
    while (pos != nullptr) {
        CString name, key, value;
        EXPECT_TRUE(ini.LookThroughFile(name, pos));
        out += L"[" + name + L"]";
        POSITION keys = nullptr;
        EXPECT_TRUE(ini.SetSectionPosOnStart(name, keys));
        while (ini.LookThroughSection(name, key, value, keys))
            out += L"<" + key + L">=<" + value + L">";
    }
    return fieldkit::WideToUtf8(out.GetStdString());
}

// Bucket = h % 17 with h = h * 33 + unit; as 33 = -1 (mod 17), that is the alternating sum
// of the units from the last one: "First" 116-115+114-105+70 = 80 -> 12, "Second" -> 3,
// "Höhe" -> 1, "C" 67 -> 16; keys "g" 103, "x" 120 and "ab" (98-97) all -> 1.
// Fault: sections saved in insertion order, not the hash's bucket order the device writes
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
    ASSERT_TRUE(ini.SaveIni(L"\\s.ini"));
    EXPECT_EQ(Read("\\s.ini"),
              "[H\xC3\xB6he]\nk=\xC2\xBD m\n\n[Second]\n\n[First]\na=1\nb=two words\n\n"
              "[C]\nab=3\nx=new\ng=1\n\n");

    CINIFile empty;
    ASSERT_TRUE(empty.SaveIni(L"\\s.ini"));
    EXPECT_EQ(Read("\\s.ini"), "");
}

// Fault: a repeated [S] header keeps the keys before it, or a BOM past the start is skipped
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
        {"[S]\n=", "[S]"},  // a last line of one byte
        {"[S]\n=\n", "[S]<>=<>"},
        // A byte-order mark counts only at the very start of the file, and only once.
        {"\xEF\xBB\xBF[S]\nk=1\n[T]\nj=2\n", "[S]<k>=<1>[T]<j>=<2>"},  // "S" -> 15, "T" -> 16
        {"\xEF\xBB\xBF\xEF\xBB\xBF[S]\nk=1\n", ""},
        {"\xEF\xBB[S]\nk=1\n", ""},
        {"[S]\n\xEF\xBB\xBF[T]\nj=2\n", "[S]<j>=<2>"},
        {"\xEF\xBB\xBF[", ""},  // what follows the mark is a last line of one byte
        {"[S]\nk=a\rb\n", "[S]<k>=<a\rb>"},
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

// Faults part way through a save, and read-only targets, are in the reliability tests.
// Fault: a failed load clears the keys held, or loading a file replaces sections it lacks
TEST_F(IniFileTest, LoadingMergesFailuresChangeNothing) {
    CINIFile ini;
    ini.SetStringValue(L"g", L"old", L"1");
    ini.SetStringValue(L"x", L"k", L"2");
    EXPECT_FALSE(ini.LoadIni(L"\\missing.ini"));
    MakeDir("\\folder.ini");
    EXPECT_FALSE(ini.LoadIni(L"\\folder.ini"));
    EXPECT_FALSE(ini.SaveIni(L"\\folder.ini") || ini.SaveIni(L"\\none\\s.ini"));
    EXPECT_TRUE(std::filesystem::is_empty(Host("\\folder.ini")));
    Write("\\empty.ini", "");
    EXPECT_TRUE(ini.LoadIni(L"\\empty.ini"));
    EXPECT_EQ(Dump(ini), "[x]<k>=<2>[g]<old>=<1>");
    Write("\\g.ini", "[g]\nnew=3\n");
    EXPECT_TRUE(ini.LoadIni(L"\\g.ini"));
    EXPECT_EQ(Dump(ini), "[x]<k>=<2>[g]<new>=<3>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_), {}), 3);  // no temporary
}

// Fault: a walk of a missing section answers true, or a failed walk changes the name
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

// A file from a PC: a byte-order mark (not saved back), CR LF, and a line longer than 64 KiB.
// Fault: a line past 64 KiB cut in two, or the byte-order mark saved back as text
TEST_F(IniFileTest, LongLinesRoundTrip) {
    const std::string k(65540, 'x');
    Write("\\l.ini", "\xEF\xBB\xBF[S]\r\nk=" + k + "\r\nj=\xC3\xA9\r\n");
    CINIFile ini;
    ASSERT_TRUE(ini.LoadIni(L"\\l.ini"));
    ASSERT_TRUE(ini.SaveIni(L"\\l.ini"));
    EXPECT_EQ(Read("\\l.ini"), "[S]\nj=\xC3\xA9\nk=" + k + "\n\n");  // "j" -> 4, "k" -> 5
}

// UTF-16 with its byte-order mark, as "Unicode" editors on PCs save it.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

// Files from PCs, saved back as UTF-8 with every character. A line that is not UTF-8 is read
// whole as Windows-1252, its key too when that alone would be UTF-8 ("Größe"). In UTF-16 a
// surrogate pair is one character, and a lone surrogate or an odd last byte is U+FFFD.
// Fault: big-endian UTF-16 read as little-endian, or a Windows-1252 line read as U+FFFD
TEST_F(IniFileTest, PcEncodingsLoadAndSaveAsUtf8) {
    const std::u16string pc =
        u"[H\u00F6he]\r\nName=M\u00FCller\r\nZeichen=\U0001F600\r\n[Leer]\r\n";
    std::u16string damaged = u"[S]\nk=?x?\nj=z";
    damaged[6] = 0xD800;
    damaged[8] = 0xDC00;
    // "Höhe" -> 1, "Leer" -> 4; "Name" -> 11, "Zeichen" -> 12, "GrÃ¶ÃŸe" -> 4, "Stadt" -> 12.
    const std::string fromUtf16 =
        "[H\xC3\xB6he]\nName=M\xC3\xBCller\nZeichen=\xF0\x9F\x98\x80\n\n"
        "[Leer]\n\n";
    const struct {
        std::string file, saved;
    } cases[] = {
        {"[H\xF6he]\nName=M\xFCller\nStadt=K\xC3\xB6ln\nGr\xC3\xB6\xC3\x9F"
         "e=5 \x80\n[Leer]\n",
         "[H\xC3\xB6he]\nGr\xC3\x83\xC2\xB6\xC3\x83\xC5\xB8"
         "e=5 \xE2\x82\xAC\nName=M\xC3\xBCller\nStadt=K\xC3\xB6ln\n\n[Leer]\n\n"},
        {Utf16(pc, false), fromUtf16},
        {Utf16(pc, true), fromUtf16},
        {Utf16(damaged, false) + "A", "[S]\nj=z\xEF\xBF\xBD\nk=\xEF\xBF\xBDx\xEF\xBF\xBD\n\n"},
    };
    for (const auto& c : cases) {
        Write("\\pc.ini", c.file);
        CINIFile ini;
        ASSERT_TRUE(ini.LoadIni(L"\\pc.ini"));
        int size = -1;
        EXPECT_TRUE(ini.GetSectionSize(L"Leer", size) && size == 0);
        ASSERT_TRUE(ini.SaveIni(L"\\saved.ini"));
        EXPECT_EQ(Read("\\saved.ini"), c.saved) << "case " << &c - cases;
    }
}

// Bytes held by the heap, counted by glibc's allocator (the sanitizers bring their own).
#if defined(__GLIBC__) && !defined(FIELDKIT_SETTINGS_SANITIZED) && \
    (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
constexpr bool kHeapFigures = true;
std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}
#else
constexpr bool kHeapFigures = false;
std::size_t HeapInUse() {
    return 0;
}
#endif

// A file of empty sections once held 37 times its size in memory, sections of one key 90 times
// and a file of keys 12 times.
// Fault: each empty section given a full key table, so memory grows 37 times the file
TEST_F(IniFileTest, MemoryHeldGrowsWithTheFileAsKeysDo) {
    if (!kHeapFigures) GTEST_SKIP() << "no allocator figures in this build";
    // Headers alone, keys alone, sections of one key (one small table each) and sections of
    // 80 (full tables, each with room for growth), 200,000 lines of each.
    std::string headers, keys = "[S]\n", small, full;
    for (unsigned i = 0; i < 200000; ++i) {
        fieldkit::detail::AppendFormat(headers, "[s%07u]\n", i);
        fieldkit::detail::AppendFormat(keys, "k%07u=v\n", i);
        fieldkit::detail::AppendFormat(small, "[s%07u]\nk=v\n", i);
        if (i % 81 == 0)
            fieldkit::detail::AppendFormat(full, "[s%07u]\n", i);
        else
            fieldkit::detail::AppendFormat(full, "k%07u=v\n", i % 81);
    }
    double perByte[4] = {};
    for (int k = 0; k < 4; ++k) {
        const std::string& file = k == 0 ? headers : k == 1 ? keys : k == 2 ? small : full;
        Write("\\m.ini", file);
        CINIFile ini;
        const std::size_t before = HeapInUse();
        ASSERT_TRUE(ini.LoadIni(L"\\m.ini"));
        perByte[k] = static_cast<double>(HeapInUse() - before) / static_cast<double>(file.size());
    }
    EXPECT_LE(perByte[0], 10.0);
    EXPECT_LE(perByte[0], perByte[1] * 1.1) << "keys: " << perByte[1];
    EXPECT_LE(perByte[2], 12.0);
    EXPECT_LE(perByte[3], 16.0);
}

// Fault: a narrow name read as UTF-8 instead of Windows-1252, so "Maß" misses the wide key
TEST(IniValues, WrittenTextAndNarrowNames) {
    CINIFile ini;
    ini.SetIntValue(L"S", L"i", -5);
    ini.SetUintValue(L"S", L"u", 4000000000u);
    ini.SetRealValue(L"S", L"r", -0.25);
    ini.SetCharValue(L"S", L"c", L'X');
    ini.SetCharValue(L"S", L"n", L'\0');
    ini.SetHexValue(L"S", L"h", 255);
    ini.SetBoolValue(L"S", L"t", true);
    ini.SetBoolValue(L"S", L"f", false);
    ini.SetIntValue("S", "I", INT_MIN);
    ini.SetLongValue("S", "L", ULONG_MAX);
    ini.SetRealValue("S", "R", 1.5);
    ini.SetValue("S", "V", L"text");
    CString all;
    for (const wchar_t* k :
         {L"i", L"u", L"r", L"c", L"n", L"h", L"t", L"f", L"I", L"L", L"R", L"V"})
        all += ini.GetStringValue(L"S", k, L"?") + L"|";
    EXPECT_EQ(all,
              L"-5|4000000000|-0.250000000000|X||0xFF|1|0|-2147483648|18446744073709551615|"
              L"1.500000000000|text|");

    // Narrow names are Windows-1252 and meet the wide ones.
    ini.SetIntValue("Ma\xDF", "caf\xE9", 3);
    EXPECT_EQ(ini.GetIntValue(L"Ma\u00DF", L"caf\u00E9", 0), 3);
    EXPECT_EQ(ini.GetValue("S", "V", L""), L"text");
    ini.RemoveValue("S", "V");
    ini.RemoveValue(L"none", L"k");
    EXPECT_EQ(ini.GetValue("S", "V", L"gone"), L"gone");
    int count = 0;
    EXPECT_TRUE(ini.GetNumberOfSections(count) && count == 2);  // "S" and "Maß"
}

// Opens the protected SetValue, the only setter with a result.
class IniWithSetValue : public CINIFile {
  public:
    using CINIFile::SetValue;
};

// The setters refuse a name that would come back from a saved file as something else: a header,
// a key split at its "=", or a line cut in two (by a lone CR too, in editors on PCs). Names at
// the edge of these rules are kept, and a saved file gives every one of them back. Nor can a
// value add lines of its own: it ends at a line break or a NUL.
// Fault: a key holding '=' or a lone CR saved, so the file reads back as another key
TEST_F(IniFileTest, NamesReadBackAsThemselvesOrAreRefused) {
    const std::pair<const wchar_t*, const wchar_t*> refused[] = {
        {L"S", L"[k"},   {L"S", L"["},   {L"S", L"a=b"}, {L"S", L"="},   {L"S", L"k="},
        {L"S", L"a\nb"}, {L"S", L"\rk"}, {L"S\n", L"k"}, {L"\rS", L"k"}, {L"S\r\n", L"k"},
    };
    const std::pair<const wchar_t*, const wchar_t*> accepted[] = {
        {L"[x", L"a["}, {L"a]b", L" [k"}, {L"a=b", L";c"}, {L"", L""},
        {L"[]", L"k]"}, {L"S", L"#x"},    {L"S", L"a b"},  {L"T", L"\u00E9\t"},
    };
    IniWithSetValue ini;
    // Every setter ends in SetValue; one typed and one narrow setter stand for the others.
    for (const auto& [section, key] : refused) {
        const std::string s = fieldkit::WideToUtf8(section), k = fieldkit::WideToUtf8(key);
        EXPECT_FALSE(ini.SetValue(section, key, L"v")) << s << "|" << k;
        ini.SetIntValue(section, key, 1);
        ini.SetValue(s.c_str(), k.c_str(), L"v");
    }
    EXPECT_EQ(Dump(ini), "");
    for (const auto& [section, key] : accepted)
        EXPECT_TRUE(ini.SetValue(section, key, CString(section) + L"/" + key));
    ini.SetStringValue(L"S", L"v", L"x\n[Evil]\ny=z");
    ini.SetStringValue(L"S]", L"w", CString(std::wstring(L"a\0b", 3)));
    ASSERT_TRUE(ini.SaveIni(L"\\n.ini"));
    CINIFile back;
    ASSERT_TRUE(back.LoadIni(L"\\n.ini"));
    int sections = 0;
    EXPECT_TRUE(back.GetNumberOfSections(sections) && sections == 8);
    for (const auto& [section, key] : accepted)
        EXPECT_EQ(back.GetStringValue(section, key, L"?"), CString(section) + L"/" + key);
    EXPECT_EQ(back.GetStringValue(L"S", L"v", L"?") + back.GetStringValue(L"S]", L"w", L"?"),
              L"xa");
}

// Every getter on one stored text. Where no number begins the text the wide getters answer
// their default, the narrow ones 0 as atoi would.
// Fault: a wide getter answers 0 instead of its default where no number begins the text
TEST(IniValues, TypedReading) {
    const unsigned long kMax = ULONG_MAX;
    const struct {
        const wchar_t* text;
        int i, narrowI, u;
        unsigned long l;
        double r;
        unsigned hex;
        wchar_t c;
        char b;  // 'T', 'F' or 'D' for the default
    } cases[] = {
        {L"42xyz", 42, 42, 42, 42, 42, 0x42, L'4', 'D'},
        {L"abc", -7, 0, 7, 0, -1, 0xABC, L'a', 'D'},
        {L"", -7, 0, 7, 0, -1, 7, L'?', 'D'},
        {L" -12", -12, -12, -12, kMax - 11, -12, 0xFFFFFFEEu, L' ', 'D'},
        {L" +7", 7, 7, 7, 7, 7, 7, L' ', 'D'},
        {L"-1", -1, -1, -1, kMax, -1, 0xFFFFFFFFu, L'-', 'D'},
        {L"0xFF", 0, 0, 0, 0, 255, 255, L'0', 'F'},
        {L"ff", -7, 0, 7, 0, -1, 255, L'f', 'D'},
        {L"1abc", 1, 1, 1, 1, 1, 0x1ABC, L'1', 'T'},
        {L"true", -7, 0, 7, 0, -1, 7, L't', 'D'},
        {L"1.5e2", 1, 1, 1, 1, 150, 1, L'1', 'T'},
        // Beyond a type's range: the nearest value, but a negative one read as unsigned wraps.
        {L"4294967295", INT_MAX, INT_MAX, -1, 4294967295UL, 4294967295.0, 0xFFFFFFFFu, L'4', 'D'},
        {L"-3000000000", INT_MIN, INT_MIN, 1294967296, kMax - 2999999999UL, -3e9, 0xFFFFFFFFu, L'-',
         'D'},
        {L"18446744073709551615", INT_MAX, INT_MAX, -1, kMax, 18446744073709551615.0, 0xFFFFFFFFu,
         L'1', 'T'},
        {L"99999999999999999999", INT_MAX, INT_MAX, -1, kMax, 1e20, 0xFFFFFFFFu, L'9', 'D'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fieldkit::WideToUtf8(c.text));
        CINIFile ini;
        ini.SetStringValue(L"S", L"k", c.text);
        EXPECT_EQ(ini.GetIntValue(L"S", L"k", -7), c.i);
        EXPECT_EQ(ini.GetIntValue("S", "k", -7), c.narrowI);
        EXPECT_EQ(ini.GetUintValue(L"S", L"k", 7), c.u);
        EXPECT_EQ(ini.GetLongValue("S", "k", 7), c.l);
        EXPECT_DOUBLE_EQ(ini.GetRealValue(L"S", L"k", -1), c.r);
        EXPECT_DOUBLE_EQ(ini.GetRealValue("S", "k", -1), c.r);
        EXPECT_EQ(ini.GetHexValue(L"S", L"k", 7), c.hex);
        EXPECT_EQ(ini.GetCharValue(L"S", L"k", L'?'), c.c);
        const bool t = ini.GetBoolValue(L"S", L"k", true), f = ini.GetBoolValue(L"S", L"k", false);
        EXPECT_EQ(t == f ? (t ? 'T' : 'F') : 'D', c.b);
        EXPECT_EQ(ini.GetStringValue(L"S", L"x", L"def") + ini.GetStringValue(L"S", L"k", L"def"),
                  CString(L"def") + c.text);
        EXPECT_EQ(std::pair(ini.GetIntValue("S", "x", -7), ini.GetLongValue("S", "x", 7)),
                  std::pair(-7, 7UL));  // a missing key: the default, for the narrow ones too
    }
}

using SettingsFileTest = DeviceRootTest;

// Fault: a file where the settings folder belongs overwritten, or a failed load clears keys
TEST_F(SettingsFileTest, SaveAndLoadInTheSettingsFolder) {
    knobs_.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    SetAPPInfo(L"Survey", L"Survey", 1, TVersionInfo());
    CINIFile ini;
    ini.SetBoolValue(L"Units", L"Metric", true);
    Write("\\SD Card\\Survey Data", "a file where the folder belongs");
    EXPECT_FALSE(SaveSettingsFile(L"survey.ini", ini));
    EXPECT_EQ(Read("\\SD Card\\Survey Data"), "a file where the folder belongs");
    std::filesystem::remove(Host("\\SD Card\\Survey Data"));

    ASSERT_TRUE(SaveSettingsFile(L"survey.ini", ini));
    EXPECT_EQ(Read("\\SD Card\\Survey Data\\Settings\\survey.ini"), "[Units]\nMetric=1\n\n");
    CINIFile back;
    back.SetIntValue(L"Keep", L"k", 1);
    EXPECT_FALSE(LoadSettingsFile(L"other.ini", back));
    ASSERT_TRUE(LoadSettingsFile(L"survey.ini", back));
    EXPECT_TRUE(back.GetBoolValue(L"Units", L"Metric", false));
    EXPECT_EQ(back.GetIntValue(L"Keep", L"k", 0), 1);
}

}  // namespace
