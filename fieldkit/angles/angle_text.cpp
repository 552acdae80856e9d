#include "fieldkit/angles/angle_text.h"

#include <cmath>
#include <cstdint>

#include "fieldkit/angles/angle_units.h"
#include "fieldkit/angles/detail/coordinate_text.h"
#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/detail/fixed_digits.h"

using fieldkit::detail::NoThrow;
using fieldkit::detail::TruncToInt32;

namespace {

struct Dms {
    int degrees;
    int minutes;
    double seconds;
};

// Whole degrees, whole minutes and seconds of a magnitude, with the seconds carry.
Dms Split(double magnitude) {
    Dms p;
    p.degrees = TruncToInt32(magnitude);
    const double fraction = magnitude - p.degrees;
    p.minutes = TruncToInt32(fraction * 60);
    p.seconds = (fraction - p.minutes * fieldkit::detail::kArcMinute) * 3600;
    fieldkit::detail::CarrySeconds(p.degrees, p.minutes, p.seconds, 5, true);
    return p;
}

// Writes `v` (below 1000) with at least `digits` digits, as "%0*d" does; returns the end.
wchar_t* PutWhole(wchar_t* out, int v, int digits) {
    wchar_t reversed[4];
    int n = 0;
    do {
        reversed[n++] = static_cast<wchar_t>(L'0' + v % 10);
        v /= 10;
    } while (v > 0);
    for (; n < digits; --digits)
        *out++ = L'0';
    while (n > 0)
        *out++ = reversed[--n];
    return out;
}

// The text of a coordinate's formats, "%02d\u00B0%02d'%08.5f\"%c" or "%02d\u00B0%02d'%03.1f\"%c"
// (degrees unpadded with `degreeDigits` 1), written straight for the values that nearly every
// caller passes, since tables of thousands of points format them one after the other. The
// seconds' digits are the printf engine's own. False for anything else (not finite, a
// thousand degrees or more, seconds that are not plainly in [0, 60)), which takes the formats.
bool CoordinateTextDirect(const Dms& p, bool fiveDecimals, double tenths, int degreeDigits,
                          wchar_t letter, CString& text) {
    const double seconds = fiveDecimals ? p.seconds : tenths;
    if (!(p.degrees >= 0 && p.degrees < 1000 && p.minutes >= 0 && p.minutes < 100 && seconds >= 0 &&
          seconds < 60) ||
        std::signbit(seconds))
        return false;
    char digits[48];
    const char* end = fieldkit::detail::FixedExactly(seconds, fiveDecimals ? 5 : 1, digits);
    if (end == nullptr) return false;
    wchar_t buffer[32];
    wchar_t* out = PutWhole(buffer, p.degrees, degreeDigits);
    *out++ = L'\u00B0';
    out = PutWhole(out, p.minutes, 2);
    *out++ = L'\'';
    const int width = fiveDecimals ? 8 : 3;
    for (long n = end - digits; n < width; ++n)
        *out++ = L'0';
    for (const char* c = digits; c != end; ++c)
        *out++ = static_cast<wchar_t>(*c);
    *out++ = L'"';
    *out++ = letter;
    text = CString(buffer, static_cast<int>(out - buffer));
    return true;
}

// A coordinate's formats and letters.
struct CoordinateStyle {
    const wchar_t* fiveFormat;
    const wchar_t* tenthsFormat;
    wchar_t positive;
    wchar_t negative;
    int degreeDigits;  // as the formats pad the degrees
};
constexpr CoordinateStyle kLatitudeStyle = {L"%02d\u00B0%02d'%08.5f\"%c",
                                            L"%02d\u00B0%02d'%03.1f\"%c", L'N', L'S', 2};
constexpr CoordinateStyle kLongitudeStyle = {L"%d\u00B0%02d'%08.5f\"%c", L"%d\u00B0%02d'%03.1f\"%c",
                                             L'E', L'W', 1};

CString CoordinateText(double value, bool fiveDecimals, const CoordinateStyle& style, bool direct) {
    // Negative zero is not below zero, so it takes the positive letter.
    const wchar_t letter = value < 0 ? style.negative : style.positive;
    const Dms p = Split(std::fabs(value));
    const double tenths = TruncToInt32(p.seconds * 10) * 0.1;  // cut, never rounded up
    CString text;
    if (direct && CoordinateTextDirect(p, fiveDecimals, tenths, style.degreeDigits, letter, text))
        return text;
    if (fiveDecimals) {
        text.Format(style.fiveFormat, p.degrees, p.minutes, p.seconds, letter);
    } else {
        text.Format(style.tenthsFormat, p.degrees, p.minutes, tenths, letter);
    }
    return text;
}

CString SignedAngleText(double angle, const wchar_t* format, double halfUnit) {
    const bool negative = angle < 0;
    Dms p = Split(std::fabs(angle));
    // Seconds that the text would round up to 60 carry like those above 59.99999, so four
    // decimals never show 60.0000.
    if (p.seconds >= 60 - halfUnit) {
        p.seconds = 60;
        fieldkit::detail::CarrySeconds(p.degrees, p.minutes, p.seconds, 5, true);
    }
    CString text;
    text.Format(format, p.degrees, p.minutes, p.seconds);
    text.Remove(L' ');
    if (negative && (p.degrees > 0 || p.minutes > 0 || p.seconds > 0.0001)) text.Insert(0, L'-');
    return text;
}

}  // namespace

CString fieldkit::detail::CoordinateTextByFormats(double value, bool latitude, bool fiveDecimals) {
    return CoordinateText(value, fiveDecimals, latitude ? kLatitudeStyle : kLongitudeStyle, false);
}

// Every text below is empty when memory runs out.
CString LatitudeToDDDMMSSSString(double latitude, bool fiveDecimals) {
    return NoThrow(CString(),
                   [=] { return CoordinateText(latitude, fiveDecimals, kLatitudeStyle, true); });
}

CString LongitudeToDDDMMSSSString(double longitude, bool fiveDecimals) {
    return NoThrow(CString(),
                   [=] { return CoordinateText(longitude, fiveDecimals, kLongitudeStyle, true); });
}

CString LatitudeToDDDDString(double latitude, bool sevenDecimals) {
    return NoThrow(CString(), [=] {
        CString text;
        text.Format(sevenDecimals ? L"%02.7lf" : L"%02.5lf", latitude);
        return text;
    });
}

CString LongitudeToDDDDString(double longitude, bool eightDecimals) {
    return NoThrow(CString(), [=] {
        CString text;
        text.Format(eightDecimals ? L"%.8lf" : L"%.6lf", longitude);
        return text;
    });
}

CString AngleToDDDMMSSSString(double angle, bool /*flag*/) {
    return NoThrow(CString(),
                   [=] { return SignedAngleText(angle, L"%3d\u00B0%02d'%6.4f\"", 0.5e-4); });
}

CString AngleToDDDMMSSSSSString(double angle) {
    return NoThrow(CString(),
                   [=] { return SignedAngleText(angle, L"%3d\u00B0%02d'%6.6f\"", 0.5e-6); });
}

CString AngleToDDDMMSSSStringWithRoombs(double azimuth, bool north, bool east, bool flag) {
    double a;
    if (north)
        a = east ? azimuth : 360 - azimuth;
    else
        a = east ? (360 - azimuth) - 180 : azimuth - 180;
    if (a > 360) a -= 360;
    if (a < 0) a += 360;
    return NoThrow(CString(), [=] {
        return CString(north ? L'N' : L'S') + AngleToDDDMMSSSString(a, flag) + (east ? L'E' : L'W');
    });
}

CString AngleToDDDDString(double angle, bool tenDecimals) {
    return DoubleToString(angle, tenDecimals ? 10 : 5);
}

CString ShortAngleToString(double angle) {
    if (angle < 0) return NoThrow(CString(), [=] { return L"-" + ShortAngleToString(-angle); });
    const Dms p = Split(angle);
    return NoThrow(CString(), [&] {
        CString text;
        text.Format(L"%03d\u00B0%02d'%d\"", p.degrees, p.minutes, TruncToInt32(p.seconds));
        return text;
    });
}

CString DDDMMSS2String(double dddmmss) {
    if (dddmmss < 0) return NoThrow(CString(), [=] { return L"-" + DDDMMSS2String(-dddmmss); });
    const std::int32_t d = TruncToInt32(dddmmss * 0.0001);
    const double rest = dddmmss - d * 10000.0;
    const std::int32_t m = TruncToInt32(rest * 0.01);
    const std::int32_t s = TruncToInt32(rest - m * 100.0);
    return NoThrow(CString(), [=] {
        CString text;
        text.Format(L"%3d\u00B0%2d'%2d\"", d, m, s);
        return text;
    });
}
