#include "fieldkit/angles/angle_parse.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "fieldkit/angles/angle_units.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/charclass.h"

namespace {

using fieldkit::detail::kArcMinute;
using fieldkit::detail::kArcSecond;
using fieldkit::detail::kDegToRad;

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Digits, optionally joined with a decimal point to more digits, read as "%lf" reads them:
// correctly rounded, a very long group saturating to infinity rather than overflowing a
// 32-bit integer (shorter groups read the same as integers would).
double Number(std::wstring_view whole, std::wstring_view fraction = {}, bool point = false) {
    char small[64];
    std::string large;
    const std::size_t size = whole.size() + fraction.size() + 1;
    char* text = small;
    if (size > sizeof small) {
        large.resize(size);
        text = large.data();
    }
    std::size_t n = 0;
    for (const wchar_t c : whole)
        text[n++] = static_cast<char>(c);
    if (point) text[n++] = '.';
    for (const wchar_t c : fraction)
        text[n++] = static_cast<char>(c);
    double v = 0;
    const auto r = std::from_chars(text, text + n, v, std::chars_format::fixed);
    if (r.ec == std::errc::result_out_of_range) {
        // Only digits: too large means infinity, too small (a long run of zeros after the
        // point) means zero.
        v = whole.find_first_not_of(L'0') != std::wstring_view::npos ? HUGE_VAL : 0.0;
    }
    return v;
}

double Joined(std::wstring_view whole, std::wstring_view fraction) {
    return Number(whole, fraction, true);
}

// A whole number for the trace's "%ld", kept within range whatever the digits were.
long TraceWhole(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return static_cast<long>(9.2e18);
    return static_cast<long>(v);
}

std::wstring_view TrimNonGraphic(std::wstring_view s) {
    std::size_t first = 0, last = s.size();
    while (first < last && !fieldkit::IsWideGraph(s[first]))
        ++first;
    while (last > first && !fieldkit::IsWideGraph(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

// The character that ends the first run of digits and decimal points, or 0 when the run
// reaches the end of the text (or there is none).
wchar_t SeparatorAfterFirstNumber(std::wstring_view t, std::size_t& at) {
    std::size_t i = 0;
    while (i < t.size() && !IsDigit(t[i]) && t[i] != L'.')
        ++i;
    while (i < t.size() && (IsDigit(t[i]) || t[i] == L'.'))
        ++i;
    at = i;
    return i < t.size() ? t[i] : L'\0';
}

}  // namespace

namespace fieldkit::detail {

double StringToAngle2(const CString& text) {
    LOGMESSAGE(2, "StringToAngle2: s0=%S", text);
    const std::wstring_view t = TrimNonGraphic(text.GetStdString());

    if (t.find_first_not_of(L"0123456789-.e") == std::wstring_view::npos) {
        // The scan needs a terminated text.
        wchar_t small[64];
        std::wstring large;
        const wchar_t* terminated = small;
        if (t.size() < 64) {
            t.copy(small, t.size());
            small[t.size()] = L'\0';
        } else {
            large.assign(t);
            terminated = large.c_str();
        }
        double v = 0;
        if (StringToDouble(terminated, v)) return v;
    }

    // Only the first four digit groups are ever used; the rest are counted.
    std::wstring_view groups[4];
    int n = 0;
    for (std::size_t i = 0; i < t.size();) {
        if (!IsDigit(t[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < t.size() && IsDigit(t[i]))
            ++i;
        if (n < 4) groups[n] = t.substr(start, i - start);
        ++n;
    }
    LOGMESSAGE(2, "StringToAngle2: nGroups=%d", n);
    if (n == 0) return 0;

    const bool minutesMark = t.find(L'\'') != std::wstring_view::npos;
    const bool secondsMark = t.find(L'"') != std::wstring_view::npos;
    const bool point = t.find(L'.') != std::wstring_view::npos;
    double d = 0, m = 0, s = 0;
    if (n == 1) {
        (minutesMark ? m : secondsMark ? s : d) = Number(groups[0]);
    } else if (n == 2) {
        if (point) {
            (minutesMark ? m : secondsMark ? s : d) = Joined(groups[0], groups[1]);
        } else {  // unit marks are not consulted: 30'15" is 30 degrees 15 minutes
            d = Number(groups[0]);
            m = Number(groups[1]);
        }
    } else if (n == 3) {
        if (point) {
            std::size_t at = 0;
            const wchar_t separator = SeparatorAfterFirstNumber(t, at);
            const bool firstIsDecimal = separator != L'\0' && t.find(L'.') < at;
            const bool minutesFirst = separator == L'\'';
            if (firstIsDecimal) {
                (minutesFirst ? m : d) = Joined(groups[0], groups[1]);
                (minutesFirst ? s : m) = Number(groups[2]);
            } else {
                (minutesFirst ? m : d) = Number(groups[0]);
                (minutesFirst ? s : m) = Joined(groups[1], groups[2]);
            }
        } else {
            d = Number(groups[0]);
            m = Number(groups[1]);
            s = Number(groups[2]);
        }
    } else {
        d = Number(groups[0]);
        m = Number(groups[1]);
        s = Joined(groups[2], groups[3]);
        LOGMESSAGE(2, "StringToAngle2: ddd=%ld mmm=%ld sss=%lf", TraceWhole(d), TraceWhole(m), s);
    }
    const double v = (s * kArcSecond + m * kArcMinute) + d;
    LOGMESSAGE(2, "StringToAngle2: v=%lf", v);
    return t.find(L'-') != std::wstring_view::npos ? -v : v;
}

}  // namespace fieldkit::detail

using fieldkit::detail::NoThrow;
using fieldkit::detail::StringToAngle2;

// The readers answer 0, as for a text without digits, when memory runs out.
double StringToAngle(CString text) {
    text.Trim();
    if (text.IsEmpty()) return 0;
    const int n = text.GetLength();
    const wchar_t first = text[0], last = text[n - 1];
    return NoThrow(0.0, [&] {
        if (n > 3 && (first == L'N' || first == L'S') && (last == L'E' || last == L'W')) {
            const double v = StringToAngle2(text.Mid(1, n - 2));
            double azimuth;
            if (first == L'N')
                azimuth = last == L'E' ? v : 360 - v;
            else
                azimuth = last == L'E' ? 180 - v : v + 180;
            if (azimuth < 0) azimuth += 360;
            if (azimuth > 360) azimuth -= 360;
            return azimuth;
        }
        return StringToAngle2(text);
    });
}

double StringToLatitude(CString text) {
    const double v = NoThrow(0.0, [&] { return StringToAngle2(text); });
    return text.FindOneOf(L"Ss") >= 0 ? -v : v;
}

double StringToLongitude(CString text) {
    const double v = NoThrow(0.0, [&] { return StringToAngle2(text); });
    return text.FindOneOf(L"Ww") >= 0 ? -v : v;
}

double AngleToRad(CString degrees, CString minutes, CString seconds) {
    return NoThrow(0.0, [&] {
        const double d = StringToDouble(degrees);
        const double m = StringToDouble(minutes);
        const double s = StringToDouble(seconds);
        return (s * kArcSecond + m * kArcMinute + d) * kDegToRad;
    });
}

namespace {

bool ValidDms(const CString& value, const CString& maxDegrees, bool allowMax) {
    CString t = value;
    t.Trim();
    if (t.GetLength() > 0 && t[0] == L'-') t.Delete(0);
    for (int i = 0; i < t.GetLength(); ++i) {
        if (!IsDigit(t[i]) && t[i] != L'.') return false;
    }
    const int point = t.Find(L'.');
    if (point >= 0 && t.Find(L'.', point + 1) >= 0) return false;

    CString degrees = t;
    CString rest;
    if (point > 0) {
        degrees = t.Left(point);
        rest = t.Mid(point);
        if (rest.GetLength() > 1) rest.Delete(0);
    }
    const int width = maxDegrees.GetLength();
    if (degrees.GetLength() > width) return false;
    if (degrees.GetLength() < width) degrees = CString(L' ', width - degrees.GetLength()) + degrees;
    if (degrees.Compare(maxDegrees) > 0) return false;

    CString limit = L"59";
    if (degrees.Compare(maxDegrees) == 0) {
        if (!allowMax) return false;
        limit = L"00";  // the maximum itself only with zero minutes and seconds
    }
    // Two digits at a time, padded on the right: a single 5 means 50.
    for (int field = 0; field < 2; ++field) {
        if (rest.IsEmpty()) return true;
        CString digits = rest.Left(2);
        rest = rest.Mid(2);
        while (digits.GetLength() < 2)
            digits += L'0';
        if (digits.Compare(limit) > 0) return false;
    }
    return true;
}

}  // namespace

bool CheckValidDMSVal(CString value, CString maxDegrees, bool allowMax) {
    return NoThrow(false, [&] { return ValidDms(value, maxDegrees, allowMax); });
}
