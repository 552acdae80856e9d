// The tool's line-by-line path run in memory: numbers read in one pass exactly as the scanner
// reads them, and lines whose columns, blanks, bytes and lengths change from one to the next.

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fieldkit/text/scan.h"
#include "tools/fieldkit/cli.h"

namespace {

using fieldkit::tool::MemoryStreams;
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

struct Case {
    std::vector<const wchar_t*> args;
    std::string input;
    std::string out;
    std::string err;
};

// What is kept from one line to the next must never show in the next: lines alternate between
// long and short values, ASCII and other text, good and bad.
// Fault: a buffer kept from one line shows in the next (a long value's tail, a Windows-1252 flag)
TEST(StreamedLines, EachLineStandsOnItsOwn) {
    const std::string n45 = "45°30'00.00000\"N";
    const Case cases[] = {
        {{L"lat", L"-"},
         "-12.250000000000000000000000\n5\n  45.5\t\n0.5\n",
         "12°15'00.00000\"S\n05°00'00.00000\"N\n" + n45 + "\n00°30'00.00000\"N\n",
         ""},
        // A line that is not UTF-8 is Windows-1252 as a whole; the next one is UTF-8 again.
        {{L"lat", L"-f", L"2", L"-"},
         "P\xFF\x31 45.5 é\nP2 45.5 é\n",
         "Pÿ1 " + n45 + " Ã©\nP2 " + n45 + " é\n",
         ""},
        // Blanks the columns are not split at are trimmed from a value all the same.
        {{L"lat", L"-k", L"-d", L";", L"-f", L"2", L"-"},
         "a;\v45.5\f;b\n45,5°\nc;45.5;\n",
         "a;" + n45 + ";b\n45,5°;*\nc;" + n45 + ";\n",
         "fieldkit: lat: line 2: 1 column, the first row has 3\n"},
        {{L"lat", L"-k", L"-"},
         "45,5°\n45.5\n\xC3\n",
         "*\n" + n45 + "\n*\n",
         "fieldkit: lat: line 1: latitude: not a number: '45,5°'\n"
         "fieldkit: lat: line 3: latitude: not a number: 'Ã'\n"},
        // Five results where the first named column stood, though it is not the first column.
        {{L"blh", L"-k", L"-f", L"3,1,2", L"-"},
         "0 0 6378137 P1\nx 0 6378137 P2\n",
         "0.000000000 0.000000000 0.0000 00°00'00.00000\"N 0°00'00.00000\"E P1\n* * * * * P2\n",
         "fieldkit: blh: line 2, column 1: Y: not a number: 'x'\n"},
        // Values split at the delimiter from the whole line, longer than any short string.
        {{L"xyz", L"-d", L",", L"-"},
         "45.123456000000,-122.654321000000, 123.456000000000\n",
         "-2432359.8648,-3795442.4076,4497126.9626\n",
         ""},
        {{L"xyz", L"-k", L"-f", L"2,3,4", L"-"},
         std::string(std::size_t{1} << 20, '1') + "1\nPT1 45.123456 -122.654321 123.456 CP\n",
         "* * *\nPT1 -2432359.8648 -3795442.4076 4497126.9626 CP\n",
         "fieldkit: xyz: line 1: longer than 1 MiB\n"},
    };
    for (const Case& c : cases) {
        MemoryStreams io(c.input);
        const std::vector<std::wstring> args(c.args.begin(), c.args.end());
        const fieldkit::tool::Outcome o = fieldkit::tool::Run(args, io);
        EXPECT_EQ(io.out + o.out, c.out) << testing::PrintToString(c.input.substr(0, 80));
        EXPECT_EQ(io.err + o.err, c.err) << testing::PrintToString(c.input.substr(0, 80));
        EXPECT_EQ(o.status, c.err.empty() ? 0 : 2);
    }
}

}  // namespace
