#include "fieldkit/logging/tic_timer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

#include "fieldkit/platform/detail/invariant.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/sync.h"
#include "fieldkit/platform/systime.h"

using fieldkit::detail::NoThrow;

namespace {

constexpr int kSlotCount = 100;
constexpr UINT kMinPeriod = 10;
constexpr DWORD kHandshakeMs = 1000;
constexpr wchar_t kStartedEvent[] = L"Tic Timer Started";
constexpr wchar_t kStoppedEvent[] = L"Tic Timer Stopped";

struct TTicTimerSlot {
    HWND window;
    UINT id;
    UINT elapse;
    UINT reload;
    UINT remaining;
};

struct CTicTimer {
    explicit CTicTimer(UINT tic) : period(tic) {}

    fieldkit::detail::Mutex lock;  // guards slots and count; the worker also sleeps on it
    std::condition_variable wake;
    std::atomic<bool> stop{false};
    // Set by the worker before it signals "Tic Timer Stopped", so a signal left by an older
    // thread is not taken for this one's.
    std::atomic<bool> finished{false};
    const UINT period;
    int count FIELDKIT_GUARDED_BY(lock) = 0;
    TTicTimerSlot slots[kSlotCount] FIELDKIT_GUARDED_BY(lock) = {};
};

void SignalNamedEvent(const wchar_t* name) {
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
    if (event == nullptr) return;
    EventModify(event, EVENT_SET);
    CloseHandle(event);
}

// Sleeps up to `ms` with the lock released; false when stop was asked for.
bool Doze(fieldkit::detail::UniqueLock& guard, CTicTimer& table, DWORD ms)
    FIELDKIT_REQUIRES(table.lock) {
    return !guard.WaitFor(table.wake, std::chrono::milliseconds(ms),
                          [&table] { return table.stop.load(); });
}

// Every slot holds a window's timer, counted, with its countdown within its reload, or is all
// free. A walk over the fixed table, under the lock.
constexpr char kSlotsKept[] = "each tic timer slot is free, or a counted timer within its reload";
bool SlotsConsistent(const CTicTimer& table) FIELDKIT_REQUIRES(table.lock) {
    int occupied = 0;
    for (const TTicTimerSlot& slot : table.slots) {
        if (slot.window == nullptr) {
            if (slot.id != 0 || slot.elapse != 0 || slot.reload != 0 || slot.remaining != 0)
                return false;
            continue;
        }
        ++occupied;
        if (slot.reload == 0 || slot.remaining == 0 || slot.remaining > slot.reload) return false;
    }
    return occupied == table.count;
}

// One tic over the occupied slots; the caller holds the lock.
void Pass(CTicTimer& table) FIELDKIT_REQUIRES(table.lock) {
    int budget = table.count;
    for (int i = 0; i < kSlotCount && budget > 0 && !table.stop.load(); ++i) {
        TTicTimerSlot& slot = table.slots[i];
        if (slot.window == nullptr) continue;
        --budget;
        if (!IsWindow(slot.window)) {
            slot = TTicTimerSlot{};
            --table.count;
            continue;
        }
        // remaining is never 0 (reload is at least 1), so the countdown cannot wrap.
        if (slot.remaining <= 1) {
            slot.remaining = slot.reload;
            PostMessageW(slot.window, WM_TICTIMER, slot.id, 0);  // a lost message is let go
        } else {
            --slot.remaining;
        }
    }
    FIELDKIT_INVARIANT(SlotsConsistent(table), kSlotsKept);
}

// The worker owns a share of its table, so a thread let go by DestroyTicTimerThread can
// finish later without touching freed memory or a newer table.
void TicLoop(std::shared_ptr<CTicTimer> table) {
    // Nothing may escape a thread; the stop below still tells the waiter.
    NoThrow([&] {
        SignalNamedEvent(kStartedEvent);
        fieldkit::detail::UniqueLock guard(table->lock);
        if (Doze(guard, *table, table->period)) {
            DWORD t0 = GetTickCount();
            while (!table->stop.load()) {
                Pass(*table);
                if (table->stop.load()) break;
                const auto elapsed = static_cast<std::int32_t>(GetTickCount() - t0);
                if (elapsed >= 0 && static_cast<DWORD>(elapsed) < table->period &&
                    !Doze(guard, *table, table->period - static_cast<DWORD>(elapsed))) {
                    break;
                }
                t0 = GetTickCount();
            }
        }
    });
    table->finished.store(true);
    SignalNamedEvent(kStoppedEvent);
}

// Waits up to a second for the worker to confirm its stop.
bool WaitForStop(HANDLE stopped, const CTicTimer& table) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (table.finished.load()) return true;
        const DWORD waited = GetTickCount() - start;
        if (waited >= kHandshakeMs) return false;
        const DWORD result =
            stopped != nullptr ? WaitForSingleObject(stopped, kHandshakeMs - waited) : WAIT_FAILED;
        if (table.finished.load()) return true;
        if (result == WAIT_TIMEOUT) return false;
        if (result == WAIT_OBJECT_0) {
            ResetEvent(stopped);  // an older thread finishing late; the loop rechecks ours
        } else {
            Sleep(5);  // no usable event: watch the flag instead
        }
    }
}

struct TicState {
    fieldkit::detail::Mutex lifecycle;  // one Create or Destroy at a time, including their waits
    // Guards table and thread; Set and Kill hold it only to copy. Create and Destroy take it
    // inside lifecycle.
    fieldkit::detail::Mutex pointers FIELDKIT_ACQUIRED_AFTER(lifecycle);
    std::shared_ptr<CTicTimer> table FIELDKIT_GUARDED_BY(pointers);
    std::thread thread FIELDKIT_GUARDED_BY(pointers);

    // The worker is stopped at exit, before the process tears down what it may still use.
    TicState() { std::atexit(&Stop); }
    void Forget() { DestroyTicTimerThread(); }
    static void Stop() { DestroyTicTimerThread(); }
};

// Never destroyed: a joinable std::thread in a static destructor would end the process.
TicState& State() {
    return fieldkit::detail::ProcessState<TicState>::Get();
}

std::shared_ptr<CTicTimer> CurrentTable() {
    TicState& s = State();
    fieldkit::detail::LockGuard guard(s.pointers);
    return s.table;
}

}  // namespace

int CreateTicTimerThread(UINT period) {
    return NoThrow(0, [period] {
        TicState& s = State();
        fieldkit::detail::LockGuard life(s.lifecycle);
        {
            fieldkit::detail::LockGuard guard(s.pointers);
            if (s.table && s.thread.joinable()) return 1;
        }
        HANDLE started = CreateEventW(nullptr, TRUE, FALSE, kStartedEvent);
        auto table = std::make_shared<CTicTimer>(std::max(period, kMinPeriod));
        std::thread worker;
        if (!NoThrow([&] { worker = std::thread(&TicLoop, table); })) {
            if (started != nullptr) CloseHandle(started);
            return 0;
        }
        {
            fieldkit::detail::LockGuard guard(s.pointers);
            s.table = std::move(table);
            s.thread = std::move(worker);
        }
        if (started != nullptr) {
            WaitForSingleObject(started, kHandshakeMs);  // the outcome changes nothing
            CloseHandle(started);
        }
        return 1;
    });
}

int DestroyTicTimerThread() {
    return NoThrow(0, [] {
        TicState& s = State();
        fieldkit::detail::LockGuard life(s.lifecycle);
        std::shared_ptr<CTicTimer> table;
        {
            fieldkit::detail::LockGuard guard(s.pointers);
            if (!s.table || !s.thread.joinable()) return 0;
            table = s.table;
        }
        HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, kStoppedEvent);
        {
            // Under the lock, so the worker cannot miss the wake between its check and its wait.
            fieldkit::detail::LockGuard guard(table->lock);
            table->stop.store(true);
        }
        table->wake.notify_all();
        const bool confirmed = WaitForStop(stopped, *table);
        if (stopped != nullptr) CloseHandle(stopped);

        std::thread worker;
        {
            fieldkit::detail::LockGuard guard(s.pointers);
            worker = std::move(s.thread);
            s.table.reset();
        }
        // A thread that did not confirm is let go; it holds its own share of the table.
        if (confirmed) {
            worker.join();
        } else {
            worker.detach();
        }
        return 1;
    });
}

int SetTicTimer(HWND window, UINT id, UINT elapse) {
    return NoThrow(0, [=] {
        const std::shared_ptr<CTicTimer> table = CurrentTable();
        if (!table || !IsWindow(window)) return 0;
        fieldkit::detail::LockGuard guard(table->lock);
        TTicTimerSlot* target = nullptr;
        TTicTimerSlot* firstFree = nullptr;
        for (TTicTimerSlot& slot : table->slots) {
            if (slot.window == window && slot.id == id) {
                target = &slot;
                break;
            }
            if (slot.window == nullptr && firstFree == nullptr) firstFree = &slot;
        }
        if (target == nullptr) {
            if (firstFree == nullptr) return 0;
            target = firstFree;
            ++table->count;
        }
        const UINT reload = fieldkit::detail::TicTimerReload(elapse, table->period);
        *target = TTicTimerSlot{window, id, elapse, reload, reload};
        FIELDKIT_INVARIANT(SlotsConsistent(*table), kSlotsKept);
        return 1;
    });
}

int KillTicTimer(HWND window, UINT id) {
    return NoThrow(0, [=] {
        const std::shared_ptr<CTicTimer> table = CurrentTable();
        // A null window would match a free slot and corrupt the count.
        if (!table || window == nullptr) return 0;
        fieldkit::detail::LockGuard guard(table->lock);
        for (TTicTimerSlot& slot : table->slots) {
            if (slot.window == window && slot.id == id) {
                slot = TTicTimerSlot{};
                --table->count;
                FIELDKIT_INVARIANT(SlotsConsistent(*table), kSlotsKept);
                return 1;
            }
        }
        return 0;
    });
}

namespace fieldkit::detail {

UINT TicTimerReload(UINT elapse, UINT period) {
    if (period == 0) return 1;
    // Wide arithmetic: elapse + period / 2 wraps in 32 bits for an elapse near the top.
    const std::uint64_t tics = (std::uint64_t{elapse} + period / 2) / period;
    return static_cast<UINT>(std::max<std::uint64_t>(tics, 1));
}

UINT TicTimerPeriod() {
    return NoThrow(0u, [] {
        const std::shared_ptr<CTicTimer> table = CurrentTable();
        return table ? table->period : 0;
    });
}

bool TicTimerCounts(int& count, int& slotsInUse) {
    return NoThrow(false, [&] {
        const std::shared_ptr<CTicTimer> table = CurrentTable();
        if (!table) return false;
        fieldkit::detail::LockGuard guard(table->lock);
        count = table->count;
        slotsInUse = static_cast<int>(
            std::count_if(std::begin(table->slots), std::end(table->slots),
                          [](const TTicTimerSlot& slot) { return slot.window != nullptr; }));
        return true;
    });
}

}  // namespace fieldkit::detail
