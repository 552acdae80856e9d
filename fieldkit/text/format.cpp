#include "fieldkit/text/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/detail/directive.h"
#include "fieldkit/text/detail/fixed_digits.h"

namespace fieldkit::detail {
namespace {

// The engine writes into any output with the push_back/append members of std::basic_string:
// a growing string, or a fixed caller buffer (BufferSink) that counts what does not fit.
template <class Out>
using UnitOf = typename Out::value_type;

template <class Out>
void PutAscii(Out& out, std::string_view s) {
    if constexpr (sizeof(UnitOf<Out>) == 1) {
        out.append(s.data(), s.size());
    } else {
        for (const char c : s)
            out.push_back(static_cast<UnitOf<Out>>(static_cast<unsigned char>(c)));
    }
}

template <class Out>
void PutFill(Out& out, char c, std::size_t n) {
    out.append(n, static_cast<UnitOf<Out>>(c));
}

std::size_t PadCount(const Directive& dir, std::size_t len) {
    const auto w = static_cast<std::size_t>(dir.width);
    return w > len ? w - len : 0;
}

// A number: sign or radix prefix, then the digits; zeros go between the two.
template <class Out>
void EmitNumber(Out& out, const Directive& dir, std::string_view prefix, std::string_view body,
                bool zeroPadAllowed) {
    const std::size_t pad = PadCount(dir, prefix.size() + body.size());
    if (dir.left) {
        PutAscii(out, prefix);
        PutAscii(out, body);
        PutFill(out, ' ', pad);
    } else if (dir.zero && zeroPadAllowed) {
        PutAscii(out, prefix);
        PutFill(out, '0', pad);
        PutAscii(out, body);
    } else {
        PutFill(out, ' ', pad);
        PutAscii(out, prefix);
        PutAscii(out, body);
    }
}

// Text already in the output's width, padded with blanks only.
template <class Out>
void EmitText(Out& out, const Directive& dir, const UnitOf<Out>* text, std::size_t n) {
    const std::size_t pad = PadCount(dir, n);
    if (!dir.left) PutFill(out, ' ', pad);
    out.append(text, n);
    if (dir.left) PutFill(out, ' ', pad);
}

bool IsInteger(const FormatArg& a) {
    return a.kind == FormatArg::Kind::Int || a.kind == FormatArg::Kind::Uint;
}

long long RawSigned(const FormatArg& a) {
    return a.kind == FormatArg::Kind::Int ? a.i : static_cast<long long>(a.u);
}

// The argument converted to the type named by the length modifier, as C's printf does.
long long SignedByLength(const FormatArg& a, Length len) {
    const long long v = RawSigned(a);
    switch (len) {
        case Length::HH:
            return static_cast<signed char>(v);
        case Length::H:
            return static_cast<short>(v);
        case Length::None:
            return static_cast<int>(v);
        case Length::I32:
            return static_cast<std::int32_t>(v);
        case Length::L:
            return static_cast<long>(v);
        case Length::Z:
        case Length::T:
        case Length::IPtr:
            return static_cast<std::ptrdiff_t>(v);
        default:
            return v;
    }
}

unsigned long long UnsignedByLength(const FormatArg& a, Length len) {
    const auto v = static_cast<unsigned long long>(RawSigned(a));
    switch (len) {
        case Length::HH:
            return static_cast<unsigned char>(v);
        case Length::H:
            return static_cast<unsigned short>(v);
        case Length::None:
            return static_cast<unsigned int>(v);
        case Length::I32:
            return static_cast<std::uint32_t>(v);
        case Length::L:
            return static_cast<unsigned long>(v);
        case Length::Z:
        case Length::T:
        case Length::IPtr:
            return static_cast<std::size_t>(v);
        default:
            return v;
    }
}

template <class Out>
void FormatInteger(Out& out, const Directive& dir, const FormatArg& a) {
    const bool isSigned = dir.kind == Conversion::kSigned;
    unsigned long long mag;
    bool negative = false;
    if (isSigned) {
        const long long v = SignedByLength(a, dir.len);
        negative = v < 0;
        mag = negative ? 0ULL - static_cast<unsigned long long>(v)
                       : static_cast<unsigned long long>(v);
    } else {
        mag = UnsignedByLength(a, dir.len);
    }
    const int base = dir.conv == 'o' ? 8 : (dir.conv == 'x' || dir.conv == 'X') ? 16 : 10;
    char digits[72];
    char* end = std::to_chars(digits, digits + sizeof digits, mag, base).ptr;
    if (dir.conv == 'X') {
        for (char* p = digits; p != end; ++p) {
            if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
    std::string body(digits, end);
    if (dir.precision >= 0) {
        if (mag == 0 && dir.precision == 0) body.clear();
        if (body.size() < static_cast<std::size_t>(dir.precision)) {
            body.insert(0, static_cast<std::size_t>(dir.precision) - body.size(), '0');
        }
    }
    if (dir.conv == 'o' && dir.alt && (body.empty() || body[0] != '0')) body.insert(0, 1, '0');
    std::string_view prefix;
    if (isSigned) {
        prefix = negative ? "-" : dir.plus ? "+" : dir.space ? " " : "";
    } else if (dir.alt && mag != 0 && base == 16) {
        prefix = dir.conv == 'X' ? "0X" : "0x";
    }
    EmitNumber(out, dir, prefix, body, dir.precision < 0);
}

void Uppercase(std::string& s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

// Digits of a finite non-negative value in one of the fixed, scientific or hex forms. Usual
// precisions work on the stack, and the short result stays in the string's own storage.
std::string ToChars(double v, std::chars_format f, int precision) {
    // Fixed notation of the largest double has 309 integer digits.
    const std::size_t room = static_cast<std::size_t>(precision < 0 ? 0 : precision) + 400;
    char small[512];
    std::string large;
    char* first = small;
    if (room > sizeof small) {
        large.resize(room);
        first = large.data();
    }
    const std::to_chars_result r = precision < 0
                                       ? std::to_chars(first, first + room, v, f)
                                       : std::to_chars(first, first + room, v, f, precision);
    return std::string(first, r.ptr);
}

// The decimal exponent that "%e" would print for a finite non-negative value.
int ScientificExponent(double v, int precision) {
    if (v == 0) return 0;
    const std::string s = ToChars(v, std::chars_format::scientific, precision);
    const std::size_t e = s.find('e');
    int x = 0;
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), x);
    return x;
}

void AddPointIfMissing(std::string& s) {
    const std::size_t e = s.find_first_of("eEpP");
    const std::size_t stop = e == std::string::npos ? s.size() : e;
    if (s.find('.') >= stop) s.insert(stop, 1, '.');
}

// The trailing zeros of a fraction go, and the point with them when nothing is left.
void DropTrailingZeros(std::string& s) {
    if (s.find('.') == std::string::npos) return;
    const std::size_t e = s.find('e');
    const std::size_t stop = e == std::string::npos ? s.size() : e;
    std::size_t cut = stop;
    while (s[cut - 1] == '0')
        --cut;
    if (s[cut - 1] == '.') --cut;
    s.erase(cut, stop - cut);
}

template <class Out>
void FormatDouble(Out& out, const Directive& dir, double v) {
    const bool upper = dir.conv >= 'A' && dir.conv <= 'Z';
    const bool negative = std::signbit(v);
    const double mag = negative ? -v : v;
    const std::string_view sign = negative ? "-" : dir.plus ? "+" : dir.space ? " " : "";
    if (mag != mag || mag == HUGE_VAL) {
        const std::string_view word =
            mag != mag ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        EmitNumber(out, dir, sign, word, false);
        return;
    }
    const char kind = static_cast<char>(dir.conv | 0x20);
    int precision = dir.precision < 0 ? 6 : dir.precision;
    if (kind == 'f') {
        // The usual "%f" and "%.Nf" of trace lines and texts, without the general conversion.
        char fixed[48];
        if (char* end = FixedExactly(mag, precision, fixed)) {
            if (dir.alt && precision == 0) *end++ = '.';
            EmitNumber(out, dir, sign,
                       std::string_view(fixed, static_cast<std::size_t>(end - fixed)), true);
            return;
        }
    }
    std::string body;
    std::string prefixed;
    std::string_view prefix = sign;
    if (kind == 'f') {
        body = ToChars(mag, std::chars_format::fixed, precision);
        if (dir.alt && precision == 0) body += '.';
    } else if (kind == 'e') {
        body = ToChars(mag, std::chars_format::scientific, precision);
        if (dir.alt && precision == 0) AddPointIfMissing(body);
    } else if (kind == 'g') {
        const int p = precision == 0 ? 1 : precision;
        const int x = ScientificExponent(mag, p - 1);
        if (p > x && x >= -4) {
            body = ToChars(mag, std::chars_format::fixed, p - 1 - x);
        } else {
            body = ToChars(mag, std::chars_format::scientific, p - 1);
        }
        if (dir.alt) {
            AddPointIfMissing(body);
        } else {
            DropTrailingZeros(body);
        }
    } else {  // 'a'
        body = ToChars(mag, std::chars_format::hex, dir.precision);
        if (dir.alt && dir.precision == 0) AddPointIfMissing(body);
        prefixed.assign(sign);
        prefixed += upper ? "0X" : "0x";
        prefix = prefixed;
    }
    if (upper) Uppercase(body);
    EmitNumber(out, dir, prefix, body, true);
}

// Whether a "%c"-type argument is a wide character.
bool CharIsWide(const Directive& dir, const FormatArg& a, bool wideOutput) {
    if (a.charWidth == 4) return true;
    if (a.charWidth == 1) return false;
    if (dir.len == Length::L) return true;
    if (dir.len == Length::H) return false;
    return (dir.conv == 'c') == wideOutput;
}

template <class Out>
void FormatChar(Out& out, const Directive& dir, const FormatArg& a) {
    if constexpr (sizeof(UnitOf<Out>) == 1) {
        std::string text;
        if (CharIsWide(dir, a, false)) {
            AppendUtf8(text, static_cast<char32_t>(RawSigned(a) & 0xFFFFFFFF));
        } else {
            text.push_back(static_cast<char>(RawSigned(a) & 0xFF));
        }
        EmitText(out, dir, text.data(), text.size());
    } else {
        wchar_t ch;
        if (CharIsWide(dir, a, true)) {
            ch = static_cast<wchar_t>(RawSigned(a));
        } else {
            const char byte = static_cast<char>(RawSigned(a) & 0xFF);
            ch = AnsiToWide(std::string_view(&byte, 1))[0];
        }
        EmitText(out, dir, &ch, 1);
    }
}

constexpr const char* kNull = "(null)";

template <class Out>
void FormatString(Out& out, const Directive& dir, const FormatArg& a) {
    const auto limit = static_cast<std::size_t>(dir.precision);
    if constexpr (sizeof(UnitOf<Out>) == 1) {
        if (a.kind == FormatArg::Kind::Str ||
            (a.kind == FormatArg::Kind::WStr && a.ws == nullptr)) {
            const char* s = a.kind == FormatArg::Kind::Str && a.s ? a.s : kNull;
            const std::size_t n = dir.precision < 0 ? std::strlen(s) : strnlen(s, limit);
            EmitText(out, dir, s, n);
            return;
        }
        // Wide text into narrow output: whole UTF-8 sequences only, as many as the precision
        // allows.
        const std::size_t n = dir.precision < 0 ? std::wcslen(a.ws) : wcsnlen(a.ws, limit);
        if (dir.precision < 0 && dir.width == 0) {
            // Nothing to cut or pad: converted piece by piece straight into the output.
            const std::wstring_view wide(a.ws, n);
            char piece[256];
            for (std::size_t pos = 0; pos < n;)
                out.append(piece, WideToUtf8Piece(wide, pos, piece, sizeof piece));
            return;
        }
        if (std::all_of(a.ws, a.ws + n, [](wchar_t c) { return c >= 0 && c < 0x80; })) {
            // ASCII (the usual case in traces) is its own UTF-8: no conversion needed.
            const std::size_t pad = PadCount(dir, n);
            if (!dir.left) PutFill(out, ' ', pad);
            for (std::size_t i = 0; i < n; ++i)
                out.push_back(static_cast<char>(a.ws[i]));
            if (dir.left) PutFill(out, ' ', pad);
            return;
        }
        std::string text = WideToUtf8(std::wstring_view(a.ws, n));
        if (dir.precision >= 0 && text.size() > limit) {
            std::size_t cut = limit;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
        }
        EmitText(out, dir, text.data(), text.size());
    } else {
        if (a.kind == FormatArg::Kind::WStr && a.ws) {
            const std::size_t n = dir.precision < 0 ? std::wcslen(a.ws) : wcsnlen(a.ws, limit);
            EmitText(out, dir, a.ws, n);
            return;
        }
        const char* s = a.kind == FormatArg::Kind::Str && a.s ? a.s : kNull;
        // Every wide unit takes at most four bytes, so this many bytes always decode far enough.
        const std::size_t n = dir.precision < 0 ? std::strlen(s) : strnlen(s, 4 * limit + 4);
        std::wstring text = Utf8ToWide(std::string_view(s, n));
        if (dir.precision >= 0 && text.size() > limit) text.resize(limit);
        EmitText(out, dir, text.data(), text.size());
    }
}

template <class Out>
void FormatPointer(Out& out, const Directive& dir, const FormatArg& a) {
    const auto value = a.kind == FormatArg::Kind::Ptr ? reinterpret_cast<std::uintptr_t>(a.p)
                                                      : static_cast<std::uintptr_t>(a.u);
    if (value == 0) {
        EmitNumber(out, dir, "", "(nil)", false);
        return;
    }
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    EmitNumber(out, dir, "0x", std::string_view(digits, static_cast<std::size_t>(end - digits)),
               false);
}

int ClampWidth(long long v) {
    return static_cast<int>(std::min<long long>(v, kMaxFormatWidth));
}

// The arguments in their order; null once they run out.
struct ArgCursor {
    const FormatArg* args;
    std::size_t count;
    std::size_t next = 0;
    const FormatArg* Take() { return next < count ? &args[next++] : nullptr; }
};

// Takes a "*" width and then a "*" precision from the arguments and caps both numbers; false
// when a "*" has no integer argument. A negative "*" width means "-", a negative "*" precision
// none. Always inlined, as Fits below: both run once per conversion, and as calls they cost
// the short angle texts a few per cent.
[[gnu::always_inline]] inline bool TakeStars(Directive& dir, ArgCursor& args) {
    bool ok = true;
    if (dir.widthStar) {
        const FormatArg* w = args.Take();
        if (w && IsInteger(*w)) {
            const long long v = static_cast<int>(RawSigned(*w));
            if (v < 0) dir.left = true;
            dir.width = ClampWidth(v < 0 ? -v : v);
        } else {
            ok = false;
        }
    } else {
        dir.width = ClampWidth(dir.width);
    }
    if (dir.precisionStar) {
        const FormatArg* w = args.Take();
        if (w && IsInteger(*w)) {
            const long long v = static_cast<int>(RawSigned(*w));
            dir.precision = v < 0 ? -1 : ClampWidth(v);
        } else {
            ok = false;
        }
    } else {
        dir.precision = ClampWidth(dir.precision);
    }
    return ok;
}

// Whether `a` can stand for a conversion of this kind.
[[gnu::always_inline]] inline bool Fits(Conversion kind, const FormatArg& a) {
    switch (kind) {
        case Conversion::kSigned:
        case Conversion::kUnsigned:
        case Conversion::kCharacter:
            return IsInteger(a);
        case Conversion::kFloating:
            return a.kind == FormatArg::Kind::Double;
        case Conversion::kText:  // a null pointer of any type prints as a null text
            return a.kind == FormatArg::Kind::Str || a.kind == FormatArg::Kind::WStr ||
                   (a.kind == FormatArg::Kind::Ptr && a.p == nullptr);
        case Conversion::kPointer:
            return a.kind == FormatArg::Kind::Ptr || IsInteger(a);
        default:
            return false;
    }
}

template <class Out>
void Convert(Out& out, const Directive& dir, const FormatArg& a) {
    switch (dir.kind) {
        case Conversion::kSigned:
        case Conversion::kUnsigned:
            FormatInteger(out, dir, a);
            break;
        case Conversion::kFloating:
            FormatDouble(out, dir, a.d);
            break;
        case Conversion::kCharacter:
            FormatChar(out, dir, a);
            break;
        case Conversion::kText:
            if (a.kind == FormatArg::Kind::Ptr) {
                FormatArg null = a;
                null.kind = FormatArg::Kind::Str;
                null.s = nullptr;
                FormatString(out, dir, null);
            } else {
                FormatString(out, dir, a);
            }
            break;
        case Conversion::kPointer:
            FormatPointer(out, dir, a);
            break;
        default:
            break;
    }
}

template <class Out, class Ch = UnitOf<Out>>
void Run(Out& out, const Ch* fmt, const FormatArg* args, std::size_t count) {
    if (fmt == nullptr) return;
    ArgCursor arguments{args, count};
    const Ch* p = fmt;
    while (*p) {
        if (*p != '%') {
            const Ch* run = p;
            while (*p && *p != '%')
                ++p;
            out.append(run, static_cast<std::size_t>(p - run));
            continue;
        }
        const Ch* start = p++;
        if (*p == '%') {
            out.push_back(static_cast<Ch>('%'));
            ++p;
            continue;
        }
        // A directive that cannot be carried out is copied as it stands, after using up the
        // arguments a complete one would.
        Directive dir;
        p = ReadDirective<Dialect::kPrintf>(p, dir);
        bool ok = TakeStars(dir, arguments) && dir.kind != Conversion::kNone;
        if (dir.kind != Conversion::kNone) {
            const FormatArg* a = arguments.Take();
            // "%n" is never written through: a format must not be able to store.
            if (dir.kind != Conversion::kCount) {
                ok = ok && a && Fits(dir.kind, *a);
                if (ok) Convert(out, dir, *a);
            }
        }
        if (!ok) out.append(start, static_cast<std::size_t>(p - start));
    }
}

// A caller's fixed buffer as engine output: keeps the first size - 1 units, counts the rest,
// and remembers the first unit that did not fit so a narrow cut can back off to a whole UTF-8
// sequence.
template <class Ch>
class BufferSink {
  public:
    using value_type = Ch;

    BufferSink(Ch* buffer, std::size_t size)
        : m_buffer(size ? buffer : nullptr), m_room(buffer && size ? size - 1 : 0) {}

    void push_back(Ch c) { append(&c, 1); }
    void append(const Ch* p, std::size_t n) {
        const std::size_t take = Fit(n);
        if (take) std::copy(p, p + take, m_buffer + m_total);
        if (take < n && m_total + take == m_room && !m_dropped) {
            m_dropped = true;
            m_firstDropped = p[take];
        }
        m_total += n;
    }
    void append(std::size_t n, Ch c) {
        const std::size_t take = Fit(n);
        if (take) std::fill(m_buffer + m_total, m_buffer + m_total + take, c);
        if (take < n && m_total + take == m_room && !m_dropped) {
            m_dropped = true;
            m_firstDropped = c;
        }
        m_total += n;
    }

    // Terminates the kept text and returns the length of the whole formatted text.
    std::size_t Finish() {
        if (m_buffer == nullptr) return m_total;
        std::size_t n = std::min(m_total, m_room);
        if constexpr (sizeof(Ch) == 1) {
            // Back off while the unit at the cut continues a sequence, as CopyToBuffer does.
            auto at = [&](std::size_t i) { return i == m_room ? m_firstDropped : m_buffer[i]; };
            if (m_dropped) {
                while (n > 0 && (static_cast<unsigned char>(at(n)) & 0xC0) == 0x80)
                    --n;
            }
        }
        m_buffer[n] = Ch();
        return m_total;
    }

  private:
    std::size_t Fit(std::size_t n) const {
        return m_total >= m_room ? 0 : std::min(n, m_room - m_total);
    }

    Ch* m_buffer;
    std::size_t m_room;
    std::size_t m_total = 0;
    bool m_dropped = false;
    Ch m_firstDropped = Ch();
};

}  // namespace
}  // namespace fieldkit::detail

namespace fieldkit {

void AppendFormatArgs(std::string& out, const char* fmt, const FormatArg* args, std::size_t count) {
    detail::Run(out, fmt, args, count);
}

void AppendFormatArgs(std::wstring& out, const wchar_t* fmt, const FormatArg* args,
                      std::size_t count) {
    detail::Run(out, fmt, args, count);
}

std::size_t FormatArgsToBuffer(char* buffer, std::size_t size, const char* fmt,
                               const FormatArg* args, std::size_t count) {
    detail::BufferSink<char> out(buffer, size);
    detail::Run(out, fmt, args, count);
    return out.Finish();
}

std::size_t FormatArgsToBuffer(wchar_t* buffer, std::size_t size, const wchar_t* fmt,
                               const FormatArg* args, std::size_t count) {
    detail::BufferSink<wchar_t> out(buffer, size);
    detail::Run(out, fmt, args, count);
    return out.Finish();
}

}  // namespace fieldkit

namespace fieldkit::detail {

std::size_t CopyToBuffer(const std::string& text, char* buffer, std::size_t size) {
    if (size == 0 || buffer == nullptr) return text.size();
    std::size_t n = std::min(text.size(), size - 1);
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return text.size();
}

std::size_t CopyToBuffer(const std::wstring& text, wchar_t* buffer, std::size_t size) {
    if (size == 0 || buffer == nullptr) return text.size();
    const std::size_t n = std::min(text.size(), size - 1);
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = L'\0';
    return text.size();
}

}  // namespace fieldkit::detail
