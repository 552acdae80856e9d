// Containment at the public boundary (internal). The interface reports failures as results,
// never as exceptions; inside it only allocation, and a callback the application gave us, can
// throw. A public function that may meet a throw runs its body through NoThrow, which answers
// the function's failure result instead. CONTRIBUTING.md ("Errors") says which result that is.
#pragma once

#include <utility>

#include "fieldkit/platform/errors.h"

namespace fieldkit::detail {

// What `body` answers, or `failure` when it throws.
template <class R, class F>
R NoThrow(R failure, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return failure;
    }
}

// For the calls with Win32 meanings: `failure`, with `lastError` set, when `body` throws.
template <class R, class F>
R NoThrow(R failure, DWORD lastError, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        SetLastError(lastError);
        return failure;
    }
}

// For a body that answers nothing: false when it threw part way, so that the caller can undo
// or mark what the body left half done.
template <class F>
bool NoThrow(F&& body) noexcept {
    try {
        std::forward<F>(body)();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace fieldkit::detail
