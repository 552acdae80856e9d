#include "fieldkit/logging/log_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "fieldkit/platform/host.h"
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
    const struct {
        long format, level;
        const char* line;
    } cases[] = {
        {0, 2, "msg\n"},
        {LOGFMT_NUMBER, 2, "   1 - msg\n"},
        {LOGFMT_LEVEL, 2, "<2> - msg\n"},
        {LOGFMT_SECONDS, 2, "(0.###) - msg\n"},
        {LOGFMT_INDENT, 0, " msg\n"},
        {LOGFMT_INDENT, 1, "   msg\n"},
        {LOGFMT_INDENT, 2, "      msg\n"},
        {LOGFMT_INDENT, -1, "   msg\n"},
        // Always number, seconds, level, indentation, whatever the order of the bits.
        {LOGFMT_INDENT | LOGFMT_LEVEL | LOGFMT_SECONDS | LOGFMT_NUMBER, 1,
         "   1 - (0.###) - <1> -    msg\n"},
    };
    for (const auto& c : cases) {
        CLogFile log;
        ASSERT_EQ(log.Start("\\p.log", LOGMODE_FILE, c.format, 5), 0);
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
    Write("\\a.log", "old\n");
    Write("\\w.log", "old\n");
    CLogFile appending, writing, log;
    const long keepEmpty = LOGMODE_FILE | LOGMODE_APPEND | LOGMODE_DELETEEMPTY;
    ASSERT_EQ(appending.Start("\\a.log", keepEmpty, 0, 1), 0);
    ASSERT_EQ(writing.Start("\\w.log", LOGMODE_FILE, 0, 1), 0);
    writing.LogMessage("new", 1);
    EXPECT_EQ(Read("\\w.log"), "new\n");  // flushed at once
    appending.Stop();
    EXPECT_EQ(Read("\\a.log"), "old\n");  // held data when opened: kept

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
}

TEST_F(LogFileTest, FileNames) {
    MakeDir("\\" + std::string(200, 'f'));
    const std::string fits = "\\" + std::string(200, 'f') + "\\" + std::string(57, 'n');
    CLogFile log;
    EXPECT_EQ(log.Start((fits + "x").c_str(), LOGMODE_FILE, 0, 1), LOGERR_OPEN);
    EXPECT_FALSE(Exists(fits));  // refused, not cut to the 259 bytes that fit
    ASSERT_EQ(log.Start(fits.c_str(), LOGMODE_FILE, 0, 1), 0);
    log.Stop();
    EXPECT_EQ(log.Start(fits.substr(0, 254).c_str(), LOGMODE_TIMEDFILE, 0, 1), LOGERR_OPEN);

    ASSERT_EQ(log.Start("\\trace", LOGMODE_TIMEDFILE, 0, 1), 0);
    log.Stop();
    EXPECT_TRUE(Like(log.GetFilename(), "\\trace######") && Exists(log.GetFilename()))
        << log.GetFilename();
    ASSERT_EQ(log.Start("\\Messung \xC3\xBC.log", LOGMODE_FILE, 0, 1), 0);
    log.Stop();
    EXPECT_TRUE(Exists("\\Messung \xC3\xBC.log"));

    // Empty names: bit 0x02 forms none; the time alone names a file in the current folder.
    EXPECT_EQ(log.Start(LOGMODE_FILE, 0, 1), LOGERR_OPEN);
    EXPECT_EQ(log.Start(nullptr, 0x02 | LOGMODE_DEBUGOUT, 0, 1), LOGERR_OPEN);
    const std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(root_.c_str()), 0);
    const long timed = log.Start(LOGMODE_TIMEDFILE, 0, 1);
    log.Stop();
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    ASSERT_EQ(timed, 0);
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

}  // namespace
