// Stress: many threads through one log, and the tic timer's table under concurrent use.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/logging/tic_timer.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/window.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 8;
// FIELDKIT_RELIABILITY_LINES overrides the lines per thread (the full run takes about 25 s
// under ThreadSanitizer).
const int kLinesPerThread = [] {
    const char* text = std::getenv("FIELDKIT_RELIABILITY_LINES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 100000;
}();

// Reads an unsigned decimal at `at`, moving past it; -1 when there is none.
long long Number(std::string_view s, std::size_t& at) {
    long long v = -1;
    for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at)
        v = (v < 0 ? 0 : v * 10) + (s[at] - '0');
    return v;
}

bool Skip(std::string_view s, std::size_t& at, std::string_view text) {
    if (s.substr(at, text.size()) != text) return false;
    at += text.size();
    return true;
}

class LogStressTest : public DeviceRootTest {
  protected:
    // Runs the writers and reports the time; write(t, i) logs "T<t> L<i>".
    template <class Write>
    void RunWriters(Write write) {
        const auto start = Clock::now();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([t, &write] {
                for (int i = 0; i < kLinesPerThread; ++i)
                    write(t, i);
            });
        for (std::thread& th : threads)
            th.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const long long lines = static_cast<long long>(kThreads) * kLinesPerThread;
        RecordProperty("lines", std::to_string(lines));
        RecordProperty("seconds", std::to_string(seconds));
        std::printf("[ figures  ] %lld lines in %.2f s, %.0f lines/s\n", lines, seconds,
                    lines / seconds);
    }

    // Lines [first, first + kThreads x kLinesPerThread) are whole, numbered by their place in
    // the file, and hold every thread's indices once each, in the order it wrote them.
    void ExpectAllLines(std::string_view text, std::size_t first, bool appLog,
                        std::size_t* next = nullptr) {
        std::vector<int> expected(kThreads, 0);
        std::size_t at = 0;
        for (std::size_t skip = 0; skip < first; ++skip)
            at = text.find('\n', at) + 1;
        const std::size_t total = static_cast<std::size_t>(kThreads) * kLinesPerThread;
        for (std::size_t n = first; n < first + total; ++n) {
            const std::size_t end = text.find('\n', at);
            ASSERT_NE(end, std::string_view::npos) << "line " << n + 1 << " missing or cut";
            const std::string_view line = text.substr(at, end - at);
            at = end + 1;
            std::size_t p = 0;
            while (p < line.size() && line[p] == ' ')
                ++p;
            bool whole = Number(line, p) == static_cast<long long>(n + 1) && Skip(line, p, " - ");
            if (whole && appLog) {
                whole = Skip(line, p, "(") && Number(line, p) >= 0 && Skip(line, p, ".") &&
                        Number(line, p) >= 0 && Skip(line, p, ") - <1> - ");
            }
            long long thread = -1, index = -1;
            whole = whole && Skip(line, p, "T") && (thread = Number(line, p)) >= 0 &&
                    Skip(line, p, " L") && (index = Number(line, p)) >= 0 && p == line.size();
            ASSERT_TRUE(whole && thread < kThreads) << "line " << n + 1 << ": " << line;
            ASSERT_EQ(index, expected[thread]++) << "line " << n + 1 << ": " << line;
        }
        if (next != nullptr) *next = at;
    }
};

TEST_F(LogStressTest, OneLogFileEightWriters) {
    CLogFile log;
    ASSERT_EQ(log.Start("\\stress.log", LOGMODE_FILE, LOGFMT_NUMBER, 1), 0);
    RunWriters([&log](int t, int i) { log.LogMessage(1, "T%d L%d", t, i); });
    EXPECT_EQ(log.Stop(), 0);
    const std::string text = Read("\\stress.log");
    std::size_t end = 0;
    ExpectAllLines(text, 0, false, &end);
    EXPECT_EQ(end, text.size()) << "lines after the last one";
}

TEST_F(LogStressTest, ApplicationLogEightWriters) {
    fieldkit::host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    MakeDir("\\SD Card\\Survey");
    RunWriters([](int t, int i) { LOGMESSAGE(1, "T%d L%d", t, i); });
    FinishLogging();
    // "Program started." is line 1 and "Program finished." the last; the writers' lines lie
    // between them.
    const std::string text = Read("\\SD Card\\Survey\\Survey.log");
    const std::string_view started = ") - <1> - Program started.\n";
    const std::size_t lineEnd = text.find('\n') + 1;
    ASSERT_EQ(text.substr(0, 8), "   1 - (");
    ASSERT_EQ(text.find(started), lineEnd - started.size()) << text.substr(0, lineEnd);
    std::size_t end = 0;
    ExpectAllLines(text, 1, true, &end);
    const std::string_view last = std::string_view(text).substr(end);
    const std::string_view finished = ") - <1> - Program finished.\n";
    const std::string number = std::to_string(kThreads * kLinesPerThread + 2);
    EXPECT_EQ(last.substr(0, number.size() + 4), number + " - (") << last;
    EXPECT_TRUE(last.size() > finished.size() && last.find('\n') == last.size() - 1 &&
                last.substr(last.size() - finished.size()) == finished)
        << last;
}

class TicTimerStressTest : public DeviceRootTest {};

// The table's count must match its occupied slots at every moment, while threads set and kill
// timers on their own windows and destroy others, and the tic thread drops the dead ones.
TEST_F(TicTimerStressTest, CountsStayInStep) {
    ASSERT_EQ(CreateTicTimerThread(10), 1);
    std::atomic<bool> stop{false};
    std::atomic<long> checks{0}, mismatches{0}, sets{0};
    std::thread checker([&] {
        while (!stop.load()) {
            int count = 0, used = 0;
            if (fieldkit::detail::TicTimerCounts(count, used)) {
                ++checks;
                if (count != used) ++mismatches;
            }
            std::this_thread::yield();
        }
    });
    const auto end = Clock::now() + std::chrono::milliseconds(1500);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            std::mt19937 rng(static_cast<unsigned>(t) + 1);
            std::vector<HWND> windows;
            MSG m{};
            while (Clock::now() < end) {
                const HWND w = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr,
                                             nullptr, nullptr);
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
                sets += set[0] + set[1] + set[2] + set[3];
                windows.push_back(w);
                if (windows.size() > 5) {
                    // Not always the oldest, so windows with timers at every age die.
                    const std::size_t victim = rng() % windows.size();
                    DestroyWindow(windows[victim]);
                    windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(victim));
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
    // The dead windows' slots are freed within a few tics.
    const auto settle = Clock::now() + std::chrono::seconds(10);
    int count = -1, used = -1;
    while (fieldkit::detail::TicTimerCounts(count, used) && count != 0 && Clock::now() < settle)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    checker.join();
    EXPECT_EQ(count, 0);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_GT(checks.load(), 100);
    std::printf("[ figures  ] %ld timers set, %ld counts checked\n", sets.load(), checks.load());
}

}  // namespace
