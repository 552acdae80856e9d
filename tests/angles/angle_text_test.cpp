#include "fieldkit/angles/angle_text.h"

#include <gtest/gtest.h>

#include "fieldkit/angles/detail/coordinate_text.h"
#include "tests/support/cstring_printer.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

// Fault: 59.99999 seconds printed as 60 instead of carried; hemisphere letter from -0.0 wrong
TEST(AngleText, CoordinatesAnglesAndBearings) {
    const std::pair<CString, CString> cases[] = {
        {LatitudeToDDDMMSSSString(45.5, true), L"45\u00B030'00.00000\"N"},
        {LatitudeToDDDMMSSSString(45.5, false), L"45\u00B030'0.0\"N"},
        {LatitudeToDDDMMSSSString(-33.8568, true), L"33\u00B051'24.48000\"S"},
        {LatitudeToDDDMMSSSString(-33.8568, false), L"33\u00B051'24.4\"S"},
        {LongitudeToDDDMMSSSString(-33.8568, true), L"33\u00B051'24.48000\"W"},
        {LongitudeToDDDMMSSSString(0, true), L"0\u00B000'00.00000\"E"},
        {LatitudeToDDDMMSSSString(0, true), L"00\u00B000'00.00000\"N"},
        {LatitudeToDDDMMSSSString(-0.0, true), L"00\u00B000'00.00000\"N"},
        {LatitudeToDDDMMSSSString(0.99999999999, true), L"01\u00B000'00.00000\"N"},
        {LatitudeToDDDMMSSSString(89.99999999999, true), L"90\u00B000'00.00000\"N"},
        {LatitudeToDDDMMSSSString(5 + 59.96 / 3600, false), L"05\u00B000'59.9\"N"},
        {LongitudeToDDDMMSSSString(179.5, false), L"179\u00B030'0.0\"E"},
        {LatitudeToDDDDString(45.5, true), L"45.5000000"},
        {LatitudeToDDDDString(-5.5, false), L"-5.50000"},
        {LongitudeToDDDDString(-122.25, true), L"-122.25000000"},
        {LongitudeToDDDDString(7.125, false), L"7.125000"},
        {AngleToDDDMMSSSString(5.5, false), L"5\u00B030'0.0000\""},
        {AngleToDDDMMSSSString(-5.5, true), L"-5\u00B030'0.0000\""},
        {AngleToDDDMMSSSString(-0.5, false), L"-0\u00B030'0.0000\""},
        {AngleToDDDMMSSSString(-0.00000001, false), L"0\u00B000'0.0000\""},
        {AngleToDDDMMSSSString(123.456789, false), L"123\u00B027'24.4404\""},
        {AngleToDDDMMSSSString(359.99999999999, false), L"360\u00B000'0.0000\""},
        {AngleToDDDMMSSSSSString(-0.00000001), L"0\u00B000'0.000036\""},
        {AngleToDDDMMSSSSSString(-1.5), L"-1\u00B030'0.000000\""},
        {AngleToDDDMMSSSStringWithRoombs(30, true, true, false), L"N30\u00B000'0.0000\"E"},
        {AngleToDDDMMSSSStringWithRoombs(330, true, false, false), L"N30\u00B000'0.0000\"W"},
        {AngleToDDDMMSSSStringWithRoombs(150, false, true, false), L"S30\u00B000'0.0000\"E"},
        {AngleToDDDMMSSSStringWithRoombs(200, false, false, false), L"S20\u00B000'0.0000\"W"},
        // The letters are not checked against the azimuth.
        {AngleToDDDMMSSSStringWithRoombs(100, true, true, false), L"N100\u00B000'0.0000\"E"},
        {AngleToDDDMMSSSStringWithRoombs(10, false, false, false), L"S190\u00B000'0.0000\"W"},
        {AngleToDDDDString(5.5, false), L"5.50000"},
        {AngleToDDDDString(5.5, true), L"5.5000000000"},
        {ShortAngleToString(10.5), L"010\u00B030'0\""},
        {ShortAngleToString(0.999999999999), L"001\u00B000'0\""},
        {ShortAngleToString(123.456789), L"123\u00B027'24\""},
        {ShortAngleToString(-10.5), L"-010\u00B030'0\""},
        {DDDMMSS2String(1234530), L"123\u00B045'30\""},
        {DDDMMSS2String(50307), L"  5\u00B0 3' 7\""},
        {DDDMMSS2String(-50307), L"-  5\u00B0 3' 7\""},
        // Huge and non-finite values stay defined.
        {AngleToDDDMMSSSString(1e12, false).Left(11), L"2147483647\u00B0"},
        {LatitudeToDDDMMSSSString(std::nan(""), true), L"00\u00B000'     nan\"N"},
        {ShortAngleToString(-INFINITY).Left(1), L"-"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
    EXPECT_FALSE(DDDMMSS2String(INFINITY).IsEmpty());
}

// Coordinates are written straight rather than through their formats; every text must still
// be the formats' own. The values that could tell the two apart: the seconds' rounding ties
// (multiples of 1/64 second are exact doubles, half of them halfway between two texts), the
// carries just below a whole minute, padding below ten, negative zero, values beyond the
// degrees' padding and those that only the formats can write.
// Fault: the direct coordinate writer rounding a tie or padding differently from its formats
TEST(AngleText, CoordinatesWrittenStraightAreTheFormatsOwn) {
    std::vector<double> values = {0.0,        -0.0, 1e-300, 9.999999999999, 10.0,
                                  59.9999999, 99.5, 100.25, 999.75,         1000.5,
                                  -1234.5,    1e12, NAN,    INFINITY,       -INFINITY};
    for (int d = 0; d < 3; ++d) {
        for (std::int64_t k = 0; k < 60 * 64 * 64; k += 7)
            values.push_back(d * 37 + static_cast<double>(k) /
                                          (3600.0 * 64));  // k/64 seconds past whole degrees
    }
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> any(-360, 360);
    std::uniform_real_distribution<double> nearMinute(-1e-9, 1e-9);
    for (int i = 0; i < 200000; ++i) {
        values.push_back(any(random));
        values.push_back(static_cast<int>(any(random) * 60) / 60.0 + nearMinute(random));
    }
    int differences = 0;
    for (const double v : values) {
        for (const bool five : {true, false}) {
            const CString lat = LatitudeToDDDMMSSSString(v, five);
            const CString lon = LongitudeToDDDMMSSSString(v, five);
            if (lat != fieldkit::detail::CoordinateTextByFormats(v, true, five) ||
                lon != fieldkit::detail::CoordinateTextByFormats(v, false, five)) {
                if (++differences <= 5) ADD_FAILURE() << v << " " << five << ": " << lat;
            }
        }
    }
    EXPECT_EQ(differences, 0);
}
