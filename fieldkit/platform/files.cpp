#include "fieldkit/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fieldkit/platform/charclass.h"
#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/host.h"

using fieldkit::detail::AddHandle;
using fieldkit::detail::FindHandle;

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

// The hidden attribute has no home in POSIX permissions; an extended attribute keeps it.
constexpr char kHiddenXattr[] = "user.fieldkit.hidden";
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

DWORD FromErrno(int e) {
    switch (e) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EBUSY:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOSPC:
        case EIO:
            return ERROR_WRITE_FAULT;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// Records errno as the last error and answers `result`.
template <class T>
T Fail(T result, int e = errno) {
    t_lastError = FromErrno(e);
    return result;
}

template <class T>
T FailWith(T result, DWORD error) {
    t_lastError = error;
    return result;
}

std::string Host(const wchar_t* devicePath) {
    return fieldkit::host::ToHostPath(CString(devicePath));
}

FILETIME ToFileTime(const struct statx_timestamp& t) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(t.tv_sec) + kSecondsFrom1601To1970) * 10000000 + t.tv_nsec / 100;
    const auto u = static_cast<std::uint64_t>(ticks < 0 ? 0 : ticks);
    return {static_cast<DWORD>(u & 0xFFFFFFFF), static_cast<DWORD>(u >> 32)};
}

bool StatPath(const std::string& host, struct statx& st, int flags = 0) {
    return statx(AT_FDCWD, host.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
}

bool StatFd(int fd, struct statx& st) {
    return statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
}

bool IsReadOnlyMode(unsigned mode) {
    return (mode & 0222) == 0;
}

DWORD Attributes(const std::string& host, const struct statx& st) {
    DWORD a = 0;
    if (S_ISDIR(st.stx_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
    if (S_ISLNK(st.stx_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
    if (IsReadOnlyMode(st.stx_mode)) a |= FILE_ATTRIBUTE_READONLY;
    if (getxattr(host.c_str(), kHiddenXattr, nullptr, 0) >= 0) a |= FILE_ATTRIBUTE_HIDDEN;
    if (a == 0) a = FILE_ATTRIBUTE_ARCHIVE;
    return a;
}

void Fill(WIN32_FIND_DATAW& out, const std::wstring& name, const std::string& host,
          const struct statx& st) {
    out = WIN32_FIND_DATAW{};
    out.dwFileAttributes = Attributes(host, st);
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

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
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

struct File : fieldkit::detail::HandleObject {
    explicit File(int descriptor) : fd(descriptor) {}
    ~File() override { ::close(fd); }
    int fd;
};

// Text mode reading: CR LF reads as LF, as files copied from the device expect.
struct TextReader {
    FILE* file;
    std::vector<char> raw = std::vector<char>(1 << 16);
    std::size_t pos = 0;
    std::size_t len = 0;
    bool pendingCr = false;  // a CR ended the last block; the next byte decides
    bool ended = false;
};

ssize_t TextRead(void* cookie, char* buffer, size_t size) {
    auto* t = static_cast<TextReader*>(cookie);
    size_t out = 0;
    while (out < size) {
        if (t->pos == t->len) {
            if (t->ended) break;
            t->len = std::fread(t->raw.data(), 1, t->raw.size(), t->file);
            t->pos = 0;
            if (t->len == 0) {
                t->ended = true;
                if (t->pendingCr) {
                    buffer[out++] = '\r';
                    t->pendingCr = false;
                }
                break;
            }
        }
        if (t->pendingCr) {
            t->pendingCr = false;
            if (t->raw[t->pos] != '\n') {
                buffer[out++] = '\r';
                continue;
            }
        }
        // Copy the run up to the next CR in one go.
        const char* from = t->raw.data() + t->pos;
        const std::size_t room = std::min(size - out, t->len - t->pos);
        const void* cr = std::memchr(from, '\r', room);
        const std::size_t run =
            cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - from) : room;
        std::memcpy(buffer + out, from, run);
        out += run;
        t->pos += run;
        if (cr == nullptr) continue;
        ++t->pos;  // the CR itself
        if (t->pos == t->len)
            t->pendingCr = true;
        else if (t->raw[t->pos] != '\n')
            buffer[out++] = '\r';
    }
    if (out == 0 && std::ferror(t->file)) return -1;
    return static_cast<ssize_t>(out);
}

int TextClose(void* cookie) {
    std::unique_ptr<TextReader> t(static_cast<TextReader*>(cookie));
    return std::fclose(t->file);
}

FILE* OpenStream(const std::string& host, std::string mode) {
    // ",ccs=..." names the encoding the handheld decodes on the fly; callers here decode.
    const std::size_t comma = mode.find(',');
    if (comma != std::string::npos) mode.erase(comma);
    const bool binary = mode.find('b') != std::string::npos;
    mode.erase(std::remove(mode.begin(), mode.end(), 't'), mode.end());
    if (mode.empty() || std::strchr("rwa", mode[0]) == nullptr)
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    FILE* f = std::fopen(host.c_str(), (mode + "e").c_str());  // close on exec
    if (f == nullptr) return Fail<FILE*>(nullptr);
    const bool readOnly = mode[0] == 'r' && mode.find('+') == std::string::npos;
    if (binary || !readOnly) return f;
    auto reader = std::make_unique<TextReader>();
    reader->file = f;
    cookie_io_functions_t io{};
    io.read = TextRead;
    io.close = TextClose;
    FILE* text = fopencookie(reader.get(), "r", io);
    if (text == nullptr) {
        std::fclose(f);
        return Fail<FILE*>(nullptr);
    }
    reader.release();  // owned by the stream now, freed by TextClose
    return text;
}

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

HANDLE FindFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* found) {
    if (pattern == nullptr || found == nullptr || *pattern == L'\0') {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    const std::wstring pat(pattern);
    std::size_t cut = pat.size();
    while (cut > 0 && !IsSeparator(pat[cut - 1]))
        --cut;
    const std::wstring folder = pat.substr(0, cut);  // with its separator, or empty
    const std::wstring name = pat.substr(cut);
    if (name.empty() || name == L"." || name == L"..") {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    }
    auto search = std::make_shared<Search>();
    if (name.find_first_of(L"*?") == std::wstring::npos) {
        const std::string host = Host(pattern);
        struct statx st;
        if (!StatPath(host, st) && !StatPath(host, st, AT_SYMLINK_NOFOLLOW)) {
            return Fail(INVALID_HANDLE_VALUE);
        }
        search->entries.emplace_back();
        Fill(search->entries.back(), name, host, st);
    } else {
        const std::string hostFolder =
            folder.empty() ? std::string(".") : Host((folder + L".").c_str());
        DIR* dir = opendir(hostFolder.c_str());
        if (dir == nullptr) return Fail(INVALID_HANDLE_VALUE);
        while (const dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            const std::wstring entry = fieldkit::Utf8ToWide(e->d_name);
            if (!WildcardMatch(name, entry)) continue;
            const std::string host = hostFolder + "/" + e->d_name;
            struct statx st;
            if (!StatPath(host, st, AT_SYMLINK_NOFOLLOW)) continue;
            search->entries.emplace_back();
            Fill(search->entries.back(), entry, host, st);
        }
        closedir(dir);
        std::sort(search->entries.begin(), search->entries.end(),
                  [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
                      return std::wcscmp(a.cFileName, b.cFileName) < 0;
                  });
        if (search->entries.empty()) return FailWith(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    }
    *found = search->entries[0];
    search->next = 1;
    return AddHandle(std::move(search));
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
    const std::string host = Host(path);
    struct statx st;
    if (!StatPath(host, st)) return Fail(INVALID_FILE_ATTRIBUTES);
    return Attributes(host, st);
}

BOOL SetFileAttributesW(const wchar_t* path, DWORD attributes) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    const std::string host = Host(path);
    struct statx st;
    if (!StatPath(host, st)) return Fail(FALSE);
    mode_t mode = st.stx_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(0222);
    else if (IsReadOnlyMode(mode))
        mode |= S_IWUSR;
    if (mode != (st.stx_mode & 07777) && chmod(host.c_str(), mode) != 0) return Fail(FALSE);
    // Where the file system keeps no extended attributes, the hidden flag is simply lost.
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        setxattr(host.c_str(), kHiddenXattr, "1", 1, 0);
    else
        removexattr(host.c_str(), kHiddenXattr);
    return TRUE;
}

BOOL CreateDirectoryW(const wchar_t* path, LPSECURITY_ATTRIBUTES) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    return mkdir(Host(path).c_str(), 0777) == 0 ? TRUE : Fail(FALSE);
}

BOOL RemoveDirectoryW(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    const std::string host = Host(path);
    if (host == fieldkit::host::GetDeviceRoot()) return FailWith(FALSE, ERROR_ACCESS_DENIED);
    return rmdir(host.c_str()) == 0 ? TRUE : Fail(FALSE);
}

BOOL DeleteFileW(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    const std::string host = Host(path);
    struct statx st;
    if (!StatPath(host, st, AT_SYMLINK_NOFOLLOW)) return Fail(FALSE);
    if (S_ISDIR(st.stx_mode)) return FailWith(FALSE, ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.stx_mode) && IsReadOnlyMode(st.stx_mode)) {
        return FailWith(FALSE, ERROR_ACCESS_DENIED);
    }
    return unlink(host.c_str()) == 0 ? TRUE : Fail(FALSE);
}

BOOL CopyFileW(const wchar_t* from, const wchar_t* to, BOOL failIfExists) {
    if (from == nullptr || to == nullptr || *from == L'\0' || *to == L'\0') {
        return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    }
    const std::string src = Host(from);
    const std::string dst = Host(to);
    const int in = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(FALSE);
    const File source(in);
    struct statx st, target;
    if (!StatFd(in, st)) return Fail(FALSE);
    if (S_ISDIR(st.stx_mode)) return FailWith(FALSE, ERROR_ACCESS_DENIED);
    if (StatPath(dst, target)) {
        if (failIfExists) return FailWith(FALSE, ERROR_FILE_EXISTS);
        // Copying a file onto itself would truncate it before it is read.
        if (target.stx_ino == st.stx_ino && target.stx_dev_major == st.stx_dev_major &&
            target.stx_dev_minor == st.stx_dev_minor) {
            return FailWith(FALSE, ERROR_ACCESS_DENIED);
        }
        if (S_ISDIR(target.stx_mode) || IsReadOnlyMode(target.stx_mode)) {
            return FailWith(FALSE, ERROR_ACCESS_DENIED);
        }
    }
    const int out = open(
        dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0), 0666);
    if (out < 0) return Fail(FALSE);
    bool ok = true;
    {
        const File target_file(out);
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const ssize_t got = read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            for (ssize_t done = 0; ok && done < got;) {
                const ssize_t put =
                    write(out, buffer.data() + done, static_cast<size_t>(got - done));
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0)
                    ok = false;
                else
                    done += put;
            }
            if (!ok) break;
        }
        const int error = errno;
        if (ok) {
            const struct timespec times[2] = {{st.stx_atime.tv_sec, st.stx_atime.tv_nsec},
                                              {st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec}};
            futimens(out, times);
            fchmod(out, st.stx_mode & 07777);
        }
        errno = error;
    }
    if (!ok) {
        const int error = errno;
        unlink(dst.c_str());  // no half-copied file is left behind
        return Fail(FALSE, error);
    }
    return TRUE;
}

BOOL MoveFileW(const wchar_t* from, const wchar_t* to) {
    if (from == nullptr || to == nullptr || *from == L'\0' || *to == L'\0') {
        return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    }
    const std::string dst = Host(to);
    struct statx st;
    if (StatPath(dst, st, AT_SYMLINK_NOFOLLOW)) return FailWith(FALSE, ERROR_ALREADY_EXISTS);
    return rename(Host(from).c_str(), dst.c_str()) == 0 ? TRUE : Fail(FALSE);
}

BOOL MoveFileExW(const wchar_t* from, const wchar_t* to, DWORD flags) {
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return MoveFileW(from, to);
    if (from == nullptr || to == nullptr || *from == L'\0' || *to == L'\0') {
        return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    }
    const std::string dst = Host(to);
    struct statx st;
    if (StatPath(dst, st, AT_SYMLINK_NOFOLLOW) && S_ISDIR(st.stx_mode)) {
        return FailWith(FALSE, ERROR_ACCESS_DENIED);
    }
    if (rename(Host(from).c_str(), dst.c_str()) != 0) return Fail(FALSE);
    if (flags & MOVEFILE_WRITE_THROUGH) {
        const std::size_t slash = dst.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : dst.substr(0, slash);
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            fsync(fd);
            ::close(fd);
        }
    }
    return TRUE;
}

HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD, HANDLE) {
    if (path == nullptr || *path == L'\0') {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    int flags = O_CLOEXEC;
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (creation) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            if (!write) return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
            flags |= O_TRUNC;
            break;
        default:
            return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    const std::string host = Host(path);
    struct statx before;
    const bool existed = StatPath(host, before);
    if (existed && S_ISDIR(before.stx_mode))
        return FailWith(INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
    const int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) return Fail(INVALID_HANDLE_VALUE);
    const HANDLE h = AddHandle(std::make_shared<File>(fd));
    // As on Win32, the "always" dispositions report an existing file through the last error.
    t_lastError = existed && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS)
                      ? ERROR_ALREADY_EXISTS
                      : ERROR_SUCCESS;
    return h;
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* got, void*) {
    const auto file = FindHandle<File>(handle);
    if (got) *got = 0;
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    if (buffer == nullptr && toRead > 0) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    DWORD total = 0;
    while (total < toRead) {
        const ssize_t n = read(file->fd, static_cast<char*>(buffer) + total, toRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(FALSE);
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (got) *got = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written, void*) {
    const auto file = FindHandle<File>(handle);
    if (written) *written = 0;
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    if (buffer == nullptr && toWrite > 0) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    DWORD total = 0;
    while (total < toWrite) {
        const ssize_t n =
            write(file->fd, static_cast<const char*>(buffer) + total, toWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = total;
            return Fail(FALSE, n < 0 ? errno : ENOSPC);
        }
        total += static_cast<DWORD>(n);
    }
    if (written) *written = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(INVALID_SET_FILE_POINTER, ERROR_INVALID_HANDLE);
    const int whence = method == FILE_BEGIN     ? SEEK_SET
                       : method == FILE_CURRENT ? SEEK_CUR
                       : method == FILE_END     ? SEEK_END
                                                : -1;
    if (whence < 0) return FailWith(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    const std::int64_t offset =
        distanceHigh
            ? static_cast<std::int64_t>(
                  (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                  static_cast<std::uint32_t>(distance))
            : static_cast<std::int64_t>(distance);
    const off_t at = lseek(file->fd, static_cast<off_t>(offset), whence);
    if (at < 0) return Fail(INVALID_SET_FILE_POINTER);
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(at) >> 32);
    t_lastError = ERROR_SUCCESS;
    return static_cast<DWORD>(static_cast<std::uint64_t>(at) & 0xFFFFFFFF);
}

BOOL FlushFileBuffers(HANDLE handle) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    return fsync(file->fd) == 0 ? TRUE : Fail(FALSE);
}

BOOL GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    struct statx st;
    if (!StatFd(file->fd, st)) return Fail(FALSE);
    if (creation) *creation = ToFileTime((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
    if (lastAccess) *lastAccess = ToFileTime(st.stx_atime);
    if (lastWrite) *lastWrite = ToFileTime(st.stx_mtime);
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(INVALID_FILE_SIZE, ERROR_INVALID_HANDLE);
    struct statx st;
    if (!StatFd(file->fd, st)) return Fail(INVALID_FILE_SIZE);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(st.stx_size >> 32);
    t_lastError = ERROR_SUCCESS;
    return static_cast<DWORD>(st.stx_size & 0xFFFFFFFF);
}

BOOL CloseHandle(HANDLE handle) {
    return fieldkit::detail::RemoveHandle(handle) ? TRUE : FailWith(FALSE, ERROR_INVALID_HANDLE);
}

namespace {

struct Mapping : fieldkit::detail::HandleObject {
    Mapping(int descriptor, std::uint64_t bytes, bool writable)
        : fd(descriptor), size(bytes), write(writable) {}
    ~Mapping() override { ::close(fd); }
    int fd;  // a duplicate: the mapping outlives a closed file handle
    std::uint64_t size;
    bool write;
};

// Views by address, for the length munmap needs.
struct Views {
    std::mutex mutex;
    std::map<const void*, std::size_t> sizes;
};

Views& OpenViews() {
    static Views views;
    return views;
}

}  // namespace

HANDLE CreateFileForMappingW(const wchar_t* path, DWORD access, DWORD shareMode,
                             LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags,
                             HANDLE templ) {
    return CreateFileW(path, access, shareMode, security, creation, flags, templ);
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, const wchar_t*) {
    const auto f = FindHandle<File>(file);
    if (f == nullptr) return FailWith<HANDLE>(nullptr, ERROR_INVALID_HANDLE);
    if (protect != PAGE_READONLY && protect != PAGE_READWRITE) {
        return FailWith<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    }
    struct statx st;
    if (!StatFd(f->fd, st)) return Fail<HANDLE>(nullptr);
    std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    if (size == 0) size = st.stx_size;
    if (size == 0) return FailWith<HANDLE>(nullptr, ERROR_FILE_INVALID);  // nothing to map
    const bool write = protect == PAGE_READWRITE;
    if (size > st.stx_size) {
        if (!write) return FailWith<HANDLE>(nullptr, ERROR_ACCESS_DENIED);
        if (ftruncate(f->fd, static_cast<off_t>(size)) != 0) return Fail<HANDLE>(nullptr);
    }
    const int fd = fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return Fail<HANDLE>(nullptr);
    return AddHandle(std::make_shared<Mapping>(fd, size, write));
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytes) {
    const auto m = FindHandle<Mapping>(mapping);
    if (m == nullptr) return FailWith<void*>(nullptr, ERROR_INVALID_HANDLE);
    const bool write = (access & FILE_MAP_WRITE) != 0;
    if (write && !m->write) return FailWith<void*>(nullptr, ERROR_ACCESS_DENIED);
    const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset > m->size || offset % static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) != 0) {
        return FailWith<void*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    const std::uint64_t length = bytes == 0 ? m->size - offset : bytes;
    if (length == 0 || offset + length > m->size) {
        return FailWith<void*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    void* view =
        mmap(nullptr, static_cast<std::size_t>(length), write ? PROT_READ | PROT_WRITE : PROT_READ,
             MAP_SHARED, m->fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) return Fail<void*>(nullptr);
    Views& v = OpenViews();
    std::lock_guard<std::mutex> lock(v.mutex);
    v.sizes[view] = static_cast<std::size_t>(length);
    return view;
}

BOOL UnmapViewOfFile(const void* view) {
    std::size_t length = 0;
    {
        Views& v = OpenViews();
        std::lock_guard<std::mutex> lock(v.mutex);
        const auto it = v.sizes.find(view);
        if (it == v.sizes.end()) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
        length = it->second;
        v.sizes.erase(it);
    }
    return munmap(const_cast<void*>(view), length) == 0 ? TRUE : Fail(FALSE);
}

FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || mode == nullptr || *path == L'\0') {
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    return OpenStream(Host(path), fieldkit::WideToUtf8(mode));
}

namespace fieldkit::detail {

FILE* DeviceFopen(const char* utf8Path, const char* mode) {
    if (utf8Path == nullptr || mode == nullptr || *utf8Path == '\0') {
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    return OpenStream(host::ToHostPath(CString(utf8Path)), mode);
}

bool WriteUnbuffered(FILE* file, const char* data, std::size_t size) {
    if (file == nullptr || (data == nullptr && size != 0)) return false;
    const int fd = fileno(file);
    if (fd < 0) return false;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool IsOnRemovableMedia(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return false;
    struct statx st;
    if (!StatPath(Host(path), st)) return false;
    // The block device of the file system; a partition's "removable" flag lives on its disk.
    const std::string dev = "/sys/dev/block/" + std::to_string(st.stx_dev_major) + ":" +
                            std::to_string(st.stx_dev_minor);
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
