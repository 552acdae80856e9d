#include "fieldkit/numbers/number_text.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(Rounding, HalvesGoAwayFromZero) {
    EXPECT_EQ(dNearInt(0.5), 1);
    EXPECT_EQ(dNearInt(-0.5), -1);
    EXPECT_EQ(dNearInt(2.5), 3);
    EXPECT_EQ(dNearInt(-2.5), -3);
    EXPECT_EQ(dNearInt(1.4999), 1);
    EXPECT_TRUE(std::signbit(dNearInt(-0.4)));
}

TEST(Rounding, FormatFloat) {
    struct Case {
        double x;
        int decimals;
        double expected;
    };
    const Case cases[] = {
        {1.25, 1, 1.3},
        {-1.25, 1, -1.3},
        {-1.24, 1, -1.2},
        {2.7, 0, 3},
        {2.7, -2, 3},
        {-2.5, 0, -3},
        {0.125, 2, 0.13},
        {123.456, 2, 123.46},
        // Beyond 32 bits the same rule holds instead of overflowing.
        {3e9 + 0.75, 1, 3e9 + 0.8},
        {-1e12 - 0.5, 0, -1e12 - 1},
        {1e300, 3, 1e300},
        {0.1234567891234, 12, 0.123456789123},
        {1.5, 400, 1.5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(FormatFloat(c.x, c.decimals), c.expected) << c.x << " " << c.decimals;
    }
    // The integer round trip of small negatives gives +0, never -0.
    EXPECT_FALSE(std::signbit(FormatFloat(-0.4, 0)));
    EXPECT_EQ(FormatFloat(kInf, 2), kInf);
    EXPECT_TRUE(std::isnan(FormatFloat(kNaN, 2)));
}

TEST(Parsing, FlagParsersReportAndZero) {
    int n = 7;
    EXPECT_EQ(StringToInt(L"", n), 0);
    EXPECT_EQ(n, 0);
    n = 7;
    EXPECT_EQ(StringToInt(nullptr, n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(StringToInt(L"  42", n), 1);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(StringToInt(L"x1", n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(StringToInt(L"12abc", n), 1);
    EXPECT_EQ(n, 12);
    double d = 1;
    EXPECT_EQ(StringToDouble(L"-1.5e2", d), 1);
    EXPECT_EQ(d, -150);
    float f = 0;
    EXPECT_EQ(StringToFloat(L"0.1", f), 1);
    EXPECT_EQ(f, 0.1f);
    long l = 0;
    EXPECT_EQ(StringToLong(L"-123456", l), 1);
    EXPECT_EQ(l, -123456);
    unsigned u = 0;
    EXPECT_EQ(StringToUint(L"4294967295", u), 1);
    EXPECT_EQ(u, 4294967295u);
    short s = 0;
    EXPECT_EQ(StringToShort(L"-32768", s), 1);
    EXPECT_EQ(s, -32768);
}

TEST(Parsing, CStringParsersDropBlanks) {
    EXPECT_EQ(StringToDouble(CString(L"1 000.5")), 1000.5);
    EXPECT_EQ(StringToDouble(CString(L"   ")), 0);
    EXPECT_EQ(StringToDouble(CString(L"abc")), 0);
    EXPECT_EQ(StringToDouble(CString(L"\t2.5")),
              2.5);  // only blanks go; tabs are skipped by the scan
    EXPECT_EQ(StringToFloat(CString(L"- 2.5")), -2.5f);
    EXPECT_EQ(StringToInt(CString(L"1 2 3")), 123);
    EXPECT_EQ(StringToInt(CString(L"")), 0);
}

TEST(Dates, PseudoMinuteCount) {
    EXPECT_EQ(DateToInt(L"01.02.2019, 10:30"), ((19 * 365 + 2 * 30 + 1) * 24 + 10) * 60 + 30);
    EXPECT_EQ(DateToInt(L"01.02.2019,10:30"), DateToInt(L"01.02.2019, 10:30"));
    EXPECT_EQ(DateToInt(L"01.02.19"), DateToInt(L"01.02.2019"));
    EXPECT_EQ(DateToInt(L"01.02.2000"), (2000 * 365 + 2 * 30 + 1) * 24 * 60);
    EXPECT_EQ(DateToInt(L"31.01.2019"), DateToInt(L"01.02.2019"));  // 30-day months
    // A time without minutes falls back to the date alone.
    EXPECT_EQ(DateToInt(L"01.02.2019, 10"), DateToInt(L"01.02.2019"));
    // Not a date: character codes weighted by position.
    EXPECT_EQ(DateToInt(L"ABC"), 65 * 100000 + 66 * 10000 + 67 * 1000);
    EXPECT_EQ(DateToInt(L"ABCDEFGH"), DateToInt(L"ABCDEF"));
    EXPECT_EQ(DateToInt(L""), 0);
    // Out of 32-bit range: wraps as 32-bit arithmetic does.
    const long long big = ((5000LL * 365 + 30 + 1) * 24) * 60;
    EXPECT_EQ(DateToInt(L"01.01.7000"), static_cast<std::int32_t>(static_cast<std::uint32_t>(big)));
    EXPECT_EQ(DateToInt(L"\uFFFF\uFFFF"), static_cast<std::int32_t>(0xFFFFu * 110000u));
}

TEST(Texts, FormatsOfNumbersAndTimes) {
    EXPECT_EQ(IntToString(-42), L"-42");
    EXPECT_EQ(DoubleToString(3.14159, 2), L"3.14");
    EXPECT_EQ(DoubleToString(5.0, 0), L"  5");
    EXPECT_EQ(DoubleToString(-1.0, 0), L" -1");
    EXPECT_EQ(DoubleToString(2.5, 0), L"  2");  // printf rounds half to even
    EXPECT_EQ(DoubleToStringG(0.0001234567), L"0.00012346");
    EXPECT_EQ(DoubleToStringG(0.0), L"0");
    EXPECT_EQ(DoubleToStringG(0.001), L"0.00100000");
    EXPECT_EQ(DoubleToStringG(12.5), L"12.50000000");
    EXPECT_EQ(DoubleToStringG(-1e-9), L"-1e-09");
    EXPECT_EQ(TimeToString(12.5), L"12:30:0.000");
    EXPECT_EQ(TimeToString(1.25), L" 1:15:0.000");
    EXPECT_EQ(TimeToString(0.0166666), L" 0: 0:60.000");  // no carry
    EXPECT_EQ(TimeToString(-1.5), L"-1:-30:0.000");
    // Far outside the 32-bit range the fields saturate instead of being undefined.
    EXPECT_EQ(TimeToString(kNaN), L" 0: 0:  nan");
    EXPECT_EQ(TimeToString(1e10).Left(11), L"2147483647:");
}
