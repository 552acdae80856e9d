#include "typed/texts.h"

#include <cmath>
#include <limits>
#include <utility>

#include "fieldkit/fieldkit.h"

namespace fieldkit::typed {

namespace {

constexpr Range kFinite = {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};

Text Made(CString text) {
    Text t;
    t.ok = true;
    t.text = std::move(text);
    return t;
}

// A text of ASCII characters (digits, a sign, a point).
Text MadeAscii(const std::string& text) {
    return Made(CString(std::wstring(text.begin(), text.end())));
}

template <class Answer>
Answer Refused(std::string why, std::size_t argument) {
    Answer a;
    a.why = std::move(why);
    a.argument = argument;
    return a;
}

// True, and `answer` the refusal, when the value at `argument` is not a finite number within
// the range.
template <class Answer>
bool Outside(double value, Range range, std::size_t argument, Answer& answer) {
    std::string why = ValueProblem(value, range);
    if (why.empty()) return false;
    answer = Refused<Answer>(std::move(why), argument);
    return true;
}

template <class Answer>
bool WholeOutside(long long value, Range range, std::size_t argument, Answer& answer) {
    std::string why = WholeProblem(value, range);
    if (why.empty()) return false;
    answer = Refused<Answer>(std::move(why), argument);
    return true;
}

Number Made(double value) {
    Number n;
    n.ok = true;
    n.value = value;
    return n;
}

}  // namespace

Text LatitudeDms(double latitude, bool tenths) {
    Text t;
    if (Outside(latitude, kLatitude, 0, t)) return t;
    return Made(LatitudeToDDDMMSSSString(latitude, !tenths));
}

Text LongitudeDms(double longitude, bool tenths) {
    Text t;
    if (Outside(longitude, kLongitude, 0, t)) return t;
    return Made(LongitudeToDDDMMSSSString(longitude, !tenths));
}

Text AngleDms(double angle, Seconds seconds) {
    Text t;
    if (Outside(angle, kAnyValue, 0, t)) return t;
    switch (seconds) {
        case Seconds::kSixDecimals:
            return Made(AngleToDDDMMSSSSSString(angle));
        case Seconds::kWhole:
            return Made(ShortAngleToString(angle));
        case Seconds::kFourDecimals:
            break;
    }
    return Made(AngleToDDDMMSSSString(angle, false));
}

Text QuadrantBearing(double azimuth, NorthSouth northSouth, EastWest eastWest) {
    Text t;
    if (Outside(azimuth, kTurn, 0, t)) return t;
    if (northSouth == NorthSouth::kFromAzimuth && eastWest == EastWest::kFromAzimuth) {
        const double v = ModDeg360(azimuth, true);
        return Made(AngleToDDDMMSSSStringWithRoombs(v, v <= 90 || v > 270, v <= 180, false));
    }
    const bool north = northSouth != NorthSouth::kSouth;
    const bool east = eastWest != EastWest::kWest;
    const double v = azimuth;
    // The angle the library measures from the chosen line, wrapped once as it wraps it; letters
    // that do not match the azimuth's quadrant put it outside 0 to 90 degrees (below 0 for an
    // azimuth below -180).
    double angle = north ? (east ? v : 360 - v) : (east ? (360 - v) - 180 : v - 180);
    if (angle > 360) angle -= 360;
    if (angle < 0) angle += 360;
    if (angle < 0 || angle > 90) {
        return Refused<Text>(FormatA("the azimuth is not in the %c..%c quadrant", north ? 'N' : 'S',
                                     east ? 'E' : 'W'),
                             0);
    }
    return Made(AngleToDDDMMSSSStringWithRoombs(v, north, east, false));
}

Text DecimalDegrees(double value, Axis axis, Packed packed, int decimals) {
    Text t;
    const Range range = axis == Axis::kNorthSouth ? kLatitude
                        : axis == Axis::kEastWest ? kLongitude
                                                  : kTurn;
    if (Outside(value, range, 0, t)) return t;
    if (decimals != kLibraryDecimals && WholeOutside(decimals, kDecimals, 3, t)) return t;
    if (packed == Packed::kTo) {
        // Eight decimals keep the seconds to 0.0001"; precision N carries seconds within
        // 0.6 of the last digit of a whole minute, so no text shows 60 seconds after rounding
        // to N decimals.
        const int n = decimals == kLibraryDecimals ? 8 : decimals;
        if (n < 4) return Refused<Text>("4 or more decimals for packed D.MMSS (whole seconds)", 3);
        return MadeAscii(Fixed(Deg2DDDMMSS(value, n), n));
    }
    double v = value;
    if (packed == Packed::kFrom) v = DDDMMSS2Deg(v);
    if (decimals != kLibraryDecimals) return MadeAscii(Fixed(v, decimals));
    if (packed == Packed::kFrom) return Made(AngleToDDDDString(v, true));
    if (axis == Axis::kNorthSouth) return Made(LatitudeToDDDDString(v, true));
    if (axis == Axis::kEastWest) return Made(LongitudeToDDDDString(v, true));
    return Made(AngleToDDDDString(v, true));
}

Triple Geocentric(double latitude, double longitude, double height) {
    Triple p;
    if (Outside(latitude, kLatitude, 0, p) || Outside(longitude, kLongitude, 1, p) ||
        Outside(height, kEllipsoidHeight, 2, p))
        return p;
    double* v = p.value;
    if (!TBLH_To_XYZ(DegreesToRadians(latitude), DegreesToRadians(longitude), height, v[0], v[1],
                     v[2]))
        return Refused<Triple>("cannot convert this position", kWholeCall);
    p.ok = true;
    return p;
}

Triple Geodetic(double x, double y, double z) {
    Triple p;
    if (Outside(x, kAnyValue, 0, p) || Outside(y, kAnyValue, 1, p) || Outside(z, kAnyValue, 2, p))
        return p;
    double b = 0, l = 0, h = 0;
    if (!TXYZ_To_BLH(x, y, z, b, l, h)) {
        return Refused<Triple>(
            "no position for this point (more than about 7071 km from the centre?)", kWholeCall);
    }
    p.value[0] = RadiansToDegrees(b);
    p.value[1] = RadiansToDegrees(l);
    p.value[2] = h;
    p.ok = true;
    return p;
}

Text FeetInches(double feet, long long denominator) {
    Text t;
    if (Outside(feet, kAnyValue, 0, t) || WholeOutside(denominator, kFeetInchDenominator, 1, t))
        return t;
    return Made(HeightToFeetAndInchesString(feet, static_cast<int>(denominator)));
}

Number MetresToFeet(double metres, Foot foot) {
    Number n;
    if (Outside(metres, kFinite, 0, n)) return n;
    return Made(foot == Foot::kUsSurvey ? Meter2USFeet(metres) : Meter2IFeet(metres));
}

Number FeetToMetres(double feet, Foot foot) {
    Number n;
    if (Outside(feet, kFinite, 0, n)) return n;
    return Made(foot == Foot::kUsSurvey ? USFeet2Meter(feet) : IFeet2Meter(feet));
}

Number PackedDms(double degrees, int precision) {
    Number n;
    if (Outside(degrees, kAnyValue, 0, n) || WholeOutside(precision, kDmsPrecision, 1, n)) return n;
    return Made(Deg2DDDMMSS(degrees, precision));
}

Text StationText(double chainage, double interval) {
    Text t;
    if (Outside(chainage, kAnyValue, 0, t) || Outside(interval, kStationInterval, 1, t)) return t;
    if (std::fabs(chainage / interval) >= kMax32) return Refused<Text>("too many stations", 0);
    return Made(StnToString(chainage, interval));
}

Count DateCount(const std::wstring& t) {
    Count c;
    long day = 0, month = 0, year = 0, hour = 0, minute = 0;
    int end = -1;
    bool ok = Scan(t.c_str(), L"%ld.%ld.%ld%n", &day, &month, &year, &end) == 3 && end >= 0;
    if (ok && !OnlyBlanksFrom(t, static_cast<std::size_t>(end))) {
        const std::wstring time = t.substr(static_cast<std::size_t>(end));
        end = -1;
        ok = Scan(time.c_str(), L", %ld:%ld%n", &hour, &minute, &end) == 2 && end >= 0 &&
             OnlyBlanksFrom(time, static_cast<std::size_t>(end));
    }
    ok = ok && day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 0 && year <= 9999 &&
         hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
    if (!ok) {
        c.why = "not a date (D.M.YYYY or D.M.YYYY, H:MM)";
        return c;
    }
    // The handheld keeps the count in 32 bits; the library wraps a larger one as it does.
    const long years = year > 2000 ? year - 2000 : year;
    // Each field is checked small above: it converts to a double exactly.
    const auto d = [](long field) { return static_cast<double>(field); };
    const double count =
        ((d(years) * 365.0 + d(month) * 30.0 + d(day)) * 24.0 + d(hour)) * 60.0 + d(minute);
    if (count > kMax32) {
        c.why = "a date too late for the 32-bit count (at most about the year 6085)";
        return c;
    }
    c.ok = true;
    c.value = DateToInt(CString(t.c_str()));
    return c;
}

Text SubscriptionEnd(long long gpsSeconds) {
    Text t;
    if (WholeOutside(gpsSeconds, kGpsSeconds, 0, t)) return t;
    return Made(TarvSubscriptionToString(static_cast<long>(gpsSeconds)));
}

}  // namespace fieldkit::typed
