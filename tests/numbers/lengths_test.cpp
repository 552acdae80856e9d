#include "fieldkit/numbers/lengths.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <cmath>
#include <initializer_list>
#include <utility>

// Fault: 12 inches written instead of a carried foot; fractions not in lowest terms
TEST(LengthTexts, FeetAndInchesAndDecimals) {
    struct Case {
        double feet;
        int denominator;
        const wchar_t* text;
    };
    for (const Case& c :
         {Case{5.5, 16, L"5'6\""}, Case{5.0, 16, L"5'"}, Case{0.5, 16, L"6\""},
          Case{5 + 6.25 / 12, 16, L"5'6 1/4\""}, Case{1.0 / 48, 16, L"1/4\""},
          Case{-5.5, 16, L"-5'6\""}, Case{0.0, 16, L"0'0\""}, Case{-0.0, 16, L"0'0\""},
          Case{0.00001, 16, L"0'0\""}, Case{-0.00001, 16, L"0'0\""}, Case{5.9999, 16, L"6'"},
          Case{5 + 6.25 / 12, 1, L"5'6\""}, Case{5 + 6.25 / 12, 0, L"5'6\""},
          Case{5 + 6.25 / 12, -4, L"5'6\""}, Case{5 + 0.25 / 12, 16, L"5'1/4\""},
          Case{11.999 / 12, 2, L"1'"},
          // A hair below a whole inch is that inch even with no fractions to carry it.
          Case{5 + 11.99999 / 12, 0, L"6'"}, Case{5 + 6.5 / 12, 64, L"5'6 1/2\""},
          // Any denominator is written in lowest terms.
          Case{5 + 6.5 / 12, 10, L"5'6 1/2\""}, Case{5 + (6 + 1.0 / 3) / 12, 12, L"5'6 1/3\""},
          Case{5 + (6 + 0.6) / 12, 10, L"5'6 3/5\""}}) {
        EXPECT_EQ(HeightToFeetAndInchesString(c.feet, c.denominator), c.text)
            << c.feet << " / " << c.denominator;
    }
    // Beyond 32 bits the feet and inches saturate (and still carry) instead of overflowing.
    EXPECT_EQ(HeightToFeetAndInchesString(1e12, 16), L"2326440617'8\"");
    EXPECT_EQ(HeightToFeetAndInchesString(NAN, 16), L"0'0\"");
    EXPECT_EQ(HeightToDecimalString(1234.5678, 3), L"1234.568");
    EXPECT_EQ(NorEToFeetAndInchesString(1234.5678, 3), L"1234.568");
    EXPECT_EQ(NorEToDecimalString(1.5, 0), L"  2");
}

// Fault: a blank or a missing inch mark drops the inches; a minus sign lost on the inches
TEST(FeetAndInches, ReadingTexts) {
    struct Case {
        const wchar_t* text;
        double feet;
    };
    const auto expect = [](std::initializer_list<Case> cases) {
        for (const Case& c : cases)
            EXPECT_NEAR(StringToHeight(c.text), c.feet, 1e-12) << c.text;
    };
    expect({Case{L"5'6 1/4\"", 5 + 6.25 / 12}, Case{L"5'6\"", 5.5}, Case{L"6\"", 0.5},
            Case{L"1/4\"", 0.25 / 12}, Case{L"-5'6\"", -5.5}, Case{L"5'", 5}, Case{L"12.75", 12.75},
            Case{L"1 234.5", 1234.5}, Case{L"0'0\"", 0}, Case{L"1/0\"", 1.0 / 12}, Case{L"", 0},
            Case{L"abc", 0}, Case{L"5'x", 5}, Case{L"-12.5", -12.5}});
    // Extra blanks and a missing inch mark never drop or garble the inches.
    expect({Case{L"5'6 1/4 \"", 5 + 6.25 / 12}, Case{L"5' 6\"", 5.5},
            Case{L"5' 6 1/4\"", 5 + 6.25 / 12}, Case{L" 5 ' 6  1 / 4 \" ", 5 + 6.25 / 12},
            Case{L"1 234'6\"", 1234.5}, Case{L"5'6", 5.5}, Case{L"-5'6 1/2", -(5 + 6.5 / 12)}});
    EXPECT_FALSE(std::signbit(StringToHeight(L"-0'0\"")));
    EXPECT_EQ(StringToNorE(L"5'6\""), 5.5);
}

// Into feet the result is rounded to 0.00001 ft; into metres it is not. Packed values hold
// feet, two digits of inches and a digit of eighths: 1 m is 3.28084 ft, 3 ft 3 3/8 in.
// Fault: survey and international feet swapped; eighths of an inch not carried into feet
TEST(Lengths, UnitConversionsAndPackedFeetAndInches) {
    const std::pair<double, double> exact[] = {
        {Meter2IFeet(1.0), 3.28084},   // 1 / 0.3048 = 3.2808399
        {Meter2USFeet(1.0), 3.28083},  // 3937 / 1200 = 3.2808333
        {Meter2IFeet(-1.0), -3.28084},
        {Meter2FFFII(1.0, false), 3.033},
        {Meter2FFFII(1.6764, false), 5.06},
        {Meter2FFFII(-1.0, true), -3.033},
        {Meter2FFFII(0.3048 * 11.999, false), 12.0},  // eighths carry into feet
    };
    for (const auto& [got, expected] : exact)
        EXPECT_DOUBLE_EQ(got, expected);
    const std::pair<double, double> metres[] = {
        {IFeet2Meter(1.0), 0.3048},
        {USFeet2Meter(3937), 1200},
        {FFFII2Meter(5.06, false), 1.6764},         // 5.5 ft
        {FFFII2Meter(4.06, false), 1.3716},         // 4.5 ft
        {FFFII2Meter(5.063, false), 1.685925},      // 5 ft 6 3/8 in
        {FFFII2Meter(-5.06, true), -1.6764033528},  // US survey feet
    };
    for (const auto& [got, expected] : metres)
        EXPECT_NEAR(got, expected, 1e-9);
    EXPECT_DOUBLE_EQ(FFFII2Meter(5.068, false), FFFII2Meter(5.07, false));
    EXPECT_DOUBLE_EQ(FFFII2Meter(5.13, false), FFFII2Meter(6.01, false));
    // Every eighth of an inch survives the round trip through metres.
    for (int eighths = 0; eighths < 12 * 8 * 20; ++eighths) {
        const double feet = eighths / 96.0;
        const double packed = Meter2FFFII(IFeet2Meter(feet), false);
        EXPECT_NEAR(FFFII2Meter(packed, false), IFeet2Meter(feet), 2e-5) << packed;
    }
}
