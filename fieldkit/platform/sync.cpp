#include "fieldkit/platform/sync.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"

namespace {

struct EventState {
    EventState(bool manual, bool initial) : set(initial), manualReset(manual) {}
    fieldkit::detail::Mutex mutex;
    std::condition_variable changed;
    bool set FIELDKIT_GUARDED_BY(mutex);
    const bool manualReset;
    // A pulse wakes the waiters of its moment without staying set.
    unsigned long pulses FIELDKIT_GUARDED_BY(mutex) = 0;
};

struct EventHandle : fieldkit::detail::HandleObject {
    explicit EventHandle(std::shared_ptr<EventState> s) : state(std::move(s)) {}
    std::shared_ptr<EventState> state;
};

// Named events, found by name while any handle holds them.
struct Names {
    fieldkit::detail::Mutex mutex;
    std::map<std::wstring, std::weak_ptr<EventState>> events FIELDKIT_GUARDED_BY(mutex);
    // A waiter keeps its event; only the name no longer finds it.
    void Forget() {
        fieldkit::detail::LockGuard lock(mutex);
        events.clear();
    }
};

Names& NamedEvents() {
    return fieldkit::detail::ProcessState<Names>::Get();
}

std::shared_ptr<EventState> Lookup(Names& n, const std::wstring& name) FIELDKIT_REQUIRES(n.mutex) {
    const auto it = n.events.find(name);
    if (it == n.events.end()) return nullptr;
    auto state = it->second.lock();
    if (!state) n.events.erase(it);
    return state;
}

HANDLE NewHandle(std::shared_ptr<EventState> state) {
    return fieldkit::detail::AddHandle(std::make_shared<EventHandle>(std::move(state)));
}

std::shared_ptr<EventState> StateOf(HANDLE event) {
    const auto h = fieldkit::detail::FindHandle<EventHandle>(event);
    return h ? h->state : nullptr;
}

}  // namespace

HANDLE CreateEventW(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState,
                    const wchar_t* name) {
    // A name recorded for an event that then got no handle finds nothing: the event is gone,
    // as after its last handle was closed.
    return fieldkit::detail::NoThrow<HANDLE>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        if (name != nullptr && *name != L'\0') {
            Names& n = NamedEvents();
            fieldkit::detail::LockGuard guard(n.mutex);
            if (auto existing = Lookup(n, name)) {
                const HANDLE h = NewHandle(std::move(existing));
                SetLastError(ERROR_ALREADY_EXISTS);
                return h;
            }
            auto state = std::make_shared<EventState>(manualReset != FALSE, initialState != FALSE);
            n.events[name] = state;
            SetLastError(ERROR_SUCCESS);
            return NewHandle(std::move(state));
        }
        auto state = std::make_shared<EventState>(manualReset != FALSE, initialState != FALSE);
        SetLastError(ERROR_SUCCESS);
        return NewHandle(std::move(state));
    });
}

HANDLE OpenEventW(DWORD, BOOL, const wchar_t* name) {
    if (name == nullptr) return nullptr;
    return fieldkit::detail::NoThrow<HANDLE>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&]() -> HANDLE {
        Names& n = NamedEvents();
        fieldkit::detail::LockGuard guard(n.mutex);
        auto state = Lookup(n, name);
        if (!state) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        return NewHandle(std::move(state));
    });
}

BOOL EventModify(HANDLE event, DWORD operation) {
    const auto s = StateOf(event);
    if (s == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        fieldkit::detail::LockGuard guard(s->mutex);
        switch (operation) {
            case EVENT_SET:
                s->set = true;
                break;
            case EVENT_RESET:
                s->set = false;
                break;
            case EVENT_PULSE:
                ++s->pulses;
                s->set = false;
                break;
            default:
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
        }
    }
    s->changed.notify_all();
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    return EventModify(event, EVENT_SET);
}
BOOL ResetEvent(HANDLE event) {
    return EventModify(event, EVENT_RESET);
}

DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) {
    const auto s = StateOf(event);
    if (s == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    fieldkit::detail::UniqueLock guard(s->mutex);
    const unsigned long pulses = s->pulses;
    // Runs inside the wait, with the lock held again.
    const auto ready = [&]() FIELDKIT_REQUIRES(s->mutex) { return s->set || s->pulses != pulses; };
    bool signalled;
    if (milliseconds == INFINITE) {
        guard.Wait(s->changed, ready);
        signalled = true;
    } else {
        signalled = guard.WaitFor(s->changed, std::chrono::milliseconds(milliseconds), ready);
    }
    if (!signalled) return WAIT_TIMEOUT;
    if (!s->manualReset) s->set = false;  // an auto-reset event lets one waiter through
    return WAIT_OBJECT_0;
}

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
