#include "fieldkit/logging/tic_timer.h"

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/sync.h"
#include "tests/support/device_root.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;
using fieldkit::detail::TicTimerPeriod;

HWND NewWindow() {
    return CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
}

// The count, which must match the slots in use; -1 without a table.
int Count() {
    int count = -1, used = -1;
    if (!fieldkit::detail::TicTimerCounts(count, used)) return -1;
    EXPECT_EQ(count, used);
    return count;
}

bool CountBecomes(int wanted) {
    const auto end = Clock::now() + Ms(10000);
    while (Count() != wanted && Clock::now() < end)
        std::this_thread::sleep_for(Ms(2));
    return Count() == wanted;
}

struct Received {
    std::map<WPARAM, int> count;
    std::map<WPARAM, Clock::time_point> first;
};

// The window's WM_TICTIMER messages in this thread's queue, for `ms` or until `enough`.
Received Drain(HWND window, int ms, int enough = 1 << 30) {
    Received r;
    MSG m{};
    for (auto end = Clock::now() + Ms(ms); enough > 0 && Clock::now() < end;) {
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            std::this_thread::sleep_for(Ms(1));
        } else if (m.message == WM_TICTIMER && m.hwnd == window && m.lParam == 0) {
            if (r.count[m.wParam]++ == 0) r.first[m.wParam] = Clock::now();
            --enough;
        }
    }
    return r;
}

class TicTimerTest : public DeviceRootTest {};

// Fault: the reload truncated instead of rounded, or 0 tics for a short elapse so it never fires
TEST(TicTimerReload, NearestWholeTicAndAtLeastOne) {
    const struct {
        UINT elapse, period, tics;
    } cases[] = {{149, 100, 1}, {150, 100, 2}, {250, 100, 3},
                 {49, 100, 1},  {0, 100, 1},   {0xFFFFFFFF, 10, 429496730}};
    for (const auto& c : cases)
        EXPECT_EQ(fieldkit::detail::TicTimerReload(c.elapse, c.period), c.tics) << c.elapse;
}

// A long tic is woken to stop, which the thread confirms rather than being abandoned, and a
// new thread follows at once; a running thread keeps its period; the reset ends it all.
// Fault: destroying waits out a long tic instead of waking it, or a second create resets the period
TEST_F(TicTimerTest, Lifecycle) {
    const HWND w = NewWindow();
    EXPECT_EQ(SetTicTimer(w, 1, 100), 0);
    EXPECT_EQ(KillTicTimer(w, 1), 0);
    EXPECT_EQ(DestroyTicTimerThread(), 0);
    const HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, L"Tic Timer Stopped");
    ASSERT_EQ(CreateTicTimerThread(10000), 1);
    const auto start = Clock::now();
    EXPECT_EQ(DestroyTicTimerThread(), 1);
    EXPECT_LT(Clock::now() - start, Ms(5000));
    EXPECT_EQ(WaitForSingleObject(stopped, 0), WAIT_OBJECT_0);
    CloseHandle(stopped);
    ASSERT_EQ(CreateTicTimerThread(3), 1);
    EXPECT_EQ(CreateTicTimerThread(500), 1);
    EXPECT_EQ(TicTimerPeriod(), 10u);
    EXPECT_EQ(SetTicTimer(reinterpret_cast<HWND>(0x1234), 1, 100), 0);
    EXPECT_EQ(SetTicTimer(w, 2, 10), 1);
    EXPECT_EQ(Drain(w, 10000, 1).count[2], 1);
    EXPECT_EQ(DestroyTicTimerThread(), 1);
    EXPECT_EQ(DestroyTicTimerThread(), 0);
    ASSERT_EQ(CreateTicTimerThread(20), 1);
    EXPECT_EQ(Count(), 0);
    fieldkit::host::ResetProcessState();  // the thread and the window go
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(SetTicTimer(w, 1, 100), 0);
}

// Fault: resetting a timer takes a new slot, or a dead window's slots are never freed
TEST_F(TicTimerTest, SlotsAndWindowsThatDie) {
    ASSERT_EQ(CreateTicTimerThread(10), 1);
    const HWND w = NewWindow(), other = NewWindow();
    for (UINT id = 0; id < 99; ++id)
        ASSERT_EQ(SetTicTimer(w, id, 60000), 1);
    ASSERT_EQ(SetTicTimer(other, 0, 60000), 1);
    EXPECT_EQ(SetTicTimer(w, 99, 60000), 0);
    EXPECT_EQ(KillTicTimer(w, 3), 1);
    EXPECT_EQ(SetTicTimer(w, 50, 1000), 1);  // still its own slot, not the freed one
    EXPECT_EQ(KillTicTimer(w, 50), 1);
    EXPECT_EQ(KillTicTimer(w, 50), 0);
    EXPECT_EQ(KillTicTimer(nullptr, 0), 0);  // a free slot is no timer
    EXPECT_EQ(Count(), 98);
    DestroyWindow(w);
    EXPECT_TRUE(CountBecomes(1));
    DestroyWindow(other);
    EXPECT_TRUE(CountBecomes(0));
}

// Fault: a countdown that reaches 0 before firing, so a timer fires every reload + 1 tics
TEST_F(TicTimerTest, MessagesFollowTheReload) {
    const HWND w = NewWindow();
    const auto start = Clock::now();
    ASSERT_EQ(CreateTicTimerThread(50), 1);
    ASSERT_EQ(SetTicTimer(w, 1, 50), 1);
    ASSERT_EQ(SetTicTimer(w, 3, 170), 1);
    const auto setFive = Clock::now();
    ASSERT_EQ(SetTicTimer(w, 5, 230), 1);
    Received r = Drain(w, 1500);
    // Tics are at least a period apart (less a clock millisecond); the ratios hold on any load.
    const int tics = r.count[1];
    EXPECT_GE(tics, 3);
    EXPECT_LE(tics, 1500 / 49 + 1);
    EXPECT_NEAR(r.count[3], tics / 3, 2);
    EXPECT_NEAR(r.count[5], tics / 5, 2);
    EXPECT_GE(r.first[1] - start, Ms(45));
    EXPECT_GE(r.first[5] - setFive, Ms(4 * 49 - 5));
}

// Fault: tics posted to the setting thread's queue instead of the window's thread
TEST_F(TicTimerTest, MessagesGoToTheCreatingThread) {
    ASSERT_EQ(CreateTicTimerThread(10), 1);
    std::promise<HWND> created;
    std::promise<void> armed;
    std::thread owner([&] {
        const HWND w = NewWindow();
        created.set_value(w);
        armed.get_future().wait();
        EXPECT_EQ(Drain(w, 10000, 3).count[9], 3);
        DestroyWindow(w);
    });
    const HWND w = created.get_future().get();
    EXPECT_EQ(SetTicTimer(w, 9, 10), 1);
    armed.set_value();
    owner.join();
    EXPECT_TRUE(Drain(w, 50).count.empty());
}

// Tics already queued for a window and its child go with them, and none come after.
// Fault: tics queued for a child stay in the queue after its parent is destroyed
TEST_F(TicTimerTest, NothingArrivesForADestroyedWindow) {
    ASSERT_EQ(CreateTicTimerThread(10), 1);
    const HWND w = NewWindow();
    const HWND child = CreateWindowW(L"b", L"", WS_CHILD, 0, 0, 9, 9, w, nullptr, nullptr, nullptr);
    ASSERT_EQ(SetTicTimer(w, 1, 10) + SetTicTimer(child, 2, 10), 2);
    MSG m{};
    for (const auto end = Clock::now() + Ms(10000);
         !PeekMessageW(&m, child, 0, 0, PM_NOREMOVE) && Clock::now() < end;)
        std::this_thread::sleep_for(Ms(1));
    std::this_thread::sleep_for(Ms(30));  // a few more pile up unread
    EXPECT_TRUE(DestroyWindow(w));
    std::this_thread::sleep_for(Ms(50));
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

// While threads set and kill timers on their own windows and destroy them at every age, and
// the tic thread drops the dead ones, the count matches the slots in use at every moment.
// Fault: the count updated outside the table's lock, so it drifts from the slots in use
TEST_F(TicTimerTest, ThreadsSetAndKillWhileWindowsDie) {
    ASSERT_EQ(CreateTicTimerThread(10), 1);
    std::atomic<bool> stop{false};
    std::atomic<long> checks{0};
    std::thread checker([&] {
        for (; !stop.load(); std::this_thread::yield())
            checks += Count() >= 0;  // Count() checks the count against the slots
    });
    const auto end = Clock::now() + Ms(1500);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            std::mt19937 rng(t + 1);
            std::vector<HWND> windows;
            MSG m{};
            while (Clock::now() < end) {
                const HWND w = NewWindow();
                int set[4] = {};
                for (UINT id = 0; id < 4; ++id)
                    set[id] = SetTicTimer(w, id, 10 + 10 * id);
                // The table may be full of dead windows' slots, but a timer that has its slot
                // can always be changed, and a live window's timer is killed exactly once.
                if (set[0] == 1) {
                    EXPECT_EQ(SetTicTimer(w, 0, 30), 1);
                }
                for (UINT id = 1; id < 4; id += 2) {
                    EXPECT_EQ(KillTicTimer(w, id), set[id]);
                    EXPECT_EQ(KillTicTimer(w, id), 0);
                }
                windows.push_back(w);
                if (windows.size() > 5) {
                    const auto victim =
                        windows.begin() + static_cast<std::ptrdiff_t>(rng() % windows.size());
                    DestroyWindow(*victim);
                    windows.erase(victim);
                }
                while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                }
                std::this_thread::yield();  // lets the checker in often
            }
            for (HWND w : windows)
                DestroyWindow(w);
        });
    for (std::thread& w : workers)
        w.join();
    EXPECT_TRUE(CountBecomes(0));  // the dead windows' slots are freed within a few tics
    stop = true;
    checker.join();
    EXPECT_GT(checks.load(), 100);
}

// Fault: two creates racing start two tic threads, one of which is never stopped
TEST_F(TicTimerTest, CreateAndDestroyFromTwoThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 20; ++i) {
                EXPECT_EQ(CreateTicTimerThread(10), 1);
                DestroyTicTimerThread();
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(DestroyTicTimerThread(), 0);
}

}  // namespace
