// Process-wide state: the one holder for every table, record, cache and knob that the library
// keeps for the whole process (internal).
//
// The rule, for every subsystem that keeps such state:
//  - Put it in one struct T with a member `void Forget()` and reach it only through
//    ProcessState<T>::Get(). No other function-local or namespace-scope static holds state.
//  - The T is made on first use (thread-safe) and never destroyed, so a static destructor or an
//    exit handler that runs late (the application's own, or one of ours) still finds it alive.
//  - On first use it registers its Forget; fieldkit::host::ResetProcessState calls every
//    registered Forget, newest first, and so returns the whole library to its state at load.
//  - Forget takes the state's own lock, as any other user, so it is safe while threads run. It
//    empties tables and records; what the host chose through fieldkit::host (the device root, the
//    screen, handlers, resources) stays as set, so a Forget may be empty, and says why. It may
//    not count on any other state being forgotten before or after it.
// Not state in this sense, and left as plain statics that need no destruction: constants worked
// out once (a seed, the user id, a limit) and counters that only ever hand out fresh names
// (thread ids, handle numbers, temporary file names), which must not start again lest an old
// name stand for a new thing. Per-thread values (the last error) are no process state either.
#pragma once

#include <new>

namespace fieldkit::detail {

// One entry of the list that ResetProcessState walks; it lives inside its holder.
struct ResetLink {
    void (*forget)();
    ResetLink* next;
};
// Puts the link at the head of the list. Never allocates, never fails.
void RegisterReset(ResetLink& link) noexcept;

template <class T>
class ProcessState {
  public:
    // The process's one T.
    static T& Get() {
        static T* const value = Make();  // a pointer: nothing to destroy at exit
        return *value;
    }

  private:
    static T* Make() {
        // Static storage that nothing destroys, unlike a static T. The placement new is the one
        // object the library constructs without an owner, on purpose.
        alignas(T) static unsigned char storage[sizeof(T)];
        T* const value = ::new (static_cast<void*>(storage)) T();
        RegisterReset(link_);
        return value;
    }
    static void Forget() { Get().Forget(); }

    inline static ResetLink link_{&ProcessState::Forget, nullptr};
};

}  // namespace fieldkit::detail
