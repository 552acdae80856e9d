#include "fieldkit/angles/geodetic.h"

#include <cmath>

#include "fieldkit/angles/angle_units.h"

namespace {

using fieldkit::detail::kHalfPi;

constexpr double kA = 6378137.0;                    // semi-major axis
constexpr double kE2 = 0.0066943799901413165;       // first eccentricity squared
constexpr double kOneMinusE2 = 0.9933056200098587;  // 1 - e^2
constexpr double kOnePlusEp2 = 1.0067394967422765;  // 1 + e'^2 = 1 / (1 - e^2)
constexpr double kMaxHeight = 100000.0;
constexpr double kMaxDistanceSquared = 5e13;
constexpr double kAxisDistanceSquared = 1e-8;
constexpr double kTolerance = 1e-12;
constexpr int kMaxSteps = 13;

}  // namespace

bool TBLH_To_XYZ(double B, double L, double H, double& X, double& Y, double& Z) {
    if (std::fabs(B) > kHalfPi || std::fabs(H) > kMaxHeight) return false;
    const double sinB = std::sin(B);
    const double cosB = std::cos(B);
    const double N = kA / std::sqrt(1 - sinB * sinB * kE2);  // prime-vertical radius
    Z = ((N + H) - N * kE2) * sinB;
    X = ((N + H) * std::cos(L)) * cosB;
    Y = ((N + H) * std::sin(L)) * cosB;
    return true;
}

bool TXYZ_To_BLH(double X, double Y, double Z, double& B, double& L, double& H) {
    B = X;
    L = Y;
    H = Z;
    if (Z * Z + Y * Y + X * X > kMaxDistanceSquared) return false;
    if (Y * Y + X * X < kAxisDistanceSquared) {
        L = 0;
        if (Z == 0) {
            B = 0;
            H = -kA;
        } else {
            H = std::fabs(Z) - kA * std::sqrt(kOneMinusE2);
            B = Z < 0 ? -kHalfPi : kHalfPi;
        }
        return true;
    }
    L = std::atan2(Y, X);
    const double p = std::sin(L) * Y + std::cos(L) * X;  // distance from the axis
    // Fixed-point iteration on tan B.
    const double t0 = Z / p;
    const double k = (kA / std::sqrt(kOneMinusE2)) * (1 / p) * kE2;
    double t = t0;
    double entered = t0;  // the value that entered the last step
    for (int step = 0; step < kMaxSteps; ++step) {
        entered = t;
        t = (k / std::sqrt(entered * entered + kOnePlusEp2)) * entered + t0;
        if (!(std::fabs(t - entered) > kTolerance)) break;  // converged, or NaN
    }
    B = std::atan(t);
    const double c = 1 / (entered * entered + 1);  // cos^2 B, to within the tolerance
    if (c == 0) return false;
    H = p / std::sqrt(c) - kA / std::sqrt(1 - (1 - c) * kE2);
    return true;
}
