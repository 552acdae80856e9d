// The interface reports failures as results, never as exceptions; inside it, only allocation
// can throw. NoThrow runs a body and answers `failure` when it throws.
#pragma once

#include <utility>

namespace fieldkit::detail {

template <class R, class F>
R NoThrow(R failure, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return failure;
    }
}

}  // namespace fieldkit::detail
