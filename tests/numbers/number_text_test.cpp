#include "fieldkit/numbers/number_text.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <cmath>
#include <utility>

// What a flag parser returns, and the value it leaves in a variable that held `start`.
template <class T>
static std::pair<int, T> Parse(int (*parse)(const wchar_t*, T&), const wchar_t* text, T start) {
    const int result = parse(text, start);
    return {result, start};
}

// Fault: halves rounded to even or toward zero; -0 from a small negative rounded to 0
TEST(Rounding, NearestIntegerAndFormatFloatTakeHalvesAwayFromZero) {
    const double cases[][2] = {{0.5, 1}, {-0.5, -1}, {2.5, 3}, {-2.5, -3}, {1.4999, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(dNearInt(c[0]), c[1]) << c[0];
    EXPECT_TRUE(std::signbit(dNearInt(-0.4)));

    struct Case {
        double x;
        int decimals;
        double expected;
    };
    // From 3e9 on, beyond 32 bits, the same rule holds instead of overflowing.
    for (const Case& c :
         {Case{1.25, 1, 1.3}, Case{-1.25, 1, -1.3}, Case{-1.24, 1, -1.2}, Case{2.7, 0, 3},
          Case{2.7, -2, 3}, Case{-2.5, 0, -3}, Case{0.125, 2, 0.13}, Case{123.456, 2, 123.46},
          Case{3e9 + 0.75, 1, 3e9 + 0.8}, Case{-1e12 - 0.5, 0, -1e12 - 1}, Case{1e300, 3, 1e300},
          Case{0.1234567891234, 12, 0.123456789123}, Case{1.5, 400, 1.5}}) {
        EXPECT_DOUBLE_EQ(FormatFloat(c.x, c.decimals), c.expected) << c.x << " " << c.decimals;
    }
    // The integer round trip of small negatives gives +0, never -0.
    EXPECT_FALSE(std::signbit(FormatFloat(-0.4, 0)));
    EXPECT_EQ(FormatFloat(INFINITY, 2), INFINITY);
    EXPECT_TRUE(std::isnan(FormatFloat(NAN, 2)));
}

// Fault: a text without digits reported as read; blanks inside a number not dropped
TEST(Parsing, FlagAndCStringParsers) {
    EXPECT_EQ(Parse(StringToInt, L"", 7), std::make_pair(0, 0));
    EXPECT_EQ(Parse(StringToInt, nullptr, 7), std::make_pair(0, 0));
    EXPECT_EQ(Parse(StringToInt, L"  42", 0), std::make_pair(1, 42));
    EXPECT_EQ(Parse(StringToInt, L"x1", 7), std::make_pair(0, 0));
    EXPECT_EQ(Parse(StringToInt, L"12abc", 0), std::make_pair(1, 12));
    EXPECT_EQ(Parse(StringToDouble, L"-1.5e2", 1.0), std::make_pair(1, -150.0));
    EXPECT_EQ(Parse(StringToFloat, L"0.1", 0.0f), std::make_pair(1, 0.1f));
    EXPECT_EQ(Parse(StringToLong, L"-123456", 0L), std::make_pair(1, -123456L));
    EXPECT_EQ(Parse(StringToUint, L"4294967295", 0u), std::make_pair(1, 4294967295u));
    EXPECT_EQ(Parse<short>(StringToShort, L"-32768", 0), std::make_pair(1, short{-32768}));

    // The CString forms drop blanks first.
    EXPECT_EQ(StringToDouble(CString(L"1 000.5")), 1000.5);
    EXPECT_EQ(StringToDouble(CString(L"   ")), 0);
    EXPECT_EQ(StringToDouble(CString(L"abc")), 0);
    // Only blanks go; tabs are skipped by the scan.
    EXPECT_EQ(StringToDouble(CString(L"\t2.5")), 2.5);
    EXPECT_EQ(StringToFloat(CString(L"- 2.5")), -2.5f);
    EXPECT_EQ(StringToInt(CString(L"1 2 3")), 123);
    EXPECT_EQ(StringToInt(CString(L"")), 0);
}

// Minutes of 365-day years (counted from 2000 after it), 30-day months and days: 1 February
// 2019, 10:30 is ((19 * 365 + 2 * 30 + 1) * 24 + 10) * 60 + 30.
// Fault: 2000 counted from itself; 31-day months; the count not wrapping in 32 bits
TEST(Dates, PseudoMinuteCount) {
    const std::pair<const wchar_t*, long> cases[] = {
        {L"01.02.2019, 10:30", 10074870},
        {L"01.02.2019,10:30", 10074870},
        {L"01.02.2019, 10", 10074240},  // a time without minutes: the date alone
        {L"01.02.19", 10074240},
        {L"31.01.2019", 10074240},     // 30-day months
        {L"01.02.2000", 1051287840},   // 2000 itself is not counted from 2000
        {L"01.01.7000", -1666922656},  // 5000 years wrap in 32 bits
        // Not a date: code units weighted 100000, 10000, 1000, ... (at most six).
        {L"ABC", 7227000},
        {L"ABCDEFGH", 7227000 + 68 * 100 + 69 * 10 + 70},
        {L"\uFFFF\uFFFF", -1381084592},
        {L"", 0},
    };
    for (const auto& [text, minutes] : cases)
        EXPECT_EQ(DateToInt(text), minutes) << text;
}

// DoubleToString rounds as printf does, a half to even; a time's fields never carry, and far
// outside the 32-bit range they saturate instead of being undefined.
// Fault: a half rounded away from zero where printf rounds to even; a time's seconds carried
TEST(Texts, FormatsOfNumbersAndTimes) {
    using T = std::pair<CString, CString>;
    for (const auto& [got, expected] :
         {T{IntToString(-42), L"-42"}, T{DoubleToString(3.14159, 2), L"3.14"},
          T{DoubleToString(5.0, 0), L"  5"}, T{DoubleToString(-1.0, 0), L" -1"},
          T{DoubleToString(2.5, 0), L"  2"}, T{DoubleToStringG(0.0001234567), L"0.00012346"},
          T{DoubleToStringG(0.0), L"0"}, T{DoubleToStringG(0.001), L"0.00100000"},
          T{DoubleToStringG(12.5), L"12.50000000"}, T{DoubleToStringG(-1e-9), L"-1e-09"},
          T{TimeToString(12.5), L"12:30:0.000"}, T{TimeToString(1.25), L" 1:15:0.000"},
          T{TimeToString(0.0166666), L" 0: 0:60.000"}, T{TimeToString(-1.5), L"-1:-30:0.000"},
          T{TimeToString(NAN), L" 0: 0:  nan"}, T{TimeToString(1e10).Left(11), L"2147483647:"}}) {
        EXPECT_EQ(got, expected);
    }
}
