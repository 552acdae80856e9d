#include "fieldkit/angles/angle_units.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <cmath>
#include <tuple>
#include <utility>

// Each result must be the one given, but for the last bits of the double: {in, out}.
static void ExpectExact(double (*f)(double), std::initializer_list<std::pair<double, double>> io) {
    for (const auto& [in, out] : io)
        EXPECT_DOUBLE_EQ(f(in), out) << "in " << in;
}

// Fault: a negative angle not brought into one turn; conversions out of degrees not rounded
TEST(AngleUnits, ReductionIntoOneTurnAndConversions) {
    EXPECT_NEAR(ModDeg360(-0.0001, true), 359.9999, 1e-9);
    ExpectExact([](double a) { return ModDeg360(a, false); }, {{720, 0}, {-370, -10}});
    ExpectExact([](double a) { return ModDeg360(a, true); }, {{-90, 270}, {360, 0}});
    const double negativeZero = ModDeg360(-360, true);
    EXPECT_TRUE(negativeZero == 0 && std::signbit(negativeZero));

    // Out of degrees the results round to five decimals; into degrees they are unrounded.
    ExpectExact(Deg2Rad, {{180, 3.14159}, {-90, -1.5708}, {360, 0}, {540, 3.14159}});
    ExpectExact(Deg2Grad, {{90, 100}});
    ExpectExact(Deg2Mil, {{90, 1600}});
    // 40" is 0.0123456790 gon, 123.4567901 cc. Arc seconds reduce by a full turn of arc
    // seconds: below it nothing changes.
    ExpectExact(DegSec2GradCC,
                {{40, 123.45679}, {400, 1234.5679}, {1296000 + 40, 123.45679}, {-40, -123.45679}});
    EXPECT_NEAR(Rad2Deg(3.14159), 179.99984796, 1e-8);
    EXPECT_NEAR(Grad2Deg(400), 360, 1e-12);
    EXPECT_NEAR(Mil2Deg(6400), 360, 1e-12);
    EXPECT_NEAR(GradCC2DegSec(123.45679), 40, 1e-5);
}

// Guards against the exact conversions being routed through the rounded ones (or reduced into
// one turn): positions would move by up to 32 m.
// Fault: the exact radian conversions routed through the rounded ones, moving points by metres
TEST(AngleUnits, ExactRadiansAreNeitherRoundedNorReduced) {
    using fieldkit::DegreesToRadians;
    using fieldkit::RadiansToDegrees;
    static_assert(DegreesToRadians(180) == 3.141592653589793);
    static_assert(RadiansToDegrees(3.141592653589793) == 180);
    for (const double degrees : {45.123456789, -33.8568, 151.2093, 540.0, 1e-9}) {
        const long double exact = degrees * 3.14159265358979323846264338327950288L / 180;
        EXPECT_NEAR(DegreesToRadians(degrees), static_cast<double>(exact),
                    std::fabs(static_cast<double>(exact)) * 4e-16)
            << degrees;
        EXPECT_NEAR(RadiansToDegrees(DegreesToRadians(degrees)), degrees,
                    std::fabs(degrees) * 5e-16)
            << degrees;
    }
}

// Fault: a reversed face not turning the vertical angle; the turn angle not minimised
TEST(AngleUnits, InstrumentAngles) {
    ExpectExact(HL2HR, {{0, 0}, {360, 0}, {1, 359}, {90, 270}, {450, 270}});
    ExpectExact(HR2HL, {{-90, 90}});
    ExpectExact(Level2Zenith, {{0, 90}, {90, 0}, {-90, 180}});
    ExpectExact(Zenith2Level, {{100, 350}});
    ExpectExact(MinimizeTurnAngle, {{-180, 180}, {180, 180}, {180.5, -179.5}, {600, 240}});
    EXPECT_TRUE(ShouldTurn(-0.6));
    EXPECT_FALSE(ShouldTurn(0.5));
    struct Case {
        double hz, v, hzOut, vOut;
    };
    for (const Case& c :
         {Case{180, 90, 0, 270}, Case{179.9, 0, 359.9, 0}, Case{-10, 5, -190, 355}}) {
        double hz = c.hz, v = c.v;
        CalcReverseAngles(hz, v);
        EXPECT_NEAR(hz, c.hzOut, 1e-12);
        EXPECT_EQ(v, c.vOut);
    }
}

// Fault: seconds a hair below 60 not carried into minutes and degrees; the sign lost
TEST(AngleUnits, SecondsCarry) {
    struct Case {
        int d, m;
        double s;
        int dOut, mOut;
        double sOut;
    };
    // The last row saturates instead of overflowing.
    for (const Case& c :
         {Case{12, 59, 59.999995, 13, 0, 0}, Case{12, 59, 59.99999, 12, 59, 59.99999},
          Case{-12, 59, 59.999995, -13, 0, 0}, Case{0, 59, 59.999995, -1, 0, 0},
          Case{12, 10, 59.999995, 12, 11, 0}, Case{12, 10, 61.5, 12, 11, 0},
          Case{2147483647, 59, 59.999995, 2147483647, 0, 0}}) {
        int d = c.d, m = c.m;
        double s = c.s;
        check60round(d, m, s, 5);
        EXPECT_EQ(std::tie(d, m, s), std::tie(c.dOut, c.mOut, c.sOut))
            << c.d << " " << c.m << " " << c.s;
    }
}

// Fault: packing without the seconds carry, so 10.0060 (60 seconds) instead of 10.0100
TEST(AngleUnits, PackedDms) {
    // The carry tolerance widens as the precision falls: 60 seconds at precision 2.
    struct Case {
        double deg;
        int precision;
        double packed;
    };
    for (const Case& c :
         {Case{10.5, 5, 10.3}, Case{-0.25, 5, -0.15}, Case{370.5, 5, 10.3}, Case{-370.5, 5, -10.3},
          Case{10 + 59.5 / 3600, 4, 10.01}, Case{10 + 1.0 / 3600, 2, 10.01}, Case{10.5, 2, 10.3}}) {
        EXPECT_DOUBLE_EQ(Deg2DDDMMSS(c.deg, c.precision), c.packed) << c.deg << " " << c.precision;
    }
    EXPECT_EQ(Deg2DDDMMSS(359.99999999, 5), 0);
    EXPECT_NEAR(Deg2DDDMMSS(123 + 45 / 60.0 + 30.5 / 3600, 5), 123.45305, 1e-11);
    EXPECT_NEAR(Deg2DDDMMSS(10 + 59.5 / 3600, 5), 10.00595, 1e-11);

    EXPECT_NEAR(DDDMMSS2Deg(10.3), 10.5, 1e-12);
    EXPECT_NEAR(DDDMMSS2Deg(-123.4530), -(123 + 45 / 60.0 + 30 / 3600.0), 1e-9);
    EXPECT_NEAR(DDDMMSS2Deg(0.5999999999), 1, 1e-12);
    EXPECT_NEAR(DDDMMSS2Deg(123.0075), 123 + 75 / 3600.0, 1e-9);
    EXPECT_NEAR(DDDMMSS2Deg(359.75), 0.25, 1e-12);
    // Packing and unpacking agree over the whole circle to well under a thousandth second.
    for (int i = 0; i < 36000; ++i) {
        const double deg = i * 0.01 + 0.001234;
        EXPECT_NEAR(DDDMMSS2Deg(Deg2DDDMMSS(deg, 5)), deg, 1e-9) << deg;
    }
}
