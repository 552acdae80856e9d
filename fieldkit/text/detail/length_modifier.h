// The length modifiers of printf and scanf conversions (internal), read alike by both engines.
#pragma once

namespace fieldkit::detail {

enum class Length { None, HH, H, L, LL, Z, T, J, BigL, I32, I64, IPtr };

// Reads the length modifier at `p` and moves past it: hh, h, l, ll (or q), L, j, z and t, and
// with `sizedI` the handheld's I64, I32 and I (pointer-sized), which only its printf knows.
// Anything else is no modifier and leaves `p` where it was. Always inlined: it runs once per
// conversion, and as a call it costs the short angle texts several per cent.
template <class Ch>
[[gnu::always_inline]] inline Length ReadLengthModifier(const Ch*& p, bool sizedI) {
    switch (*p) {
        case 'h':
            ++p;
            return *p == 'h' ? (++p, Length::HH) : Length::H;
        case 'l':
            ++p;
            return *p == 'l' ? (++p, Length::LL) : Length::L;
        case 'q':
            ++p;
            return Length::LL;
        case 'L':
            ++p;
            return Length::BigL;
        case 'j':
            ++p;
            return Length::J;
        case 'z':
            ++p;
            return Length::Z;
        case 't':
            ++p;
            return Length::T;
        case 'I':
            if (!sizedI) return Length::None;
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                return Length::I64;
            }
            if (p[0] == '3' && p[1] == '2') {
                p += 2;
                return Length::I32;
            }
            return Length::IPtr;
        default:
            return Length::None;
    }
}

}  // namespace fieldkit::detail
