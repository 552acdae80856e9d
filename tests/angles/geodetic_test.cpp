#include "fieldkit/angles/geodetic.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <array>
#include <cmath>

static constexpr double kHalfPi = 1.5707963267948966;
static constexpr double kPolarRadius = 6356752.314245179;
using Triple = std::array<double, 3>;

// Points away from these, and the round trips, are property tests.
// Fault: a latitude beyond the pole or a height out of range converted, or its outputs written
TEST(Geodetic, ForwardSpecialPointsAndLimits) {
    double x = 0, y = 0, z = 0;
    ASSERT_TRUE(TBLH_To_XYZ(0, 0, 0, x, y, z));
    EXPECT_EQ((Triple{x, y, z}), (Triple{6378137, 0, 0}));
    ASSERT_TRUE(TBLH_To_XYZ(kHalfPi, 0, 0, x, y, z));
    EXPECT_LT(std::fabs(x), 1e-9);
    EXPECT_NEAR(z, kPolarRadius, 1e-8);
    EXPECT_TRUE(TBLH_To_XYZ(0, 0, 100000, x, y, z));
    EXPECT_TRUE(TBLH_To_XYZ(-kHalfPi, 0, -100000, x, y, z));
    // Out of range, infinite included, is refused without writing.
    for (const Triple& in : {Triple{std::nextafter(kHalfPi, 2.0), 0, 0}, Triple{0, 0, 100001},
                             Triple{-2, 0, 0}, Triple{0, 0, INFINITY}}) {
        x = 1, y = 2, z = 3;
        EXPECT_FALSE(TBLH_To_XYZ(in[0], in[1], in[2], x, y, z));
        EXPECT_EQ((Triple{x, y, z}), (Triple{1, 2, 3}));
    }
}

// Fault: the poles, the axis or the centre dividing by zero; a point in space not refused
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
    TXYZ_To_BLH(NAN, 1, 1, b, l, h);  // never loops
    EXPECT_TRUE(std::isnan(b));
}
