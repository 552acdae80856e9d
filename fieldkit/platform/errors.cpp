#include "fieldkit/platform/errors.h"

namespace {

// Per thread, as Win32 keeps it.
thread_local DWORD t_lastError = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD error) {
    t_lastError = error;
}
