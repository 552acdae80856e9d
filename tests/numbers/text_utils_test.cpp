#include "fieldkit/numbers/text_utils.h"

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

using Texts = std::vector<CString>;

// Fault: a 41-character name accepted; a point name counted in characters, not code units
TEST(TextUtils, Names) {
    for (const wchar_t c : {L'_', L'0', L'9', L'A', L'Z', L'a', L'z'})
        EXPECT_TRUE(IsAdmisibleCharacter(c)) << int(c);
    for (const wchar_t c : {L'-', L'.', L' ', L'é', L'@', L'[', L'`', L'{'})
        EXPECT_FALSE(IsAdmisibleCharacter(c)) << int(c);

    EXPECT_TRUE(IsValidName(CString(L'a', 40)));
    for (const CString& bad : {CString(L'a', 41), CString(L""), CString(L"Job 1")})
        EXPECT_FALSE(IsValidName(bad)) << bad.GetString();

    EXPECT_TRUE(IsValidPointName(L"P 1-A/2"));
    EXPECT_TRUE(IsValidPointName(CString(L'x', 32)));
    // U+1F600 takes two code units.
    for (const CString& bad : {CString(L'x', 33), CString(L'x', 31) + L"\U0001F600", CString(L""),
                               CString(L"P\"1"), CString(L"P\t1")}) {
        EXPECT_FALSE(IsValidPointName(bad)) << bad.GetString();
    }
}

// Fault: a forbidden character not stopping the split; empty fields dropped; a lost last field
TEST(TextUtils, SplittingAndJoining) {
    const auto parse = [](const wchar_t* text, char delimiter, const wchar_t* forbidden) {
        CArray<CString> v;
        v.Add(L"kept");
        const bool ok = ParseValues(text, v, delimiter, forbidden);
        return std::make_pair(ok, Texts(v.begin() + 1, v.end()));
    };
    using R = std::pair<bool, Texts>;
    EXPECT_EQ(parse(L" a , b ,c", ',', L""), (R{true, {L"a", L"b", L"c"}}));
    EXPECT_EQ(parse(L"a,b;c,d", ',', L";"), (R{false, {L"a"}}));
    EXPECT_EQ(parse(L"a,,b", ',', L""), (R{true, {L"a", L"", L"b"}}));
    EXPECT_EQ(parse(L",a", ',', L""), (R{true, {L"", L"a"}}));
    EXPECT_EQ(parse(L"a,", ',', L""), (R{true, {L"a"}}));
    EXPECT_EQ(parse(L"", ',', L""), (R{true, {L""}}));
    EXPECT_EQ(parse(L"x\r\ny, z\n", ',', L"\n"), (R{true, {L"xy", L"z"}}));
    EXPECT_EQ(parse(L"1°2", '\xB0', L""), (R{true, {L"1", L"2"}}));  // Latin-1, as ReadLine

    for (const auto& [text, expected] : std::vector<std::pair<const wchar_t*, Texts>>{
             {L"1;2 3", {L"1", L"2", L"3"}}, {L"1;;2", {L"1", L"", L"2"}}}) {
        CArray<CString> v;
        EXPECT_TRUE(ParseDelimitersValues(text, v, L"; "));
        EXPECT_EQ(Texts(v.begin(), v.end()), expected) << CString(text);
    }

    CArray<CString> v;
    EXPECT_EQ(StringArrayToString(v), L"");
    v.Add(L"a");
    v.Add(L"b,c");
    EXPECT_EQ(StringArrayToString(v), L"a,b,c");
    EXPECT_TRUE(IsStringInStringArray(v, L"b,c"));
    EXPECT_FALSE(IsStringInStringArray(v, L"A"));
    CArray<unsigned int> u;
    u.Add(0xFFFFFFFFu);
    EXPECT_TRUE(IsUIntInUIntArray(u, -1));
    EXPECT_FALSE(IsUIntInUIntArray(u, 1));
}

// Fault: a run of characters replaced one by one; a copy into a short buffer not cut
TEST(TextUtils, ConversionsAndReplacing) {
    CString out = L"old";
    ASCII2CString(nullptr, out);
    EXPECT_EQ(out, L"");
    ASCII2CString(
        "Stra\xC3\x9F"
        "e \xFF!",
        out);
    EXPECT_EQ(out, L"Straße \uFFFD!");

    char buffer[8] = "#######";
    CString2ASCII(L"abcdef", buffer, 3);
    EXPECT_EQ(std::string(buffer, 5), std::string("abc\0#", 5));
    CString2ASCII(L"éŁ", buffer, 7);  // low bytes
    EXPECT_STREQ(buffer, "\xE9\x41");

    struct Case {
        const wchar_t *text, *chars, *replacement, *expected;
        int runs;
    };
    for (const Case& c :
         {Case{L"a  b   c", L" ", L"_", L"a_b_c", 2}, Case{L"a  b   c", L" ", nullptr, L"abc", 2},
          Case{L"xxaxx", L"x", L"-", L"-a-", 2}, Case{L"abc", L"", L"-", L"abc", 0},
          Case{nullptr, L"x", L"-", L"", 0}}) {
        EXPECT_EQ(replaceChars(c.text, c.chars, c.replacement, out), c.runs);
        EXPECT_EQ(out, c.expected);
    }
    out = L"a  b";  // the result may replace its own source
    EXPECT_EQ(replaceChars(out, L" ", L".", out), 1);
    EXPECT_EQ(out, L"a.b");
}

class TextUtilsFiles : public DeviceRootTest {
  protected:
    Texts Lines(const std::string& bytes, int count) {
        Write("\\lines.txt", bytes);
        CFile file(L"\\lines.txt", CFile::modeRead);
        Texts lines(static_cast<std::size_t>(count), L"stale");
        for (CString& line : lines)
            ReadLine(file, line);
        return lines;
    }
};

// NUL bytes inside a line are a robustness test.
// Fault: a byte above 127 or a NUL changed on its way through ReadLine and WriteString
TEST_F(TextUtilsFiles, ReadLineAndWriteString) {
    EXPECT_EQ(Lines("ab\r\n\r\ncd", 3), (Texts{L"ab", L"cd", L""}));
    EXPECT_EQ(Lines("  \nx", 2), (Texts{L"", L"x"}));

    // Every byte but the line ends comes back unchanged through WriteString.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += b == '\r' || b == '\n' ? 'x' : static_cast<char>(b);
    const CString line = Lines(all, 1)[0];
    EXPECT_EQ(line.GetAt(0xE9 - 1), L'é');
    FILE* f = std::fopen(Host("\\out.bin").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(WriteString(f, line));
    EXPECT_TRUE(WriteString(f, L"\U0001F600"));  // surrogates D83D DE00: two low bytes
    std::fclose(f);
    EXPECT_EQ(Read("\\out.bin"), all + std::string("\x3D\0", 2));

    f = std::fopen(Host("\\out.bin").c_str(), "rb");
    EXPECT_FALSE(WriteString(f, L"x"));
    std::fclose(f);
    EXPECT_FALSE(WriteString(nullptr, L"x"));
}
