// Stress: many threads through one log. (The tic timer's table under concurrent use is in the
// logging tests.)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/host.h"
#include "tests/reliability/children.h"
#include "tests/support/device_root.h"

namespace {

using Clock = std::chrono::steady_clock;
using fieldkit::detail::FormatA;

constexpr int kThreads = 8;
// FIELDKIT_RELIABILITY_LINES overrides the lines per thread. Sanitized runs are many times
// slower, and a race shows within far fewer lines: a fifth of them keeps a run under
// ThreadSanitizer to seconds on a busy machine.
#ifdef FIELDKIT_RELIABILITY_SANITIZED
constexpr int kDefaultLines = 20000;
#else
constexpr int kDefaultLines = 100000;
#endif
// A value below 1 (or none) keeps the default.
const int kSetLines = reliability::EnvInt("FIELDKIT_RELIABILITY_LINES", 0);
const int kLinesPerThread = kSetLines > 0 ? kSetLines : kDefaultLines;

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
                    static_cast<double>(lines) / seconds);
    }

    // Every line whole and numbered by its place in the file, every thread's lines there once
    // each in the order it wrote them, and nothing after them. The application log frames them
    // with "Program started." and "Program finished.".
    void ExpectWriterLines(const std::string& text, bool appLog) {
        std::vector<int> next(kThreads, 0);
        const long long last =
            static_cast<long long>(kThreads) * kLinesPerThread + (appLog ? 2 : 0);
        std::size_t at = 0;
        for (long long n = 1; n <= last; ++n) {
            const std::size_t end = text.find('\n', at);
            ASSERT_NE(end, std::string::npos) << "line " << n << " missing or cut";
            const std::string line = text.substr(at, end - at),
                              head = reliability::LogPrefix(line, n, appLog);
            at = end + 1;
            int t = -1, i = -1;
            std::sscanf(line.c_str() + std::min(head.size(), line.size()), "T%d L%d", &t, &i);
            const bool framing = appLog && (n == 1 || n == last);
            ASSERT_EQ(line, head + (!framing ? FormatA("T%d L%d", t, i)
                                    : n == 1 ? "Program started."
                                             : "Program finished."))
                << "line " << n;
            if (framing) continue;
            ASSERT_TRUE(t >= 0 && t < kThreads) << "line " << n << ": " << line;
            ASSERT_EQ(i, next[static_cast<std::size_t>(t)]++) << "line " << n << ": " << line;
        }
        EXPECT_EQ(at, text.size()) << "lines after the last one";
    }
};

// Fault: the log file takes no lock between numbering and writing, so lines mix or repeat
TEST_F(LogStressTest, OneLogFileEightWriters) {
    CLogFile log;
    ASSERT_EQ(log.Start("\\stress.log", LOGMODE_FILE, LOGFMT_NUMBER, 1), 0);
    // Both forms of the message race each other, and status reads race them.
    RunWriters([&log](int t, int i) {
        if (i % 2 == 0) {
            log.LogMessage(1, "T%d L%d", t, i);
        } else {
            log.LogMessage(FormatA("T%d L%d", t, i).c_str(), 1);
        }
        if (i % 500 == 0) (void)log.GetStatus();
    });
    EXPECT_EQ(log.Stop(), 0);
    ExpectWriterLines(Read("\\stress.log"), false);
}

// Fault: two threads open the application log at once, so "Program started." comes twice or late
TEST_F(LogStressTest, ApplicationLogEightWriters) {
    knobs_.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    MakeDir("\\SD Card\\Survey");
    RunWriters([](int t, int i) { LOGMESSAGE(1, "T%d L%d", t, i); });
    FinishLogging();
    ExpectWriterLines(Read("\\SD Card\\Survey\\Survey.log"), true);
}

}  // namespace
