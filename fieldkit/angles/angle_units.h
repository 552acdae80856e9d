/// @file
/// Angle units, reduction into one turn, the packed D.MMSS number and the seconds carry.
///
/// Angles are decimal degrees unless a function says otherwise. Conversions out of degrees
/// reduce the input into one turn (fmod, keeping its sign), scale through 100000, and round with
/// dNearInt to five decimals; the unit conversions into degrees neither reduce nor round. The
/// packed D.MMSS number holds sign * (degrees + minutes / 100 + seconds / 10000): 123 deg 45' 30.5"
/// is 123.45305. All functions are pure and safe from any thread.
///
/// @ingroup angles
#pragma once

#include "fieldkit/text/export.h"

/// @addtogroup angles
/// @{

/// fmod(a, 360); with `positive`, a negative remainder has 360 added, so the result lies in
/// [0, 360) (-360 gives -0, which is not below zero).
FIELDKIT_API double ModDeg360(double a, bool positive);

/// Radians to degrees as the handheld computes them: neither reduced nor rounded, but scaled
/// through 100000 like the other unit conversions, so the result may differ from the exact
/// quotient in its last bits (a relative error of a few 1e-16). fieldkit::RadiansToDegrees is
/// the exact conversion.
FIELDKIT_API double Rad2Deg(double radians);
/// Degrees to radians as the handheld computes them, for angles shown to a surveyor: the input
/// is reduced into one turn (fmod 360, keeping its sign) and the result rounded to five
/// decimals, so it is a multiple of 0.00001 rad and off by up to 0.000005 rad, about one arc
/// second or 32 m on the ground at the equator. Positions need fieldkit::DegreesToRadians.
FIELDKIT_API double Deg2Rad(double degrees);
/// Grads (400 to the turn) to degrees and back.
///@{
FIELDKIT_API double Grad2Deg(double grads);
FIELDKIT_API double Deg2Grad(double degrees);
///@}
/// Centesimal seconds (1/10000 grad) to arc seconds, and back.
FIELDKIT_API double GradCC2DegSec(double cc);
/// Reduces its input by one full turn of arc seconds (1296000) before scaling.
FIELDKIT_API double DegSec2GradCC(double arcSeconds);
/// Mils (6400 to the turn) to degrees and back.
///@{
FIELDKIT_API double Mil2Deg(double mils);
FIELDKIT_API double Deg2Mil(double degrees);
///@}

/// A horizontal angle counted one way as counted the other way, in [0, 360); 0 stays 0. The
/// conversion is its own inverse, so both names are the same function.
///@{
FIELDKIT_API double HL2HR(double a);
FIELDKIT_API double HR2HL(double a);
///@}

/// Vertical angle from the horizon to zenith angle and back (90 - a, in [0, 360)).
///@{
FIELDKIT_API double Level2Zenith(double a);
FIELDKIT_API double Zenith2Level(double a);
///@}

/// True when |d| exceeds 0.5 degree.
FIELDKIT_API bool ShouldTurn(double d);

/// The equivalent turn, one step towards (-180, 180]: 180 stays 180, -180 becomes 180.
FIELDKIT_API double MinimizeTurnAngle(double d);

/// The readings of the same target with the instrument reversed: hz moves by 180 degrees and a
/// positive v becomes 360 - v.
FIELDKIT_API void CalcReverseAngles(double& hz, double& v);

/// The seconds carry: seconds above 59.99999 (with the wider thresholds of each precision step
/// first) become 0 and carry into the minutes, minutes reaching 60 into the degrees, which move
/// away from zero (0 counts as negative: 0 deg 59' 59.999995" becomes -1 deg 0' 0").
FIELDKIT_API void check60round(int& degrees, int& minutes, double& seconds, int precision);

/// Degrees to the packed D.MMSS number; seconds within 6 / 10^(precision - 3) of 60 carry.
FIELDKIT_API double Deg2DDDMMSS(double degrees, int precision);
/// Packed D.MMSS number to degrees. The magnitude is reduced into one turn first (400.3 gives
/// 40.5); minute and second digits of 60 to 99 are used as they stand.
FIELDKIT_API double DDDMMSS2Deg(double packed);

namespace fieldkit {

/// @addtogroup angles
/// @{

/// pi / 180 as the nearest double: the factor of the exact conversions below.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

/// Degrees to radians, neither reduced nor rounded: the nearest double to degrees times
/// kRadiansPerDegree. What geodetic positions need (Deg2Rad rounds to 0.00001 rad).
constexpr double DegreesToRadians(double degrees) noexcept {
    return degrees * kRadiansPerDegree;
}

/// Radians to degrees, neither reduced nor rounded: the nearest double to radians divided by
/// kRadiansPerDegree, so it undoes DegreesToRadians to within a unit in the last place.
constexpr double RadiansToDegrees(double radians) noexcept {
    return radians / kRadiansPerDegree;
}

/// @}

}  // namespace fieldkit

namespace fieldkit::detail {

// The angle constants of the library, each the nearest double to its exact value, written out
// so that every conversion multiplies by the same bits.
constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kDegToRad = kRadiansPerDegree;       // pi / 180
constexpr double kRadToDeg = 57.29577951308232;       // 180 / pi
constexpr double kArcMinute = 0.016666666666666666;   // 1/60 degree
constexpr double kArcSecond = 0.0002777777777777778;  // 1/3600 degree
constexpr double kSecondsPerTurn = 1296000.0;
constexpr double kDegToGrad = 1.1111111111111112;  // 10/9
constexpr double kGradToDeg = 0.9;
constexpr double kSecToCC = 3.0864197530864197;  // 250/81
constexpr double kCCToSec = 0.324;
constexpr double kDegToMil = 17.77777777777778;  // 160/9
constexpr double kMilToDeg = 0.05625;

// The seconds carry of check60round. With `magnitude`, the degrees are the whole degrees of a
// non-negative value and always go up by one (0 becomes 1), as the text formats need.
void CarrySeconds(int& degrees, int& minutes, double& seconds, int precision, bool magnitude);
}  // namespace fieldkit::detail

/// @}
