#include "fieldkit/platform/memory.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string_view>

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    // The kernel's own accounting, in kB: the memory that can be had without swapping.
    unsigned long long total = 0, available = 0, swapTotal = 0, swapFree = 0;
    if (FILE* f = std::fopen("/proc/meminfo", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            const std::string_view l(line);
            const auto value = [&](const char* key, unsigned long long& out) {
                const std::size_t n = std::strlen(key);
                if (l.compare(0, n, key) != 0) return;
                unsigned long long v = 0;
                for (std::size_t i = n; i < l.size(); ++i) {
                    if (l[i] >= '0' && l[i] <= '9')
                        v = v * 10 + static_cast<unsigned>(l[i] - '0');
                    else if (v != 0)
                        break;
                }
                out = v * 1024;
            };
            value("MemTotal:", total);
            value("MemAvailable:", available);
            value("SwapTotal:", swapTotal);
            value("SwapFree:", swapFree);
        }
        std::fclose(f);
    }
    *status = MEMORYSTATUS{};
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwTotalPhys = static_cast<SIZE_T>(total);
    status->dwAvailPhys = static_cast<SIZE_T>(available);
    status->dwMemoryLoad = total ? static_cast<DWORD>(100 - available * 100 / total) : 0;
    status->dwTotalPageFile = static_cast<SIZE_T>(swapTotal);
    status->dwAvailPageFile = static_cast<SIZE_T>(swapFree);
    // Virtual memory: the process's address space (its limit, else the 47 bits user space
    // has on this machine) less what it uses.
    unsigned long long space = 1ULL << 47;
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        space = limit.rlim_cur;
    unsigned long long used = 0;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "VmSize:", 7) != 0) continue;
            unsigned long long kb = 0;
            for (const char* p = line + 7; *p; ++p) {
                if (*p >= '0' && *p <= '9') kb = kb * 10 + static_cast<unsigned>(*p - '0');
            }
            used = kb * 1024;
        }
        std::fclose(f);
    }
    status->dwTotalVirtual = static_cast<SIZE_T>(space);
    status->dwAvailVirtual = static_cast<SIZE_T>(space > used ? space - used : 0);
}
