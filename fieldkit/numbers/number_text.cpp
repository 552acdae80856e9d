#include "fieldkit/numbers/number_text.h"

#include <cmath>
#include <cstdint>

#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/scan.h"

using fieldkit::detail::NoThrow;
using fieldkit::detail::Scan;
using fieldkit::detail::TruncToInt32;

double dNearInt(double x) {
    const double sign = x < 0 ? -1.0 : 1.0;
    return sign * std::floor(std::fabs(x) + 0.5);
}

double FormatFloat(double x, int decimals) {
    if (!std::isfinite(x)) return x;
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i)
        scale *= 10.0;
    if (!std::isfinite(scale)) return x;  // more decimals than a double holds: nothing to round
    // Truncation on doubles gives the integer path's results wherever that path is defined,
    // and keeps going where a 32-bit integer would overflow. Adding 0.0 turns -0 into +0, as
    // the integer round trip would.
    const double whole = std::trunc(x) + 0.0;
    const double fraction = x - whole;
    const double rounded = x >= 0 ? std::trunc(fraction * scale + 0.5) + 0.0
                                  : -std::trunc(-fraction * scale + 0.5) + 0.0;
    return rounded / scale + whole;
}

namespace {

// A number too long for memory reads as no number at all.
template <class T>
int ScanOne(const wchar_t* text, const wchar_t* fmt, T& value) {
    T v{};
    if (text != nullptr && *text != L'\0' &&
        NoThrow(false, [&] { return Scan(text, fmt, &v) == 1; })) {
        value = v;
        return 1;
    }
    value = T{};
    return 0;
}

template <class T>
T ScanWithoutBlanks(const CString& text, const wchar_t* fmt) {
    return NoThrow(T{}, [&] {
        CString t = text;
        t.Remove(L' ');
        T v{};
        if (t.IsEmpty() || Scan(t.GetString(), fmt, &v) != 1) return T{};
        return v;
    });
}

}  // namespace

int StringToDouble(const wchar_t* text, double& value) {
    return ScanOne(text, L"%lf", value);
}
int StringToFloat(const wchar_t* text, float& value) {
    return ScanOne(text, L"%f", value);
}
int StringToInt(const wchar_t* text, int& value) {
    return ScanOne(text, L"%d", value);
}
int StringToLong(const wchar_t* text, long& value) {
    return ScanOne(text, L"%ld", value);
}
int StringToUint(const wchar_t* text, unsigned int& value) {
    return ScanOne(text, L"%u", value);
}
int StringToShort(const wchar_t* text, short& value) {
    return ScanOne(text, L"%hd", value);
}

double StringToDouble(CString text) {
    return ScanWithoutBlanks<double>(text, L"%lf");
}
float StringToFloat(CString text) {
    return ScanWithoutBlanks<float>(text, L"%f");
}
long StringToInt(CString text) {
    return ScanWithoutBlanks<int>(text, L"%d");
}

long DateToInt(CString text) {
    long day = 0, month = 0, year = 0, hour = 0, minute = 0;
    const wchar_t* s = text.GetString();
    // Numbers too long for memory read as no date.
    const auto scan = [s](const wchar_t* fmt, auto*... out) {
        return NoThrow(0, [&] { return Scan(s, fmt, out...); });
    };
    if (scan(L"%ld.%ld.%ld, %ld:%ld", &day, &month, &year, &hour, &minute) != 5) {
        if (scan(L"%ld.%ld.%ld", &day, &month, &year) == 3) {
            hour = minute = 0;
        } else {
            // Not a date: a weighted sum of the first six UTF-16 code units.
            std::uint32_t sum = 0;
            std::uint32_t weight = 100000;
            for (const wchar_t c : text.GetStdString()) {
                const auto cp = static_cast<std::uint32_t>(c);
                if (cp > 0xFFFF && cp <= 0x10FFFF) {
                    const std::uint32_t units[2] = {0xD800 + ((cp - 0x10000) >> 10),
                                                    0xDC00 + ((cp - 0x10000) & 0x3FF)};
                    for (const std::uint32_t u : units) {
                        if (weight == 0) break;
                        sum += u * weight;
                        weight /= 10;
                    }
                } else {
                    sum += cp * weight;
                    weight /= 10;
                }
                if (weight == 0) break;
            }
            return static_cast<std::int32_t>(sum);
        }
    }
    // The count is 32-bit arithmetic on the handheld; unsigned arithmetic wraps the same way
    // without signed overflow.
    const auto w = [](long v) { return static_cast<std::uint32_t>(static_cast<unsigned long>(v)); };
    std::uint32_t y = w(year);
    if (static_cast<std::int32_t>(y) > 2000) y -= 2000;
    const std::uint32_t days = y * 365u + w(month) * 30u + w(day);
    return static_cast<std::int32_t>((days * 24u + w(hour)) * 60u + w(minute));
}

// The writers answer an empty text when memory runs out.
CString IntToString(int n) {
    return NoThrow(CString(), [n] {
        CString s;
        s.Format(L"%d", n);
        return s;
    });
}

CString DoubleToString(double x, int decimals) {
    return NoThrow(CString(), [=] {
        CString s;
        s.Format(L"%3.*lf", decimals, x);
        return s;
    });
}

CString DoubleToStringG(double x) {
    return NoThrow(CString(), [x] {
        CString s;
        if (std::fabs(x) < 0.001)
            s.Format(L"%.5lg", x);
        else
            s.Format(L"%.8lf", x);
        return s;
    });
}

CString TimeToString(double hours) {
    const std::int32_t h = TruncToInt32(hours);
    const double fraction = hours - h;
    const std::int32_t m = TruncToInt32(fraction * 60.0);
    const double s = (fraction - m * 0.016666666666666666) * 3600.0;
    return NoThrow(CString(), [=] {
        CString text;
        text.Format(L"%2d:%2d:%5.3f", h, m, s);
        return text;
    });
}
