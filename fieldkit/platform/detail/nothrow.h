// Containment at the public boundary (internal). The interface reports failures as results,
// never as exceptions; inside it only allocation, and a callback the application gave us, can
// throw. A public function that may meet a throw runs its body through NoThrow, which answers
// the function's failure result instead. CONTRIBUTING.md ("Errors") says which result that is.
#pragma once

#include <new>
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

// The way back, for library code that calls a contained call and must not take a failure for
// want of memory as an answer (a file that seems missing, a string that seems absent) and act
// on it or keep it: the throw goes on to the caller's own boundary. Called right after a call
// that failed and set the last error.
inline void ThrowIfOutOfMemory() {
    if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY) throw std::bad_alloc();
}

// The same for a call that sets no last error for some failures (a name or a string that is
// not there) and none on success: runs it with the last error cleared and throws when it ran
// out of memory; otherwise the last error is the call's, or the one before when it set none.
template <class F>
auto CallThrowingOutOfMemory(F&& call) {
    const DWORD before = GetLastError();
    SetLastError(ERROR_SUCCESS);
    auto result = std::forward<F>(call)();
    ThrowIfOutOfMemory();
    if (GetLastError() == ERROR_SUCCESS) SetLastError(before);
    return result;
}

}  // namespace fieldkit::detail
