#include "fieldkit/platform/module.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "fieldkit/platform/detail/host_state.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/host.h"

namespace {

CString RunningProgram() {
    const CString set = fieldkit::detail::ModuleFileOverride();
    if (!set.IsEmpty()) return set;
    if (const char* env = std::getenv("FIELDKIT_MODULE_FILE")) {
        if (*env) return CString(env);
    }
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return CString();
    return fieldkit::host::FromHostPath(std::string(buffer, static_cast<std::size_t>(n)));
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size) {
    if (module != nullptr || buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return fieldkit::detail::NoThrow(DWORD{0}, ERROR_NOT_ENOUGH_MEMORY, [&] {
        const std::wstring name = RunningProgram().GetStdString();
        if (name.size() >= size) {
            name.copy(buffer, size - 1);
            buffer[size - 1] = L'\0';
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return size;
        }
        name.copy(buffer, name.size());
        buffer[name.size()] = L'\0';
        return static_cast<DWORD>(name.size());
    });
}

int LoadStringW(HINSTANCE module, UINT id, wchar_t* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = L'\0';  // what a failure leaves
    return fieldkit::detail::NoThrow(0, ERROR_NOT_ENOUGH_MEMORY, [&] {
        std::wstring text;
        if (!fieldkit::detail::StringResource(module, id, text)) return 0;
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
        text.copy(buffer, n);
        buffer[n] = L'\0';
        return static_cast<int>(n);
    });
}
