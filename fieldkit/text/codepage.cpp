#include "fieldkit/text/codepage.h"

#include <cstdint>
#include <cstring>

namespace fieldkit {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their own value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        // Lead byte: number of continuation bytes and the range the second byte must lie in,
        // which rules out overlong forms, surrogates and values above U+10FFFF in one test.
        int extra = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            const unsigned char c = j < n ? s[j] : 0;
            const unsigned char clo = k == 0 ? lo : 0x80;
            const unsigned char chi = k == 0 ? hi : 0xBF;
            if (j >= n || c < clo || c > chi) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        out.push_back(static_cast<wchar_t>(ok ? cp : kReplacement));
        i = j;  // on failure, resume at the byte that broke the sequence
    }
    return out;
}

bool IsUtf8(std::string_view bytes) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time: most text is nothing else.
        std::uint64_t word = 0;
        while (n - i >= sizeof word) {
            std::memcpy(&word, s + i, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0) break;
            i += sizeof word;
        }
        if (i == n) break;
        const unsigned char b = s[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        // The same ranges as Utf8ToWide: the second byte rules out overlong forms, surrogates
        // and values above U+10FFFF.
        std::size_t extra = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (n - i <= extra || s[i + 1] < lo || s[i + 1] > hi) return false;
        for (std::size_t k = 2; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

namespace {

// Writes the UTF-8 form of one character at `at` (room for four bytes); returns the end.
char* PutUtf8(char* at, char32_t c) {
    if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        *at++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *at++ = static_cast<char>(0xC0 | (c >> 6));
        *at++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *at++ = static_cast<char>(0xE0 | (c >> 12));
        *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *at++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *at++ = static_cast<char>(0xF0 | (c >> 18));
        *at++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *at++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return at;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    char bytes[4];
    out.append(bytes, static_cast<std::size_t>(PutUtf8(bytes, c) - bytes));
}

namespace detail {

std::size_t WideToUtf8Piece(std::wstring_view wide, std::size_t& pos, char* out, std::size_t size) {
    char* at = out;
    char* const last = out + size - 4;  // the last place a whole character still fits
    std::size_t i = pos;
    for (; i < wide.size() && at <= last; ++i) {
        char32_t c = static_cast<char32_t>(static_cast<std::uint32_t>(wide[i]));
        if (c < 0x80) {
            *at++ = static_cast<char>(c);
            continue;
        }
        if (IsHighSurrogate(c) && i + 1 < wide.size()) {
            const auto next = static_cast<char32_t>(static_cast<std::uint32_t>(wide[i + 1]));
            if (IsLowSurrogate(next)) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        at = PutUtf8(at, c);
    }
    pos = i;
    return static_cast<std::size_t>(at - out);
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char32_t {
        const char32_t first = p[2 * i], second = p[2 * i + 1];
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::string out;
    out.reserve(bytes.size());  // enough for text of Latin letters, half of it ASCII
    char utf8[4];
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (IsHighSurrogate(c) && i + 1 < units && IsLowSurrogate(unit(i + 1)))
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
        out.append(utf8, static_cast<std::size_t>(PutUtf8(utf8, c) - utf8));  // lone: U+FFFD
    }
    // A cut file: its last unit is as damaged as a cut UTF-8 sequence, which reads as U+FFFD.
    if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacement);
    return out;
}

}  // namespace detail

std::string WideToUtf8(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    char piece[256];
    for (std::size_t pos = 0; pos < wide.size();)
        out.append(piece, detail::WideToUtf8Piece(wide, pos, piece, sizeof piece));
    return out;
}

std::wstring AnsiToWide(std::string_view ansi) {
    std::wstring out;
    out.reserve(ansi.size());
    for (const char ch : ansi) {
        const auto b = static_cast<unsigned char>(ch);
        out.push_back(static_cast<wchar_t>(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b));
    }
    return out;
}

char WideCharToAnsi(wchar_t ch) {
    const auto c = static_cast<std::uint32_t>(ch);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (unsigned k = 0; k < 32; ++k) {
        if (kCp1252High[k] == c) return static_cast<char>(0x80 + k);
    }
    return '?';
}

std::string WideToAnsi(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (const wchar_t ch : wide)
        out.push_back(WideCharToAnsi(ch));
    return out;
}

}  // namespace fieldkit
