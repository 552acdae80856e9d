// A holder for process-wide state that is never destroyed, so a static destructor or exit
// handler running late still finds it alive (internal).
#pragma once

#include <utility>

namespace fieldkit::detail {

template <class T>
class Immortal {
  public:
    template <class... A>
    explicit Immortal(A&&... args) : value_(std::forward<A>(args)...) {}
    ~Immortal() {}
    Immortal(const Immortal&) = delete;
    Immortal& operator=(const Immortal&) = delete;

    T& get() { return value_; }

  private:
    union {
        T value_;
    };
};

}  // namespace fieldkit::detail
