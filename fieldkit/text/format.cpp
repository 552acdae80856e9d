#include "fieldkit/text/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/detail/fixed_digits.h"
#include "fieldkit/text/detail/length_modifier.h"

namespace fieldkit::detail {
namespace {

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;  // -1: not given
    Length len = Length::None;
    char conv = 0;
};

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

std::size_t PadCount(const Spec& sp, std::size_t len) {
    const auto w = static_cast<std::size_t>(sp.width);
    return w > len ? w - len : 0;
}

// A number: sign or radix prefix, then the digits; zeros go between the two.
template <class Out>
void EmitNumber(Out& out, const Spec& sp, std::string_view prefix, std::string_view body,
                bool zeroPadAllowed) {
    const std::size_t pad = PadCount(sp, prefix.size() + body.size());
    if (sp.left) {
        PutAscii(out, prefix);
        PutAscii(out, body);
        PutFill(out, ' ', pad);
    } else if (sp.zero && zeroPadAllowed) {
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
void EmitText(Out& out, const Spec& sp, const UnitOf<Out>* text, std::size_t n) {
    const std::size_t pad = PadCount(sp, n);
    if (!sp.left) PutFill(out, ' ', pad);
    out.append(text, n);
    if (sp.left) PutFill(out, ' ', pad);
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
void FormatInteger(Out& out, const Spec& sp, const FormatArg& a) {
    const bool isSigned = sp.conv == 'd' || sp.conv == 'i';
    unsigned long long mag;
    bool negative = false;
    if (isSigned) {
        const long long v = SignedByLength(a, sp.len);
        negative = v < 0;
        mag = negative ? 0ULL - static_cast<unsigned long long>(v)
                       : static_cast<unsigned long long>(v);
    } else {
        mag = UnsignedByLength(a, sp.len);
    }
    const int base = sp.conv == 'o' ? 8 : (sp.conv == 'x' || sp.conv == 'X') ? 16 : 10;
    char digits[72];
    char* end = std::to_chars(digits, digits + sizeof digits, mag, base).ptr;
    if (sp.conv == 'X') {
        for (char* p = digits; p != end; ++p) {
            if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
    std::string body(digits, end);
    if (sp.precision >= 0) {
        if (mag == 0 && sp.precision == 0) body.clear();
        if (body.size() < static_cast<std::size_t>(sp.precision)) {
            body.insert(0, static_cast<std::size_t>(sp.precision) - body.size(), '0');
        }
    }
    if (sp.conv == 'o' && sp.alt && (body.empty() || body[0] != '0')) body.insert(0, 1, '0');
    std::string_view prefix;
    if (isSigned) {
        prefix = negative ? "-" : sp.plus ? "+" : sp.space ? " " : "";
    } else if (sp.alt && mag != 0 && base == 16) {
        prefix = sp.conv == 'X' ? "0X" : "0x";
    }
    EmitNumber(out, sp, prefix, body, sp.precision < 0);
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

template <class Out>
void FormatDouble(Out& out, const Spec& sp, double v) {
    const bool upper = sp.conv >= 'A' && sp.conv <= 'Z';
    const bool negative = std::signbit(v);
    const double mag = negative ? -v : v;
    const std::string_view sign = negative ? "-" : sp.plus ? "+" : sp.space ? " " : "";
    if (mag != mag || mag == HUGE_VAL) {
        const std::string_view word =
            mag != mag ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        EmitNumber(out, sp, sign, word, false);
        return;
    }
    const char kind = static_cast<char>(sp.conv | 0x20);
    int precision = sp.precision < 0 ? 6 : sp.precision;
    if (kind == 'f') {
        // The usual "%f" and "%.Nf" of trace lines and texts, without the general conversion.
        char fixed[48];
        if (char* end = FixedExactly(mag, precision, fixed)) {
            if (sp.alt && precision == 0) *end++ = '.';
            EmitNumber(out, sp, sign,
                       std::string_view(fixed, static_cast<std::size_t>(end - fixed)), true);
            return;
        }
    }
    std::string body;
    std::string prefixed;
    std::string_view prefix = sign;
    if (kind == 'f') {
        body = ToChars(mag, std::chars_format::fixed, precision);
        if (sp.alt && precision == 0) body += '.';
    } else if (kind == 'e') {
        body = ToChars(mag, std::chars_format::scientific, precision);
        if (sp.alt && precision == 0) AddPointIfMissing(body);
    } else if (kind == 'g') {
        const int p = precision == 0 ? 1 : precision;
        const int x = ScientificExponent(mag, p - 1);
        if (p > x && x >= -4) {
            body = ToChars(mag, std::chars_format::fixed, p - 1 - x);
        } else {
            body = ToChars(mag, std::chars_format::scientific, p - 1);
        }
        if (sp.alt) {
            AddPointIfMissing(body);
        } else if (body.find('.') != std::string::npos) {
            // Trailing zeros of the fraction go, and the point with them when nothing is left.
            const std::size_t e = body.find('e');
            const std::size_t stop = e == std::string::npos ? body.size() : e;
            std::size_t cut = stop;
            while (body[cut - 1] == '0')
                --cut;
            if (body[cut - 1] == '.') --cut;
            body.erase(cut, stop - cut);
        }
    } else {  // 'a'
        body = ToChars(mag, std::chars_format::hex, sp.precision);
        if (sp.alt && sp.precision == 0) AddPointIfMissing(body);
        prefixed.assign(sign);
        prefixed += upper ? "0X" : "0x";
        prefix = prefixed;
    }
    if (upper) Uppercase(body);
    EmitNumber(out, sp, prefix, body, true);
}

// Whether a "%c"-type argument is a wide character.
bool CharIsWide(const Spec& sp, const FormatArg& a, bool wideOutput) {
    if (a.charWidth == 4) return true;
    if (a.charWidth == 1) return false;
    if (sp.len == Length::L) return true;
    if (sp.len == Length::H) return false;
    return (sp.conv == 'c') == wideOutput;
}

template <class Out>
void FormatChar(Out& out, const Spec& sp, const FormatArg& a) {
    if constexpr (sizeof(UnitOf<Out>) == 1) {
        std::string text;
        if (CharIsWide(sp, a, false)) {
            AppendUtf8(text, static_cast<char32_t>(RawSigned(a) & 0xFFFFFFFF));
        } else {
            text.push_back(static_cast<char>(RawSigned(a) & 0xFF));
        }
        EmitText(out, sp, text.data(), text.size());
    } else {
        wchar_t ch;
        if (CharIsWide(sp, a, true)) {
            ch = static_cast<wchar_t>(RawSigned(a));
        } else {
            const char byte = static_cast<char>(RawSigned(a) & 0xFF);
            ch = AnsiToWide(std::string_view(&byte, 1))[0];
        }
        EmitText(out, sp, &ch, 1);
    }
}

constexpr const char* kNull = "(null)";

template <class Out>
void FormatString(Out& out, const Spec& sp, const FormatArg& a) {
    const auto limit = static_cast<std::size_t>(sp.precision);
    if constexpr (sizeof(UnitOf<Out>) == 1) {
        if (a.kind == FormatArg::Kind::Str ||
            (a.kind == FormatArg::Kind::WStr && a.ws == nullptr)) {
            const char* s = a.kind == FormatArg::Kind::Str && a.s ? a.s : kNull;
            const std::size_t n = sp.precision < 0 ? std::strlen(s) : strnlen(s, limit);
            EmitText(out, sp, s, n);
            return;
        }
        // Wide text into narrow output: whole UTF-8 sequences only, as many as the precision
        // allows.
        const std::size_t n = sp.precision < 0 ? std::wcslen(a.ws) : wcsnlen(a.ws, limit);
        if (sp.precision < 0 && sp.width == 0) {
            // Nothing to cut or pad: converted piece by piece straight into the output.
            const std::wstring_view wide(a.ws, n);
            char piece[256];
            for (std::size_t pos = 0; pos < n;)
                out.append(piece, WideToUtf8Piece(wide, pos, piece, sizeof piece));
            return;
        }
        if (std::all_of(a.ws, a.ws + n, [](wchar_t c) { return c >= 0 && c < 0x80; })) {
            // ASCII (the usual case in traces) is its own UTF-8: no conversion needed.
            const std::size_t pad = PadCount(sp, n);
            if (!sp.left) PutFill(out, ' ', pad);
            for (std::size_t i = 0; i < n; ++i)
                out.push_back(static_cast<char>(a.ws[i]));
            if (sp.left) PutFill(out, ' ', pad);
            return;
        }
        std::string text = WideToUtf8(std::wstring_view(a.ws, n));
        if (sp.precision >= 0 && text.size() > limit) {
            std::size_t cut = limit;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
        }
        EmitText(out, sp, text.data(), text.size());
    } else {
        if (a.kind == FormatArg::Kind::WStr && a.ws) {
            const std::size_t n = sp.precision < 0 ? std::wcslen(a.ws) : wcsnlen(a.ws, limit);
            EmitText(out, sp, a.ws, n);
            return;
        }
        const char* s = a.kind == FormatArg::Kind::Str && a.s ? a.s : kNull;
        // Every wide unit takes at most four bytes, so this many bytes always decode far enough.
        const std::size_t n = sp.precision < 0 ? std::strlen(s) : strnlen(s, 4 * limit + 4);
        std::wstring text = Utf8ToWide(std::string_view(s, n));
        if (sp.precision >= 0 && text.size() > limit) text.resize(limit);
        EmitText(out, sp, text.data(), text.size());
    }
}

template <class Out>
void FormatPointer(Out& out, const Spec& sp, const FormatArg& a) {
    const auto value = a.kind == FormatArg::Kind::Ptr ? reinterpret_cast<std::uintptr_t>(a.p)
                                                      : static_cast<std::uintptr_t>(a.u);
    if (value == 0) {
        EmitNumber(out, sp, "", "(nil)", false);
        return;
    }
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    EmitNumber(out, sp, "0x", std::string_view(digits, static_cast<std::size_t>(end - digits)),
               false);
}

int ClampWidth(long long v) {
    return static_cast<int>(std::min<long long>(v, kMaxFormatWidth));
}

template <class Ch>
bool IsDigit(Ch c) {
    return c >= '0' && c <= '9';
}

template <class Ch>
int ReadNumber(const Ch*& p) {
    long long v = 0;
    while (IsDigit(*p)) {
        v = std::min<long long>(v * 10 + (*p - '0'), kMaxFormatWidth);
        ++p;
    }
    return static_cast<int>(v);
}

template <class Out, class Ch = UnitOf<Out>>
void Run(Out& out, const Ch* fmt, const FormatArg* args, std::size_t count) {
    if (fmt == nullptr) return;
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < count ? &args[next++] : nullptr; };
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
        Spec sp;
        bool ok = true;
        for (;; ++p) {
            if (*p == '-')
                sp.left = true;
            else if (*p == '+')
                sp.plus = true;
            else if (*p == ' ')
                sp.space = true;
            else if (*p == '#')
                sp.alt = true;
            else if (*p == '0')
                sp.zero = true;
            else
                break;
        }
        if (*p == '*') {
            ++p;
            const FormatArg* w = take();
            if (w && IsInteger(*w)) {
                const long long v = static_cast<int>(RawSigned(*w));
                if (v < 0) sp.left = true;
                sp.width = ClampWidth(v < 0 ? -v : v);
            } else {
                ok = false;
            }
        } else {
            sp.width = ReadNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                const FormatArg* w = take();
                if (w && IsInteger(*w)) {
                    const long long v = static_cast<int>(RawSigned(*w));
                    sp.precision = v < 0 ? -1 : ClampWidth(v);
                } else {
                    ok = false;
                }
            } else {
                sp.precision = ReadNumber(p);
            }
        }
        sp.len = ReadLengthModifier(p, true);
        const Ch c = *p;
        if (c == 0 || c > 0x7F) {
            out.append(start, static_cast<std::size_t>(p - start));
            continue;
        }
        ++p;
        sp.conv = static_cast<char>(c);
        const FormatArg* a = nullptr;
        switch (sp.conv) {
            case 'd':
            case 'i':
            case 'u':
            case 'o':
            case 'x':
            case 'X':
                a = take();
                if (ok && a && IsInteger(*a))
                    FormatInteger(out, sp, *a);
                else
                    ok = false;
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                a = take();
                if (ok && a && a->kind == FormatArg::Kind::Double)
                    FormatDouble(out, sp, a->d);
                else
                    ok = false;
                break;
            case 'c':
            case 'C':
                a = take();
                if (ok && a && IsInteger(*a))
                    FormatChar(out, sp, *a);
                else
                    ok = false;
                break;
            case 's':
            case 'S':
                a = take();
                if (ok && a &&
                    (a->kind == FormatArg::Kind::Str || a->kind == FormatArg::Kind::WStr ||
                     (a->kind == FormatArg::Kind::Ptr && a->p == nullptr))) {
                    FormatArg text = *a;
                    if (text.kind == FormatArg::Kind::Ptr) {
                        text.kind = FormatArg::Kind::Str;
                        text.s = nullptr;
                    }
                    FormatString(out, sp, text);
                } else {
                    ok = false;
                }
                break;
            case 'p':
                a = take();
                if (ok && a && (a->kind == FormatArg::Kind::Ptr || IsInteger(*a))) {
                    FormatPointer(out, sp, *a);
                } else {
                    ok = false;
                }
                break;
            case 'n':
                take();  // never written through: a format must not be able to store
                break;
            default:
                ok = false;
                break;
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
