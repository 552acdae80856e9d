// The interface reports failures as results, never as exceptions; inside it, only allocation
// can throw. NoThrow runs a body and answers `failure` when it throws.
#pragma once

#include <utility>

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

// For a body that answers nothing: a throw ends it there.
template <class F>
void NoThrow(F&& body) noexcept {
    try {
        std::forward<F>(body)();
    } catch (...) {
    }
}

}  // namespace fieldkit::detail
