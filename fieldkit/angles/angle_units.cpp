#include "fieldkit/angles/angle_units.h"

#include <climits>
#include <cmath>

#include "fieldkit/numbers/number_text.h"

namespace {

using fieldkit::detail::kArcMinute;
using fieldkit::detail::kArcSecond;
using fieldkit::detail::kCCToSec;
using fieldkit::detail::kDegToGrad;
using fieldkit::detail::kDegToMil;
using fieldkit::detail::kDegToRad;
using fieldkit::detail::kGradToDeg;
using fieldkit::detail::kMilToDeg;
using fieldkit::detail::kRadToDeg;
using fieldkit::detail::kSecondsPerTurn;
using fieldkit::detail::kSecToCC;

// Out of a unit: reduced, scaled, rounded to five decimals.
double Rounded(double reduced, double factor) {
    return dNearInt(reduced * 100000.0 * factor) * 0.00001;
}

// Into a unit: scaled only.
double Scaled(double value, double factor) {
    return value * 100000.0 * factor * 0.00001;
}

int StepAwayFromZero(int v, bool magnitude) {
    if (v > 0 || magnitude) return v == INT_MAX ? v : v + 1;
    return v == INT_MIN ? v : v - 1;
}

void Carry(int& degrees, int& minutes, double& seconds, bool magnitude) {
    seconds = 0;
    if (minutes != INT_MAX) minutes += 1;
    if (minutes >= 60) {
        minutes -= 60;
        degrees = StepAwayFromZero(degrees, magnitude);
    }
}

}  // namespace

double ModDeg360(double a, bool positive) {
    double r = std::fmod(a, 360.0);
    if (positive && r < 0) r += 360.0;
    return r;
}

double Rad2Deg(double radians) {
    return Scaled(radians, kRadToDeg);
}
double Deg2Rad(double degrees) {
    return Rounded(std::fmod(degrees, 360.0), kDegToRad);
}
double Grad2Deg(double grads) {
    return Scaled(grads, kGradToDeg);
}
double Deg2Grad(double degrees) {
    return Rounded(std::fmod(degrees, 360.0), kDegToGrad);
}
double GradCC2DegSec(double cc) {
    return Scaled(cc, kCCToSec);
}
double DegSec2GradCC(double arcSeconds) {
    return Rounded(std::fmod(arcSeconds, kSecondsPerTurn), kSecToCC);
}
double Mil2Deg(double mils) {
    return Scaled(mils, kMilToDeg);
}
double Deg2Mil(double degrees) {
    return Rounded(std::fmod(degrees, 360.0), kDegToMil);
}

double HL2HR(double a) {
    return a == 0 ? a : ModDeg360(360.0 - a, true);
}
double HR2HL(double a) {
    return HL2HR(a);
}

double Level2Zenith(double a) {
    return ModDeg360((360.0 - a) + 90.0, true);
}
double Zenith2Level(double a) {
    return Level2Zenith(a);
}

bool ShouldTurn(double d) {
    return std::fabs(d) > 0.5;
}

double MinimizeTurnAngle(double d) {
    if (d > 180) return d - 360;
    if (d <= -180) return d + 360;
    return d;
}

void CalcReverseAngles(double& hz, double& v) {
    if (hz >= 0 && hz < 180)
        hz += 180;
    else
        hz -= 180;
    if (v > 0) v = 360 - v;
}

namespace fieldkit::detail {

void CarrySeconds(int& degrees, int& minutes, double& seconds, int precision, bool magnitude) {
    double threshold = 59.99999;
    double divisor = 1.0;
    for (int k = 0; k < precision; ++k) {
        threshold += 0.9 / divisor;
        divisor *= 10.0;
        if (seconds > threshold) Carry(degrees, minutes, seconds, magnitude);
    }
    if (seconds > 59.99999) Carry(degrees, minutes, seconds, magnitude);
}

}  // namespace fieldkit::detail

void check60round(int& degrees, int& minutes, double& seconds, int precision) {
    fieldkit::detail::CarrySeconds(degrees, minutes, seconds, precision, false);
}

double Deg2DDDMMSS(double degrees, int precision) {
    const bool negative = degrees < 0;
    const double a = std::fabs(std::fmod(degrees, 360.0));
    double d = std::floor(a);
    const double f = (a - d) * 60.0;
    double m = std::floor(f);
    double s = (f - m) * 60.0;
    // 6 / 10^(precision - 3); powers of ten built by multiplication are exact, so the only
    // rounding is that of the one division.
    double power = 1.0;
    for (int k = precision - 3; k > 0 && power < 1e300; --k)
        power *= 10.0;
    double tolerance = 6.0 / power;
    for (int k = precision - 3; k < 0 && tolerance < 1e300; ++k)
        tolerance *= 10.0;
    if (std::fabs(s - 60.0) < tolerance) {
        m += 1;
        s = 0;
    }
    if (m > 59) {
        d += 1;
        m = std::fmod(m, 60.0);
    }
    if (d > 359) d -= 360;
    const double packed = (m * 0.01 + s * 0.0001) + d;
    return negative ? -packed : packed;
}

double DDDMMSS2Deg(double packed) {
    const bool negative = packed < 0;
    const double a = std::fmod(std::fabs(packed), 360.0);
    double d = std::floor(a);
    const double f = (a - d) * 100.0;
    double m = std::floor(f);
    double s = (f - m) * 100.0;
    if ((m + 1) - f < 0.0000001) {  // minute digits just below the next whole minute
        m += 1;
        s = 0;
    }
    if (std::fabs(s - 60.0) < 0.00036) {
        m += 1;
        s = 0;
    }
    if (m > 59) {
        d += 1;
        m = std::fmod(m, 60.0);
    }
    if (d > 359) d -= 360;
    const double degrees = (s * kArcSecond + m * kArcMinute) + d;
    return negative ? -degrees : degrees;
}
