#include "fieldkit/angles/geodetic.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <array>
#include <cmath>

static constexpr double kHalfPi = 1.5707963267948966;
static constexpr double kPolarRadius = 6356752.314245179;
using Triple = std::array<double, 3>;

TEST(Geodetic, ForwardConversion) {
    double x = 0, y = 0, z = 0, b, l, h;
    ASSERT_TRUE(TBLH_To_XYZ(0, 0, 0, x, y, z));
    EXPECT_EQ((Triple{x, y, z}), (Triple{6378137, 0, 0}));
    ASSERT_TRUE(TBLH_To_XYZ(kHalfPi, 0, 0, x, y, z));
    EXPECT_LT(std::fabs(x), 1e-9);
    EXPECT_NEAR(z, kPolarRadius, 1e-8);
    EXPECT_TRUE(TBLH_To_XYZ(0, 0, 100000, x, y, z));
    EXPECT_TRUE(TBLH_To_XYZ(-kHalfPi, 0, -100000, x, y, z));
    // A worked point, and back again.
    ASSERT_TRUE(TBLH_To_XYZ(0.8, 0.3, 250, x, y, z));
    EXPECT_NEAR(x, 4252717.5863, 1e-4);
    EXPECT_NEAR(y, 1315519.7088, 1e-4);
    EXPECT_NEAR(z, 4552793.8049, 1e-4);
    ASSERT_TRUE(TXYZ_To_BLH(x, y, z, b, l, h));
    EXPECT_NEAR(b, 0.8, 2e-15);
    EXPECT_NEAR(l, 0.3, 2e-15);
    EXPECT_NEAR(h, 250, 3e-6);
    // The deepest height taken also reads back (the property test stays above -10 km).
    ASSERT_TRUE(TBLH_To_XYZ(-0.8, -2.5, -100000, x, y, z));
    ASSERT_TRUE(TXYZ_To_BLH(x, y, z, b, l, h));
    EXPECT_NEAR(b, -0.8, 1e-9);
    EXPECT_NEAR(l, -2.5, 1e-9);
    EXPECT_NEAR(h, -100000, 1e-4);
}

TEST(Geodetic, ForwardRejectsOutOfRangeWithoutWriting) {
    for (const Triple& in :
         {Triple{std::nextafter(kHalfPi, 2.0), 0, 0}, Triple{0, 0, 100001}, Triple{-2, 0, 0}}) {
        double x = 1, y = 2, z = 3;
        EXPECT_FALSE(TBLH_To_XYZ(in[0], in[1], in[2], x, y, z));
        EXPECT_EQ((Triple{x, y, z}), (Triple{1, 2, 3}));
    }
}

TEST(Geodetic, InverseSpecialPoints) {
    double b = 0, l = 0, h = 0;
    ASSERT_TRUE(TXYZ_To_BLH(6378137, 0, 0, b, l, h));
    EXPECT_EQ((std::array{b, l}), (std::array{0.0, 0.0}));
    EXPECT_NEAR(h, 0, 1e-9);
    ASSERT_TRUE(TXYZ_To_BLH(0, 0, 0, b, l, h));
    EXPECT_EQ((Triple{b, l, h}), (Triple{0, 0, -6378137}));
    ASSERT_TRUE(TXYZ_To_BLH(0, 0, kPolarRadius, b, l, h));
    EXPECT_EQ(b, kHalfPi);
    EXPECT_NEAR(h, 0, 1e-9);
    ASSERT_TRUE(TXYZ_To_BLH(1e-5, 0, -kPolarRadius - 10, b, l, h));  // on the axis
    EXPECT_EQ((std::array{b, l}), (std::array{-kHalfPi, 0.0}));
    EXPECT_NEAR(h, 10, 1e-9);
    EXPECT_FALSE(TXYZ_To_BLH(7100000, 0, 0, b, l, h));
    EXPECT_EQ((Triple{b, l, h}), (Triple{7100000, 0, 0}));
}

TEST(Geodetic, NonFiniteInputNeverLoopsOrCrashes) {
    double b, l, h, x = 0, y = 0, z = 0;
    TXYZ_To_BLH(NAN, 1, 1, b, l, h);
    EXPECT_TRUE(std::isnan(b));
    EXPECT_FALSE(TBLH_To_XYZ(0, 0, INFINITY, x, y, z));
}
