// Crash safety: a child process writes a log or saves a settings file in a loop and is killed
// with SIGKILL after a seeded random delay; what it leaves on disk must be whole.
//
// FIELDKIT_RELIABILITY_KILLS and FIELDKIT_RELIABILITY_SEED override the repetitions and the
// seed, to soak a build or to replay a failure.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fieldkit/logging/log_file.h"
#include "fieldkit/settings/ini_file.h"
#include "tests/reliability/crash_content.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Sanitized children run several times slower: fewer kills, spread over a longer time.
#ifdef FIELDKIT_RELIABILITY_SANITIZED
constexpr int kDefaultKills = 30;
constexpr int kSlowdown = 5;
#else
constexpr int kDefaultKills = 200;
constexpr int kSlowdown = 1;
#endif

int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// "%4ld - " as CLogFile writes it.
std::string Numbered(std::int64_t n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), ' ');
    return digits + " - ";
}

std::string Message(std::int64_t i) {
    return "L" + std::to_string(i) + " " + crash::Payload(i);
}

bool StartsWith(std::string_view s, std::string_view head) {
    return s.substr(0, head.size()) == head;
}

// Line `number` as written; an application-log line takes its seconds from `line` itself.
std::string ExpectedLine(std::string_view line, std::int64_t number, bool appLog) {
    const std::string head = Numbered(number);
    if (!appLog) return head + Message(number);
    std::size_t end = head.size() + 1;
    while (end < line.size() &&
           (std::isdigit(static_cast<unsigned char>(line[end])) != 0 || line[end] == '.'))
        ++end;
    const std::string seconds(
        line.substr(std::min(line.size(), head.size() + 1)).substr(0, end - head.size() - 1));
    return head + "(" + seconds + ") - <1> - " +
           (number == 1 ? std::string("Program started.") : Message(number - 1));
}

class CrashKillTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        progressPath_ = root_ + "/progress";
        Write("\\progress", std::string(2 * sizeof(std::int64_t), '\0'));
        const int fd = open(progressPath_.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        void* p =
            mmap(nullptr, 2 * sizeof(std::int64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        ASSERT_NE(p, MAP_FAILED);
        progress_ = static_cast<std::int64_t*>(p);
        kills_ = EnvInt("FIELDKIT_RELIABILITY_KILLS", kDefaultKills);
        seed_ = static_cast<unsigned>(EnvInt("FIELDKIT_RELIABILITY_SEED", 20261207));
        rng_.seed(seed_);
    }
    void TearDown() override {
        if (progress_ != nullptr) munmap(progress_, 2 * sizeof(std::int64_t));
        DeviceRootTest::TearDown();
    }

    // Starts the child, waits until it works, lets it run for a random time below `maxDelayUs`
    // and kills it. The steps the child completed, or -1 (with a failure) when it did not run
    // to the kill.
    std::int64_t RunAndKill(const char* mode, const std::string& devicePath, int maxDelayUs) {
        __atomic_store_n(&progress_[0], 0, __ATOMIC_RELAXED);
        __atomic_store_n(&progress_[1], 0, __ATOMIC_RELAXED);
        std::vector<std::string> args = {FIELDKIT_CRASH_CHILD, root_, progressPath_, mode,
                                         devicePath};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return -1;
        }
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        int status = 0;
        while (__atomic_load_n(&progress_[0], __ATOMIC_ACQUIRE) == 0) {
            if (waitpid(pid, &status, WNOHANG) == pid || Clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << mode << ": the child did not start, status " << status;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<int>(0, maxDelayUs * kSlowdown)(rng_)));
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            ADD_FAILURE() << mode << ": the child ended on its own, status " << status;
            return -1;
        }
        return __atomic_load_n(&progress_[1], __ATOMIC_ACQUIRE);
    }

    // The log holds complete lines 1..M, M the lines completed or one more (the line whose
    // write had begun). `appLog`: line 1 is "Program started." and message i is line i + 1.
    // The line in flight may be cut, but only where the kernel cuts a write that a kill
    // interrupts: at a page boundary, so that line began in one page and ends in the next.
    // Returns the text.
    std::string ExpectWholeLog(const std::string& devicePath, std::int64_t completed, bool appLog,
                               int kill) {
        const std::string text = Read(devicePath);
        const std::int64_t first = appLog ? 2 : 1;  // the first line of a message
        std::int64_t n = 0;
        for (std::size_t at = 0; at < text.size(); ++n) {
            const std::size_t end = text.find('\n', at);
            const std::string_view line(text.data() + at,
                                        (end == std::string::npos ? text.size() : end) - at);
            at += line.size() + 1;
            const std::string expected = ExpectedLine(line, n + 1, appLog);
            if (end != std::string::npos) {
                EXPECT_EQ(line, expected) << "kill " << kill << ", line " << n + 1;
                if (line != expected) return text;
                continue;
            }
            ++cutLines_;
            EXPECT_EQ(text.size() % static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), 0u)
                << "kill " << kill << ": line " << n + 1 << " cut inside a page: " << line;
            EXPECT_EQ(n + 1 - first, completed) << "kill " << kill << ": cut line not the last";
            EXPECT_TRUE(StartsWith(expected, line)) << "kill " << kill << ": " << line;
        }
        const std::int64_t messages = std::max<std::int64_t>(0, n - first + 1);
        EXPECT_GE(messages, completed) << "kill " << kill << ": completed lines lost";
        EXPECT_LE(messages, completed + 1) << "kill " << kill;
        linesVerified_ += n;
        return text;
    }

    // `restart`: after each kill a new session appends a line, which must stand on its own.
    void RunLogKills(const char* mode, bool appLog, bool restart = false) {
        const std::string path = "\\Logs\\crash.log";
        MakeDir("\\Logs");
        std::int64_t most = 0;
        for (int k = 0; k < kills_ && !HasFailure(); ++k) {
            const std::int64_t completed = RunAndKill(mode, path, 3000);
            if (completed < 0) return;
            most = std::max(most, completed);
            const std::string text = ExpectWholeLog(path, completed, appLog, k);
            if (restart && !HasFailure()) {
                // The next session appends: its lines stay whole after a cut line.
                CLogFile next;
                ASSERT_EQ(next.Start(path.c_str(), LOGMODE_FILE | LOGMODE_APPEND, LOGFMT_NUMBER, 1),
                          0);
                next.LogMessage("restarted", 1);
                next.Stop();
                const bool cut = !text.empty() && text.back() != '\n';
                ASSERT_EQ(Read(path), text + (cut ? "\n" : "") + "   1 - restarted\n")
                    << "kill " << k;
            }
        }
        Report("lines_verified", linesVerified_);
        Report("most_lines_in_one_run", most);
        Report("lines_cut_at_a_page_boundary", cutLines_);
    }

    void Report(const char* name, std::int64_t value) {
        RecordProperty(name, std::to_string(value));
        std::printf("[ figures  ] %s: kills %d (seed %u), %s %lld\n",
                    ::testing::UnitTest::GetInstance()->current_test_info()->name(), kills_, seed_,
                    name, static_cast<long long>(value));
    }

    std::string progressPath_;
    std::int64_t* progress_ = nullptr;
    int kills_ = 0;
    unsigned seed_ = 0;
    std::mt19937 rng_;
    std::int64_t linesVerified_ = 0;
    std::int64_t cutLines_ = 0;
};

TEST_F(CrashKillTest, LogFileKeepsEveryCompletedLine) {
    RunLogKills("log", false);
}

// A session appending after a crash must not glue its first line to a line the kill cut.
TEST_F(CrashKillTest, AppendingAfterACrashStartsOnANewLine) {
    RunLogKills("log", false, true);
}

TEST_F(CrashKillTest, ApplicationLogKeepsEveryCompletedLine) {
    RunLogKills("applog", true);
}

// The file holds generation `completed` or the next one, each complete: every key of its
// version and nothing else.
void ExpectWholeSettings(const CString& path, std::int64_t completed, int kill) {
    CINIFile ini;
    ASSERT_TRUE(ini.LoadIni(path)) << "kill " << kill;
    const int generation = ini.GetIntValue(L"Meta", L"Generation", -1);
    ASSERT_TRUE(generation == completed || generation == completed + 1)
        << "kill " << kill << ": generation " << generation << " after " << completed << " saves";
    int sections = 0, size = 0;
    ini.GetNumberOfSections(sections);
    EXPECT_EQ(sections, crash::kSections + 1) << "kill " << kill;
    const CString value(generation % 2 == 0 ? L'A' : L'B', 24);
    for (int s = 0; s < crash::kSections; ++s) {
        const CString section(fieldkit::detail::FormatW(L"Section%d", s));
        ini.GetSectionSize(section, size);
        ASSERT_EQ(size, crash::kKeysPerSection) << "kill " << kill << ", " << section;
        for (int k = 0; k < crash::kKeysPerSection; ++k) {
            const CString key(fieldkit::detail::FormatW(L"Key%04d", k));
            ASSERT_EQ(ini.GetStringValue(section, key, L"missing"), value)
                << "kill " << kill << ", generation " << generation << ", " << key;
        }
    }
}

TEST_F(CrashKillTest, SettingsSaveLeavesOldOrNewFile) {
    const CString path = L"\\Settings\\crash.ini";
    MakeDir("\\Settings");
    // Generation 0, saved once and copied into place before each run.
    CINIFile first;
    crash::FillSettings(first, 0);
    crash::SetGeneration(first, 0);
    ASSERT_TRUE(first.SaveIni(L"\\first.ini"));
    std::int64_t saves = 0, midSave = 0;
    for (int k = 0; k < kills_ && !HasFailure(); ++k) {
        std::filesystem::copy_file(Host("\\first.ini"), Host("\\Settings\\crash.ini"),
                                   std::filesystem::copy_options::overwrite_existing);
        const std::int64_t completed = RunAndKill("ini", "\\Settings\\crash.ini", 20000);
        if (completed < 0) return;
        saves += completed;
        ExpectWholeSettings(path, completed, k);
        // A stray temporary file means the kill came while a save was being written.
        bool stray = false;
        for (const auto& entry : std::filesystem::directory_iterator(Host("\\Settings"))) {
            if (entry.path().filename() == "crash.ini") continue;
            stray = true;
            std::filesystem::remove(entry.path());
        }
        midSave += stray ? 1 : 0;
    }
    Report("saves_completed", saves);
    Report("kills_during_a_save", midSave);
}

}  // namespace
