// What the file system reports of entries: folder searches and listings, attributes, removable
// media. On its own as nothing here changes a file, a name or a folder.
#include "fieldkit/platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/file_calls.h"
#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/charclass.h"

namespace fieldkit::detail {
namespace {

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

bool StatAt(int folder, const char* name, struct statx& st) {
    return statx(folder, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
}

// Whether the file an open descriptor (of any kind, O_PATH too) names is marked hidden.
bool HiddenFd(int fd) {
    return getxattr(ProcPath(fd).c_str(), kHiddenXattr, nullptr, 0) >= 0;
}

DWORD Attributes(unsigned mode, bool hidden) {
    if (S_ISLNK(mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
    DWORD a = 0;
    if (S_ISDIR(mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnlyMode(mode)) a |= FILE_ATTRIBUTE_READONLY;
    if (hidden) a |= FILE_ATTRIBUTE_HIDDEN;
    if (a == 0) a = FILE_ATTRIBUTE_ARCHIVE;
    return a;
}

void Fill(WIN32_FIND_DATAW& out, const std::wstring& name, const struct statx& st, bool hidden) {
    out = WIN32_FIND_DATAW{};
    out.dwFileAttributes = Attributes(st.stx_mode, hidden);
    out.ftCreationTime = ToFileTime((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
    out.ftLastAccessTime = ToFileTime(st.stx_atime);
    out.ftLastWriteTime = ToFileTime(st.stx_mtime);
    if (!S_ISDIR(st.stx_mode)) {
        out.nFileSizeHigh = static_cast<DWORD>(st.stx_size >> 32);
        out.nFileSizeLow = static_cast<DWORD>(st.stx_size & 0xFFFFFFFF);
    }
    const std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    name.copy(out.cFileName, n);
    out.cFileName[n] = L'\0';
}

// Wildcard match as on the handheld: "*" any run, "?" one character, no regard to case; a
// trailing ".*" also matches a name without an extension, a trailing "." only such a name.
bool Match(const wchar_t* p, const wchar_t* n) {
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*n) {
        if (*p == L'*') {
            star = p++;
            resume = n;
        } else if (*p == L'?' || (*p && fieldkit::ToWideLower(*p) == fieldkit::ToWideLower(*n))) {
            ++p;
            ++n;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == L'*')
        ++p;
    return *p == L'\0';
}

bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
    if (Match(pattern.c_str(), name.c_str())) return true;
    const bool noExtension = name.find(L'.') == std::wstring::npos;
    if (noExtension && pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, L".*") == 0) {
        return Match(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
    }
    if (noExtension && !pattern.empty() && pattern.back() == L'.') {
        return Match(pattern.substr(0, pattern.size() - 1).c_str(), name.c_str());
    }
    return false;
}

struct Search : fieldkit::detail::HandleObject {
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

}  // namespace

FILETIME ToFileTime(const struct statx_timestamp& t) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(t.tv_sec) + kSecondsFrom1601To1970) * 10000000 + t.tv_nsec / 100;
    const auto u = static_cast<std::uint64_t>(ticks < 0 ? 0 : ticks);
    return {static_cast<DWORD>(u & 0xFFFFFFFF), static_cast<DWORD>(u >> 32)};
}

bool StatFd(int fd, struct statx& st) {
    return statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
}

bool HiddenAt(int folder, const std::string& name) {
    return lgetxattr(ProcPath(folder, name).c_str(), kHiddenXattr, nullptr, 0) >= 0;
}

bool ListFolder(int folder, const std::wstring* pattern, std::vector<WIN32_FIND_DATAW>& out) {
    out.clear();
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
    while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const std::wstring entry = fieldkit::detail::NameToDevice(e->d_name);
        if (pattern != nullptr && !WildcardMatch(*pattern, entry)) continue;
        struct statx st;
        if (!StatAt(folder, e->d_name, st)) continue;
        out.emplace_back();
        Fill(out.back(), entry, st, !S_ISLNK(st.stx_mode) && HiddenAt(folder, e->d_name));
    }
    std::sort(out.begin(), out.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
        return std::wcscmp(a.cFileName, b.cFileName) < 0;
    });
    return true;
}

bool IsOnRemovableMedia(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return false;
    const UniqueFd fd(OpenDevicePath(path, O_PATH));
    struct stat st;
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0) return false;
    // The block device of the file system; a partition's "removable" flag lives on its disk.
    const std::string dev = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                            std::to_string(minor(st.st_dev));
    char resolved[PATH_MAX];
    if (realpath(dev.c_str(), resolved) == nullptr) return false;
    const std::string device(resolved);
    for (const std::string& candidate :
         {device + "/removable", device.substr(0, device.rfind('/')) + "/removable"}) {
        FILE* f = std::fopen(candidate.c_str(), "re");
        if (f == nullptr) continue;
        const int c = std::fgetc(f);
        std::fclose(f);
        return c == '1';
    }
    return false;
}

}  // namespace fieldkit::detail

using fieldkit::detail::AddHandle;
using fieldkit::detail::Attributes;
using fieldkit::detail::DeviceEntry;
using fieldkit::detail::Fail;
using fieldkit::detail::FailWith;
using fieldkit::detail::Fill;
using fieldkit::detail::FindHandle;
using fieldkit::detail::HiddenAt;
using fieldkit::detail::HiddenFd;
using fieldkit::detail::IsSeparator;
using fieldkit::detail::LastLink;
using fieldkit::detail::ListFolder;
using fieldkit::detail::NoThrow;
using fieldkit::detail::OpenDevicePath;
using fieldkit::detail::ResolveEntry;
using fieldkit::detail::Search;
using fieldkit::detail::StatAt;
using fieldkit::detail::StatFd;
using fieldkit::detail::UniqueFd;

HANDLE FindFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* found) {
    if (pattern == nullptr || found == nullptr || *pattern == L'\0') {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        const std::wstring pat(pattern);
        std::size_t cut = pat.size();
        while (cut > 0 && !IsSeparator(pat[cut - 1]))
            --cut;
        const std::wstring name = pat.substr(cut);
        if (name.empty() || name == L"." || name == L"..") {
            return FailWith(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
        }
        auto search = std::make_shared<Search>();
        if (name.find_first_of(L"*?") == std::wstring::npos) {
            DeviceEntry entry;
            if (!ResolveEntry(pat, LastLink::Keep, entry)) return Fail(INVALID_HANDLE_VALUE);
            if (!entry.exists) return FailWith(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
            struct statx st;
            bool hidden = false;
            bool filled = false;
            if (S_ISLNK(entry.status.st_mode)) {
                // A link reports what it names inside the root; a dangling one, itself.
                const UniqueFd target(OpenDevicePath(pat, O_PATH));
                filled = target.Valid() && StatFd(target.Get(), st);
                hidden = filled && HiddenFd(target.Get());
            }
            if (!filled) {
                if (!StatAt(entry.folder.Get(), entry.name.c_str(), st)) {
                    return Fail(INVALID_HANDLE_VALUE);
                }
                hidden = !S_ISLNK(st.stx_mode) && HiddenAt(entry.folder.Get(), entry.name);
            }
            search->entries.emplace_back();
            Fill(search->entries.back(), fieldkit::detail::NameToDevice(entry.name), st, hidden);
        } else {
            const UniqueFd folder(
                OpenDevicePath(std::wstring_view(pat).substr(0, cut), O_PATH | O_DIRECTORY));
            if (!folder.Valid()) return Fail(INVALID_HANDLE_VALUE);
            if (!ListFolder(folder.Get(), &name, search->entries))
                return Fail(INVALID_HANDLE_VALUE);
            if (search->entries.empty())
                return FailWith(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
        }
        *found = search->entries[0];
        search->next = 1;
        return AddHandle(std::move(search));
    });
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* found) {
    const auto search = FindHandle<Search>(handle);
    if (search == nullptr || found == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    if (search->next >= search->entries.size()) return FailWith(FALSE, ERROR_NO_MORE_FILES);
    *found = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    if (FindHandle<Search>(handle) == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    fieldkit::detail::RemoveHandle(handle);
    return TRUE;
}

DWORD GetFileAttributesW(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') {
        return FailWith(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(INVALID_FILE_ATTRIBUTES, ERROR_NOT_ENOUGH_MEMORY, [&] {
        const UniqueFd fd(OpenDevicePath(path, O_PATH));
        struct stat st;
        if (!fd.Valid() || fstat(fd.Get(), &st) != 0) return Fail(INVALID_FILE_ATTRIBUTES);
        return Attributes(st.st_mode, HiddenFd(fd.Get()));
    });
}
