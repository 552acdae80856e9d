#include "fieldkit/text/scan.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "fieldkit/text/detail/directive.h"

namespace fieldkit::detail {
namespace {

template <class Ch>
bool IsSpace(Ch c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

template <class Ch>
int DigitValue(Ch c, int base) {
    int v = 36;
    if (c >= '0' && c <= '9')
        v = static_cast<int>(c - '0');
    else if (c >= 'a' && c <= 'z')
        v = static_cast<int>(c - 'a') + 10;
    else if (c >= 'A' && c <= 'Z')
        v = static_cast<int>(c - 'A') + 10;
    return v < base ? v : -1;
}

template <class Ch>
Ch Lower(Ch c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Ch>(c - 'A' + 'a') : c;
}

// A cursor over the text that honours a field width.
template <class Ch>
struct Field {
    const Ch* p;
    std::size_t left;  // characters the field may still take
    Ch Peek(std::size_t k = 0) const { return k < left && p[k] ? p[k] : Ch(0); }
    // Only ever called after Peek has seen the characters, so no NUL is passed over.
    void Take(std::size_t n = 1) {
        p += n;
        left -= n;
    }
    bool TakeWordNoCase(const char* word) {
        std::size_t n = 0;
        while (word[n] && Lower(Peek(n)) == static_cast<Ch>(word[n]))
            ++n;
        if (word[n]) return false;
        Take(n);
        return true;
    }
};

enum class Type { Signed, Unsigned, Floating };

struct Target {
    Type type;
    ScanArg::Kind kind;
};

// j, z and t all name long-sized integers here.
bool IsLongSized(Length len) {
    return len == Length::L || len == Length::Z || len == Length::T || len == Length::J;
}

// The target type that a conversion of this kind and length stores into; false for what the
// scanner does not read.
bool ExpectedKind(Conversion conversion, Length len, ScanArg::Kind& kind) {
    using K = ScanArg::Kind;
    switch (conversion) {
        case Conversion::kSigned:
        case Conversion::kCount:
            kind = len == Length::HH   ? K::SChar
                   : len == Length::H  ? K::Short
                   : IsLongSized(len)  ? K::Long
                   : len == Length::LL ? K::LongLong
                                       : K::Int;
            return true;
        case Conversion::kUnsigned:
            kind = len == Length::HH   ? K::UChar
                   : len == Length::H  ? K::UShort
                   : IsLongSized(len)  ? K::ULong
                   : len == Length::LL ? K::ULongLong
                                       : K::UInt;
            return true;
        case Conversion::kFloating:
            kind = len == Length::L ? K::Double : len == Length::BigL ? K::LongDouble : K::Float;
            return true;
        default:
            return false;
    }
}

template <class T>
void StoreSigned(void* p, bool negative, unsigned long long mag) {
    using U = unsigned long long;
    const U max = static_cast<U>(std::numeric_limits<T>::max());
    T v;
    if (negative)
        v = mag > max ? std::numeric_limits<T>::min()
                      : static_cast<T>(-static_cast<long long>(mag));
    else
        v = mag > max ? std::numeric_limits<T>::max() : static_cast<T>(mag);
    *static_cast<T*>(p) = v;
}

template <class T>
void StoreUnsigned(void* p, bool negative, unsigned long long mag) {
    const auto max = static_cast<unsigned long long>(std::numeric_limits<T>::max());
    T v = mag > max ? std::numeric_limits<T>::max()
                    : static_cast<T>(negative ? (0ULL - mag) & max : mag);
    *static_cast<T*>(p) = v;
}

void StoreInteger(const ScanArg& a, bool negative, unsigned long long mag) {
    using K = ScanArg::Kind;
    switch (a.kind) {
        case K::SChar:
            StoreSigned<signed char>(a.p, negative, mag);
            break;
        case K::Short:
            StoreSigned<short>(a.p, negative, mag);
            break;
        case K::Int:
            StoreSigned<int>(a.p, negative, mag);
            break;
        case K::Long:
            StoreSigned<long>(a.p, negative, mag);
            break;
        case K::LongLong:
            StoreSigned<long long>(a.p, negative, mag);
            break;
        case K::UChar:
            StoreUnsigned<unsigned char>(a.p, negative, mag);
            break;
        case K::UShort:
            StoreUnsigned<unsigned short>(a.p, negative, mag);
            break;
        case K::UInt:
            StoreUnsigned<unsigned int>(a.p, negative, mag);
            break;
        case K::ULong:
            StoreUnsigned<unsigned long>(a.p, negative, mag);
            break;
        case K::ULongLong:
            StoreUnsigned<unsigned long long>(a.p, negative, mag);
            break;
        default:
            break;
    }
}

// Reads an integer; false when no digit could be read.
template <class Ch>
bool ReadInteger(Field<Ch>& f, char conv, bool& negative, unsigned long long& mag) {
    negative = false;
    mag = 0;
    if (f.Peek() == '+' || f.Peek() == '-') {
        negative = f.Peek() == '-';
        f.Take();
    }
    int base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X') ? 16 : conv == 'i' ? 0 : 10;
    bool any = false;
    if ((base == 0 || base == 16) && f.Peek() == '0') {
        // "0x" is a prefix only when a hex digit follows; otherwise the 0 is the number.
        if (Lower(f.Peek(1)) == 'x' && DigitValue(f.Peek(2), 16) >= 0) {
            f.Take(2);
            base = 16;
        } else if (base == 0) {
            f.Take();
            any = true;
            base = 8;
        }
    }
    if (base == 0) base = 10;
    bool overflow = false;
    for (int d; (d = DigitValue(f.Peek(), base)) >= 0; f.Take()) {
        any = true;
        const auto b = static_cast<unsigned long long>(base);
        if (mag > (ULLONG_MAX - static_cast<unsigned long long>(d)) / b)
            overflow = true;
        else
            mag = mag * b + static_cast<unsigned long long>(d);
    }
    if (overflow) mag = ULLONG_MAX;
    return any;
}

// Reads "inf", "infinity" or "nan" (with an optional "(chars)") in any case, after the sign;
// false when the text is neither.
template <class Ch>
bool ReadInfinityOrNan(Field<Ch>& f, double sign, double& value) {
    if (Lower(f.Peek()) == 'i') {
        if (!f.TakeWordNoCase("inf")) return false;
        f.TakeWordNoCase("inity");
        value = sign * HUGE_VAL;
        return true;
    }
    if (!f.TakeWordNoCase("nan")) return false;
    if (f.Peek() == '(') {
        std::size_t k = 1;
        while (DigitValue(f.Peek(k), 36) >= 0 || f.Peek(k) == '_')
            ++k;
        if (f.Peek(k) == ')') f.Take(k + 1);
    }
    value = std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
    return true;
}

// Reads the exponent that may follow a mantissa ("e", or "p" in hex, an optional sign and
// digits) onto `text` in ASCII; returns its value, capped at a billion either way, or 0 when
// no exponent follows.
template <class Ch>
long long ReadExponent(Field<Ch>& f, char expChar, std::string& text) {
    if (Lower(f.Peek()) != expChar) return 0;
    std::size_t k = 1;
    if (f.Peek(1) == '+' || f.Peek(1) == '-') k = 2;
    if (DigitValue(f.Peek(k), 10) < 0) return 0;
    text.push_back(expChar);
    long long e = 0;
    const bool eNeg = f.Peek(1) == '-';
    if (eNeg) text.push_back('-');
    f.Take(k);
    while (DigitValue(f.Peek(), 10) >= 0) {
        e = std::min<long long>(e * 10 + (f.Peek() - '0'), 1000000000LL);
        text.push_back(static_cast<char>(f.Peek()));
        f.Take();
    }
    return eNeg ? -e : e;
}

// Reads a floating-point number into `value`; false when the text does not start with one.
template <class Ch>
bool ReadFloating(Field<Ch>& f, double& value) {
    bool negative = false;
    if (f.Peek() == '+' || f.Peek() == '-') {
        negative = f.Peek() == '-';
        f.Take();
    }
    const double sign = negative ? -1.0 : 1.0;
    if (Lower(f.Peek()) == 'i' || Lower(f.Peek()) == 'n') return ReadInfinityOrNan(f, sign, value);
    bool hex = false;
    if (f.Peek() == '0' && Lower(f.Peek(1)) == 'x' &&
        (DigitValue(f.Peek(2), 16) >= 0 || (f.Peek(2) == '.' && DigitValue(f.Peek(3), 16) >= 0))) {
        f.Take(2);
        hex = true;
    }
    const int base = hex ? 16 : 10;
    std::string text;  // the digits, point and exponent, in ASCII
    bool any = false;
    // Order of magnitude of the mantissa (in digits of its base), to tell an overflow from an
    // underflow when the value is out of range.
    long long magnitude = 0;
    bool seenNonZero = false;
    while (DigitValue(f.Peek(), base) >= 0) {
        if (f.Peek() != '0') seenNonZero = true;
        if (seenNonZero) ++magnitude;
        text.push_back(static_cast<char>(f.Peek()));
        f.Take();
        any = true;
    }
    if (f.Peek() == '.' && (any || DigitValue(f.Peek(1), base) >= 0)) {
        text.push_back('.');
        f.Take();
        while (DigitValue(f.Peek(), base) >= 0) {
            if (f.Peek() != '0') seenNonZero = true;
            if (!seenNonZero) --magnitude;
            text.push_back(static_cast<char>(f.Peek()));
            f.Take();
            any = true;
        }
    }
    if (!any) return false;
    magnitude += ReadExponent(f, hex ? 'p' : 'e', text);
    double d = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), d,
                                   hex ? std::chars_format::hex : std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) d = magnitude > 0 ? HUGE_VAL : 0.0;
    value = sign * d;
    return true;
}

void StoreFloating(const ScanArg& a, double v) {
    if (a.kind == ScanArg::Kind::Float) {
        // IEEE rounding: beyond float's range this gives an infinity.
        *static_cast<float*>(a.p) = static_cast<float>(v);
    } else if (a.kind == ScanArg::Kind::Double) {
        *static_cast<double*>(a.p) = v;
    } else {
        *static_cast<long double*>(a.p) = static_cast<long double>(v);
    }
}

// Reads the number of a numeric conversion from its field and stores it through `target` (null
// when suppressed); false when the field does not start with a number.
template <class Ch>
bool ReadNumberField(Field<Ch>& field, const Directive& dir, const ScanArg* target) {
    if (dir.kind == Conversion::kFloating) {
        double v = 0;
        if (!ReadFloating(field, v)) return false;
        if (target) StoreFloating(*target, v);
    } else {
        bool negative;
        unsigned long long mag;
        if (!ReadInteger(field, dir.conv, negative, mag)) return false;
        if (target) StoreInteger(*target, negative, mag);
    }
    return true;
}

template <class Ch>
int Run(const Ch* text, const Ch* fmt, const ScanArg* args, std::size_t count) {
    if (text == nullptr || fmt == nullptr) return -1;
    const Ch* const begin = text;
    const Ch* s = text;
    std::size_t next = 0;
    int stored = 0;
    bool converted = false;  // a conversion has started, so the end of text is no longer EOF
    auto result = [&](bool inputEnded) { return inputEnded && !converted ? -1 : stored; };
    const Ch* p = fmt;
    while (*p) {
        if (IsSpace(*p)) {
            while (IsSpace(*p))
                ++p;
            while (IsSpace(*s))
                ++s;
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            if (*p == '%') ++p;
            if (*s == 0) return result(true);
            if (*s != *p) return stored;
            ++s;
            ++p;
            continue;
        }
        Directive dir;
        p = ReadDirective<Dialect::kScanf>(p + 1, dir);
        ScanArg::Kind kind;
        if (!ExpectedKind(dir.kind, dir.len, kind)) return stored;
        const ScanArg* target = nullptr;
        if (!dir.suppress) {
            if (next >= count || args[next].kind != kind || args[next].p == nullptr) return stored;
            target = &args[next++];
        }
        if (dir.kind == Conversion::kCount) {
            if (target) StoreInteger(*target, false, static_cast<unsigned long long>(s - begin));
            continue;
        }
        while (IsSpace(*s))
            ++s;
        if (*s == 0) return result(true);
        converted = true;
        // A field is at most 2^20 characters wide; a width of 0 is none.
        const auto width = static_cast<std::size_t>(std::min(dir.width, 1 << 20));
        Field<Ch> field{s, width == 0 ? static_cast<std::size_t>(-1) : width};
        if (!ReadNumberField(field, dir, target)) return stored;
        s = field.p;
        if (target) ++stored;
    }
    return stored;
}

}  // namespace
}  // namespace fieldkit::detail

namespace fieldkit {

int ScanArgs(const char* text, const char* fmt, const ScanArg* args, std::size_t count) {
    return detail::Run(text, fmt, args, count);
}

int ScanArgs(const wchar_t* text, const wchar_t* fmt, const ScanArg* args, std::size_t count) {
    return detail::Run(text, fmt, args, count);
}

}  // namespace fieldkit
