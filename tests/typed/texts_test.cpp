// The typed conversions: limits refused at and just past their edges, NaN and infinities
// refused, options giving the texts they name, and the readers never answering an infinity.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"
#include "typed/numbers.h"
#include "typed/reading.h"
#include "typed/texts.h"

namespace typed = fieldkit::typed;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The next double beyond `edge`, away from zero.
double Past(double edge) {
    return std::nextafter(edge, edge < 0 ? -kInf : kInf);
}

void ExpectRefused(const typed::Text& t, const std::string& why, std::size_t argument = 0) {
    EXPECT_FALSE(t.ok) << testing::PrintToString(t.text);
    EXPECT_EQ(t.why, why);
    EXPECT_EQ(t.argument, argument);
}

}  // namespace

// Fault: a range check with < for <= refuses a value at its edge, or takes one past it
TEST(TypedLimits, ValuesAtTheEdgeAreTakenJustPastRefused) {
    EXPECT_TRUE(typed::LatitudeDms(90, false).ok);
    EXPECT_TRUE(typed::LatitudeDms(-90, false).ok);
    ExpectRefused(typed::LatitudeDms(Past(90), false), "out of range (-90 to 90)");
    ExpectRefused(typed::LatitudeDms(Past(-90), true), "out of range (-90 to 90)");
    EXPECT_TRUE(typed::LongitudeDms(-360, false).ok);
    ExpectRefused(typed::LongitudeDms(Past(360), false), "out of range (-360 to 360)");
    EXPECT_TRUE(typed::AngleDms(1e9, typed::Seconds::kWhole).ok);
    ExpectRefused(typed::AngleDms(Past(-1e9), typed::Seconds::kSixDecimals),
                  "out of range (-1e+09 to 1e+09)");
    using NS = typed::NorthSouth;
    using EW = typed::EastWest;
    EXPECT_TRUE(typed::QuadrantBearing(360, NS::kFromAzimuth, EW::kFromAzimuth).ok);
    ExpectRefused(typed::QuadrantBearing(Past(-360), NS::kFromAzimuth, EW::kFromAzimuth),
                  "out of range (-360 to 360)");
    // The decimal command's range follows what the value is.
    EXPECT_TRUE(typed::DecimalDegrees(200, typed::Axis::kEastWest, typed::Packed::kNo, 2).ok);
    ExpectRefused(typed::DecimalDegrees(91, typed::Axis::kNorthSouth, typed::Packed::kNo, 2),
                  "out of range (-90 to 90)");
    ExpectRefused(typed::DecimalDegrees(1, typed::Axis::kAngle, typed::Packed::kNo, 16),
                  "out of range (0 to 15)", 3);
    ExpectRefused(typed::DecimalDegrees(1, typed::Axis::kAngle, typed::Packed::kTo, 3),
                  "4 or more decimals for packed D.MMSS (whole seconds)", 3);
}

// Fault: an option's edge (denominator, interval, precision, date count) off by one step
TEST(TypedLimits, OptionsAndCountsAtTheirEdges) {
    EXPECT_TRUE(typed::FeetInches(5.5, 65536).ok);
    EXPECT_TRUE(typed::FeetInches(5.5, 0).ok);
    ExpectRefused(typed::FeetInches(5.5, 65537), "out of range (0 to 65536)", 1);
    ExpectRefused(typed::FeetInches(5.5, -1), "out of range (0 to 65536)", 1);
    EXPECT_TRUE(typed::StationText(1, 0.001).ok);
    ExpectRefused(typed::StationText(1, std::nextafter(0.001, 0.0)),
                  "out of range (0.001 to 1e+06)", 1);
    ExpectRefused(typed::StationText(1, Past(1e6)), "out of range (0.001 to 1e+06)", 1);
    // The count of intervals must fit 32 bits.
    ExpectRefused(typed::StationText(2147483.648, 0.001), "too many stations");
    EXPECT_TRUE(typed::StationText(2147483.646, 0.001).ok);
    EXPECT_TRUE(typed::SubscriptionEnd(1000000000000LL).ok);
    ExpectRefused(typed::SubscriptionEnd(-1000000000001LL),
                  "out of range (-1000000000000 to 1000000000000)");
    EXPECT_TRUE(typed::PackedDms(10.5, 4).ok);
    EXPECT_TRUE(typed::PackedDms(10.5, 15).ok);
    EXPECT_EQ(typed::PackedDms(10.5, 3).argument, 1u);
    EXPECT_FALSE(typed::PackedDms(10.5, 3).ok);
    EXPECT_FALSE(typed::PackedDms(10.5, -5).ok);
    EXPECT_FALSE(typed::PackedDms(10.5, 16).ok);
    // ((4085 * 365 + 9 * 30 + 13) * 24 + 2) * 60 + 7 is 2147483647, the last count.
    EXPECT_TRUE(typed::DateCount(L"13.9.6085, 02:07").ok);
    EXPECT_EQ(typed::DateCount(L"13.9.6085, 02:08").why,
              "a date too late for the 32-bit count (at most about the year 6085)");
    EXPECT_EQ(typed::DateCount(L"32.1.2019").why, "not a date (D.M.YYYY or D.M.YYYY, H:MM)");
    EXPECT_EQ(typed::DateCount(L"01.02.2019, 10:30").value, 10074870);
}

// Fault: a NaN or an infinity passes a range check that NaN fails both sides of
TEST(TypedLimits, NotANumberIsRefusedEverywhere) {
    for (const double v : {kNaN, kInf, -kInf}) {
        ExpectRefused(typed::LatitudeDms(v, false), "not a number");
        ExpectRefused(typed::AngleDms(v, typed::Seconds::kFourDecimals), "not a number");
        ExpectRefused(typed::FeetInches(v, 16), "not a number");
        ExpectRefused(typed::StationText(1, v), "not a number", 1);
        EXPECT_FALSE(typed::MetresToFeet(v, typed::Foot::kUsSurvey).ok);
        EXPECT_FALSE(typed::FeetToMetres(v, typed::Foot::kInternational).ok);
        const typed::Triple p = typed::Geocentric(45, v, 0);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.argument, 1u);
        EXPECT_EQ(typed::Geodetic(6378137, 0, v).argument, 2u);
    }
    // Any finite length converts, however large.
    EXPECT_TRUE(typed::FeetToMetres(1e300, typed::Foot::kInternational).ok);
}

// Fault: a bearing given only N or S takes W for its other letter, or an option is dropped
TEST(TypedTexts, OptionsGiveTheTextTheyName) {
    // The usual options (tenths, four and six decimals, an azimuth's own quadrant, --to-dms,
    // both feet, a station and a subscription) are rows of the tool's conversion table, whose
    // exact texts run through these functions; here are the ones the tool's rows leave out.
    EXPECT_EQ(typed::AngleDms(1.5, typed::Seconds::kWhole).text, L"001\u00B030'0\"");
    using NS = typed::NorthSouth;
    using EW = typed::EastWest;
    EXPECT_EQ(typed::QuadrantBearing(200.5, NS::kSouth, EW::kWest).text, L"S20\u00B030'0.0000\"W");
    // One letter asked for: the other counts as north or east, and must fit the azimuth.
    ExpectRefused(typed::QuadrantBearing(150, NS::kNorth, EW::kFromAzimuth),
                  "the azimuth is not in the N..E quadrant");
    ExpectRefused(typed::QuadrantBearing(315, NS::kFromAzimuth, EW::kEast),
                  "the azimuth is not in the N..E quadrant");
    EXPECT_EQ(typed::QuadrantBearing(315, NS::kFromAzimuth, EW::kWest).text,
              L"N45\u00B000'0.0000\"W");
    EXPECT_EQ(typed::DecimalDegrees(123.4530, typed::Axis::kAngle, typed::Packed::kFrom, 6).text,
              L"123.758333");
    EXPECT_EQ(typed::FeetInches(5 + 6.25 / 12, 16).text, L"5'6 1/4\"");
    EXPECT_EQ(typed::FeetInches(5.52, 0).text, L"5'6\"");
    EXPECT_DOUBLE_EQ(typed::FeetToMetres(1, typed::Foot::kInternational).value, 0.3048);
    EXPECT_EQ(typed::StationText(1234.567, 1000).text, L"1+234.57");
}

// Fault: geodetic coordinates do not invert geocentric ones, or a far point gets a position
TEST(TypedTexts, PositionsGoThereAndBack) {
    const typed::Triple xyz = typed::Geocentric(45.5, -73.5, 100);
    ASSERT_TRUE(xyz.ok);
    const typed::Triple blh = typed::Geodetic(xyz.value[0], xyz.value[1], xyz.value[2]);
    ASSERT_TRUE(blh.ok);
    EXPECT_NEAR(blh.value[0], 45.5, 1e-11);
    EXPECT_NEAR(blh.value[1], -73.5, 1e-11);
    EXPECT_NEAR(blh.value[2], 100, 1e-5);
    EXPECT_NEAR(typed::Geocentric(0, 0, 0).value[0], 6378137, 1e-6);
    const typed::Triple far = typed::Geodetic(8000000, 0, 0);
    EXPECT_FALSE(far.ok);
    EXPECT_EQ(far.argument, typed::kWholeCall);
}

// Fault: a reader answers inf for a number too large for a double instead of refusing it
TEST(TypedReading, NoReaderAnswersAnInfinity) {
    const std::wstring huge(400, L'1');
    for (const typed::Mode mode :
         {typed::Mode::kChecked, typed::Mode::kLenient, typed::Mode::kStrict}) {
        for (const std::wstring& t :
             {huge, L"-" + huge, huge + L"'", std::wstring(L"1e400"), L"0 0 " + huge}) {
            for (const typed::Axis axis :
                 {typed::Axis::kAngle, typed::Axis::kNorthSouth, typed::Axis::kEastWest}) {
                const typed::Reading r = typed::ReadAngle(t, axis, mode);
                EXPECT_TRUE(r.ok ? std::isfinite(r.value) : !r.why.empty());
                if (mode == typed::Mode::kLenient) {
                    EXPECT_FALSE(r.ok);
                }
            }
            const typed::Reading h = typed::ReadHeight(t, mode);
            EXPECT_TRUE(h.ok ? std::isfinite(h.value) : !h.why.empty());
            const typed::Reading s = typed::ReadStation(t, 100, mode);
            EXPECT_TRUE(s.ok ? std::isfinite(s.value) : !s.why.empty());
        }
    }
    EXPECT_EQ(typed::ReadAngle(huge, typed::Axis::kAngle, typed::Mode::kLenient).why,
              "too large a number (it reads as infinity)");
}

// Fault: a number read with trailing text, hex, nan or a comma, or "1.0" taken as whole
TEST(TypedNumbers, TextsAreReadWholeAndWithinTheRange) {
    double v = 0;
    std::string why;
    EXPECT_TRUE(typed::ReadNumber(L" 90 ", typed::kLatitude, v, why));
    EXPECT_EQ(v, 90);
    EXPECT_FALSE(typed::ReadNumber(L"90.0000000000001", typed::kLatitude, v, why));
    EXPECT_EQ(why, "out of range (-90 to 90): '90.0000000000001'");
    for (const wchar_t* t : {L"nan", L"inf", L"0x10", L"1,5", L"", L"1e", L"--1"}) {
        EXPECT_FALSE(typed::ReadNumber(t, typed::kAnyValue, v, why)) << t;
        EXPECT_EQ(why.rfind("not a number: '", 0), 0u) << t;
    }
    EXPECT_FALSE(typed::ReadNumber(L"1e400", typed::kAnyValue, v, why));
    EXPECT_EQ(why, "out of range (-1e+09 to 1e+09): '1e400'");
    long long n = 0;
    EXPECT_TRUE(typed::ReadWhole(L"15", typed::kDecimals, n, why));
    EXPECT_FALSE(typed::ReadWhole(L"16", typed::kDecimals, n, why));
    EXPECT_EQ(why, "out of range (0 to 15): '16'");
    EXPECT_FALSE(typed::ReadWhole(L"1.0", typed::kDecimals, n, why));
    EXPECT_EQ(why, "not a whole number: '1.0'");
    EXPECT_FALSE(typed::ReadWhole(L"99999999999999999999", {-1e30, 1e30}, n, why));
}
