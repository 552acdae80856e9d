#include "fieldkit/text/scan.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <utility>

using fieldkit::detail::Scan;

// What one conversion returns, and the value it leaves in a variable that held `start`.
template <class T>
static std::pair<int, T> ScanOne(const wchar_t* text, const wchar_t* format, T start = T{}) {
    const int n = Scan(text, format, &start);
    return {n, start};
}

// Fault: "1e+" read as a failure instead of 1 with "e+" left, or a lone "." taken as zero
TEST(Scan, DoublesReadTheLongestNumberPrefix) {
    struct Case {
        const wchar_t* text;
        double value;
        int consumed;  // from "%n"
    };
    for (const Case& c :
         {Case{L"12.5", 12.5, 4}, Case{L"  \t-0.25x", -0.25, 8}, Case{L"+5", 5, 2},
          Case{L"1e2", 100, 3}, Case{L"12e", 12, 2}, Case{L"1.5e-3x", 0.0015, 6},
          Case{L"1e+", 1, 1}, Case{L"12-5", 12, 2}, Case{L".5", 0.5, 2}, Case{L"5.", 5, 2},
          Case{L"1.2.3", 1.2, 3}, Case{L"0x1p3", 8, 5}, Case{L"0x", 0, 1},
          Case{L"1e400", HUGE_VAL, 5}, Case{L"-1e400", -HUGE_VAL, 6}, Case{L"1e-400", 0, 6},
          Case{L"4e-320", 4e-320, 6}, Case{L"inf", HUGE_VAL, 3},
          Case{L"-Infinity", -HUGE_VAL, 9}}) {
        double v = -99;
        int n = -1;
        EXPECT_EQ(Scan(c.text, L"%lf%n", &v, &n), 1) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(n, c.consumed) << c.text;
    }
    const auto nan = ScanOne<double>(L"nan(abc)", L"%lf");
    EXPECT_TRUE(nan.first == 1 && std::isnan(nan.second));
    for (const wchar_t* bad : {L".", L"-", L"e", L"--1", L".e1", L"in", L"x1"})
        EXPECT_EQ(ScanOne(bad, L"%lf", -99.0), std::make_pair(0, -99.0)) << bad;
}

// Fault: empty or blank text returns 0 instead of EOF, or a match failure returns EOF
TEST(Scan, EndOfTextBeforeTheFirstConversionIsEof) {
    int a = 0, b = 0;
    for (const auto& [text, result] :
         {std::pair<const wchar_t*, int>{L"", -1}, {L"   ", -1}, {nullptr, -1}, {L"x", 0}})
        EXPECT_EQ(Scan(text, L"%d", &a), result) << (text ? text : L"null");
    EXPECT_EQ(Scan(L"12+", L"%d+%d", &a, &b), 1);
}

// "%d" saturating, "%u" wrapping negatives and "%X" with its prefix are read by the settings'
// number getters.
// Fault: "%u" or "%hd" wraps an overflow instead of saturating, or "%i" reads "010" as ten
TEST(Scan, IntegersSaturateAndUnsignedWrapsNegatives) {
    EXPECT_EQ(ScanOne<unsigned>(L"4294967296", L"%u"), std::make_pair(1, 4294967295u));
    EXPECT_EQ(ScanOne<short>(L"70000", L"%hd"), std::make_pair(1, short{SHRT_MAX}));
    EXPECT_EQ(ScanOne<unsigned>(L"ff", L"%x"), std::make_pair(1, 255u));
    EXPECT_EQ(ScanOne<int>(L"010 0x10 10", L"%i"), std::make_pair(1, 8));
}

// Fault: a blank in the format matches one space only, or a width or "%*d" is ignored
TEST(Scan, FormatDirectives) {
    long d = 0, m = 0, y = 0, h = 0, mi = 0;
    // A blank in the format matches any run of white space. (No blank at all, and signed
    // numbers between literals, are read by the dates' and the stations' texts.)
    EXPECT_EQ(Scan(L"01.02.2019,   10:30", L"%ld.%ld.%ld, %ld:%ld", &d, &m, &y, &h, &mi), 5);
    EXPECT_EQ(h * 100 + mi, 1030);
    int skipped = 0;
    EXPECT_EQ(Scan(L"7 8", L"%*d %d", &skipped), 1);
    EXPECT_EQ(skipped, 8);
    int w1 = 0, w2 = 0;
    EXPECT_EQ(Scan(L"12345", L"%2d%d", &w1, &w2), 2);
    EXPECT_EQ(w1 * 1000 + w2, 12345);
    EXPECT_EQ(Scan("50% off", "%d%%", &w1), 1);
}

// Fault: "%ld" writes a long through an int pointer, past the variable
TEST(Scan, WrongPointerTypeStopsWithoutWriting) {
    int i = 5;
    long l = 6;
    EXPECT_EQ(Scan(L"12 13", L"%ld %d", &i, &i), 0);
    EXPECT_EQ(i, 5);
    EXPECT_EQ(Scan(L"12 13", L"%ld %ld", &l), 1);  // too few pointers
    EXPECT_EQ(l, 12);
    EXPECT_EQ(Scan(L"abc", L"%s", &i), 0);  // text conversions are not offered
}

// Every length prefix the scanner knows picks the target's type ("%Ld" is an int), and a
// suppressed "%n" stores nothing and takes no target.
// Fault: a length prefix ignored, so "%hhd" writes a whole int into a char
TEST(Scan, LengthPrefixesPickTheTargetType) {
    signed char sc = 0;
    long l = 0;
    unsigned long ul = 0, ux = 0;
    long long ll = 0;
    int i = 0, n = 0;
    long double ld = 0;
    EXPECT_EQ(Scan(L"1 2 3 4 5 6 7.5", L"%hhd %jd %zu %tx %qd %Ld %Lf%*n%n", &sc, &l, &ul, &ux, &ll,
                   &i, &ld, &n),
              7);
    EXPECT_EQ(std::make_tuple(sc, l, ul, ux, ll, i, ld, n),
              std::make_tuple(1, 2, 3u, 4u, 5, 6, 7.5L, 15));
}

// A directive the scanner does not read ends the scan where it stands: flags and a "%" after
// the "%", printf's own I64, I32 and I, the text and pointer conversions, a character outside
// ASCII, and a format that ends inside a directive.
// Fault: an unknown directive skipped and the next conversion fed the wrong text
TEST(Scan, DirectivesItDoesNotReadEndTheScan) {
    for (const wchar_t* format :
         {L"%d %5%%d", L"%d %-d", L"%d %+d", L"%d %I64d", L"%d %I32d", L"%d %Id", L"%d %c",
          L"%d %s", L"%d %[0-9]", L"%d %p", L"%d %\u0164", L"%d %", L"%d %l", L"%d %*"}) {
        int first = 0, second = 9;
        EXPECT_EQ(Scan(format[4] == '5' ? L"1 %2" : L"1 2", format, &first, &second), 1) << format;
        EXPECT_EQ(second, 9) << format;
    }
    // "0" is a width digit here, not a flag, and a width of 0 is no width.
    int v = 0;
    EXPECT_EQ(Scan(L"123", L"%0d", &v), 1);
    EXPECT_EQ(v, 123);
    // A field is at most 2^20 characters wide, however many digits its width has.
    const std::string text = std::string((1u << 20) - 1, '0') + "12";
    int a = 0, b = 0;
    EXPECT_EQ(Scan(text.c_str(), "%99999999999999999999999999d%d", &a, &b), 2);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
}

// Fault: a decimal number read one unit off in its last place, against strtod
TEST(Scan, WellFormedNumbersAgreeWithTheCLibrary) {
    std::mt19937 rng(7);
    for (int k = 0; k < 5000; ++k) {
        char text[64];
        const double v = std::ldexp(static_cast<double>(rng()), static_cast<int>(rng() % 120) - 80);
        std::snprintf(text, sizeof text, k % 2 ? "%.17g" : "%.6e", k % 3 ? v : -v);
        double expected = 0, got = 0;
        std::sscanf(text, "%lf", &expected);
        ASSERT_EQ(Scan(text, "%lf", &got), 1) << text;
        ASSERT_EQ(got, expected) << text;
    }
}
