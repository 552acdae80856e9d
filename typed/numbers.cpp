#include "typed/numbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "fieldkit/fieldkit.h"

namespace fieldkit::typed {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

std::wstring Trim(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool OnlyBlanksFrom(std::wstring_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (!IsBlank(text[i])) return false;
    }
    return true;
}

namespace {

// The length of the UTF-8 sequence at `p` (1 for ASCII), or 0 when it is not a valid one.
std::size_t SequenceAt(const unsigned char* p, std::size_t left) {
    const unsigned lead = p[0];
    if (lead < 0x80) return 1;
    // The second byte's range narrows where overlong forms, surrogates and values beyond
    // U+10FFFF would begin.
    std::size_t n = 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        lo = lead == 0xE0 ? 0xA0 : 0x80;
        hi = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        lo = lead == 0xF0 ? 0x90 : 0x80;
        hi = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < n || p[1] < lo || p[1] > hi) return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
    }
    return n;
}

}  // namespace

std::string Printable(std::string_view text, bool lines) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size;) {
        const unsigned b = p[i];
        const std::size_t n = SequenceAt(p + i, size - i);
        const bool control = (b < 0x20 && !(lines && b == '\n')) || b == 0x7F ||
                             (b == 0xC2 && n == 2 && p[i + 1] < 0xA0);
        if (n == 0 || control) {
            // A C1 control by its code point, which is its second byte.
            out += FormatA("\\x%02X", static_cast<unsigned>(n == 2 ? p[i + 1] : b));
            i += n == 0 ? 1 : n;
        } else {
            out.append(text.data() + i, n);
            i += n;
        }
    }
    return out;
}

std::string Quote(std::wstring_view text, std::size_t limit) {
    const std::string shown = Printable(WideToUtf8(text.substr(0, limit)), false);
    return "'" + shown + (text.size() > limit ? "...'" : "'");
}

std::string Fixed(double value, int decimals) {
    std::string text = FormatA("%.*f", decimals, value);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Blanks, an optional sign, digits (whole: nothing else; else with an optional '.' fraction
// and exponent), blanks: what a surveyor's file holds, where the scanner alone would also take
// hexadecimal, "inf" and "nan". `digits` counts the digits before any exponent. The number's
// characters (sign, digits, point, exponent) go to `copy` when it has room for them, else
// `copied` stays 0.
bool IsPlainDecimal(std::wstring_view t, bool whole, std::size_t& digits, char* copy = nullptr,
                    std::size_t room = 0, std::size_t* copied = nullptr) {
    std::size_t i = 0;
    std::size_t n = 0;
    const auto keep = [&](wchar_t c) {
        if (n < room) copy[n] = static_cast<char>(c);
        ++n;
    };
    const auto run = [&] {
        const std::size_t start = i;
        for (; i < t.size() && IsDigit(t[i]); ++i)
            keep(t[i]);
        return i - start;
    };
    const auto sign = [&] {
        if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) keep(t[i++]);
    };
    while (i < t.size() && IsBlank(t[i]))
        ++i;
    sign();
    digits = run();
    if (!whole && i < t.size() && t[i] == L'.') {
        keep(t[i++]);
        digits += run();
    }
    if (digits == 0) return false;
    if (!whole && i < t.size() && (t[i] == L'e' || t[i] == L'E')) {
        keep(t[i++]);
        sign();
        if (run() == 0) return false;
    }
    if (copied != nullptr) *copied = n <= room ? n : 0;
    return OnlyBlanksFrom(t, i);
}

// The scanner's reading of a plain decimal number, the slow way round.
bool ScanDecimal(std::wstring_view view, double& v) {
    const std::wstring text(view);
    int end = -1;
    return Scan(text.c_str(), L"%lf%n", &v, &end) == 1 && end >= 0 &&
           OnlyBlanksFrom(text, static_cast<std::size_t>(end));
}

}  // namespace

bool ReadPlainDecimal(std::wstring_view text, double& value) {
    // Room for any number a file holds; a longer one goes through the scanner.
    char copy[64];
    std::size_t n = 0;
    std::size_t digits = 0;
    if (!IsPlainDecimal(text, false, digits, copy, sizeof copy, &n)) return false;
    // from_chars takes no '+', and rounds as the scanner does (to nearest, ties to even), so
    // both give the same double; a value beyond double's range is left to the scanner, which
    // answers an infinity or zero for it.
    const char* first = copy[0] == '+' ? copy + 1 : copy;
    double v = 0;
    const auto r = std::from_chars(first, copy + n, v);
    if (n == 0 || r.ec != std::errc() || r.ptr != copy + n) return ScanDecimal(text, value);
    value = v;
    return true;
}

std::string ValueProblem(double value, Range range) {
    if (std::isnan(value) || std::isinf(value)) return "not a number";
    if (!(value >= range.lo && value <= range.hi))
        return FormatA("out of range (%g to %g)", range.lo, range.hi);
    return std::string();
}

std::string WholeProblem(long long value, Range range) {
    const auto v = static_cast<double>(value);
    if (!(v >= range.lo && v <= range.hi))
        return FormatA("out of range (%.0f to %.0f)", range.lo, range.hi);
    return std::string();
}

bool ReadNumber(const std::wstring& text, Range range, double& value, std::string& why) {
    double v = 0;
    if (!ReadPlainDecimal(text, v)) {
        why = "not a number: " + Quote(text);
        return false;
    }
    // A plain decimal beyond double's range reads as an infinity, which no range holds.
    why = ValueProblem(v, range);
    if (!why.empty()) {
        why = FormatA("out of range (%g to %g): ", range.lo, range.hi) + Quote(text);
        return false;
    }
    value = v;
    return true;
}

bool ReadWhole(const std::wstring& text, Range range, long long& value, std::string& why) {
    long long v = 0;
    int end = -1;
    std::size_t digits = 0;
    if (!IsPlainDecimal(text, true, digits) || Scan(text.c_str(), L"%lld%n", &v, &end) != 1 ||
        end < 0 || !OnlyBlanksFrom(text, static_cast<std::size_t>(end))) {
        why = "not a whole number: " + Quote(text);
        return false;
    }
    // More digits than 64 bits hold are beyond every range.
    why = WholeProblem(v, range);
    if (digits > 18 || !why.empty()) {
        why = FormatA("out of range (%.0f to %.0f): ", range.lo, range.hi) + Quote(text);
        return false;
    }
    value = v;
    return true;
}

}  // namespace fieldkit::typed
