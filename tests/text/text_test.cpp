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

// Fault: a four-byte sequence or a value just below a surrogate encoded wrongly
TEST(Utf8, RoundTripsEveryScalarValue) {
    std::wstring all;
    for (wchar_t c = 1; c <= 0x10FFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF) all.push_back(c);
    }
    const std::string utf8 = WideToUtf8(all);
    EXPECT_TRUE(IsUtf8(utf8));
    EXPECT_EQ(Utf8ToWide(utf8), all);
}

// A stray continuation byte; a sequence cut at the end or before another character; overlong
// forms; an encoded surrogate; a value above U+10FFFF. A maximal subpart of a valid sequence
// ("\xE2\x82") is one replacement; IsUtf8 refuses exactly what gets one. The other way, a surrogate
// pair joins, and a lone surrogate or a value above U+10FFFF is one replacement.
// Fault: an invalid sequence becomes one replacement in all, or IsUtf8 accepts an overlong form
TEST(Utf8, InvalidSequencesBecomeOneReplacementEach) {
    using U = std::pair<std::string, std::wstring>;
    for (const auto& [bytes, text] :
         {U{"a\x80z", L"a\uFFFDz"}, U{"\xC3", L"\uFFFD"}, U{"\xC3(", L"\uFFFD("},
          U{"\xC0\xAF", L"\uFFFD\uFFFD"}, U{"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},
          U{"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
          U{"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"}, U{"\xE2\x82", L"\uFFFD"},
          U{"\xFF\xFE", L"\uFFFD\uFFFD"}, U{"1234567\xFF", L"1234567\uFFFD"},
          U{std::string("a\0b", 3), std::wstring(L"a\0b", 3)}}) {
        EXPECT_EQ(Utf8ToWide(bytes), text) << bytes;
        EXPECT_EQ(IsUtf8(bytes), text.find(L'\uFFFD') == text.npos)
            << testing::PrintToString(bytes);
    }
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(WideToUtf8(pair), "\xF0\x9F\x98\x80");
    for (const wchar_t lone : {pair[1], static_cast<wchar_t>(0x110000)})
        EXPECT_EQ(WideToUtf8(std::wstring(1, lone)), "\xEF\xBF\xBD") << int(lone);
}

// Fault: 0x80..0x9F taken as Latin-1 controls instead of the euro sign and its row
TEST(Ansi, Windows1252BothWays) {
    EXPECT_EQ(AnsiToWide("\x80\x9F\xA0\xE9\x81"), L"\u20AC\u0178\u00A0\u00E9\u0081");
    EXPECT_EQ(WideToAnsi(L"\u20AC\u0178\u00E9\u0081"), "\x80\x9F\xE9\x81");
    EXPECT_EQ(WideToAnsi(L"\u0100\u4E2D"), "??");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
}

// Fault: no-break space not a space, or DEL or NEL counted as a graphic character
TEST(CharClass, SpacesAndGraphs) {
    EXPECT_TRUE(IsWideSpace(L' ') && IsWideSpace(L'\t') && IsWideSpace(0xA0));
    EXPECT_FALSE(IsWideSpace(L'x') || IsWideSpace(0));
    EXPECT_TRUE(IsWideGraph(L'\u00B0') && IsWideGraph(L'"'));
    EXPECT_FALSE(IsWideGraph(L' ') || IsWideGraph(L'\x7F') || IsWideGraph(0x85));
}

// Each row: a text a member produced, and the text expected.
// Fault: Mid, Left or Right with a count past the end reads beyond the text
TEST(CString, TextsAreClippedToTheirRanges) {
    const CString s(L"abcdef");
    const CString accents(L"\u00E9t\u00E9 \u0101 \u03C3 \u0436 \u00DF");
    CString t = s;
    using T = std::pair<CString, CString>;
    for (const auto& [got, expected] :
         {T{CString(static_cast<const wchar_t*>(nullptr)), L""},
          T{CString("45\xC2\xB0"), L"45\u00B0"},  // narrow text is UTF-8
          T{CString(L'x', 3), L"xxx"}, T{CString(L"abcdef", 3), L"abc"}, T{s.Mid(2), L"cdef"},
          T{s.Mid(2, 2), L"cd"}, T{s.Mid(-3, 2), L"ab"}, T{s.Mid(4, 100), L"ef"},
          T{s.Mid(10, 2), L""}, T{s.Mid(1, -1), L""}, T{s.Left(-1), L""}, T{s.Left(10), L"abcdef"},
          T{s.Right(2), L"ef"}, T{s.Right(10), L"abcdef"}, T{CString(L"xxhixx").Trim(L'x'), L"hi"},
          T{CString(L"-+hi+-").TrimLeft(L"+-"), L"hi+-"},
          T{CString(accents).MakeUpper(), L"\u00C9T\u00C9 \u0100 \u03A3 \u0416 \u00DF"},
          T{CString(accents).MakeUpper().MakeLower(), accents}}) {
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(std::wstring({s.GetAt(3), s.GetAt(6), s.GetAt(-1)}), std::wstring(L"d\0\0", 3));
    t.SetAt(9, L'z');
    t.SetAt(0, L'A');
    EXPECT_EQ(t.Delete(4, 10), 4);
    EXPECT_EQ(t.Insert(99, L"!"), 5);
    EXPECT_EQ(t.Insert(-5, L'>'), 6);
    EXPECT_EQ(t, L">Abcd!");
}

// Fault: comparison by signed wchar_t, so "z" sorts after "\u00e9"; Replace loops on ""
TEST(CString, SearchReplaceAndOrder) {
    CString s(L"  a,b,,c  ");
    // Comparisons by code point, not by signed unit: "z" sorts before "é".
    using I = std::pair<int, int>;
    const I results[] = {I{s.Find(L','), 3},        I{s.Find(L',', 4), 5},
                         I{s.Find(L",,"), 5},       I{s.Find(L"", 2), 2},
                         I{s.Find(L"x"), -1},       I{s.Find(L"a", 99), -1},
                         I{s.ReverseFind(L','), 6}, I{s.FindOneOf(L"cb"), 4}};
    const I orders[] = {I{CString(L"a").Compare(L"b") < 0, 1},
                        I{CString(L"ab").Compare(L"a") > 0, 1}, I{CString(L"ab").Compare(L"ab"), 0},
                        I{CString(L"z").Compare(L"\u00E9") < 0, 1},
                        I{CString(L"a") < CString(L"b"), 1}};
    for (std::size_t i = 0; i < std::size(results); ++i)
        EXPECT_EQ(results[i].first, results[i].second) << "search " << i;
    for (std::size_t i = 0; i < std::size(orders); ++i)
        EXPECT_EQ(orders[i].first, orders[i].second) << "comparison " << i;
    EXPECT_EQ(CString(L"\u00C9cole").CompareNoCase(L"\u00E9COLE"), 0);
    EXPECT_EQ(s.Trim(), L"a,b,,c");
    EXPECT_EQ(s.Replace(L",", L";;"), 3);
    EXPECT_EQ(s, L"a;;b;;;;c");
    EXPECT_EQ(s.Replace(L";;", nullptr), 3);
    EXPECT_EQ(s.Replace(L"", L"x"), 0);
    EXPECT_EQ(s.Remove(L'b'), 1);
    EXPECT_EQ(s, L"ac");
    s.Format(L"%s=%d", CString(L"n"), 5);
    s.AppendFormat(L";%.2f", 0.125);
    EXPECT_EQ(L"<" + s + L'>', L"<n=5;0.12>");  // an exact tie rounds to even, as printf does
}

// Fault: InsertAt past the end or RemoveAt of a negative index writes outside the array
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
