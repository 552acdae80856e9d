// Typed texts in the three reading modes: one row per text with its result in each mode, a
// value printed to nine decimals or the whole reason of a refusal.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fieldkit/fieldkit.h"
#include "fieldkit/text/format.h"
#include "typed/reading.h"

namespace {

using fieldkit::typed::Axis;
using fieldkit::typed::Mode;
using fieldkit::typed::Reading;

constexpr Axis kLat = Axis::kNorthSouth;
constexpr Axis kLon = Axis::kEastWest;
constexpr Axis kAngle = Axis::kAngle;

// A value as "%.9f", a refusal as its reason.
std::string Shown(const Reading& r) {
    return r.ok ? fieldkit::FormatA("%.9f", r.value) : r.why;
}

struct AngleRow {
    Axis axis;
    const wchar_t* text;
    const char* checked;
    const char* lenient;
    const char* strict;  // nullptr: as checked
};

// Checked reads what the text means or refuses; lenient is the library's number, whatever the
// text; strict takes only the usual way of writing and names the character it stops at.
const AngleRow kAngles[] = {
    // Nothing to read: the library's 0 would put the point on the equator.
    {kLat, L"", "empty", "0.000000000", nullptr},
    {kLat, L"N/A", "no digit", "0.000000000", nullptr},
    {kAngle, L"abc", "no digit", "0.000000000", nullptr},
    // d, m and s after numbers are units; the library reads the s as south.
    {kLat, L"45d30m15.5s", "45.504305556", "-45.504305556",
     "a unit letter, strict reading takes \u00B0, ' and \" ('d' at character 3)"},
    {kLat, L"45d 30m 15.5s S", "-45.504305556", "-45.504305556",
     "a unit letter, strict reading takes \u00B0, ' and \" ('d' at character 3)"},
    {kLat, L"45d30m15.5S", "seconds or south? ('S' at character 11)", "-45.504305556",
     "a unit letter, strict reading takes \u00B0, ' and \" ('d' at character 3)"},
    {kLat, L"30m", "0.500000000", "30.000000000",
     "a unit letter, strict reading takes \u00B0, ' and \" ('m' at character 3)"},
    // Tabs, no-break and thin spaces separate as blanks do (exports put them between numbers).
    {kLat, L"\t45\u00B0\u00A030'\u2009N\t", "45.500000000", "45.500000000", nullptr},
    // Without d and m units an s is south, in every mode.
    {kLat, L"45.5s", "-45.500000000", "-45.500000000", nullptr},
    {kLat, L"45 30 15.5S", "-45.504305556", "-45.504305556", nullptr},
    // Letters of the other axis, or no hemisphere at all.
    {kLat, L"45 30 15.5 W", "E or W in a latitude ('W' at character 12)", "45.504305556", nullptr},
    {kLat, L"45\u00B030'15.5\"E", "E or W in a latitude ('E' at character 12)", "45.504305556",
     nullptr},
    {kLon, L"45 30 N", "N or S in a longitude ('N' at character 7)", "45.500000000", nullptr},
    {kLat, L"PT101 45 30 15.5 N", "a letter that is not a hemisphere ('P' at character 1)",
     "101.758375000", nullptr},
    {kLat, L"N45S", "a second hemisphere letter ('S' at character 4)", "-45.000000000", nullptr},
    {kLat, L"45 N S", "a hemisphere letter neither first nor last ('N' at character 4)",
     "-45.000000000", nullptr},
    {kLat, L"-45 S", "both a sign and a hemisphere letter ('-' at character 1)", "45.000000000",
     nullptr},
    // Out of range, and what it may be.
    {kLat, L"453015.5N", "a latitude beyond 90 degrees, packed DDMMSS? ('453015.5' at character 1)",
     "453015.500000000", nullptr},
    {kLat, L"4530.25N", "a latitude beyond 90 degrees, packed DDMM.MM? ('4530.25' at character 1)",
     "4530.250000000", nullptr},
    {kLat, L"91", "a latitude beyond 90 degrees ('91' at character 1)", "91.000000000", nullptr},
    {kLat, L"90 0 1", "a latitude beyond 90 degrees ('90' at character 1)", "90.000277778",
     nullptr},
    {kLon, L"400", "a longitude beyond 360 degrees ('400' at character 1)", "400.000000000",
     "a longitude beyond 180 degrees ('400' at character 1)"},
    {kLon, L"W180 30", "-180.500000000", "-180.500000000",
     "a longitude beyond 180 degrees ('180' at character 2)"},
    {kAngle, L"1234567890", "an angle beyond 1e9 degrees ('1234567890' at character 1)",
     "1234567890.000000000", nullptr},
    // A decimal comma, and other characters out of place.
    {kLat, L"45,5", "a decimal comma? (',' at character 3)", "45.083333333", nullptr},
    {kAngle, L"12-5", "a sign not at the start ('-' at character 3)", "12.000000000", nullptr},
    {kAngle, L"45\u00B0\u00B0", "a unit mark without a number before it ('\u00B0' at character 4)",
     "45.000000000", nullptr},
    {kAngle, L"12\x1B[31m", "a character that is not part of an angle ('\\x1B' at character 3)",
     "12.516666667", nullptr},
    // Numbers that do not fit degrees, minutes and seconds.
    {kAngle, L"12 30 15 5", "more than three numbers ('5' at character 10)", "12.504305556",
     nullptr},
    {kLat, L"12.5\u00B030'", "a decimal fraction before the last number ('.' at character 3)",
     "13.000000000", nullptr},
    {kLat, L"45 75", "minutes of 60 or more ('75' at character 4)", "46.250000000", nullptr},
    {kAngle, L"12\u00B030'60.5\"", "seconds of 60 or more ('60.5' at character 7)", "12.516805556",
     nullptr},
    {kAngle, L"45\u00B015\"",
     "unit marks out of the order degrees, minutes, seconds ('\"' at character 6)", "45.250000000",
     nullptr},
    {kAngle, L"75'", "1.250000000", "1.250000000", "minutes of 60 or more ('75' at character 1)"},
    // The library reads 30'15" as 30 degrees 15 minutes: the marks mean minutes and seconds.
    {kAngle, L"30'15\"", "0.504166667", "30.250000000", nullptr},
    // Spellings the library does not know: they would lose the minutes, or the sign.
    {kLat, L"45\u00B030\u203215.5\u2033S", "-45.504305556", "-45.504305556", nullptr},
    {kLat, L"45\u00BA30\u201915.5\u201DN", "45.504305556", "45.504305556", nullptr},
    {kAngle, L"45\u02DA30''",
     "unit marks out of the order degrees, minutes, seconds ('''' at character 6)", "45.500000000",
     nullptr},
    {kAngle, L"45'30''", "0.758333333", "45.500000000", nullptr},
    {kAngle, L"30\u2032", "0.500000000", "30.000000000", nullptr},
    {kLat, L"45:30:15.5", "45.504305556", "45.504305556", nullptr},
    {kLat, L"\u221245.5", "-45.500000000", "45.500000000", nullptr},
    {kLat, L"+45.5", "45.500000000", "45.500000000", nullptr},
    // Plain numbers: an exponent as the library reads it, points at either end.
    {kAngle, L"1e2", "100.000000000", "100.000000000",
     "a bearing has N or S first and E or W last ('e' at character 2)"},
    {kAngle, L"1E2", "a bearing has N or S first and E or W last ('E' at character 2)",
     "1.033333333", nullptr},
    {kLat, L"1e2", "a latitude beyond 90 degrees", "100.000000000",
     "E or W in a latitude ('e' at character 2)"},
    {kLon, L"45e", "45.000000000", "45.000000000", nullptr},
    {kAngle, L"12.", "12.000000000", "12.000000000",
     "a decimal point without digits on both sides ('.' at character 3)"},
    {kAngle, L".5", "0.500000000", "0.500000000",
     "a decimal point without digits on both sides ('.' at character 1)"},
    // Quadrant bearings as azimuths; the library only knows them in capitals, over 3 characters.
    {kAngle, L"S20\u00B000'00\"W", "200.000000000", "200.000000000", nullptr},
    {kAngle, L"N 30 15 E", "30.250000000", "30.250000000", nullptr},
    {kAngle, L"N0W", "360.000000000", "0.000000000", nullptr},
    {kAngle, L"N00W", "360.000000000", "360.000000000", nullptr},
    {kAngle, L"s30e", "150.000000000", "30.000000000", nullptr},
    {kAngle, L"S5E", "175.000000000", "5.000000000", nullptr},
    {kAngle, L"N100E", "a bearing beyond 90 degrees ('100' at character 2)", "100.000000000",
     nullptr},
    {kAngle, L"30 E", "a bearing has N or S first and E or W last ('E' at character 4)",
     "30.000000000", nullptr},
    {kAngle, L"-N30E", "both a sign and a hemisphere letter ('-' at character 1)", "-30.000000000",
     nullptr},
    // Written the usual way: every mode agrees.
    {kAngle, L"  -12\u00B030'15.5\" ", "-12.504305556", "-12.504305556", nullptr},
    {kLat, L"S 33 51 24.48", "-33.856800000", "-33.856800000", nullptr},
    {kLon, L"151\u00B012'33.48\"E", "151.209300000", "151.209300000", nullptr},
    {kLon, L"w 5", "-5.000000000", "-5.000000000", nullptr},
};

// Fault: an s after d and m units read as south, or a W in a latitude ignored, not refused
TEST(Reading, AnglesInEachMode) {
    for (const AngleRow& row : kAngles) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
        EXPECT_EQ(Shown(ReadAngle(row.text, row.axis, Mode::kChecked)), row.checked);
        EXPECT_EQ(Shown(ReadAngle(row.text, row.axis, Mode::kLenient)), row.lenient);
        EXPECT_EQ(Shown(ReadAngle(row.text, row.axis, Mode::kStrict)),
                  row.strict != nullptr ? row.strict : row.checked);
    }
    // Numbers beyond double's range either way read as the scanner reads them, and a long
    // piece of text is cut short in the reason.
    const std::wstring tiny = L"0." + std::wstring(400, L'0') + L"1'";
    EXPECT_EQ(Shown(ReadAngle(tiny, kAngle, Mode::kChecked)), "0.000000000");
    EXPECT_EQ(Shown(ReadAngle(std::wstring(400, L'9'), kAngle, Mode::kStrict)),
              "an angle beyond 1e9 degrees ('99999999999999999999...' at character 1)");
}

struct TextRow {
    const wchar_t* text;
    const char* checked;  // strict reads these as checked does
    const char* lenient;
};

// Fault: inches of 12 or more after feet taken, or checked mode drops decimal inches
TEST(Reading, HeightsInEachMode) {
    const TextRow kHeights[] = {
        {L"5'6 1/4\"", "5.520833333", "5.520833333"},
        {L"5'6.25\"", "5.520833333", "5.500000000"},  // the library drops decimal inches
        {L"5' 6", "5.500000000", "5.500000000"},
        {L"-5'6\"", "-5.500000000", "-5.500000000"},
        {L"-0'0\"", "0.000000000", "0.000000000"},
        {L"6 1 / 4\"", "0.520833333", "0.520833333"},
        {L"5\u20326\u2033", "5.500000000", "5.000000000"},
        {L"5'6''", "5.500000000", "5.500000000"},
        {L"13\"", "1.083333333", "1.083333333"},
        {L"12.75", "12.750000000", "12.750000000"},
        {L"5'6 1/0\"", "a zero denominator ('0' at character 7)", "5.583333333"},
        {L"5'13\"", "inches of 12 or more after feet ('13' at character 3)", "6.083333333"},
        {L"5'12\"", "inches of 12 or more after feet ('12' at character 3)", "6.000000000"},
        {L"5'6 5/4\"", "a fraction of a whole inch or more ('5/4' at character 5)", "5.604166667"},
        {L"5'\"6", "not a feet-and-inches height ('6' at character 4)", "5.000000000"},
        {L"1 5'", "not a feet-and-inches height ('5' at character 3)", "15.000000000"},
        {L"5'6.5 1/4\"", "not a feet-and-inches height ('1' at character 7)", "5.520833333"},
        {L"1 234.5", "not a number", "1234.500000000"},
        {L"abc", "not a number", "0.000000000"},
    };
    for (const TextRow& row : kHeights) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
        EXPECT_EQ(Shown(ReadHeight(row.text, Mode::kChecked)), row.checked);
        EXPECT_EQ(Shown(ReadHeight(row.text, Mode::kStrict)), row.checked);
        EXPECT_EQ(Shown(ReadHeight(row.text, Mode::kLenient)), row.lenient);
    }
}

// Fault: -12+34.50 read as -1234.50 instead of refused as ambiguous
TEST(Reading, StationsInEachMode) {
    const TextRow kStations[] = {
        {L"12+34.57", "1234.570000000", "1234.570000000"},
        // The library's own form of a station before zero reads back; the other is ambiguous.
        {L"-12+-34.50", "-1234.500000000", "-1234.500000000"},
        {L"0+-34.50", "-34.500000000", "-34.500000000"},
        {L"-12+34.50",
         "a negative station with an unsigned remainder (write -12+-34.50 for the station "
         "before zero)",
         "-1165.500000000"},
        {L"12+-34.5", "a positive station with a negative remainder", "1165.500000000"},
        {L"12+100", "a remainder of the interval or more (the interval is 100)", "1300.000000000"},
        {L"12+34abc", "not a station (N+R)", "1234.000000000"},
        {L"2147483648+0", "not a station (N+R)", nullptr},
        {L"1234.5", "1234.500000000", "1234.500000000"},
        {L"abc", "not a number", "not a station (N+R)"},
    };
    for (const TextRow& row : kStations) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
        EXPECT_EQ(Shown(ReadStation(row.text, 100, Mode::kChecked)), row.checked);
        EXPECT_EQ(Shown(ReadStation(row.text, 100, Mode::kStrict)), row.checked);
        if (row.lenient != nullptr) {
            EXPECT_EQ(Shown(ReadStation(row.text, 100, Mode::kLenient)), row.lenient);
        }
    }
    EXPECT_EQ(Shown(ReadStation(L"2+500", 1000, Mode::kChecked)), "2500.000000000");
}

std::uint64_t Bits(double v) {
    std::uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Texts written the usual way, in the forms the library knows too, read to the same double in
// all three modes: the checked and strict readers use the library's arithmetic, and a text
// strict accepts reads the same in checked mode.
// Fault: degrees, minutes and seconds summed in another order, off from the library by a bit
TEST(Reading, UsualTextsReadToTheLibrarysBits) {
    std::mt19937 random(20261207);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int i = 0; i < 20000; ++i) {
        const Axis axis = i % 3 == 0 ? kAngle : i % 3 == 1 ? kLat : kLon;
        std::wstring text = pick(4) == 0 ? L"-" : L"";
        const int numbers = 1 + pick(3);
        const int limit = axis == kLat ? 90 : 180;
        for (int k = 0; k < numbers; ++k) {
            const int whole = k == 0 ? pick(limit) : pick(60);
            text += std::to_wstring(whole);
            if (k + 1 == numbers && pick(2) == 0) text += L"." + std::to_wstring(pick(100000));
            if (numbers > 1 || pick(2) == 0) text += std::wstring(1, L"\u00B0'\""[k]);
            if (k + 1 < numbers && pick(2) == 0) text += L' ';
        }
        if (axis != kAngle && text[0] != L'-' && pick(2) == 0)
            text += axis == kLat ? (pick(2) ? L" N" : L"S") : (pick(2) ? L"E" : L" W");
        SCOPED_TRACE(testing::PrintToString(text));
        const Reading lenient = ReadAngle(text, axis, Mode::kLenient);
        const Reading checked = ReadAngle(text, axis, Mode::kChecked);
        const Reading strict = ReadAngle(text, axis, Mode::kStrict);
        ASSERT_TRUE(checked.ok) << checked.why;
        ASSERT_TRUE(strict.ok) << strict.why;
        ASSERT_EQ(Bits(checked.value), Bits(lenient.value));
        ASSERT_EQ(Bits(strict.value), Bits(lenient.value));
    }
}

// Numbers of every length read to the correctly rounded double, the short ones (which the
// reader works out itself) and the long ones alike: up to 25 digits, the point anywhere,
// leading zeros in the fraction.
// Fault: a long decimal worked out by one division, rounded twice and a bit off
TEST(Reading, DecimalsOfEveryLengthReadToTheNearestDouble) {
    std::mt19937 random(8122026);
    for (int i = 0; i < 50000; ++i) {
        const int length = 1 + static_cast<int>(random() % 25);
        std::string digits;
        for (int k = 0; k < length; ++k)
            digits += static_cast<char>('0' + random() % 10);
        // At most nine whole digits, within 1e9 degrees; none after the point is a whole number.
        const int point =
            static_cast<int>(random() % static_cast<unsigned>(std::min(length, 9) + 1));
        if (point < length) digits.insert(static_cast<std::size_t>(point), ".");
        double expected = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), expected);
        const Reading r =
            ReadAngle(std::wstring(digits.begin(), digits.end()), kAngle, Mode::kChecked);
        SCOPED_TRACE(digits);
        ASSERT_TRUE(r.ok) << r.why;
        ASSERT_EQ(Bits(r.value), Bits(expected));
    }
}

// The reasons for a packed D.MMSS text follow the library's own check, rule for rule.
// Fault: a D.MMSS text the library refuses given no reason, or one it takes given one
TEST(Reading, DmsCheckGivesAReasonExactlyWhenTheLibraryRefuses) {
    const struct {
        const wchar_t *value, *maximum;
        bool allow;
        const char* why;
    } kCases[] = {
        {L"123.4530", L"360", false, ""},
        {L"360", L"360", false, "the maximum '360' itself (--allow-max allows it)"},
        {L"360.0000", L"360", true, ""},
        {L"360.0001", L"360", true, "seconds 01 with the maximum degrees (only 00)"},
        {L"12.6", L"90", false, "minutes 60 above 59"},
        {L"12.5960", L"90", false, "seconds 60 above 59"},
        {L"090.00", L"90", false, "more degree digits than the maximum '90'"},
        {L"91", L"90", false, "degrees above the maximum '90'"},
        {L" -1.2.3", L"90", false, "a second decimal point ('.' at character 6)"},
        {L"12a", L"90", false, "a character other than a digit or '.' ('a' at character 3)"},
        {L"--12", L"90", false, "a character other than a digit or '.' ('-' at character 2)"},
        {L"", L"90", false, ""},
        {L".3000", L"360", false, "more degree digits than the maximum '360'"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.value)));
        EXPECT_EQ(fieldkit::typed::DmsCheckProblem(c.value, c.maximum, c.allow), c.why);
    }
    // Every short text of the characters that matter, against the library itself.
    const std::wstring kAlphabet = L"09.5-6 ";
    for (int code = 0; code < 7 * 7 * 7 * 7 * 7 * 7; ++code) {
        std::wstring value;
        for (int n = code; n > 0; n /= 7)
            value += kAlphabet[static_cast<std::size_t>(n % 7)];
        for (const wchar_t* maximum : {L"90", L"360", L"9"}) {
            for (const bool allow : {false, true}) {
                const bool valid = CheckValidDMSVal(CString(value.c_str()), maximum, allow);
                ASSERT_EQ(fieldkit::typed::DmsCheckProblem(value, maximum, allow).empty(), valid)
                    << testing::PrintToString(value) << " " << testing::PrintToString(maximum);
            }
        }
    }
}

}  // namespace
