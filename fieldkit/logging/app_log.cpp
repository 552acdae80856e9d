#include "fieldkit/logging/app_log.h"

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>

#include "fieldkit/environment/directories.h"
#include "fieldkit/files/file_funcs.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/text/codepage.h"

using fieldkit::detail::NoThrow;

namespace {

constexpr long kAppLogFormat = LOGFMT_NUMBER | LOGFMT_SECONDS | LOGFMT_LEVEL;
constexpr long kAppLogLevel = 3;

struct AppLogState {
    // Serialises InitLogging, so "Program started." is line 1 whichever thread opens the log.
    fieldkit::detail::Mutex initLock;
    // Made under initLock, then read without it (it stays until a reset, and the log has a
    // lock of its own): not marked as guarded.
    std::optional<CLogFile> log;
    std::atomic<bool> started{false};
    std::atomic<bool> exited{false};
    // Set by host::SetApplicationLog, under initLock (read without it by AppLogTakes).
    std::atomic<bool> enabled{true};
    CString chosenName FIELDKIT_GUARDED_BY(initLock);

    AppLogState() { std::atexit(&StopAtExit); }
    // The log is closed and forgotten; the choice made with SetApplicationLog stays.
    void Forget() {
        fieldkit::detail::LockGuard guard(initLock);
        if (log) log->Stop();
        log.reset();
        started.store(false);
    }
    static void StopAtExit();
};

// A static destructor that logs after the exit handler still finds it.
AppLogState& AppLog() {
    return fieldkit::detail::ProcessState<AppLogState>::Get();
}

void AppLogState::StopAtExit() {
    AppLogState& s = AppLog();
    fieldkit::detail::LockGuard guard(s.initLock);
    s.exited.store(true);
    if (s.log) s.log->Stop();
}

std::string AppLogName(const CString& chosen) {
    if (!chosen.IsEmpty()) return fieldkit::WideToUtf8(chosen.GetStdString());
    const CString program = GetApplicationPath();
    const CString name = program.IsEmpty()
                             ? GetRootDir() + L"\\wsk.log"
                             : FileFuncs::ExtractPathNameWithoutExtFromPathName(program) + L".log";
    return fieldkit::WideToUtf8(name.GetStdString());
}

}  // namespace

void InitLogging() {
    // Out of memory: the log stays closed and the next line tries again.
    NoThrow([] {
        AppLogState& s = AppLog();
        if (s.exited.load()) return;
        CString chosen;
        {
            fieldkit::detail::LockGuard guard(s.initLock);
            if (!s.enabled.load()) return;
            chosen = s.chosenName;
        }
        const std::string name = AppLogName(chosen);
        fieldkit::detail::LockGuard guard(s.initLock);
        if (s.exited.load() || !s.enabled.load()) return;
        if (!s.log) s.log.emplace();
        if (s.log->Start(name.c_str(), LOGMODE_FILE, kAppLogFormat, kAppLogLevel) == 0) {
            s.log->LogMessage("Program started.", 1);
            s.started.store(true);
        }
    });
}

void FinishLogging() {
    // Only creating the state can throw, and then there is no log to close.
    NoThrow([] {
        AppLogState& s = AppLog();
        if (!s.started.load()) return;
        LOGMESSAGE("Program finished.", 1);
        fieldkit::detail::LockGuard guard(s.initLock);
        if (s.log) s.log->Stop();
    });
}

long LOGMESSAGE(const char* text, long level) {
    // A line that cannot be written is dropped, as any line the log cannot take.
    NoThrow([&] {
        AppLogState& s = AppLog();
        if (s.exited.load()) return;
        if (!s.started.load()) InitLogging();
        // Once created the log stays until a reset, which tests make from one thread.
        if (s.log) s.log->LogMessage(text, level);
    });
    return 0;
}

namespace fieldkit {

bool AppLogTakes(long level) {
    return NoThrow(false, [level] {
        AppLogState& s = AppLog();
        if (s.exited.load()) return false;
        if (!s.started.load()) return s.enabled.load();  // the line would open the log
        // Once started the log object stays until a reset, which tests make from one thread.
        const long threshold = s.log->GetLevel();
        return s.log->GetStatus() == LOGSTATUS_RUNNING && threshold >= 0 && level <= threshold;
    });
}

}  // namespace fieldkit

namespace fieldkit::host {

void SetApplicationLog(bool enabled, const CString& devicePath) {
    // Only creating the state can throw; the setting is then lost with it.
    NoThrow([&] {
        AppLogState& s = AppLog();
        fieldkit::detail::LockGuard guard(s.initLock);
        s.enabled.store(enabled);
        s.chosenName = devicePath;
    });
}

}  // namespace fieldkit::host
