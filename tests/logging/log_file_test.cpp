#include "fieldkit/logging/log_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/cstring.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

// '#' stands for one digit.
bool Like(const std::string& s, const std::string& pattern) {
    bool same = s.size() == pattern.size();
    for (std::size_t i = 0; same && i < s.size(); ++i)
        same = pattern[i] == '#' ? s[i] >= '0' && s[i] <= '9' : pattern[i] == s[i];
    return same;
}

using LogFileTest = DeviceRootTest;

TEST_F(LogFileTest, LinePrefixes) {
    const std::string full = std::string(1022, ' ') + "\n";
    const struct {
        long format, level;
        std::string line;
    } cases[] = {
        // (A number alone, "   1 - ", is in the threshold test.)
        {0, 2, "msg\n"},
        {LOGFMT_LEVEL, 2, "<2> - msg\n"},
        {LOGFMT_SECONDS, 2, "(0.###) - msg\n"},
        {LOGFMT_INDENT, 0, " msg\n"},
        {LOGFMT_INDENT, 1, "   msg\n"},
        {LOGFMT_INDENT, 2, "      msg\n"},
        {LOGFMT_INDENT, -1, "   msg\n"},
        // Always number, seconds, level, indentation, whatever the order of the bits.
        {LOGFMT_INDENT | LOGFMT_LEVEL | LOGFMT_SECONDS | LOGFMT_NUMBER, 1,
         "   1 - (0.###) - <1> -    msg\n"},
        // However far the level lies from 0, the indentation is bounded: at most it fills the line.
        {LOGFMT_INDENT, LONG_MIN, full},
        {LOGFMT_INDENT, LONG_MIN + 1, full},
        {LOGFMT_INDENT, -342, full},
        {LOGFMT_INDENT, 342, full},
        {LOGFMT_INDENT, LONG_MAX, full},
    };
    for (const auto& c : cases) {
        CLogFile log;
        ASSERT_EQ(log.Start("\\p.log", LOGMODE_FILE, c.format, LONG_MAX), 0);
        log.LogMessage("msg", c.level);
        log.Stop();
        EXPECT_TRUE(Like(Read("\\p.log"), c.line)) << Read("\\p.log");
    }
}

TEST_F(LogFileTest, LevelThresholdAndStatus) {
    CLogFile log;
    EXPECT_EQ(log.Stop(), LOGERR_NOTRUNNING);
    EXPECT_EQ(log.Pause(), LOGERR_NOTRUNNING);
    EXPECT_EQ(log.Continue(), LOGERR_NOTPAUSED);
    // Mode 0, or no output, stores the settings but stays stopped.
    EXPECT_EQ(log.Start("\\s.log", 0, LOGFMT_LEVEL, 7), LOGERR_NOMODE);
    EXPECT_EQ(log.GetLevel(), 7);
    EXPECT_EQ(log.GetStatus(), LOGSTATUS_STOPPED);
    EXPECT_EQ(log.Start("\\s.log", LOGMODE_APPEND, 0, 1), LOGERR_NOOUTPUT);
    EXPECT_FALSE(Exists("\\s.log"));

    ASSERT_EQ(log.Start("\\s.log", LOGMODE_FILE, LOGFMT_NUMBER, 2), 0);
    EXPECT_EQ(log.Start("\\x.log", LOGMODE_FILE, 0, 9), LOGERR_STARTED);
    EXPECT_EQ(log.GetLevel(), 2);
    log.LogMessage("a", 1);
    log.LogMessage("above the threshold", 3);
    EXPECT_EQ(log.Pause(), 0);
    EXPECT_EQ(log.Start("\\x.log", LOGMODE_FILE, 0, 9), LOGERR_STARTED);
    log.LogMessage("paused", 1);
    EXPECT_EQ(log.Continue(), 0);
    log.LogMessage("b", 2);
    log.SetLevel(-1);
    log.LogMessage("negative threshold", -5);
    EXPECT_EQ(log.Stop(), 0);
    log.LogMessage("stopped", 1);
    EXPECT_EQ(Read("\\s.log"), "   1 - a\n   2 - b\n");
    EXPECT_FALSE(Exists("\\x.log"));
}

TEST_F(LogFileTest, OpenModes) {
    Write("\\a.log", "old");  // its last line cut short, as by a crash
    Write("\\w.log", "old\n");
    CLogFile appending, writing, log;
    const long keepEmpty = LOGMODE_FILE | LOGMODE_APPEND | LOGMODE_DELETEEMPTY;
    ASSERT_EQ(appending.Start("\\a.log", keepEmpty, 0, 1), 0);
    ASSERT_EQ(writing.Start("\\w.log", LOGMODE_FILE, 0, 1), 0);
    writing.LogMessage("new", 1);
    EXPECT_EQ(Read("\\w.log"), "new\n");  // flushed at once
    appending.Stop();
    EXPECT_EQ(Read("\\a.log"), "old\n");  // held data when opened: kept, the cut line ended

    ASSERT_EQ(log.Start("\\e.log", keepEmpty, 0, 1), 0);
    log.Stop();
    EXPECT_FALSE(Exists("\\e.log"));
    ASSERT_EQ(log.Start("\\e.log", keepEmpty, 0, 1), 0);
    log.LogMessage("line", 1);
    log.Stop();
    EXPECT_EQ(Read("\\e.log"), "line\n");
    {
        CLogFile scoped;
        ASSERT_EQ(scoped.Start("\\d.log", keepEmpty, 0, 1), 0);
    }
    EXPECT_FALSE(Exists("\\d.log"));  // the destructor stops too

    // Renamed away and another empty file put in its place: that other file is not the log's.
    ASSERT_EQ(log.Start("\\r.log", keepEmpty, 0, 1), 0);
    std::filesystem::rename(Host("\\r.log"), Host("\\moved.log"));
    Write("\\r.log", "");
    log.Stop();
    EXPECT_TRUE(Exists("\\r.log") && Exists("\\moved.log"));
}

TEST_F(LogFileTest, FileNames) {
    // The 259-byte limit is in the robustness tests, UTF-8 names with the application log.
    CLogFile log;
    ASSERT_EQ(log.Start("\\trace", LOGMODE_TIMEDFILE, 0, 1), 0);
    log.Stop();
    EXPECT_TRUE(Like(log.GetFilename(), "\\trace######") && Exists(log.GetFilename()))
        << log.GetFilename();

    // Empty names: bit 0x02 forms none; the time alone names a file in the root (there is no
    // current folder).
    EXPECT_EQ(log.Start(LOGMODE_FILE, 0, 1), LOGERR_OPEN);
    EXPECT_EQ(log.Start(nullptr, 0x02 | LOGMODE_DEBUGOUT, 0, 1), LOGERR_OPEN);
    ASSERT_EQ(log.Start(LOGMODE_TIMEDFILE, 0, 1), 0);
    log.Stop();
    EXPECT_TRUE(Like(log.GetFilename(), "######") && Exists(log.GetFilename()));
}

TEST_F(LogFileTest, DebuggerOutput) {
    std::vector<std::wstring> seen;
    fieldkit::host::SetDebugOutputHandler([&](const wchar_t* t) { seen.emplace_back(t); });
    CLogFile log;
    ASSERT_EQ(log.Start(LOGMODE_DEBUGOUT, LOGFMT_NUMBER, 1), 0);
    log.LogMessage("Gr\u00FC\u00DFe", 1);  // UTF-8
    log.LogMessage(nullptr, 1);
    EXPECT_EQ(log.Stop(), LOGERR_NOTRUNNING);  // no file: keeps running
    log.LogMessage(1, "%S", L"\u65E5");
    fieldkit::host::SetDebugOutputHandler(nullptr);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"   1 - Gr\u00FC\u00DFe\n", L"   2 - \n",
                                               L"   3 - \u65E5\n"}));
}

TEST_F(LogFileTest, PrintfFormAndLongLines) {
    std::string text;
    for (int i = 0; i < 600; ++i)
        text += "\xC3\xA9";  // 1,200 bytes of "é"
    CLogFile log;
    ASSERT_EQ(log.Start("\\f.log", LOGMODE_FILE, LOGFMT_NUMBER, 2), 0);
    log.LogMessage(2, "%d %s %S %S %.2f", 5, "ok", L"Stra\u00DFe", CString(L"\u65E5"), 2.5);
    log.LogMessage(1, "plain");
    log.LogMessage(text.c_str(), 1);
    log.LogMessage(1, "%s|%d", text, 42);
    log.Stop();
    // "   3 - " leaves 1,015 bytes before the line feed; the 1,015th would split an "é".
    const std::string cut = text.substr(0, 1014);
    EXPECT_EQ(Read("\\f.log"), "   1 - 5 ok Stra\u00DFe \u65E5 2.50\n   2 - plain\n   3 - " + cut +
                                   "\n   4 - " + cut + "\n");
}

TEST(LogElapsedSeconds, SurvivesTheTickWrap) {
    using fieldkit::detail::LogElapsedSeconds;
    EXPECT_DOUBLE_EQ(LogElapsedSeconds(1000, 2500), 1.5);
    EXPECT_DOUBLE_EQ(LogElapsedSeconds(0xFFFFFF00u, 0x100u), 0.512);
    EXPECT_DOUBLE_EQ(LogElapsedSeconds(0, 0x80000000u), 2147483.648);  // past 24.8 days
}

constexpr const char* kLog = "\\SD Card\\Survey\\Survey.log";

class AppLogTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fieldkit::host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    }
    // The lines of a log with the seconds, "(d.ddd)", replaced by "S".
    std::vector<std::string> Masked(const std::string& devicePath) const {
        std::vector<std::string> lines;
        std::istringstream in(Read(devicePath));
        for (std::string line; std::getline(in, line); lines.push_back(line)) {
            const std::size_t open = line.find(" - ("), close = line.find(") - ");
            if (open < close && close != std::string::npos && line[close - 4] == '.')
                line.replace(open + 3, close + 1 - (open + 3), "S");
        }
        return lines;
    }
};

using LogLines = std::vector<std::string>;
const std::string kStarted = "   1 - S - <1> - Program started.";

TEST_F(AppLogTest, StartedOnceFinishedOnce) {
    LOGMESSAGE("lost", 1);  // no folder yet: tried again with the next message
    EXPECT_FALSE(Exists("\\SD Card"));
    MakeDir("\\SD Card\\Survey");
    FinishLogging();  // before any start: nothing
    EXPECT_FALSE(Exists(kLog));
    EXPECT_EQ(LOGMESSAGE("first", 2), 0);
    InitLogging();  // already started: nothing
    EXPECT_EQ(LOGMESSAGE(4, "dropped %d", 1), 0);
    EXPECT_EQ(LOGMESSAGE(3, "%S and %s", L"Gr\u00F6\u00DFe", CString(L"\u00E9")), 0);
    FinishLogging();
    FinishLogging();
    LOGMESSAGE("after the finish", 1);  // dropped, and the log is not opened again
    EXPECT_EQ(Masked(kLog), (LogLines{kStarted, "   2 - S - <2> - first",
                                      "   3 - S - <3> - Gr\u00F6\u00DFe and \u00E9",
                                      "   4 - S - <1> - Program finished."}));
}

TEST_F(AppLogTest, NamesAreUtf8AndNeverCut) {
    fieldkit::host::SetModuleFileName(L"\\SD Card\\Vermessung \u00DC\\Vermessung.exe");
    MakeDir("\\SD Card\\Vermessung \xC3\x9C");
    LOGMESSAGE("x", 1);
    EXPECT_EQ(Masked("\\SD Card\\Vermessung \xC3\x9C\\Vermessung.log").size(), 2u);

    // 130 characters, but 266 bytes in UTF-8: refused rather than cut to a name that opens.
    fieldkit::host::ResetProcessState();
    std::string folder = "\\";
    for (int i = 0; i < 100; ++i)
        folder += "\xC3\xA9";
    MakeDir(folder);
    fieldkit::host::SetModuleFileName(CString(folder.c_str()) + L"\\" + CString(L'x', 60) +
                                      L".exe");
    LOGMESSAGE("x", 1);
    EXPECT_TRUE(std::filesystem::is_empty(Host(folder)));
}

TEST_F(AppLogTest, ClosedAtExit) {
    // A fresh process, so the exit handlers below are ordered around the log's own; it
    // writes into this test's device root, passed down through the environment.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MakeDir("\\SD Card\\Survey");
    setenv("FIELDKIT_EXIT_TEST_ROOT", root_.c_str(), 0);
    EXPECT_EXIT(
        {
            const std::string parentRoot = std::getenv("FIELDKIT_EXIT_TEST_ROOT");
            if (parentRoot != root_) std::filesystem::remove_all(root_);
            fieldkit::host::SetDeviceRoot(parentRoot);
            // Runs after the log closed: must neither write nor reopen (and so empty) it.
            std::atexit([] {
                InitLogging();
                LOGMESSAGE("after the close", 1);
            });
            LOGMESSAGE("before exit", 1);
            std::atexit([] { LOGMESSAGE("before the close", 1); });
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    unsetenv("FIELDKIT_EXIT_TEST_ROOT");
    GTEST_FLAG_SET(death_test_style, style);
    EXPECT_EQ(Masked(kLog), (LogLines{kStarted, "   2 - S - <1> - before exit",
                                      "   3 - S - <1> - before the close"}));
}

}  // namespace
