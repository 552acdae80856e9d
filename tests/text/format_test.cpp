#include "fieldkit/text/format.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fieldkit/text/cstring.h"

using fieldkit::detail::FormatA;
using fieldkit::detail::FormatToBuffer;
using fieldkit::detail::FormatW;

namespace {

// The C library's own printf, in the "C" locale the test process runs in, is the reference.
// The format is the case under test, so it cannot be a literal.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class T>
std::string Reference(const std::string& fmt, T value) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt.c_str(), value);
    return buf;
}
#pragma GCC diagnostic pop

// Random flags, width and precision, one of `modifiers` or none, one of `convs`.
std::string RandomConversion(std::mt19937& rng, std::vector<std::string> modifiers,
                             const std::string& convs) {
    std::string conversion = "%";
    for (const char flag : std::string("-+ #0"))
        if (rng() % 4 == 0) conversion += flag;
    if (rng() % 2) conversion += std::to_string(rng() % 25);
    if (rng() % 2) conversion += "." + std::to_string(rng() % 20);
    const char c = convs[rng() % convs.size()];
    // glibc keeps one digit too few for "%#g" when rounding carries into a new power of ten
    // ("%#.2g" of 99.995 gives "1.e+02"); that case is checked on its own below.
    if ((c == 'g' || c == 'G') && conversion.find('#') != std::string::npos)
        conversion.erase(conversion.find('#'), 1);
    modifiers.emplace_back();
    return conversion + modifiers[rng() % modifiers.size()] + c;
}

}  // namespace

// Fault: a flag, width, precision or length modifier of a number conversion handled unlike printf
TEST(Format, NumbersMatchTheCLibrary) {
    std::mt19937 rng(20261206);
    const long long integers[] = {
        0,      1,         -1,        7,         -42,          255,       65535,
        -32768, INT32_MAX, INT32_MIN, 1LL << 40, -(1LL << 50), LLONG_MAX, LLONG_MIN};
    const double reals[] = {0.0,     -0.0,   0.5,     1.5,          2.5,         -2.5, 0.125,
                            1e-5,    9.9999, 99.995,  0.0001234567, 123456789.0, 1e15, 1e300,
                            -1e-300, 5e-324, DBL_MAX, INFINITY,     -INFINITY,   NAN};
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        const std::string conversion = RandomConversion(rng, {"hh", "h", "l", "ll"}, "diouxX");
        const long long v = i % 3 == 0 ? integers[rng() % std::size(integers)]
                                       : static_cast<long long>(rng()) * (rng() % 2 ? 1 : -7919);
        const std::string expected = conversion.find("ll") != std::string::npos
                                         ? Reference(conversion, v)
                                     : conversion.find('l') != std::string::npos
                                         ? Reference(conversion, static_cast<long>(v))
                                         : Reference(conversion, static_cast<int>(v));
        ASSERT_EQ(FormatA(conversion.c_str(), v), expected) << conversion << " of " << v;
        const std::string real = RandomConversion(rng, {"l"}, "feEgG");
        const double d = i % 2 ? reals[rng() % std::size(reals)]
                               : unit(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20);
        ASSERT_EQ(FormatA(real.c_str(), d), Reference(real, d)) << real << " of " << d;
    }
}

// Fault: "%s" and "%S" swapped in narrow output, or a precision cutting a UTF-8 sequence in two
TEST(Format, TextsOfEveryKindOfConversion) {
    const wchar_t* wide = L"45\u00B0 N";
    const char* narrow = "45\xC2\xB0 N";  // the same text in UTF-8
    const char unterminated[3] = {'a', 'b', 'c'};
    int untouched = 7;
    using N = std::pair<std::string, std::string>;
    for (const auto& [got, expected] :
         {N{FormatA("%#.2G|%#.3g|%#g|%#.0e|%#.0f", 99.995, 1.0, 0.0, 2.0, 3.0),
            "1.0E+02|1.00|0.00000|2.e+00|3."},
          // In narrow output "%s" is narrow and "%S" wide; either width is accepted by both.
          N{FormatA("[%s|%S]", narrow, wide), "[45\xC2\xB0 N|45\xC2\xB0 N]"},
          N{FormatA("%s/%s", std::string("a"), std::wstring(L"b")), "a/b"},
          N{FormatA("[%8s|%-4s|%.2s]", "abc", "x", "abcdef"), "[     abc|x   |ab]"},
          // A precision never cuts a UTF-8 sequence in two.
          N{FormatA("[%.3S]", L"45\u00B0"), "[45]"},
          N{FormatA("[%.4S]", L"45\u00B0"), "[45\xC2\xB0]"},
          N{FormatA("[%5S|%-4.2S|%S]", L"ab", L"xyz", L""), "[   ab|xy  |]"},
          N{FormatA("%s|%S", static_cast<const char*>(nullptr), nullptr), "(null)|(null)"},
          // A precision bounds how far the text is read: no terminator needed beyond it.
          N{FormatA("%.3s", static_cast<const char*>(unterminated)), "abc"},
          N{FormatA("%c%C", 'N', L'\u00B0'), "N\xC2\xB0"}, N{FormatA("[%3c]", 'x'), "[  x]"},
          // A mismatched or missing argument shows the conversion; "%n" writes nothing.
          N{FormatA("%d and %s", "text", 5), "%d and %s"}, N{FormatA("%d %d", 1), "1 %d"},
          N{FormatA("%.2f", 3), "%.2f"}, N{FormatA("%*d", "w", 3), "%*d"},
          N{FormatA("100%% %q"), "100% %q"}, N{FormatA("end %"), "end %"},
          N{FormatA(nullptr, 1), ""}, N{FormatA("ab%n", &untouched), "ab"},
          N{FormatA("[%*d|%-*d|%.*f|%.*f]", 5, 42, 4, 7, 2, 1.005, -1, 2.0),
            "[   42|7   |1.00|2.000000]"},
          N{FormatA("[%*d]", -4, 1), "[1   ]"},
          // "hh", "h", "l" and "ll" are among the random conversions above.
          N{FormatA("%I64d %I32u", -5LL, -1), "-5 4294967295"},
          N{FormatA("%p %p", nullptr, reinterpret_cast<void*>(0x1234)), "(nil) 0x1234"},
          N{FormatA("%a %A", 1.5, -0.25), "0x1.8p+0 -0X1P-2"}})
        EXPECT_EQ(got, expected);
    EXPECT_EQ(untouched, 7);
    // The handheld's meanings: in wide output "%s" is wide and "%S" narrow.
    using W = std::pair<std::wstring, std::wstring>;
    for (const auto& [got, expected] :
         {W{FormatW(L"%3.*lf|%-6d|%08.5f|%+.3e|%#x", 2, 3.14159, -12, 24.48, 1234.5, 255u),
            L"3.14|-12   |24.48000|+1.234e+03|0xff"},
          W{FormatW(L"[%s|%S|%ls|%hs]", wide, narrow, wide, narrow),
            L"[45\u00B0 N|45\u00B0 N|45\u00B0 N|45\u00B0 N]"},
          W{FormatW(L"%s", CString(L"cs")), L"cs"},
          W{FormatW(L"[%.2S]", "\xC2\xB0\xC2\xB0\xC2\xB0"), L"[\u00B0\u00B0]"},
          W{FormatW(L"%c%c%c", L'N', 'S', L'\u00B0'), L"NS\u00B0"},
          // A narrow char is a Windows-1252 byte.
          W{FormatW(L"%c", '\x80'), L"\u20AC"}})
        EXPECT_EQ(got, expected);
    // Huge widths are capped instead of exhausting memory.
    EXPECT_EQ(FormatA("%*d", 2000000000, 1).size(),
              static_cast<std::size_t>(fieldkit::detail::kMaxFormatWidth));
}

// A directive the engine cannot carry out is copied as it stands, and it uses up the arguments
// a complete one would, so the conversions after it still get their own.
// Fault: a bad directive leaves its arguments unused, so later conversions print the wrong values
TEST(Format, DirectivesItCannotCarryOut) {
    int untouched = 7;
    using N = std::pair<std::string, std::string>;
    for (const auto& [got, expected] :
         {// "%%" is a percent sign only right after the "%"; an unknown conversion takes nothing.
          N{FormatA("%5%|%d", 1), "%5%|1"}, N{FormatA("%q|%d", 1), "%q|1"},
          // A bad "*" argument: the conversion's own argument is used up all the same.
          N{FormatA("%*d|%d", "w", 3, 4), "%*d|4"}, N{FormatA("%.*f|%d", "p", 1.5, 4), "%.*f|4"},
          N{FormatA("%*n|%d", "w", &untouched, 4), "%*n|4"},
          // A directive cut short by the end or by a character outside ASCII keeps its stars'.
          N{FormatA("%*\xC3\xA9|%d", 5, 7), "%*\xC3\xA9|7"}, N{FormatA("%*.*", 1, 2), "%*.*"},
          // A "*" width is an int; a point without digits is precision zero.
          N{FormatA("[%*d]", (1LL << 32) + 3, 1), "[  1]"},
          N{FormatA("[%.f|%.d|%.0x]", 2.5, 0, 0), "[2||]"},
          // The length prefixes not among the random conversions above.
          N{FormatA("%zu %td %jd %qd %Id %Lf %hhu", std::size_t{1}, std::ptrdiff_t{-2},
                    std::intmax_t{-3}, -4LL, -5, 0.5, 300),
            "1 -2 -3 -4 -5 0.500000 44"},
          // An int for "%c" is of the output's width, for "%C" of the other; "l" and "h" say
          // which outright.
          N{FormatA("%c|%C|%lc|%hC", 0x80, 0x80, 0x80, 0x80), "\x80|\xC2\x80|\xC2\x80|\x80"}})
        EXPECT_EQ(got, expected);
    EXPECT_EQ(untouched, 7);
    EXPECT_EQ(FormatW(L"%*\u00E9|%d", 5, 7), L"%*\u00E9|7");
    // Nor is a wide character whose low byte is a conversion letter ("d", "s") a conversion.
    EXPECT_EQ(FormatW(L"%\u0164|%\u0173|%d", 5, 7), L"%\u0164|%\u0173|5");
    EXPECT_EQ(FormatW(L"%c|%C|%lC|%hc", 0x80, 0x80, 0x80, 0x80), L"\x80|\u20AC|\x80|\u20AC");
    // Digits far beyond the cap count as the cap, in widths and precisions alike.
    const std::size_t cap = fieldkit::detail::kMaxFormatWidth;
    EXPECT_EQ(FormatA("%999999999999999999999999999999d", 1).size(), cap);
    EXPECT_EQ(FormatW(L"%.999999999999999999999999999999d", 1).size(), cap);
}

// Direct formatting into the buffer must cut exactly where copying the whole text would, at
// every size, including inside multi-byte sequences that arrive from text, padding and numbers.
// Fault: a short buffer cut inside a UTF-8 sequence, or the cut length returned, not the whole
TEST(Format, BufferFormattingCutsWhereCopyingWould) {
    const std::string whole =
        FormatA("%-6s|%S|%08.3f|%c", "a\xC3\xA9", L"\u20AC\U0001F600x", -2.5, 'z');
    for (std::size_t size = 0; size <= whole.size() + 1; ++size) {
        char direct[64] = {};
        char copied[64] = {};
        EXPECT_EQ(FormatToBuffer(direct, size, "%-6s|%S|%08.3f|%c", "a\xC3\xA9",
                                 L"\u20AC\U0001F600x", -2.5, 'z'),
                  whole.size());
        fieldkit::detail::CopyToBuffer(whole, copied, size);
        EXPECT_STREQ(direct, copied) << "size " << size;
    }
    char utf8[4];
    FormatToBuffer(utf8, sizeof utf8, "ab%S", L"\u00B0");  // "ab" + 2 bytes does not fit in 3
    EXPECT_STREQ(utf8, "ab");
    wchar_t wide[3];
    EXPECT_EQ(FormatToBuffer(wide, 3, L"%d", 12345), 5u);
    EXPECT_STREQ(wide, L"12");
    EXPECT_EQ(FormatToBuffer(static_cast<char*>(nullptr), 0, "%d", 123), 3u);
    char untouched[2] = {'x', 'y'};
    EXPECT_EQ(FormatToBuffer(untouched, 0, "%d", 7), 1u);
    EXPECT_EQ(untouched[0], 'x');
}

// "%f" of values whose fraction has few binary places: exact ties round to even, carries run
// into the integer part, and the edges of the short way (2^53, 2^-12, 18 and 19 decimals)
// print as the C library prints them.
// Fault: "%f" of an exact tie rounds half up instead of to even, or loses a carry at 2^53
TEST(Format, FixedDecimalsAtTiesAndEdges) {
    std::mt19937 rng(20261207);
    const double edges[] = {0.5,
                            1.5,
                            2.5,
                            0.125,
                            0.375,
                            0.9999999999,
                            999.9995,
                            9007199254740991.0,
                            9007199254740992.0,
                            9007199254740993.0 * 2,
                            4503599627370495.5,
                            0.000244140625,
                            0.0001220703125,
                            0.000244140624,
                            0.1,
                            1.0 / 3};
    for (const double v : edges) {
        for (int p = 0; p <= 20; ++p) {
            const std::string f = "%." + std::to_string(p) + "f";
            ASSERT_EQ(FormatA(f.c_str(), v), Reference(f, v)) << f << " of " << v;
            ASSERT_EQ(FormatA(f.c_str(), -v), Reference(f, -v)) << f << " of " << -v;
        }
    }
    for (int i = 0; i < 20000; ++i) {
        // k / 2^m: every one of these lies on or near a tie for some precision.
        const double v =
            std::ldexp(static_cast<double>(rng() % 2000000), -static_cast<int>(rng() % 24));
        const std::string f = "%." + std::to_string(rng() % 10) + "f";
        ASSERT_EQ(FormatA(f.c_str(), v), Reference(f, v)) << f << " of " << v;
    }
}

// Wide text into narrow output is converted in pieces: characters of two, three and four bytes
// and a surrogate pair land on every place around the pieces' ends and come out whole.
// Fault: a surrogate pair or multi-byte character split where wide text is converted in pieces
TEST(Format, LongWideTextIntoNarrowOutput) {
    for (std::size_t lead = 0; lead < 6; ++lead) {
        std::wstring wide(lead, L'a');
        std::string utf8(lead, 'a');
        for (int i = 0; i < 200; ++i) {
            wide += L"\u00B0\u20AC";
            utf8 += "\xC2\xB0\xE2\x82\xAC";
            wide += {wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600 as UTF-16
            utf8 += "\xF0\x9F\x98\x80";
        }
        EXPECT_EQ(FormatA("<%S>", wide.c_str()), "<" + utf8 + ">") << lead;
    }
}
