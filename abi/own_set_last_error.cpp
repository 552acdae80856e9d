// A program with a function of the same name and signature as one of the library's: the
// library's own calls to SetLastError must still reach the library's, so the error a failing
// call reports is the library's, and the program's function is called only by the program.
// Exits 0 when that holds; otherwise prints what went wrong and exits 1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "fieldkit/fieldkit.h"

namespace {
int g_ownCalls = 0;
}

// The program's own SetLastError: it only counts its calls.
void SetLastError(DWORD) {
    ++g_ownCalls;
}

int main() {
    char folder[] = "/tmp/fieldkit-own-error-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    fieldkit::host::SetDeviceRoot(folder);

    const HANDLE file = CreateFileW(L"\\missing.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    const int ownCalls = g_ownCalls;
    rmdir(folder);

    int failures = 0;
    if (file != INVALID_HANDLE_VALUE) {
        std::printf("own-set-last-error: opening a missing file succeeded\n");
        ++failures;
    }
    if (error != ERROR_FILE_NOT_FOUND) {
        std::printf("own-set-last-error: GetLastError() is %u, not ERROR_FILE_NOT_FOUND (%u)\n",
                    static_cast<unsigned>(error), static_cast<unsigned>(ERROR_FILE_NOT_FOUND));
        ++failures;
    }
    if (ownCalls != 0) {
        std::printf("own-set-last-error: the library called the program's SetLastError %d times\n",
                    ownCalls);
        ++failures;
    }
    if (failures == 0) std::printf("own-set-last-error: the library's calls stayed inside it\n");
    return failures == 0 ? 0 : 1;
}
