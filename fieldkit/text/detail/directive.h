// One directive of a printf or scanf format (internal): what the "%" introduces, read alike for
// both engines and for narrow and wide formats. The engines then act on the answer.
#pragma once

#include <algorithm>

#include "fieldkit/text/detail/length_modifier.h"

namespace fieldkit::detail {

// What a conversion character asks for. The handheld's "%S" and "%C" are text and character
// conversions like "%s" and "%c"; which width they take is the printf engine's business.
enum class Conversion : unsigned char {
    kNone,       // not a conversion either engine knows, or the format ended first
    kSigned,     // d i
    kUnsigned,   // u o x X
    kFloating,   // f F e E g G a A
    kCharacter,  // c C
    kText,       // s S
    kPointer,    // p
    kCount       // n
};

inline Conversion ClassifyConversion(char c) {
    switch (c) {
        case 'd':
        case 'i':
            return Conversion::kSigned;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            return Conversion::kUnsigned;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            return Conversion::kFloating;
        case 'c':
        case 'C':
            return Conversion::kCharacter;
        case 's':
        case 'S':
            return Conversion::kText;
        case 'p':
            return Conversion::kPointer;
        case 'n':
            return Conversion::kCount;
        default:
            return Conversion::kNone;
    }
}

// printf reads flags, a width or "*", a precision or ".*" and the handheld's I64, I32 and I;
// scanf reads an assignment-suppressing "*" and a width, and stops at anything else.
enum class Dialect { kPrintf, kScanf };

// A width or precision of more digits than this counts as this; each engine caps it lower.
constexpr int kMaxDirectiveNumber = 1 << 30;

struct Directive {
    bool left = false, plus = false, space = false, alt = false, zero = false;  // printf flags
    bool widthStar = false, precisionStar = false;  // printf: taken from the arguments
    bool suppress = false;                          // scanf: read but not stored
    int width = 0;                                  // 0: none given
    int precision = -1;                             // -1: none given
    Length len = Length::None;
    char conv = 0;  // 0: the format ended, or a character outside ASCII stands there
    Conversion kind = Conversion::kNone;
};

template <class Ch>
[[gnu::always_inline]] inline int ReadDirectiveNumber(const Ch*& p) {
    int v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        v = static_cast<int>(std::min<long long>(v * 10LL + (*p - '0'), kMaxDirectiveNumber));
    return v;
}

// Reads the directive after a "%" at `p` into `d` and returns where it ends: past its
// conversion character, or at the end of the format or the character outside ASCII that
// stands in the conversion's place (that character stays outside the directive). Always
// inlined, as the length modifiers are: it runs once per conversion of every short text.
template <Dialect kDialect, class Ch>
[[gnu::always_inline]] inline const Ch* ReadDirective(const Ch* p, Directive& d) {
    if constexpr (kDialect == Dialect::kPrintf) {
        for (;; ++p) {
            if (*p == '-')
                d.left = true;
            else if (*p == '+')
                d.plus = true;
            else if (*p == ' ')
                d.space = true;
            else if (*p == '#')
                d.alt = true;
            else if (*p == '0')
                d.zero = true;
            else
                break;
        }
        if (*p == '*') {
            d.widthStar = true;
            ++p;
        } else {
            d.width = ReadDirectiveNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                d.precisionStar = true;
                ++p;
            } else {
                d.precision = ReadDirectiveNumber(p);
            }
        }
    } else {
        if (*p == '*') {
            d.suppress = true;
            ++p;
        }
        d.width = ReadDirectiveNumber(p);
    }
    d.len = ReadLengthModifier(p, kDialect == Dialect::kPrintf);
    const Ch c = *p;
    if (c == 0 || c > 0x7F) return p;
    d.conv = static_cast<char>(c);
    d.kind = ClassifyConversion(d.conv);
    return p + 1;
}

}  // namespace fieldkit::detail
