#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/host.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

constexpr int kThreads = 8;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Every line whole and numbered in file order, each thread's lines in the order it wrote them.
// Lines [first, last) are checked; the application log's lines carry seconds and level too.
void ExpectOrderedLines(const std::vector<std::string>& lines, std::size_t first, std::size_t last,
                        int linesPerThread, bool appLog) {
    ASSERT_EQ(last - first, static_cast<std::size_t>(kThreads * linesPerThread));
    std::vector<int> next(kThreads, 0);
    for (std::size_t i = first; i < last; ++i) {
        const char* l = lines[i].c_str();
        unsigned long number = 0;
        int thread = 0, index = 0, used = -1;
        double seconds = 0;
        const bool parsed =
            appLog ? std::sscanf(l, "%lu - (%lf) - <1> - T%d L%d%n", &number, &seconds, &thread,
                                 &index, &used) == 4
                   : std::sscanf(l, "%lu - T%d L%d%n", &number, &thread, &index, &used) == 3;
        ASSERT_TRUE(parsed && used == static_cast<int>(lines[i].size()))
            << "torn line " << i << ": " << lines[i];
        EXPECT_EQ(number, i + 1);
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << lines[i];
        EXPECT_EQ(index, next[thread]++);
    }
}

class LogThreadsTest : public DeviceRootTest {};

TEST_F(LogThreadsTest, OneLogManyWriters) {
    constexpr int kLines = 2000;
    CLogFile log;
    ASSERT_EQ(log.Start("\\threads.log", LOGMODE_FILE, LOGFMT_NUMBER, 1), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i) {
                const std::string text = "T" + std::to_string(t) + " L" + std::to_string(i);
                i % 2 ? log.LogMessage(text.c_str(), 1) : log.LogMessage(1, "T%d L%d", t, i);
                if (i % 500 == 0) (void)log.GetStatus();
            }
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(log.Stop(), 0);
    const std::vector<std::string> lines = Lines(Read("\\threads.log"));
    ExpectOrderedLines(lines, 0, lines.size(), kLines, false);
}

TEST_F(LogThreadsTest, ApplicationLogOpenedByManyThreads) {
    constexpr int kLines = 200;
    fieldkit::host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    MakeDir("\\SD Card\\Survey");
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                LOGMESSAGE(1, "T%d L%d", t, i);
        });
    for (std::thread& th : threads)
        th.join();
    FinishLogging();
    // "Program started." comes first whichever thread opened the log.
    const std::vector<std::string> lines = Lines(Read("\\SD Card\\Survey\\Survey.log"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front().rfind("   1 - (", 0), 0u) << lines.front();
    EXPECT_TRUE(EndsWith(lines.front(), ") - <1> - Program started.")) << lines.front();
    EXPECT_TRUE(EndsWith(lines.back(), ") - <1> - Program finished.")) << lines.back();
    ExpectOrderedLines(lines, 1, lines.size() - 1, kLines, true);
}

}  // namespace
