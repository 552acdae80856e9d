// Every conversion the tool and the Python module offer, with its options as typed parameters
// and its values checked against the limits of numbers.h. Each answers its text (or numbers)
// or the reason there is none, and which argument the reason is about, so that the caller can
// name that argument and show the value as it was given: the tool quotes the text it read,
// the module the number it was passed.
//
// Every function is thread-safe, touches no process state and allocates nothing beyond its
// answer, so it may run over a million values on worker threads.
#pragma once

#include <cstddef>
#include <string>

#include "fieldkit/text/cstring.h"
#include "typed/numbers.h"
#include "typed/reading.h"

namespace fieldkit::typed {

// The argument a reason is about: its position among the function's parameters, from 0, or
// kWholeCall when the arguments are each fine and only fail together.
constexpr std::size_t kWholeCall = static_cast<std::size_t>(-1);

// A text made, or `why` not (the reason names no value: the caller shows the argument). The
// text is the library's own, passed on without a copy: a caller that fills a numpy str array
// copies its characters straight into the cells, and one that prints converts it once.
struct Text {
    bool ok = false;
    CString text;
    std::string why;
    std::size_t argument = 0;
};

// A number made, or `why` not.
struct Number {
    bool ok = false;
    double value = 0;
    std::string why;
    std::size_t argument = 0;
};

// Three numbers made together (a position), or `why` not.
struct Triple {
    bool ok = false;
    double value[3] = {0, 0, 0};
    std::string why;
    std::size_t argument = 0;
};

// A latitude (-90 to 90, north positive) as degrees, minutes and seconds with N or S, the
// seconds to five decimals or, with `tenths`, to one (cut, not rounded).
Text LatitudeDms(double latitude, bool tenths);
// A longitude (-360 to 360, east positive) the same way with E or W; the degrees are neither
// padded nor reduced into one turn.
Text LongitudeDms(double longitude, bool tenths);

// The seconds of an angle's text.
enum class Seconds {
    kFourDecimals,
    kSixDecimals,
    kWhole,  // cut, with the degrees padded to three digits
};
// An angle (-1e9 to 1e9 degrees) as signed degrees, minutes and seconds.
Text AngleDms(double angle, Seconds seconds);

// A quadrant letter asked for, or the one the azimuth's quadrant gives.
enum class NorthSouth { kFromAzimuth, kNorth, kSouth };
enum class EastWest { kFromAzimuth, kEast, kWest };
// An azimuth (-360 to 360, clockwise from north) as a quadrant bearing. With no letter asked
// for, the letters are the azimuth's quadrant's; once one is asked for, the other counts as
// north or east when not, and an azimuth outside the quadrant so named is refused.
Text QuadrantBearing(double azimuth, NorthSouth northSouth, EastWest eastWest);

// The packed D.MMSS number (123.4530 for 123°45'30") read from or written as.
enum class Packed { kNo, kFrom, kTo };
constexpr int kLibraryDecimals = -1;
// Decimal degrees as text: a latitude (kNorthSouth, -90 to 90), a longitude (kEastWest, -360
// to 360) or an angle (-360 to 360), each with the library's own number of decimals or `decimals`
// (0 to 15). kFrom reads the value as packed D.MMSS first; kTo prints it so, with 8 decimals unless
// told (at least 4: fewer would cut into the seconds' digits).
Text DecimalDegrees(double value, Axis axis, Packed packed, int decimals);

// Latitude and longitude in degrees (each within its range) and the ellipsoidal height in
// metres (-100000 to 100000) on WGS 84 as earth-centred X, Y and Z in metres. The angles go
// to radians exactly, not rounded as the library's Deg2Rad does.
Triple Geocentric(double latitude, double longitude, double height);
// Earth-centred X, Y and Z in metres (each -1e9 to 1e9) as latitude and longitude in degrees
// and the ellipsoidal height in metres; refused for a point more than about 7071 km from the
// centre, where the library's iteration finds none. A height far from the ellipsoid is the
// caller's to judge.
Triple Geodetic(double x, double y, double z);

// Decimal feet (-1e9 to 1e9) as feet and inches to the nearest 1/denominator inch, the
// fraction in lowest terms; denominator 0 (to 65536) drops it.
Text FeetInches(double feet, long long denominator);

enum class Foot {
    kInternational,  // 0.3048 m
    kUsSurvey,       // 1200/3937 m
};
// Metres as feet, rounded to 0.00001 ft as the library does, and feet as metres, unrounded.
// Any finite value is taken.
Number MetresToFeet(double metres, Foot foot);
Number FeetToMetres(double feet, Foot foot);

// Degrees (-1e9 to 1e9) as the packed D.MMSS number, seconds within 6 / 10^(precision - 3) of
// 60 carried into the minutes; precision 4 (whole seconds) to 15.
Number PackedDms(double degrees, int precision);

// A chainage (-1e9 to 1e9) as a road station: whole intervals, '+' and the rest, to 0.01. The
// interval is 0.001 to 1e6, and the count of intervals must fit the library's 32 bits.
Text StationText(double chainage, double interval);

// A date "D.M.YYYY" or "D.M.YYYY, H:MM" as the handheld's pseudo-minute count (365-day
// years, 30-day months, years after 2000 counted from 2000); refused when it is not one or
// its count does not fit in 32 bits (after about the year 6085).
struct Count {
    bool ok = false;
    long long value = 0;
    std::string why;
};
Count DateCount(const std::wstring& text);

// The end of a correction-service subscription given in GPS seconds (-1e12 to 1e12) as
// month/day/year, a moment before 03:00 showing the day before; 0 or less is "Expired".
Text SubscriptionEnd(long long gpsSeconds);

}  // namespace fieldkit::typed
