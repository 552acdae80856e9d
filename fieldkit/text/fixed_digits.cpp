#include "fieldkit/text/detail/fixed_digits.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace fieldkit::detail {

#if defined(__SIZEOF_INT128__)
namespace {
__extension__ typedef unsigned __int128 Uint128;  // GCC and Clang on 64-bit targets

// The powers of ten that fit in 64 bits.
constexpr std::uint64_t kPow10[] = {1,
                                    10,
                                    100,
                                    1000,
                                    10000,
                                    100000,
                                    1000000,
                                    10000000,
                                    100000000,
                                    1000000000,
                                    10000000000ULL,
                                    100000000000ULL,
                                    1000000000000ULL,
                                    10000000000000ULL,
                                    100000000000000ULL,
                                    1000000000000000ULL,
                                    10000000000000000ULL,
                                    100000000000000000ULL,
                                    1000000000000000000ULL};
}  // namespace

char* FixedExactly(double v, int precision, char* out) {
    constexpr int kMaxPrecision = 18;
    if (precision < 0 || precision > kMaxPrecision || !(v < 9007199254740992.0)) return nullptr;
    // v = mantissa * 2^-places, read from the double's own fields (a normal number's 52
    // stored bits and its hidden one; zero has no places).
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    const int biased = static_cast<int>(bits >> 52) & 0x7FF;
    std::uint64_t mantissa = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
    int places = 1075 - biased;
    if (v == 0) {
        mantissa = 0;
        places = 0;
    }
    if (places > 64) return nullptr;  // below about 2^-12, or not normal: rare in texts
    std::uint64_t whole = 0;
    Uint128 scaled = 0;
    if (places <= 0) {
        whole = mantissa << -places;
    } else {
        whole = places == 64 ? 0 : mantissa >> places;
        const std::uint64_t part = places == 64 ? mantissa : mantissa & ((1ULL << places) - 1);
        scaled = static_cast<Uint128>(part) * kPow10[precision];
    }
    std::uint64_t digits = 0;  // the fraction's digits
    if (places > 0) {
        digits = static_cast<std::uint64_t>(scaled >> places);
        const Uint128 rest = scaled - (static_cast<Uint128>(digits) << places);
        const Uint128 half = static_cast<Uint128>(1) << (places - 1);
        const std::uint64_t lastDigit = precision > 0 ? digits : whole;
        if (rest > half || (rest == half && (lastDigit & 1) != 0)) {
            if (++digits == kPow10[precision]) {
                digits = 0;
                ++whole;
            }
        }
    }
    out = std::to_chars(out, out + 20, whole).ptr;
    if (precision > 0) {
        *out++ = '.';
        char* const end = out + precision;
        for (char* p = end; p != out;) {
            *--p = static_cast<char>('0' + digits % 10);
            digits /= 10;
        }
        out = end;
    }
    return out;
}
#else
// Without a 128-bit integer (32-bit targets, MSVC) every value takes the general way.
char* FixedExactly(double, int, char*) {
    return nullptr;
}
#endif

}  // namespace fieldkit::detail
