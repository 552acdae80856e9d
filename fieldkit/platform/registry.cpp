#include "fieldkit/platform/registry.h"

#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/text/charclass.h"

namespace {

// The registry: a set of key paths, lower-cased, components joined by one backslash.
struct Registry {
    fieldkit::detail::Mutex mutex;
    std::set<std::wstring> keys FIELDKIT_GUARDED_BY(mutex);
    void Forget() {
        fieldkit::detail::LockGuard lock(mutex);
        keys.clear();
    }
};

Registry& Keys() {
    return fieldkit::detail::ProcessState<Registry>::Get();
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

// Results are codes, not the last error: out of memory is answered as its code.
using fieldkit::detail::NoThrow;
constexpr LONG kNoMemory = ERROR_NOT_ENOUGH_MEMORY;

}  // namespace

LONG RegCreateKeyExW(HKEY key, const wchar_t* subKey, DWORD, wchar_t*, DWORD, REGSAM, void*,
                     HKEY* result, DWORD* disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    return NoThrow(kNoMemory, [&]() -> LONG {
        std::wstring path;
        if (!FullPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
        // The handle and the missing keys are made first and the keys put in with a merge,
        // which allocates nothing: a failure creates no key.
        fieldkit::detail::HandleReservation handle;
        auto open = std::make_shared<OpenKey>(path);
        std::set<std::wstring> missing;
        Registry& r = Keys();
        fieldkit::detail::LockGuard lock(r.mutex);
        // Every missing key on the way is created, as Win32 does.
        for (std::size_t at = 0; at != std::wstring::npos;) {
            at = path.find(L'\\', at + 1);
            std::wstring prefix = path.substr(0, at);
            if (!prefix.empty() && r.keys.count(prefix) == 0) missing.insert(std::move(prefix));
        }
        if (disposition) {
            *disposition = missing.empty() ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
        }
        r.keys.merge(missing);
        *result = reinterpret_cast<HKEY>(handle.Fill(std::move(open)));
        return ERROR_SUCCESS;
    });
}

LONG RegOpenKeyExW(HKEY key, const wchar_t* subKey, DWORD, REGSAM, HKEY* result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    return NoThrow(kNoMemory, [&]() -> LONG {
        std::wstring path;
        if (!FullPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
        {
            Registry& r = Keys();
            fieldkit::detail::LockGuard lock(r.mutex);
            if (!path.empty() && r.keys.count(path) == 0) return ERROR_FILE_NOT_FOUND;
        }
        *result = NewKeyHandle(path);
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    const HANDLE h = reinterpret_cast<HANDLE>(key);
    if (fieldkit::detail::FindHandle<OpenKey>(h) == nullptr) return ERROR_INVALID_HANDLE;
    fieldkit::detail::RemoveHandle(h);
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY key, const wchar_t* subKey) {
    return NoThrow(kNoMemory, [&]() -> LONG {
        std::wstring path;
        if (!FullPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
        if (path.empty()) return ERROR_ACCESS_DENIED;
        Registry& r = Keys();
        fieldkit::detail::LockGuard lock(r.mutex);
        const auto it = r.keys.find(path);
        if (it == r.keys.end()) return ERROR_FILE_NOT_FOUND;
        const auto next = std::next(it);
        if (next != r.keys.end() && next->compare(0, path.size() + 1, path + L"\\") == 0) {
            return ERROR_ACCESS_DENIED;  // it still has subkeys
        }
        r.keys.erase(it);
        return ERROR_SUCCESS;
    });
}
