#include "fieldkit/platform/system.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "fieldkit/platform/charclass.h"
#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/host_state.h"

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

// The registry: a set of key paths, lower-cased, components joined by one backslash.
struct Registry {
    std::mutex mutex;
    std::set<std::wstring> keys;
};

Registry& Keys() {
    static Registry registry;
    return registry;
}

struct OpenKey : fieldkit::detail::HandleObject {
    explicit OpenKey(std::wstring p) : path(std::move(p)) {}
    std::wstring path;
};

std::wstring Normalise(const wchar_t* text) {
    std::wstring out;
    if (text == nullptr) return out;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\\') {
            if (!out.empty() && out.back() != L'\\') out += L'\\';
        } else {
            out += fieldkit::ToWideLower(*p);
        }
    }
    if (!out.empty() && out.back() == L'\\') out.pop_back();
    return out;
}

// The full path of key + subKey, or false when `key` is neither the root nor an open key.
bool FullPath(HKEY key, const wchar_t* subKey, std::wstring& path) {
    std::wstring base;
    if (key != HKEY_LOCAL_MACHINE) {
        const auto open = fieldkit::detail::FindHandle<OpenKey>(reinterpret_cast<HANDLE>(key));
        if (open == nullptr) return false;
        base = open->path;
    }
    const std::wstring sub = Normalise(subKey);
    path = base.empty() ? sub : sub.empty() ? base : base + L"\\" + sub;
    return true;
}

HKEY NewKeyHandle(const std::wstring& path) {
    return reinterpret_cast<HKEY>(fieldkit::detail::AddHandle(std::make_shared<OpenKey>(path)));
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size) {
    if (module != nullptr || buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
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
}

void OutputDebugStringW(const wchar_t* text) {
    if (text == nullptr) return;
    if (const auto handler = fieldkit::detail::DebugOutputHandler()) {
        handler(text);
        return;
    }
    const std::string utf8 = fieldkit::WideToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

LONG RegCreateKeyExW(HKEY key, const wchar_t* subKey, DWORD, wchar_t*, DWORD, REGSAM, void*,
                     HKEY* result, DWORD* disposition) {
    std::wstring path;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    if (!FullPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
    Registry& r = Keys();
    bool created = false;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        // Every missing key on the way is created, as Win32 does.
        for (std::size_t at = 0; at != std::wstring::npos;) {
            at = path.find(L'\\', at + 1);
            const std::wstring prefix = path.substr(0, at);
            if (!prefix.empty()) created = r.keys.insert(prefix).second || created;
        }
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewKeyHandle(path);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY key, const wchar_t* subKey, DWORD, REGSAM, HKEY* result) {
    std::wstring path;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    if (!FullPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
    {
        Registry& r = Keys();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (!path.empty() && r.keys.count(path) == 0) return ERROR_FILE_NOT_FOUND;
    }
    *result = NewKeyHandle(path);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    const HANDLE h = reinterpret_cast<HANDLE>(key);
    if (fieldkit::detail::FindHandle<OpenKey>(h) == nullptr) return ERROR_INVALID_HANDLE;
    fieldkit::detail::RemoveHandle(h);
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY key, const wchar_t* subKey) {
    std::wstring path;
    if (!FullPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
    if (path.empty()) return ERROR_ACCESS_DENIED;
    Registry& r = Keys();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.keys.find(path);
    if (it == r.keys.end()) return ERROR_FILE_NOT_FOUND;
    const auto next = std::next(it);
    if (next != r.keys.end() && next->compare(0, path.size() + 1, path + L"\\") == 0) {
        return ERROR_ACCESS_DENIED;  // it still has subkeys
    }
    r.keys.erase(it);
    return ERROR_SUCCESS;
}

int LoadStringW(HINSTANCE module, UINT id, wchar_t* buffer, int size) {
    std::wstring text;
    if (buffer == nullptr || size <= 0 || !fieldkit::detail::StringResource(module, id, text)) {
        if (buffer && size > 0) buffer[0] = L'\0';
        return 0;
    }
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return static_cast<int>(n);
}

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

namespace {

BOOL RunDialog(OPENFILENAMEW* dialog) {
    if (dialog == nullptr) return FALSE;
    const auto handler = fieldkit::detail::FileDialogHandler();
    if (!handler) return FALSE;
    try {
        return handler(*dialog) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* dialog) {
    return RunDialog(dialog);
}
BOOL GetSaveFileNameW(OPENFILENAMEW* dialog) {
    return RunDialog(dialog);
}
