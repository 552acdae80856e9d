#include "fieldkit/logging/app_log.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fieldkit/text/cstring.h"
#include "tests/support/device_root.h"

namespace {

constexpr const char* kLog = "\\SD Card\\Survey\\Survey.log";

class AppLogTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        knobs_.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
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

// Fault: a second InitLogging writes "Program started." again, or a message after finish reopens
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

// Fault: a log name cut to 259 bytes in the middle of a character and opened there
TEST_F(AppLogTest, NamesAreUtf8AndNeverCut) {
    knobs_.ModuleFileName(L"\\SD Card\\Vermessung \u00DC\\Vermessung.exe");
    MakeDir("\\SD Card\\Vermessung \xC3\x9C");
    LOGMESSAGE("x", 1);
    EXPECT_EQ(Masked("\\SD Card\\Vermessung \xC3\x9C\\Vermessung.log").size(), 2u);

    // 130 characters, but 266 bytes in UTF-8: refused rather than cut to a name that opens.
    fieldkit::host::ResetProcessState();
    std::string folder = "\\";
    for (int i = 0; i < 100; ++i)
        folder += "\xC3\xA9";
    MakeDir(folder);
    knobs_.ModuleFileName(CString(folder.c_str()) + L"\\" + CString(L'x', 60) + L".exe");
    LOGMESSAGE("x", 1);
    EXPECT_TRUE(std::filesystem::is_empty(Host(folder)));
}

// Fault: an exit handler after the close reopens the log and empties it
TEST_F(AppLogTest, ClosedAtExit) {
    // A fresh process, so the exit handlers below are ordered around the log's own; it
    // writes into this test's device root, passed down through the environment.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MakeDir("\\SD Card\\Survey");
    if (!std::getenv("FIELDKIT_EXIT_TEST_ROOT"))
        knobs_.Env("FIELDKIT_EXIT_TEST_ROOT", root_.c_str());
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
    GTEST_FLAG_SET(death_test_style, style);
    EXPECT_EQ(Masked(kLog), (LogLines{kStarted, "   2 - S - <1> - before exit",
                                      "   3 - S - <1> - before the close"}));
}

}  // namespace
