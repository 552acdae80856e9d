#include "fieldkit/logging/log_file.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/systime.h"
#include "fieldkit/text/cstring.h"
#include "tests/support/device_root.h"

namespace {

// The tick count the log reads: GetTickCount is wrapped at link time (CMakeLists.txt), and
// while gTick holds a count (not -1) the wrapper answers it; a TickSetter puts the real count
// back when it goes. A shared library keeps its own calls; the wrapper then never sees one.
std::atomic<long long> gTick{-1};
std::atomic<int> gTickReads{0};
struct TickSetter {
    ~TickSetter() { gTick = -1; }
};

}  // namespace

extern "C" DWORD __real__Z12GetTickCountv();
extern "C" DWORD __wrap__Z12GetTickCountv();
extern "C" DWORD __wrap__Z12GetTickCountv() {
    const long long tick = gTick;
    if (tick < 0) return __real__Z12GetTickCountv();
    ++gTickReads;
    return static_cast<DWORD>(tick);
}

namespace {

// '#' stands for one digit.
bool Like(const std::string& s, const std::string& pattern) {
    bool same = s.size() == pattern.size();
    for (std::size_t i = 0; same && i < s.size(); ++i)
        same = pattern[i] == '#' ? s[i] >= '0' && s[i] <= '9' : pattern[i] == s[i];
    return same;
}

using LogFileTest = DeviceRootTest;

// Fault: the prefixes in the order of the format bits, or a huge level indents past the line
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

// Fault: a message above the threshold, paused or after the stop still written
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

// Fault: an appended log's cut last line not ended, or an empty log kept with DELETEEMPTY
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

// Fault: a timed name without its digits, or debugger output passed as bytes not UTF-8
TEST_F(LogFileTest, FileNamesAndDebuggerOutput) {
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

    // Without a file the lines go to the debugger. (Shared: the handler stays installed until
    // the fixture goes.)
    const auto seen = std::make_shared<std::vector<std::wstring>>();
    knobs_.DebugOutput([seen](const wchar_t* t) { seen->emplace_back(t); });
    ASSERT_EQ(log.Start(LOGMODE_DEBUGOUT, LOGFMT_NUMBER, 1), 0);
    log.LogMessage("Gr\u00FC\u00DFe", 1);  // UTF-8
    log.LogMessage(nullptr, 1);
    EXPECT_EQ(log.Stop(), LOGERR_NOTRUNNING);  // no file: keeps running
    log.LogMessage(1, "%S", L"\u65E5");
    EXPECT_EQ(*seen, (std::vector<std::wstring>{L"   1 - Gr\u00FC\u00DFe\n", L"   2 - \n",
                                                L"   3 - \u65E5\n"}));
}

// Fault: a long line cut in the middle of a UTF-8 character, or %S read as narrow text
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

// The seconds are the tick count since Start in unsigned 32-bit arithmetic: right across the
// wrap of the count (every 49.7 days) and past 24.8 days, where a signed difference turns
// negative; always with three decimals.
// Fault: the seconds as a signed difference, negative after the tick count wraps
TEST_F(LogFileTest, SecondsSinceStartAcrossTheTickWrap) {
    const struct {
        DWORD start, now;
        std::string line;
    } cases[] = {{1000, 2500, "(1.500) - msg\n"},
                 {0xFFFFFF00u, 0x100u, "(0.512) - msg\n"},
                 {0, 0x80000000u, "(2147483.648) - msg\n"},
                 {42, 49, "(0.007) - msg\n"}};
    const TickSetter restore;
    for (const auto& c : cases) {
        gTick = c.start;
        CLogFile log;
        ASSERT_EQ(log.Start("\\t.log", LOGMODE_FILE, LOGFMT_SECONDS, 1), 0);
        if (gTickReads == 0) GTEST_SKIP() << "the tick count cannot be replaced in this build";
        gTick = c.now;
        log.LogMessage("msg", 1);
        log.Stop();
        EXPECT_EQ(Read("\\t.log"), c.line) << c.start << " to " << c.now;
    }
}

}  // namespace
