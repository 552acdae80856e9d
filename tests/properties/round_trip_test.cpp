// Every text a formatter writes reads back, through the matching reader, to the value it was
// written from, within what the text's last digit allows (half a unit where the text rounds,
// one unit where it cuts). Seeded, so a failure repeats.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <iomanip>
#include <random>

#include "fieldkit/angles/angle_parse.h"
#include "fieldkit/angles/angle_text.h"
#include "fieldkit/angles/geodetic.h"
#include "fieldkit/numbers/lengths.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/numbers/stations.h"
#include "fieldkit/text/scan.h"
#include "tests/support/cstring_printer.h"

namespace {

constexpr unsigned kSeed = 20261207;
constexpr int kCases = 4000;
constexpr double kSec = 1.0 / 3600;
// Arithmetic noise of reading and writing a value of this size.
double Noise(double v) {
    return 1e-12 + std::fabs(v) * 1e-14;
}

// Each test draws from the same seeded generator, and a failure names the seed.
class RoundTrip : public ::testing::Test {
  protected:
    double Uniform(double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng_); }
    int Int(int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(rng_); }
    // Degrees of magnitude up to `maxDeg`, often placed where texts carry or round: seconds
    // just below 60, halves of the last digit, whole minutes and degrees.
    double Angle(double maxDeg) {
        const double d = Int(0, static_cast<int>(maxDeg) - 1), m = Int(0, 59);
        const int kind = Int(0, 4);
        const double s = kind == 0   ? 60 - Uniform(0, 2e-5)
                         : kind == 1 ? (Int(0, 599999) + 0.5) * 1e-4
                                     : 0;
        const double sign = Int(0, 1) ? -1 : 1;
        return kind > 2 ? sign * Uniform(0, maxDeg) : sign * (d + m / 60.0 + s * kSec);
    }

  private:
    std::mt19937 rng_{kSeed};
    ::testing::ScopedTrace seed_{__FILE__, __LINE__, ::testing::Message() << "seed " << kSeed};
};

// Half a unit of the last of `decimals` digits of seconds, in degrees. Seconds above 59.99999
// print as 0 of the next minute, so there the text may be up to 0.00001" off.
double DmsTolerance(double value, int decimals) {
    const double minutes = std::fmod(std::fabs(value), 1.0) * 60;
    double half = 0.5 * std::pow(10.0, -decimals);
    if ((minutes - std::trunc(minutes)) * 60 > 59.99999 - half) half = std::max(half, 1e-5);
    return half * kSec + Noise(value);
}

// Minutes and seconds fields of a degrees-minutes-seconds text are below 60.
void ExpectFieldsInRange(const CString& text) {
    const int start = text.FindOneOf(L"0123456789");
    int d = 0, m = 0;
    double s = 0;
    ASSERT_EQ(fieldkit::detail::Scan(text.GetString() + start, L"%d\u00B0%d'%lf", &d, &m, &s), 3)
        << text;
    EXPECT_LT(m, 60) << text;
    EXPECT_LT(s, 60) << text;
}

}  // namespace

// Each angle text through its reader: a text that rounds lies within half a unit of its last
// digit; one that cuts lies at most one unit nearer zero (or just past a carry), never beyond.
// Fault: seconds of 59.9999 printed as 60, or a text that cuts rounding up instead
TEST_F(RoundTrip, AnglesCoordinatesAndDecimalDegrees) {
    const auto six = [](double v, bool) { return AngleToDDDMMSSSSSString(v); };
    const auto whole = [](double v, bool) { return ShortAngleToString(v); };
    const struct Form {
        CString (*write)(double, bool);
        bool flag;
        double (*read)(CString);
        double range;
        int decimals;
        bool dms, cut;
    } forms[] = {
        {LatitudeToDDDMMSSSString, true, StringToLatitude, 90, 5, true, false},
        {LatitudeToDDDMMSSSString, false, StringToLatitude, 90, 1, true, true},
        {LongitudeToDDDMMSSSString, true, StringToLongitude, 180, 5, true, false},
        {LongitudeToDDDMMSSSString, false, StringToLongitude, 180, 1, true, true},
        {AngleToDDDMMSSSString, true, StringToAngle, 360, 4, true, false},
        {AngleToDDDMMSSSString, false, StringToAngle, 360, 4, true, false},
        {six, false, StringToAngle, 360, 6, true, false},
        {whole, false, StringToAngle, 360, 0, true, true},
        {LatitudeToDDDDString, true, StringToLatitude, 90, 7, false, false},
        {LatitudeToDDDDString, false, StringToLatitude, 90, 5, false, false},
        {LongitudeToDDDDString, true, StringToLongitude, 180, 8, false, false},
        {LongitudeToDDDDString, false, StringToLongitude, 180, 6, false, false},
        {AngleToDDDDString, true, StringToAngle, 360, 10, false, false},
        {AngleToDDDDString, false, StringToAngle, 360, 5, false, false},
    };
    for (const Form& f : forms) {
        const double unit = std::pow(10.0, -f.decimals) * (f.dms ? kSec : 1);
        for (int i = 0; i < kCases; ++i) {
            const double v = Angle(f.range);
            const CString text = f.write(v, f.flag);
            const double back = f.read(text);
            if (f.dms) ExpectFieldsInRange(text);
            if (!f.cut) {
                ASSERT_NEAR(back, v, f.dms ? DmsTolerance(v, f.decimals) : 0.5 * unit + Noise(v))
                    << text;
                continue;
            }
            ASSERT_LE(std::fabs(back), std::fabs(v) + 1e-5 * kSec + Noise(v)) << text;
            ASSERT_GT(std::fabs(back), std::fabs(v) - unit - Noise(v)) << text;
            ASSERT_TRUE(back == 0 || (back < 0) == (v < 0)) << text;
        }
    }
}

// Fault: a quadrant bearing read back in the wrong quadrant for one pair of letters
TEST_F(RoundTrip, QuadrantBearingsWithAnyLetters) {
    for (int i = 0; i < kCases; ++i) {
        const double azimuth = std::fabs(Angle(360));
        const bool north = i & 1, east = i & 2;
        const CString text = AngleToDDDMMSSSStringWithRoombs(azimuth, north, east, false);
        // The letters only say how the angle is counted, so any pair reads back to the azimuth.
        const double diff = std::remainder(StringToAngle(text) - azimuth, 360.0);
        ASSERT_LE(std::fabs(diff), 0.5e-4 * kSec + Noise(360)) << text << " az " << azimuth;
        ExpectFieldsInRange(text);
    }
}

// Fault: a feet-and-inches text more than half its fraction off, or not on a whole fraction
TEST_F(RoundTrip, FeetAndInches) {
    for (const int denominator : {0, 1, 2, 3, 4, 8, 10, 16, 32, 64, 100}) {
        const double inch = 1.0 / 12;
        for (int i = 0; i < kCases / 4; ++i) {
            double feet = Uniform(-10000, 10000);
            if (i % 3 == 0) feet = std::trunc(feet) + Int(0, 12) * inch - Uniform(0, 1e-5);
            if (i % 7 == 0) feet /= 1000;
            const CString text = HeightToFeetAndInchesString(feet, denominator);
            const double back = StringToHeight(text);
            if (denominator <= 0) {
                // The fraction is dropped: at most an inch nearer zero.
                ASSERT_LE(std::fabs(back), std::fabs(feet) + 0.00005 * inch + Noise(feet)) << text;
                ASSERT_GT(std::fabs(back), std::fabs(feet) - inch - Noise(feet)) << text;
            } else {
                const double half = std::max(0.5 / denominator, 0.00005) * inch;
                ASSERT_NEAR(back, feet, half + Noise(feet)) << text << " den " << denominator;
            }
            // Every text lands on a whole fraction of an inch.
            const double steps = back * 12 * std::max(denominator, 1);
            ASSERT_NEAR(steps, std::round(steps), 1e-6) << text << " den " << denominator;
        }
    }
}

// Fault: a station remainder of a whole interval printed instead of carrying into the station
TEST_F(RoundTrip, Stations) {
    for (const double interval : {100.0, 1000.0, 20.0, 25.4, 0.0}) {
        for (int i = 0; i < kCases / 4; ++i) {
            double chainage = Uniform(-1e6, 1e6);
            if (i % 3 == 0) chainage = Int(-9999, 9999) * interval - Uniform(0, 0.01);
            const CString text = StnToString(chainage, interval);
            double back = NAN;
            ASSERT_EQ(StnFromString(text, back, interval), 1) << text;
            ASSERT_NEAR(back, chainage, 0.005 + Noise(chainage))
                << text << " interval " << interval;
            // The remainder never shows a whole interval or more: that is the next station.
            const double remainder = StringToDouble(text.Mid(text.Find(L'+') + 1));
            if (interval > 0) {
                ASSERT_LT(std::fabs(remainder), interval) << text;
            }
        }
    }
}

// Fault: a decimal text over half a unit of its last digit off, or FormatFloat rounding elsewhere
TEST_F(RoundTrip, DecimalNumbers) {
    for (int i = 0; i < kCases; ++i) {
        const double x = Uniform(-1, 1) * std::pow(10.0, Int(-6, 9));
        const int decimals = Int(0, 10);
        const double unit = std::pow(10.0, -decimals);
        const double noise = Noise(x) + std::fabs(x) * 4e-16;
        const CString text = DoubleToString(x, decimals);
        ASSERT_NEAR(StringToDouble(text), x, 0.5 * unit + noise) << text;
        double pointer = NAN;
        ASSERT_EQ(StringToDouble(text.GetString(), pointer), 1) << text;
        ASSERT_NEAR(pointer, x, 0.5 * unit + noise) << text;

        // FormatFloat rounds to the same places: its result prints at that precision unchanged.
        const double rounded = FormatFloat(x, decimals);
        ASSERT_NEAR(rounded, x, 0.5 * unit + noise) << x << " to " << decimals;
        ASSERT_NEAR(StringToDouble(DoubleToString(rounded, decimals)), rounded, noise)
            << x << " to " << decimals;

        const int n = Int(INT_MIN, INT_MAX);
        int whole = 0;
        ASSERT_EQ(StringToInt(IntToString(n).GetString(), whole), 1);
        ASSERT_EQ(whole, n);

        const CString g = DoubleToStringG(x);
        const double gTolerance = std::fabs(x) < 0.001 ? 0.5e-4 * std::fabs(x) : 0.5e-8;
        ASSERT_NEAR(StringToDouble(g), x, gTolerance + noise) << g;
    }
}

// Fault: the geocentric inverse loses precision near the poles or on the axis
TEST_F(RoundTrip, GeocentricCoordinates) {
    constexpr double kHalfPi = 1.5707963267948966, kPi = 3.141592653589793;
    // Geodetic to geocentric on WGS 84, written out here rather than taken from the library.
    const auto position = [](double b, double l, double h, double(&xyz)[3]) {
        const double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
        const double n = a / std::sqrt(1 - e2 * std::sin(b) * std::sin(b));
        xyz[0] = (n + h) * std::cos(b) * std::cos(l);
        xyz[1] = (n + h) * std::cos(b) * std::sin(l);
        xyz[2] = (n * (1 - e2) + h) * std::sin(b);
    };
    const std::function<double()> latitudes[] = {
        [&] { return Uniform(-kHalfPi, kHalfPi); },
        [&] { return (Int(0, 1) ? 1 : -1) * (kHalfPi - std::pow(10.0, -Uniform(3, 16))); },
        [&] { return (Int(0, 1) ? 1 : -1) * kHalfPi; },
        [&] { return Int(0, 1) ? 0.0 : Uniform(-1e-9, 1e-9); },
    };
    for (int i = 0; i < kCases; ++i) {
        const double b = latitudes[i % 4]();
        const double l = i % 9 == 0 ? (i % 2 ? kPi : -kPi) : Uniform(-kPi, kPi);
        // Both limits of the height taken on the way in; heights above them are refused there
        // but still read back on the way out.
        const double h = i % 11 == 0 ? (i % 2 ? 100000.0 : -100000.0) : Uniform(-10000, 600000);
        SCOPED_TRACE(::testing::Message()
                     << std::setprecision(17) << "B " << b << " L " << l << " H " << h);
        double xyz[3], blh[3], again[3];
        position(b, l, h, xyz);
        if (h <= 100000) {
            ASSERT_TRUE(TBLH_To_XYZ(b, l, h, again[0], again[1], again[2]));
            ASSERT_LT(std::hypot(again[0] - xyz[0], again[1] - xyz[1], again[2] - xyz[2]), 1e-6);
        }
        ASSERT_TRUE(TXYZ_To_BLH(xyz[0], xyz[1], xyz[2], blh[0], blh[1], blh[2]));
        EXPECT_NEAR(blh[0], b, 1e-9);
        EXPECT_NEAR(blh[2], h, 1e-4);
        // Near the axis the longitude means little; the position still has to agree.
        if (std::hypot(xyz[0], xyz[1]) > 1e-3) {
            EXPECT_NEAR(std::remainder(blh[1] - l, 2 * kPi), 0, 1e-9);
        }
        position(blh[0], blh[1], blh[2], again);
        EXPECT_LT(std::hypot(again[0] - xyz[0], again[1] - xyz[1], again[2] - xyz[2]), 1e-4);
        if (HasFailure()) return;
    }
}
