// Internal invariants (not installed). FIELDKIT_INVARIANT(condition, "what") states something
// the code around it keeps true, such as a table's count matching its entries.
//
// It is checked when FIELDKIT_CHECK_INVARIANTS is defined, which the build does for Debug
// builds and whenever FIELDKIT_SANITIZE is set (the dev, asan and tsan presets): a false
// condition writes "fieldkit: invariant failed: what (file:line)" to standard error and aborts,
// so a broken table stops the program where it broke rather than misleading it later. In other
// builds (release, bench, the packages) it compiles to nothing and the condition is not
// evaluated, so a condition must have no side effects. Bookkeeping that exists only for a check
// goes under `if constexpr (kCheckInvariants)`, so that those builds do not keep it either.
#pragma once

#ifdef FIELDKIT_CHECK_INVARIANTS
#include <cstdio>
#include <cstdlib>
#endif

namespace fieldkit::detail {

#ifdef FIELDKIT_CHECK_INVARIANTS
inline constexpr bool kCheckInvariants = true;

// Writes without formatting or allocating: the state that failed may be what either would use.
[[noreturn]] inline void InvariantFailed(const char* what, const char* file, int line) noexcept {
    char digits[12];
    char* p = digits + sizeof digits;
    *--p = '\0';
    do {
        *--p = static_cast<char>('0' + line % 10);
        line /= 10;
    } while (line > 0 && p > digits);
    const char* const pieces[] = {"fieldkit: invariant failed: ", what, " (", file, ":", p, ")\n"};
    for (const char* piece : pieces)
        std::fputs(piece, stderr);
    std::fflush(stderr);
    std::abort();
}

#define FIELDKIT_INVARIANT(condition, what) \
    ((condition) ? static_cast<void>(0)     \
                 : ::fieldkit::detail::InvariantFailed(what, __FILE__, __LINE__))
#else
inline constexpr bool kCheckInvariants = false;

// Never evaluated, but still compiled: a check cannot rot, and what it names counts as used.
#define FIELDKIT_INVARIANT(condition, what) \
    (static_cast<void>(false && (condition)), static_cast<void>(sizeof(what)))
#endif

}  // namespace fieldkit::detail
