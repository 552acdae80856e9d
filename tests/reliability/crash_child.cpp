// The child of the crash tests: writes a log, or saves settings, in a loop until the parent
// kills it. After every completed step it records the step's number in a shared progress file,
// so the parent knows what must have reached the disk before the kill. In the mode "saves" it
// saves a settings file `count` times, racing other savers, and exits 0 when every save worked.
//
//   crash_child <device root> <progress file> log|applog|ini <device path>
//   crash_child <device root> - saves <device path> <writer letter> <count>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/settings/ini_file.h"
#include "tests/reliability/crash_content.h"

namespace {

// Slot 0: set once the loop starts; slot 1: the last step completed.
std::int64_t* MapProgress(const char* hostPath) {
    const int fd = open(hostPath, O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    void* p = mmap(nullptr, 2 * sizeof(std::int64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return p == MAP_FAILED ? nullptr : static_cast<std::int64_t*>(p);
}

void Store(std::int64_t* slot, std::int64_t value) {
    __atomic_store_n(slot, value, __ATOMIC_RELEASE);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[3], "saves") == 0) {
        fieldkit::host::SetDeviceRoot(argv[1]);
        CINIFile ini;
        for (int i = 0; i < std::atoi(argv[6]); ++i) {
            ini.SetStringValue(L"S", L"k", CString(crash::SaveValue(argv[5][0], i).c_str()));
            if (!ini.SaveIni(CString(argv[4]))) return 5;
        }
        return 0;
    }
    if (argc != 5) {
        std::fputs("usage: crash_child <device root> <progress file> log|applog|ini <path>\n",
                   stderr);
        return 2;
    }
    fieldkit::host::SetDeviceRoot(argv[1]);
    std::int64_t* progress = MapProgress(argv[2]);
    if (progress == nullptr) return 3;
    const std::string mode = argv[3];
    const char* path = argv[4];

    if (mode == "log") {
        CLogFile log;
        if (log.Start(path, LOGMODE_FILE, LOGFMT_NUMBER, 1) != 0) return 4;
        Store(&progress[0], 1);
        for (std::int64_t i = 1;; ++i) {
            log.LogMessage(1, "L%lld %s", static_cast<long long>(i), crash::Payload(i));
            Store(&progress[1], i);
        }
    }
    if (mode == "applog") {
        fieldkit::host::SetApplicationLog(true, CString(path));
        InitLogging();
        Store(&progress[0], 1);
        for (std::int64_t i = 1;; ++i) {
            LOGMESSAGE(1, "L%lld %s", static_cast<long long>(i), crash::Payload(i));
            Store(&progress[1], i);
        }
    }
    if (mode == "ini") {
        // The parent saved generation 0; this process saves 1, 2, 3, ... over it.
        CINIFile versions[2];
        crash::FillSettings(versions[0], 0);
        crash::FillSettings(versions[1], 1);
        const CString target(path);
        Store(&progress[0], 1);
        for (std::int64_t generation = 1;; ++generation) {
            CINIFile& ini = versions[generation % 2];
            crash::SetGeneration(ini, generation);
            if (!ini.SaveIni(target)) return 5;
            Store(&progress[1], generation);
        }
    }
    return 2;
}
