// The one conversion of a double to a 32-bit integer that the library's formats use.
#pragma once

#include <cstdint>

namespace fieldkit::detail {

// Truncates toward zero, as a C cast would, but is defined for every input: NaN gives 0 and
// values beyond the 32-bit range (infinities included) saturate at its ends.
inline std::int32_t TruncToInt32(double x) {
    if (x != x) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(x);
}

}  // namespace fieldkit::detail
