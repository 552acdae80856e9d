#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <iterator>
#include <string>
#include <utility>

#include "fieldkit/text/carray.h"
#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/cstring.h"

using namespace fieldkit;

TEST(Utf8, RoundTripsEveryScalarValue) {
    std::wstring all;
    for (wchar_t c = 1; c <= 0x10FFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF) all.push_back(c);
    }
    EXPECT_EQ(Utf8ToWide(WideToUtf8(all)), all);
}

// A stray continuation byte; a sequence cut at the end or before another character; overlong
// forms; an encoded surrogate; a value above U+10FFFF. A maximal subpart of a valid sequence
// ("\xE2\x82") is one replacement.
TEST(Utf8, InvalidSequencesBecomeOneReplacementEach) {
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    for (const Case& c :
         {Case{"a\x80z", L"a\uFFFDz"}, Case{"\xC3", L"\uFFFD"}, Case{"\xC3(", L"\uFFFD("},
          Case{"\xC0\xAF", L"\uFFFD\uFFFD"}, Case{"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},
          Case{"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
          Case{"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"}, Case{"\xE2\x82", L"\uFFFD"},
          Case{"\xFF\xFE", L"\uFFFD\uFFFD"},
          Case{std::string("a\0b", 3), std::wstring(L"a\0b", 3)}}) {
        EXPECT_EQ(Utf8ToWide(c.bytes), c.text) << c.bytes;
    }
}

TEST(Utf8, SurrogatePairsJoinAndLoneSurrogatesAreReplaced) {
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(WideToUtf8(pair), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
}

TEST(Ansi, Windows1252BothWays) {
    EXPECT_EQ(AnsiToWide("\x80\x9F\xA0\xE9\x81"), L"\u20AC\u0178\u00A0\u00E9\u0081");
    EXPECT_EQ(WideToAnsi(L"\u20AC\u0178\u00E9\u0081"), "\x80\x9F\xE9\x81");
    EXPECT_EQ(WideToAnsi(L"\u0100\u4E2D"), "??");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
}

TEST(CharClass, SpacesGraphsAndCase) {
    EXPECT_TRUE(IsWideSpace(L' ') && IsWideSpace(L'\t') && IsWideSpace(0xA0));
    EXPECT_FALSE(IsWideSpace(L'x') || IsWideSpace(0));
    EXPECT_TRUE(IsWideGraph(L'\u00B0') && IsWideGraph(L'"'));
    EXPECT_FALSE(IsWideGraph(L' ') || IsWideGraph(L'\x7F') || IsWideGraph(0x85));
    CString s(L"\u00E9t\u00E9 \u0101 \u03C3 \u0436 \u00DF");
    EXPECT_EQ(CString(s).MakeUpper(), L"\u00C9T\u00C9 \u0100 \u03A3 \u0416 \u00DF");
    EXPECT_EQ(CString(s).MakeUpper().MakeLower(), s);
}

TEST(CString, ConstructionAndAccess) {
    EXPECT_EQ(CString(static_cast<const wchar_t*>(nullptr)), L"");
    EXPECT_EQ(CString("45\xC2\xB0"), L"45\u00B0");  // narrow text is UTF-8
    EXPECT_EQ(CString(L'x', 3), L"xxx");
    EXPECT_EQ(CString(L"abcdef", 3), L"abc");
    CString s(L"abc");
    EXPECT_EQ(s[1], L'b');
    EXPECT_EQ(s.GetAt(3), L'\0');
    EXPECT_EQ(s.GetAt(-1), L'\0');
    s.SetAt(9, L'z');
    s.SetAt(0, L'A');
    EXPECT_EQ(s, L"Abc");
}

TEST(CString, RangesAreClippedToTheText) {
    const CString s(L"abcdef");
    using T = std::pair<CString, const wchar_t*>;
    for (const auto& [got, expected] :
         {T{s.Mid(2), L"cdef"}, T{s.Mid(2, 2), L"cd"}, T{s.Mid(-3, 2), L"ab"},
          T{s.Mid(4, 100), L"ef"}, T{s.Mid(10, 2), L""}, T{s.Mid(1, -1), L""}, T{s.Left(-1), L""},
          T{s.Left(10), L"abcdef"}, T{s.Right(2), L"ef"}, T{s.Right(10), L"abcdef"}}) {
        EXPECT_EQ(got, expected);
    }
    CString t = s;
    EXPECT_EQ(t.Delete(4, 10), 4);
    EXPECT_EQ(t.Insert(99, L"!"), 5);
    EXPECT_EQ(t.Insert(-5, L'>'), 6);
    EXPECT_EQ(t, L">abcd!");
}

TEST(CString, SearchReplaceTrim) {
    CString s(L"  a,b,,c  ");
    const std::pair<int, int> finds[] = {{s.Find(L','), 3},        {s.Find(L',', 4), 5},
                                         {s.Find(L",,"), 5},       {s.Find(L"", 2), 2},
                                         {s.Find(L"x"), -1},       {s.Find(L"a", 99), -1},
                                         {s.ReverseFind(L','), 6}, {s.FindOneOf(L"cb"), 4}};
    for (std::size_t i = 0; i < std::size(finds); ++i)
        EXPECT_EQ(finds[i].first, finds[i].second) << "search " << i;
    EXPECT_EQ(s.Trim(), L"a,b,,c");
    EXPECT_EQ(s.Replace(L",", L";;"), 3);
    EXPECT_EQ(s, L"a;;b;;;;c");
    EXPECT_EQ(s.Replace(L";;", nullptr), 3);
    EXPECT_EQ(s.Replace(L"", L"x"), 0);
    EXPECT_EQ(s.Remove(L'b'), 1);
    EXPECT_EQ(s, L"ac");
    EXPECT_EQ(CString(L"xxhixx").Trim(L'x'), L"hi");
    EXPECT_EQ(CString(L"-+hi+-").TrimLeft(L"+-"), L"hi+-");
}

TEST(CString, OrderingAndFormatting) {
    EXPECT_LT(CString(L"a").Compare(L"b"), 0);
    EXPECT_GT(CString(L"ab").Compare(L"a"), 0);
    EXPECT_EQ(CString(L"ab").Compare(L"ab"), 0);
    EXPECT_LT(CString(L"z").Compare(L"\u00E9"), 0);  // code points, not signed units
    EXPECT_EQ(CString(L"\u00C9cole").CompareNoCase(L"\u00E9COLE"), 0);
    EXPECT_TRUE(CString(L"a") < CString(L"b"));
    CString s;
    s.Format(L"%s=%d", CString(L"n"), 5);
    s.AppendFormat(L";%.2f", 0.125);
    EXPECT_EQ(s, L"n=5;0.12");  // an exact tie rounds to even, as printf does
    EXPECT_EQ(L"<" + s + L'>', L"<n=5;0.12>");
}

TEST(CArray, IndicesOutsideTheArrayAreHarmless) {
    CArray<CString> a;
    EXPECT_EQ(a.Add(L"x"), 0);
    a.InsertAt(0, L"w");
    a.InsertAt(99, L"z");  // past the end appends
    a.InsertAt(1, L"-", 2);
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_EQ(a[0] + a[1] + a[2] + a[3] + a[4], L"w--xz");
    a.SetAt(7, L"ignored");
    a.RemoveAt(-1);
    a.RemoveAt(1, 100);
    ASSERT_EQ(a.GetCount(), 1);
    a.SetAtGrow(2, L"g");
    EXPECT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a.GetAt(2), L"g");
    EXPECT_DEATH(a.GetAt(3), "outside");
}
