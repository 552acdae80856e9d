// The tool's one-pass number reader: every text it takes reads exactly as the scanner reads it.

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "fieldkit/text/scan.h"
#include "tools/fieldkit/cli.h"

namespace {

using fieldkit::tool::ReadPlainDecimal;

std::uint64_t Bits(double v) {
    std::uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The scanner's reading of the whole text (blanks around allowed): the value the one-pass
// reader must give for every text it accepts.
bool Scanned(const std::wstring& text, double& v) {
    int end = -1;
    if (fieldkit::detail::Scan(text.c_str(), L"%lf%n", &v, &end) != 1 || end < 0) return false;
    return text.find_first_not_of(L" \t\r\n\v\f", static_cast<std::size_t>(end)) ==
           std::wstring::npos;
}

void ExpectAsScanned(const std::wstring& text) {
    double fast = 0, slow = 0;
    ASSERT_TRUE(ReadPlainDecimal(text, fast)) << "refused: " << testing::PrintToString(text);
    ASSERT_TRUE(Scanned(text, slow)) << testing::PrintToString(text);
    EXPECT_EQ(Bits(fast), Bits(slow)) << testing::PrintToString(text);
}

// Fault: the fast reader takes hex, inf, nan, "1,5" or a trailing unit, which the tool must refuse
TEST(PlainDecimal, RefusesAllButPlainDecimals) {
    for (const wchar_t* text :
         {L"",       L" ",       L"+",       L"-",         L".",     L"-.",    L"e5",  L".e5",
          L"1e",     L"1e+",     L"1e-",     L"+-1",       L"--1",   L"1.2.3", L"1 2", L"1,5",
          L"0x10",   L"0x1p3",   L"inf",     L"-infinity", L"nan",   L"1e5.0", L"1f",  L"5\u00B0",
          L"\uFF11", L"1\u00A0", L"\u00A01", L"1e5e5",     L"\u0661"}) {
        double v = 7;
        EXPECT_FALSE(ReadPlainDecimal(text, v)) << testing::PrintToString(std::wstring(text));
        EXPECT_EQ(v, 7);
    }
}

// Signs, points at either end, blanks, exponents of every length, ties between two doubles,
// values beyond double's range both ways, and mantissas longer than any buffer.
// Fault: a tie, a subnormal or an overflow read one bit off from the scanner
TEST(PlainDecimal, EdgeTextsReadAsTheScannerReadsThem) {
    for (const wchar_t* text :
         {L"0",
          L"-0",
          L"+0",
          L"-0.0e-0",
          L"+.5",
          L"5.",
          L"-5.e3",
          L"1E-2",
          L" \t45.5\v\f",
          L"0.1",
          L"9007199254740993",
          L"9007199254740993.0000000000000000001",
          L"1.7976931348623157e308",
          L"1.7976931348623158e308",
          L"1.7976931348623159e308",
          L"4.9406564584124654e-324",
          L"2.4703282292062327e-324",
          L"2.4703282292062328e-324",
          L"1e400",
          L"-1e400",
          L"1e-400",
          L"-1e-400",
          L"1e0000000000000000000000000005",
          L"123456789012345678901234567890123456789012345678901234567890123456789",
          L"0.000000000000000000000000000000000000000000000000000000000000000000001e70"}) {
        ExpectAsScanned(text);
    }
}

// Fault: a mantissa longer than 19 digits or a long exponent read a bit off from the scanner
TEST(PlainDecimal, RandomTextsReadAsTheScannerReadsThem) {
    std::mt19937_64 random(20240611);
    const auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int n = 0; n < 200000; ++n) {
        std::wstring t(static_cast<std::size_t>(pick(0, 2)), L' ');
        t += pick(0, 3) == 0 ? L"-" : pick(0, 5) == 0 ? L"+" : L"";
        const int digits = pick(1, pick(0, 3) == 0 ? 40 : 17);
        const int point = pick(-1, digits);  // -1: none
        for (int d = 0; d < digits; ++d) {
            if (d == point) t += L'.';
            t += static_cast<wchar_t>(L'0' + pick(0, 9));
        }
        if (point == digits) t += L'.';
        if (pick(0, 2) == 0) {
            t += pick(0, 1) ? L'e' : L'E';
            t += pick(0, 2) == 0 ? L"-" : pick(0, 3) == 0 ? L"+" : L"";
            t += std::to_wstring(pick(0, pick(0, 4) == 0 ? 350 : 30));
        }
        t += std::wstring(static_cast<std::size_t>(pick(0, 1)), L'\t');
        ExpectAsScanned(t);
        if (HasFailure()) return;
    }
}

}  // namespace
