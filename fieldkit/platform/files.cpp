#include "fieldkit/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "fieldkit/platform/detail/device_fs.h"
#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"

using fieldkit::detail::AddHandle;
using fieldkit::detail::DeviceEntry;
using fieldkit::detail::FindHandle;
using fieldkit::detail::IsSeparator;
using fieldkit::detail::LastLink;
using fieldkit::detail::NoThrow;
using fieldkit::detail::OpenDevicePath;
using fieldkit::detail::ProcPath;
using fieldkit::detail::ResolveEntry;
using fieldkit::detail::UniqueFd;

namespace {

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
        case ENXIO:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EILSEQ:
            return ERROR_INVALID_NAME;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case EIO:
            return ERROR_WRITE_FAULT;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// Records errno as the last error and answers `result`.
template <class T>
T Fail(T result, int e = errno) {
    SetLastError(FromErrno(e));
    return result;
}

template <class T>
T FailWith(T result, DWORD error) {
    SetLastError(error);
    return result;
}

bool IsReadOnlyMode(unsigned mode) {
    return (mode & 0222) == 0;
}

// ---- what a search reports ------------------------------------------------------------------

FILETIME ToFileTime(const struct statx_timestamp& t) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(t.tv_sec) + kSecondsFrom1601To1970) * 10000000 + t.tv_nsec / 100;
    const auto u = static_cast<std::uint64_t>(ticks < 0 ? 0 : ticks);
    return {static_cast<DWORD>(u & 0xFFFFFFFF), static_cast<DWORD>(u >> 32)};
}

bool StatAt(int folder, const char* name, struct statx& st) {
    return statx(folder, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
}

bool StatFd(int fd, struct statx& st) {
    return statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &st) == 0;
}

// Whether the file an open descriptor (of any kind, O_PATH too) names is marked hidden.
bool HiddenFd(int fd) {
    return getxattr(ProcPath(fd).c_str(), kHiddenXattr, nullptr, 0) >= 0;
}

// Whether the entry `name` of a folder is marked hidden; a link is not looked through.
bool HiddenAt(int folder, const std::string& name) {
    return lgetxattr(ProcPath(folder, name).c_str(), kHiddenXattr, nullptr, 0) >= 0;
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

// The entries of a folder (given by any descriptor) whose names match `pattern` (every entry
// when it is null), sorted by name. Links are reported as themselves.
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

// ---- changing entries by name in their folder -------------------------------------------------

BOOL DeleteAt(int folder, const std::string& name, bool exists, const struct stat& st) {
    if (!exists) return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
    if (name == "." || S_ISDIR(st.st_mode)) return FailWith(FALSE, ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)) {
        return FailWith(FALSE, ERROR_ACCESS_DENIED);
    }
    return unlinkat(folder, name.c_str(), 0) == 0 ? TRUE : Fail(FALSE);
}

BOOL RemoveFolderAt(int folder, const std::string& name, bool exists) {
    if (!exists) return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
    // The device root (or a folder named as itself) is never removed.
    if (name == ".") return FailWith(FALSE, ERROR_ACCESS_DENIED);
    return unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 ? TRUE : Fail(FALSE);
}

// Sets the attributes of the file an O_PATH descriptor names (never a link).
BOOL SetAttributesOf(int fd, DWORD attributes) {
    struct stat st;
    if (fstat(fd, &st) != 0) return Fail(FALSE);
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(0222);
    else if (IsReadOnlyMode(mode))
        mode |= S_IWUSR;
    const std::string path = ProcPath(fd);
    if (mode != (st.st_mode & 07777) && chmod(path.c_str(), mode) != 0) return Fail(FALSE);
    // Where the file system keeps no extended attributes, the hidden flag is simply lost.
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        setxattr(path.c_str(), kHiddenXattr, "1", 1, 0);
    else
        removexattr(path.c_str(), kHiddenXattr);
    return TRUE;
}

// ---- copying and replacing whole files ------------------------------------------------------

// A random name beside `name`, unlikely to be taken; O_EXCL makes sure.
std::string RandomName(const std::string& name) {
    // One random seed per process and a counter: unique among this process's names, and
    // unlikely to meet another's; O_EXCL settles the rest.
    static const std::uint64_t seed = [] {
        std::uint64_t random = 0;
        if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
            random = static_cast<std::uint64_t>(
                         std::chrono::steady_clock::now().time_since_epoch().count()) ^
                     (static_cast<std::uint64_t>(getpid()) << 32);
        }
        return random;
    }();
    static std::atomic<std::uint64_t> counter{0};
    // The process id keeps a forked child, which inherits seed and counter, from repeating its
    // parent's names.
    std::uint64_t random = (seed ^ static_cast<std::uint64_t>(getpid()) << 40) +
                           counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ULL;
    random ^= random >> 29;  // spread the counter over the digits that are shown
    char hex[17];
    for (int i = 15; i >= 0; --i) {
        hex[i] = "0123456789abcdef"[random & 0xF];
        random >>= 4;
    }
    hex[16] = '\0';
    const std::string beside = name + "." + std::string(hex, 8) + ".tmp~";
    return beside.size() <= 255 ? beside : "~" + std::string(hex) + ".tmp~";
}

// The temporary of slot `slot` beside `name`: the same names for every save of one target, so
// that a save finds what a killed one left and can sweep it. The target's name comes first, so
// a leftover tells what it was; names have 255 bytes at most, a longer one is hashed.
std::string SlotName(const std::string& name, int slot) {
    std::string beside = name + "." + std::to_string(slot) + ".tmp~";
    if (beside.size() <= 255) return beside;
    std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char hex[17];
    for (int i = 15; i >= 0; --i, hash >>= 4)
        hex[i] = "0123456789abcdef"[hash & 0xF];
    hex[16] = '\0';
    return "~" + std::string(hex) + "." + std::to_string(slot) + ".tmp~";
}

// Whether the entry `name` of `folder` is still the file open as `fd`.
bool NamesFile(int folder, const std::string& name, int fd) {
    struct stat byName;
    struct stat open;
    return fstatat(folder, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstat(fd, &open) == 0 && byName.st_dev == open.st_dev && byName.st_ino == open.st_ino;
}

// The temporary `name` is taken. A save that is writing it holds its lock; when nobody does,
// a killed save left it: it is removed (while the lock is held, so that no save can take it
// meanwhile). True when the name is free now.
bool SweepLeftover(int folder, const std::string& name) {
    const UniqueFd fd(
        openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    // A link or anything but a file of that name is not ours to remove.
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return false;
    if (!NamesFile(folder, name, fd.Get())) return false;
    return unlinkat(folder, name.c_str(), 0) == 0;
}

// Slots tried before a save falls back to a random name (many saves of one file at once).
constexpr int kSlots = 16;

// Creates a new temporary beside the entry `name` of `folder`, open for reading and writing
// and locked for as long as it stays open (so that no other save takes it for a leftover);
// `status` is the new file's. Never opens an existing file or follows a link (O_EXCL). -1 with
// errno on failure.
int CreateTemporary(int folder, const std::string& name, mode_t mode, std::string& temp,
                    struct stat& status) {
    const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    for (int slot = 0, tries = 0; slot < kSlots && tries < 4 * kSlots; ++tries) {
        temp = SlotName(name, slot);
        UniqueFd fd(openat(folder, temp.c_str(), flags, mode));
        if (!fd.Valid()) {
            if (errno != EEXIST) return -1;
            if (!SweepLeftover(folder, temp)) ++slot;  // another save's, or not ours
            continue;
        }
        // Only a save sweeping this slot can hold the lock, and only for a moment. Where the
        // file system has no locks, nobody sweeps.
        while (flock(fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        // That save may have taken the new file for a leftover before it was locked: then it
        // is gone (no name is left to it), and the slot is tried again.
        if (fstat(fd.Get(), &status) != 0) return -1;
        if (status.st_nlink > 0) return fd.Release();
    }
    for (int attempt = 0; attempt < 32; ++attempt) {
        temp = RandomName(name);
        const int fd = openat(folder, temp.c_str(), flags, mode);
        if (fd >= 0 || errno != EEXIST) return fd >= 0 && fstat(fd, &status) != 0 ? -1 : fd;
    }
    return -1;
}

// A new file without a name in `folder` (O_TMPFILE): nothing is left of it if the process dies
// before it is given one. -1 with EOPNOTSUPP where the file system or kernel cannot make one.
int CreateAnonymous(int folder, mode_t mode) {
    const int fd = openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd < 0 && (errno == EISDIR || errno == EINVAL || errno == ENOENT)) errno = EOPNOTSUPP;
    return fd;
}

// Gives the file without a name open as `fd` the free name `name` in `folder`; EEXIST when the
// name is taken (nothing is replaced).
bool LinkAnonymous(int fd, int folder, const std::string& name) {
    if (linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return true;
    // Without the privilege that takes, the file is named through /proc.
    if (errno != ENOENT && errno != EPERM) return false;
    return linkat(AT_FDCWD, ProcPath(fd).c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies the rest of one file into another, in the kernel where it can.
bool CopyData(int in, int out) {
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        if (inKernel) {
            const ssize_t n = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
            if (n > 0) continue;
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != ETXTBSY) {
                return false;
            }
            inKernel = false;
            // Failures here are told through errno, so that every caller removes what it
            // half copied.
            if (!NoThrow([&] { buffer.resize(1 << 16); })) {
                errno = ENOMEM;
                return false;
            }
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) return false;
    }
}

bool CopyTimes(int out, const struct stat& from) {
    const struct timespec times[2] = {from.st_atim, from.st_mtim};
    return futimens(out, times) == 0;
}

// Whether the user `self` (this process's effective user) may replace the existing file `name`
// (status `old`) of `folder`. Renaming over a file needs only the folder's permission;
// replacing it must need the file's own, as writing it in place would. Asked at each call: a
// process may change its user.
bool MayReplace(int folder, const std::string& name, const struct stat& old, uid_t self) {
    if (!S_ISREG(old.st_mode) || IsReadOnlyMode(old.st_mode)) {
        errno = S_ISDIR(old.st_mode) ? EISDIR : EACCES;
        return false;
    }
    if (self == 0 || (old.st_uid == self && (old.st_mode & S_IWUSR) != 0)) return true;
    // The kernel answers for the effective user and every group, supplementary ones too.
    return faccessat(folder, name.c_str(), W_OK, AT_EACCESS) == 0;
}

// A new version of a file, written beside it and put in its place in one step.
class Replacement {
  public:
    Replacement() = default;
    ~Replacement() { Abort(); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Starts replacing the entry `name` of `folder` (which must stay open until the end, see
    // KeepFolder), described by `old` when it exists. A link there is replaced itself (the
    // callers that write through links resolve them first). With `keepHidden` the old file's
    // hidden mark carries over. A name that is free is taken without replacing anything (the
    // new file has no name until then, where the file system allows); when another writer put
    // a file there meanwhile, it is replaced only with `replaceNew` (and when this process
    // may), else EEXIST.
    bool Begin(int folder, const std::string& name, bool exists, const struct stat& old,
               bool keepHidden, bool replaceNew = true) {
        if (name == "." || (exists && S_ISDIR(old.st_mode))) {
            errno = EISDIR;
            return false;
        }
        m_exists = exists;
        m_keep = exists && !S_ISLNK(old.st_mode);
        if (m_keep && (!S_ISREG(old.st_mode) || IsReadOnlyMode(old.st_mode))) {
            errno = EACCES;
            return false;
        }
        m_old = old;
        m_replaceNew = replaceNew;
        m_folder = folder;
        m_name = name;
        const mode_t mode = m_keep ? 0600 : 0666;
        if (!exists) {
            const int fd = CreateAnonymous(folder, mode);
            if (fd >= 0) {
                m_file.Reset(fd);
                m_pending = true;
                return true;
            }
            if (errno != EOPNOTSUPP) return false;
        }
        std::string temp;
        const int fd = CreateTemporary(folder, name, mode, temp, m_new);
        if (fd < 0) return false;
        m_file.Reset(fd);
        m_temp = std::move(temp);  // allocates nothing: the new file is never lost
        m_pending = true;
        // The new file's owner is the user this process writes as now.
        if (m_keep && !MayReplace(folder, name, old, m_new.st_uid)) return Failed();
        m_hidden = keepHidden && m_keep && HiddenAt(folder, name);
        return true;
    }

    // Makes the replacement own the folder descriptor given to Begin.
    void KeepFolder(UniqueFd folder) { m_ownFolder = std::move(folder); }

    int Fd() const { return m_file.Get(); }

    // The permissions the new version gets instead of the old file's.
    void SetMode(mode_t mode) {
        m_mode = mode;
        m_hasMode = true;
    }

    // Flushes the new version to disk, gives it its mode, the old file's owner where permitted
    // and its hidden mark, and puts it in place; with `syncFolder` the rename itself is made
    // durable too.
    bool Commit(bool syncFolder) { return Flush() && Install(syncFolder); }

    bool Flush() {
        if (!m_pending) {
            errno = EBADF;
            return false;
        }
        return fsync(m_file.Get()) == 0 || Failed();
    }

    // Commit without the flush, for new versions already flushed together (see Hold) and new
    // files, which are not flushed one by one.
    bool Install(bool syncFolder) {
        if (!m_pending) {
            errno = EBADF;
            return false;
        }
        const int fd = m_file.Get();
        if (m_keep && (m_old.st_uid != m_new.st_uid || m_old.st_gid != m_new.st_gid)) {
            // Not permitted for others than the owner and root: the file stays ours then.
            if (fchown(fd, m_old.st_uid, m_old.st_gid) != 0) errno = 0;
        }
        // Marked before a read-only mode could forbid it.
        if (m_hidden) fsetxattr(fd, kHiddenXattr, "1", 1, 0);
        if (m_hasMode || m_keep) {
            if (fchmod(fd, m_hasMode ? m_mode : (m_old.st_mode & 07777)) != 0) return Failed();
        }
        if (!(m_exists ? Rename() : PlaceNew())) return Failed();
        m_pending = false;
        if (syncFolder) {
            const UniqueFd dir(openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (dir.Valid()) fsync(dir.Get());
        }
        return true;
    }

    // Removes the new version unless it was put in place.
    void Abort() {
        if (!m_pending) return;
        m_pending = false;
        if (m_temp.empty()) return;  // a file without a name goes with its descriptor
        // Only while the name is still the file written: nothing else is ever deleted.
        const int saved = errno;
        if (NamesFile(m_folder, m_temp, m_file.Get())) unlinkat(m_folder, m_temp.c_str(), 0);
        errno = saved;
    }

  private:
    bool Failed() {
        Abort();
        return false;
    }

    bool Rename() const {
        return renameat(m_folder, m_temp.c_str(), m_folder, m_name.c_str()) == 0;
    }

    // The target's name was free: taken without replacing what another writer put there.
    bool PlaceNew() {
        const char* name = m_name.c_str();
        if (m_temp.empty()) {
            if (LinkAnonymous(m_file.Get(), m_folder, m_name)) return true;
            return errno == EEXIST && ReplaceNewcomer();
        }
        const char* temp = m_temp.c_str();
        if (renameat2(m_folder, temp, m_folder, name, RENAME_NOREPLACE) == 0) return true;
        if (errno == EINVAL) {
            // A file system without that flag: a second name refuses to replace as well.
            if (linkat(m_folder, temp, m_folder, name, 0) != 0) {
                return errno == EEXIST && ReplaceNewcomer();
            }
            unlinkat(m_folder, temp, 0);
            return true;
        }
        return errno == EEXIST && ReplaceNewcomer();
    }

    // Another writer made the target meanwhile. This call was asked to write that name, so
    // it replaces the newcomer, on the terms an existing target has.
    bool ReplaceNewcomer() {
        struct stat now;
        if (!m_replaceNew) {
            errno = EEXIST;
            return false;
        }
        if (fstatat(m_folder, m_name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
        if (!S_ISLNK(now.st_mode) && !MayReplace(m_folder, m_name, now, geteuid())) return false;
        // A rename needs a name to take the file from.
        for (int attempt = 0; m_temp.empty() && attempt < 32; ++attempt) {
            const std::string temp = RandomName(m_name);
            if (LinkAnonymous(m_file.Get(), m_folder, temp)) m_temp = temp;
            if (m_temp.empty() && errno != EEXIST) return false;
        }
        return !m_temp.empty() && Rename();
    }

    UniqueFd m_ownFolder;  // declared before m_file: the file goes first
    int m_folder = -1;
    UniqueFd m_file;
    std::string m_name;
    std::string m_temp;      // the new file's name; empty while it has none
    bool m_pending = false;  // written, neither put in place nor removed yet
    struct stat m_old {};
    struct stat m_new {};  // the new file, when it has a name
    mode_t m_mode = 0;
    bool m_hasMode = false;
    bool m_exists = false;
    bool m_keep = false;
    bool m_hidden = false;
    bool m_replaceNew = true;
};

// New versions of files held back so that they reach the disk together: one flush of the file
// system for many files instead of one each, which a copy of a whole folder onto an older copy
// would otherwise pay per file. Each still replaces its target in one step, and a failure
// leaves every target not yet replaced as it was.
class HeldReplacements {
  public:
    bool Add(std::unique_ptr<Replacement> replacement) {
        m_held.push_back(std::move(replacement));
        return m_held.size() < MaxHeld() || PutInPlace();
    }

    // Flushes every held file, then renames each over its target, in the order they came.
    bool PutInPlace() {
        if (m_held.empty()) return true;
        std::vector<std::unique_ptr<Replacement>> held;
        held.swap(m_held);
        // syncfs writes back the whole file system and commits its journal once; where it
        // reports a failure, each file is flushed on its own so the failure is placed exactly.
        const bool flushed = syncfs(held.front()->Fd()) == 0;
        for (std::unique_ptr<Replacement>& r : held) {
            if (!(flushed || r->Flush()) || !r->Install(false)) return false;  // the rest go
        }
        return true;
    }

  private:
    // Each held file keeps a descriptor open: a quarter of what the process may open, so the
    // application keeps room for its own files.
    static std::size_t MaxHeld() {
        static const std::size_t most = [] {
            struct rlimit files {};
            if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
                return std::size_t{256};
            }
            return std::clamp<std::size_t>(static_cast<std::size_t>(files.rlim_cur / 4), 8, 1024);
        }();
        return most;
    }

    std::vector<std::unique_ptr<Replacement>> m_held;
};

// Copies an open regular file into the entry `name` of `folder`: written beside it and put in
// place in one step, over an existing file or, with `hold`, kept to be put in place with others.
// A new file takes a free name without replacing a file another writer put there meanwhile,
// unless that is a replacement the caller asked for (not `failIfExists`).
BOOL CopyOpenFile(int in, const struct stat& source, int folder, const std::string& name,
                  bool exists, const struct stat& old, bool failIfExists,
                  HeldReplacements* hold = nullptr) {
    if (exists) {
        if (failIfExists) return FailWith(FALSE, ERROR_FILE_EXISTS);
        // Copying a file onto itself would read what it is overwriting.
        if (old.st_dev == source.st_dev && old.st_ino == source.st_ino) {
            return FailWith(FALSE, ERROR_ACCESS_DENIED);
        }
    }
    auto replacement = std::make_unique<Replacement>();
    if (!replacement->Begin(folder, name, exists, old, false, !failIfExists) ||
        !CopyData(in, replacement->Fd()) || !CopyTimes(replacement->Fd(), source)) {
        return Fail(FALSE);
    }
    replacement->SetMode(source.st_mode & 07777);
    // New files are not flushed one by one, as a file written in place would not be.
    const bool done = !exists           ? replacement->Install(false)
                      : hold != nullptr ? hold->Add(std::move(replacement))
                                        : replacement->Commit(false);
    if (done) return TRUE;
    return errno == EEXIST ? FailWith(FALSE, ERROR_FILE_EXISTS) : Fail(FALSE);
}

// Copies the link `name` of one folder as a link to the entry `target` of another: a new link
// beside the target's name, renamed over it, so an old entry there is replaced in one step.
BOOL CopyLinkAt(int from, const std::string& name, int to, const std::string& target) {
    char text[4096];
    const ssize_t n = readlinkat(from, name.c_str(), text, sizeof text - 1);
    if (n < 0) return Fail(FALSE);
    text[n] = '\0';
    for (int attempt = 0; attempt < 32; ++attempt) {
        const std::string temp = RandomName(target);
        if (symlinkat(text, to, temp.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return Fail(FALSE);
        }
        if (renameat(to, temp.c_str(), to, target.c_str()) != 0) {
            const int error = errno;
            unlinkat(to, temp.c_str(), 0);
            return Fail(FALSE, error);
        }
        return TRUE;
    }
    return FailWith(FALSE, ERROR_ALREADY_EXISTS);
}

// ---- handles ---------------------------------------------------------------------------------

struct Search : fieldkit::detail::HandleObject {
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

struct File : fieldkit::detail::HandleObject {
    explicit File(int descriptor) : fd(descriptor) {}
    explicit File(std::unique_ptr<Replacement> r) : fd(r->Fd()), replacement(std::move(r)) {}
    ~File() override {
        if (replacement == nullptr && fd >= 0) ::close(fd);  // else the replacement owns it
    }
    int fd;
    std::unique_ptr<Replacement> replacement;  // the new version of a file, until committed
    bool committed = false;
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

// fopen of a device path. The mode is the C one, with the handheld's text mode.
FILE* OpenStream(std::wstring_view path, std::string mode) {
    // ",ccs=..." names the encoding the handheld decodes on the fly; callers here decode.
    const std::size_t comma = mode.find(',');
    if (comma != std::string::npos) mode.erase(comma);
    const bool binary = mode.find('b') != std::string::npos;
    mode.erase(std::remove(mode.begin(), mode.end(), 't'), mode.end());
    if (mode.empty() || std::strchr("rwa", mode[0]) == nullptr)
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    const bool update = mode.find('+') != std::string::npos;
    int flags = update ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY;
    if (mode[0] == 'w') flags |= O_CREAT | O_TRUNC;
    if (mode[0] == 'a') flags |= O_CREAT | O_APPEND;
    if (mode.find('x') != std::string::npos) flags |= O_EXCL;
    // fdopen takes the mode without what only open understands.
    mode.erase(
        std::remove_if(mode.begin(), mode.end(), [](char c) { return c == 'x' || c == 'e'; }),
        mode.end());
    // The text reader is made before the file is opened: nothing can throw after that.
    const bool readOnly = mode[0] == 'r' && !update;
    std::unique_ptr<TextReader> reader;
    if (!binary && readOnly) reader = std::make_unique<TextReader>();
    const int fd = OpenDevicePath(path, flags, 0666);
    if (fd < 0) return Fail<FILE*>(nullptr);
    FILE* f = fdopen(fd, mode.c_str());
    if (f == nullptr) {
        const int error = errno;
        ::close(fd);
        return Fail<FILE*>(nullptr, error);
    }
    if (reader == nullptr) return f;
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

struct StreamCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// The first block a text-mode whole-file read takes; it doubles from there.
constexpr std::size_t kFirstTextBlock = std::size_t{1} << 16;

}  // namespace

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

BOOL SetFileAttributesW(const wchar_t* path, DWORD attributes) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        const UniqueFd fd(OpenDevicePath(path, O_PATH));
        if (!fd.Valid()) return Fail(FALSE);
        return SetAttributesOf(fd.Get(), attributes);
    });
}

BOOL CreateDirectoryW(const wchar_t* path, LPSECURITY_ATTRIBUTES) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry entry;
        if (!ResolveEntry(path, LastLink::Keep, entry)) return Fail(FALSE);
        if (entry.exists) return FailWith(FALSE, ERROR_ALREADY_EXISTS);
        return mkdirat(entry.folder.Get(), entry.name.c_str(), 0777) == 0 ? TRUE : Fail(FALSE);
    });
}

BOOL RemoveDirectoryW(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry entry;
        if (!ResolveEntry(path, LastLink::Keep, entry)) return Fail(FALSE);
        return RemoveFolderAt(entry.folder.Get(), entry.name, entry.exists);
    });
}

BOOL DeleteFileW(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry entry;
        if (!ResolveEntry(path, LastLink::Keep, entry)) return Fail(FALSE);
        return DeleteAt(entry.folder.Get(), entry.name, entry.exists, entry.status);
    });
}

BOOL CopyFileW(const wchar_t* from, const wchar_t* to, BOOL failIfExists) {
    if (from == nullptr || to == nullptr || *from == L'\0' || *to == L'\0') {
        return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        const UniqueFd in(OpenDevicePath(from, O_RDONLY));
        struct stat source;
        if (!in.Valid() || fstat(in.Get(), &source) != 0) return Fail(FALSE);
        DeviceEntry target;
        if (!ResolveEntry(to, LastLink::Follow, target)) return Fail(FALSE);
        if (target.name == ".") return FailWith(FALSE, ERROR_ACCESS_DENIED);
        return CopyOpenFile(in.Get(), source, target.folder.Get(), target.name, target.exists,
                            target.status, failIfExists != FALSE);
    });
}

BOOL MoveFileW(const wchar_t* from, const wchar_t* to) {
    if (from == nullptr || to == nullptr || *from == L'\0' || *to == L'\0') {
        return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry source;
        DeviceEntry target;
        if (!ResolveEntry(from, LastLink::Keep, source)) return Fail(FALSE);
        if (!source.exists) return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
        if (source.name == ".") return FailWith(FALSE, ERROR_ACCESS_DENIED);
        if (!ResolveEntry(to, LastLink::Keep, target)) return Fail(FALSE);
        if (target.exists) {
            // Only the same entry, named in another case, may be "moved" onto itself: that
            // renames it to the case asked for.
            std::vector<std::string> parts;
            struct stat a;
            struct stat b;
            const bool sameEntry =
                target.status.st_dev == source.status.st_dev &&
                target.status.st_ino == source.status.st_ino && target.name == source.name &&
                fstat(target.folder.Get(), &a) == 0 && fstat(source.folder.Get(), &b) == 0 &&
                a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
                fieldkit::detail::SplitDevicePath(to, parts) && !parts.empty() &&
                parts.back() != source.name;
            if (!sameEntry) return FailWith(FALSE, ERROR_ALREADY_EXISTS);
            const std::string& newCase = parts.back();
            return renameat(source.folder.Get(), source.name.c_str(), target.folder.Get(),
                            newCase.c_str()) == 0
                       ? TRUE
                       : Fail(FALSE);
        }
        // A target that appears meanwhile is not replaced either.
        const int out = source.folder.Get();
        const int into = target.folder.Get();
        if (renameat2(out, source.name.c_str(), into, target.name.c_str(), RENAME_NOREPLACE) == 0) {
            return TRUE;
        }
        if (errno != EINVAL) return Fail(FALSE);
        // A file system without that flag: the look above has to do.
        return renameat(out, source.name.c_str(), into, target.name.c_str()) == 0 ? TRUE
                                                                                  : Fail(FALSE);
    });
}

BOOL MoveFileExW(const wchar_t* from, const wchar_t* to, DWORD flags) {
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return MoveFileW(from, to);
    if (from == nullptr || to == nullptr || *from == L'\0' || *to == L'\0') {
        return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry source;
        DeviceEntry target;
        if (!ResolveEntry(from, LastLink::Keep, source)) return Fail(FALSE);
        if (!source.exists) return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
        if (!ResolveEntry(to, LastLink::Keep, target)) return Fail(FALSE);
        if (source.name == "." || target.name == "." ||
            (target.exists && S_ISDIR(target.status.st_mode))) {
            return FailWith(FALSE, ERROR_ACCESS_DENIED);
        }
        if (renameat(source.folder.Get(), source.name.c_str(), target.folder.Get(),
                     target.name.c_str()) != 0) {
            return Fail(FALSE);
        }
        if (flags & MOVEFILE_WRITE_THROUGH) {
            const UniqueFd folder(
                openat(target.folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (folder.Valid()) fsync(folder.Get());
        }
        return TRUE;
    });
}

HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD, HANDLE) {
    if (path == nullptr || *path == L'\0') {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
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
    return NoThrow(INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        // Handle and object first: once the file is created or emptied nothing may fail.
        fieldkit::detail::HandleReservation handle;
        auto file = std::make_shared<File>(-1);
        bool created = false;
        file->fd = OpenDevicePath(path, flags, 0666, &created);
        if (file->fd < 0) return Fail(INVALID_HANDLE_VALUE);
        // As on Win32, the "always" dispositions report an existing file through the last error.
        SetLastError(!created && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS)
                         ? ERROR_ALREADY_EXISTS
                         : ERROR_SUCCESS);
        return handle.Fill(std::move(file));
    });
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
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<std::uint64_t>(at) & 0xFFFFFFFF);
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
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(st.stx_size & 0xFFFFFFFF);
}

namespace {

struct Mapping : fieldkit::detail::HandleObject {
    Mapping(int descriptor, std::uint64_t bytes, bool writable)
        : fd(descriptor), size(bytes), write(writable) {}
    ~Mapping() override {
        if (fd >= 0) ::close(fd);
    }
    int fd;  // a duplicate: the mapping outlives a closed file handle
    std::uint64_t size;
    bool write;
};

// Views by address, for the length munmap needs.
struct Views {
    std::mutex mutex;
    std::map<const void*, std::size_t> sizes;
    // A view is the caller's memory until UnmapViewOfFile, not an object behind a handle: it
    // stays mapped, and known so that it can still be unmapped.
    void Forget() {}
};

Views& OpenViews() {
    return fieldkit::detail::ProcessState<Views>::Get();
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
    return NoThrow<HANDLE>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&]() -> HANDLE {
        // Handle and object first: a file grown below cannot be shrunk back.
        fieldkit::detail::HandleReservation handle;
        auto mapping = std::make_shared<Mapping>(-1, size, write);
        if (size > st.stx_size) {
            if (!write) return FailWith<HANDLE>(nullptr, ERROR_ACCESS_DENIED);
            // The blocks are taken now: a file grown sparse would meet a full disk only when
            // the view is written, and that is SIGBUS, not an error.
            const int error = posix_fallocate(f->fd, 0, static_cast<off_t>(size));
            if (error != 0) return Fail<HANDLE>(nullptr, error);
        }
        mapping->fd = fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
        if (mapping->fd < 0) return Fail<HANDLE>(nullptr);
        return handle.Fill(std::move(mapping));
    });
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
    if (!NoThrow([&] { v.sizes[view] = static_cast<std::size_t>(length); })) {
        munmap(view, static_cast<std::size_t>(length));  // a view nobody could unmap
        return FailWith<void*>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    }
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
    return NoThrow<FILE*>(nullptr, ERROR_NOT_ENOUGH_MEMORY,
                          [&] { return OpenStream(path, fieldkit::WideToUtf8(mode)); });
}

namespace fieldkit::detail {

FILE* DeviceFopen(const char* utf8Path, const char* mode) {
    if (utf8Path == nullptr || mode == nullptr || *utf8Path == '\0') {
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    // Bytes that are not UTF-8 reach the host name of the same bytes.
    return OpenStream(NameToDevice(utf8Path), mode);
}

std::size_t WriteUnbuffered(FILE* file, const char* data, std::size_t size) {
    if (file == nullptr || (data == nullptr && size != 0)) return 0;
    const int fd = fileno(file);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
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

HANDLE BeginReplaceFile(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry target;
        if (!ResolveEntry(path, LastLink::Follow, target)) return Fail(INVALID_HANDLE_VALUE);
        auto replacement = std::make_unique<Replacement>();
        if (!replacement->Begin(target.folder.Get(), target.name, target.exists, target.status,
                                true)) {
            return Fail(INVALID_HANDLE_VALUE);
        }
        replacement->KeepFolder(std::move(target.folder));
        return AddHandle(std::make_shared<File>(std::move(replacement)));
    });
}

BOOL CommitReplaceFile(HANDLE handle) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr || file->replacement == nullptr) {
        return FailWith(FALSE, ERROR_INVALID_HANDLE);
    }
    if (file->committed) return TRUE;
    if (!file->replacement->Commit(true)) return Fail(FALSE);
    file->committed = true;
    return TRUE;
}

bool IdentityOf(FILE* file, FileIdentity& identity) {
    struct stat st;
    if (file == nullptr || fstat(fileno(file), &st) != 0) return false;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    return true;
}

BOOL DeleteFileIfSame(const wchar_t* path, const FileIdentity& identity) {
    if (path == nullptr || *path == L'\0') return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    DeviceEntry entry;
    if (!ResolveEntry(path, LastLink::Keep, entry)) return Fail(FALSE);
    if (!entry.exists || S_ISLNK(entry.status.st_mode) || entry.status.st_dev != identity.device ||
        entry.status.st_ino != identity.inode) {
        return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
    }
    return DeleteAt(entry.folder.Get(), entry.name, entry.exists, entry.status);
}

WholeFile ReadWholeFile(const wchar_t* path, std::size_t limit, ReadMode mode, std::string& bytes) {
    bytes.clear();
    if (path == nullptr || *path == L'\0') {
        return FailWith(WholeFile::NotOpened, ERROR_INVALID_PARAMETER);
    }
    UniqueFd fd;
    std::unique_ptr<FILE, StreamCloser> text;
    const WholeFile result = NoThrow(WholeFile::NoMemory, ERROR_NOT_ENOUGH_MEMORY, [&] {
        std::size_t expected = kFirstTextBlock;
        if (mode == ReadMode::Text) {
            // Through the stream _wfopen gives, so both turn line ends into the same text. A CR
            // LF pair shrinks as it is read, so only the bytes read can tell the size.
            text.reset(OpenStream(path, "r"));
            if (text == nullptr) return WholeFile::NotOpened;
        } else {
            fd = UniqueFd(OpenDevicePath(path, O_RDONLY));
            struct stat st;
            if (!fd.Valid() || fstat(fd.Get(), &st) != 0) return Fail(WholeFile::NotOpened);
            if (static_cast<std::uint64_t>(st.st_size) > limit) {
                return FailWith(WholeFile::TooLarge, ERROR_FILE_INVALID);
            }
            expected = static_cast<std::size_t>(st.st_size);
        }
        // One byte more than allowed tells a file that grew meanwhile.
        bytes.resize(std::min(expected, limit) + 1);
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (got > limit) {
                    bytes.resize(limit);
                    return FailWith(WholeFile::TooLarge, ERROR_FILE_INVALID);
                }
                bytes.resize(std::min(limit + 1, bytes.size() * 2));
            }
            const std::size_t room = bytes.size() - got;
            ssize_t n = 0;
            if (text != nullptr) {
                n = static_cast<ssize_t>(std::fread(&bytes[got], 1, room, text.get()));
                if (n == 0 && std::ferror(text.get())) n = -1;
            } else {
                n = ::read(fd.Get(), &bytes[got], room);
                if (n < 0 && errno == EINTR) continue;
            }
            if (n < 0) {
                const int error = errno;
                bytes.resize(got);
                return Fail(WholeFile::Cut, error);
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return WholeFile::Read;
    });
    if (result == WholeFile::NoMemory) bytes.clear();
    return result;
}

// ---- folders held open for tree walks --------------------------------------------------------

struct DeviceFolder::State {
    UniqueFd fd;  // O_PATH
    bool holding = false;
    HeldReplacements held;
    // Folded names of the folder's entries, read when a name first misses, so that a walk
    // writing many new names does not read the folder again for each. Only ever complete: a
    // list missing a name would let a name in another case make a second entry.
    using Names = std::unordered_map<std::wstring, std::string>;
    std::unique_ptr<Names> names;

    static void Add(Names& to, const std::string& name) {
        const std::wstring folded = FoldedName(name);
        if (folded.empty()) return;
        const auto it = to.find(folded);
        if (it == to.end() || name < it->second) to[folded] = name;
    }

    // A name made in the folder. Without the memory to note it the list is dropped, to be read
    // again at the next miss.
    void Remember(const std::string& name) {
        if (names != nullptr && !NoThrow([&] { Add(*names, name); })) names.reset();
    }

    // The entry `name` as device names match; `actual` is its name in the folder.
    bool Find(const std::string& name, std::string& actual, struct stat& st, bool& found) {
        actual = name;
        found = false;
        if (fstatat(fd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            found = true;
            return true;
        }
        if (errno != ENOENT) return false;
        if (names == nullptr) {
            auto listed = std::make_unique<Names>();  // kept once read whole
            const int list = openat(fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            DIR* dir = list >= 0 ? fdopendir(list) : nullptr;
            if (dir == nullptr) {
                if (list >= 0) ::close(list);
                names = std::move(listed);
                return true;
            }
            const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
            while (const dirent* e = readdir(dir)) {
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    Add(*listed, e->d_name);
            }
            names = std::move(listed);
        }
        const std::wstring folded = FoldedName(name);
        const auto it = folded.empty() ? names->end() : names->find(folded);
        if (it == names->end()) return true;
        if (fstatat(fd.Get(), it->second.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            names->erase(it);  // gone meanwhile: the name is free
            return true;
        }
        actual = it->second;
        found = true;
        return true;
    }

    struct Entry {
        std::string name;  // as it stands in the folder
        struct stat status {};
        bool exists = false;
    };

    // Runs `use` on the entry `name` of an open folder, found as device names are; a closed
    // folder, a null name, a failed look and a lack of memory fail alike.
    template <class F>
    static BOOL OnEntry(State* state, const wchar_t* name, F&& use) {
        if (state == nullptr || !state->fd.Valid() || name == nullptr) {
            return FailWith(FALSE, ERROR_INVALID_PARAMETER);
        }
        return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&]() -> BOOL {
            Entry entry;
            std::string host;
            if (!NameToHost(name, host) ||
                !state->Find(host, entry.name, entry.status, entry.exists)) {
                return Fail(FALSE);
            }
            return use(entry);
        });
    }
};

DeviceFolder::DeviceFolder() = default;
DeviceFolder::~DeviceFolder() = default;
DeviceFolder::DeviceFolder(DeviceFolder&& other) noexcept = default;
DeviceFolder& DeviceFolder::operator=(DeviceFolder&& other) noexcept = default;

bool DeviceFolder::IsOpen() const {
    return m_state != nullptr && m_state->fd.Valid();
}

bool DeviceFolder::OpenParent(const wchar_t* path, std::wstring& name) {
    m_state.reset();
    if (path == nullptr) return FailWith(false, ERROR_INVALID_PARAMETER);
    return NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&] {
        DeviceEntry entry;
        if (!ResolveEntry(path, LastLink::Keep, entry)) return Fail(false);
        name = NameToDevice(entry.name);
        m_state = std::make_unique<State>();
        m_state->fd = std::move(entry.folder);
        return true;
    });
}

bool DeviceFolder::OpenSub(const DeviceFolder& parent, const wchar_t* name) {
    m_state.reset();
    if (!parent.IsOpen() || name == nullptr) return FailWith(false, ERROR_INVALID_PARAMETER);
    return NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&] {
        std::string host;
        std::string actual;
        struct stat st;
        bool found = false;
        if (!NameToHost(name, host) || !parent.m_state->Find(host, actual, st, found)) {
            return Fail(false);
        }
        if (!found) return FailWith(false, ERROR_PATH_NOT_FOUND);
        // Opened first and looked at after: what is held open is what the walk goes into,
        // whatever the name is swapped for meanwhile.
        UniqueFd fd(
            openat(parent.m_state->fd.Get(), actual.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.Valid() || fstat(fd.Get(), &st) != 0) return Fail(false);
        if (S_ISLNK(st.st_mode)) return Fail(false, ELOOP);
        if (!S_ISDIR(st.st_mode)) return FailWith(false, ERROR_ACCESS_DENIED);
        m_state = std::make_unique<State>();
        m_state->fd = std::move(fd);
        return true;
    });
}

bool DeviceFolder::CreateSub(DeviceFolder& parent, const wchar_t* name) {
    m_state.reset();
    if (!parent.IsOpen() || name == nullptr) return FailWith(false, ERROR_INVALID_PARAMETER);
    return NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&] {
        std::string wanted;
        std::string actual;
        struct stat st;
        bool found = false;
        if (!NameToHost(name, wanted) || !parent.m_state->Find(wanted, actual, st, found)) {
            return Fail(false);
        }
        if (!found) {
            if (mkdirat(parent.m_state->fd.Get(), wanted.c_str(), 0777) != 0 && errno != EEXIST) {
                return Fail(false);
            }
            parent.m_state->Remember(wanted);
        }
        return OpenSub(parent, name);
    });
}

bool DeviceFolder::List(std::vector<WIN32_FIND_DATAW>& entries) const {
    entries.clear();
    if (!IsOpen()) return FailWith(false, ERROR_INVALID_HANDLE);
    const bool listed = NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&] {
        return ListFolder(m_state->fd.Get(), nullptr, entries) ? true : Fail(false);
    });
    if (!listed) entries.clear();  // a listing cut short by a lack of memory
    return listed;
}

BOOL DeviceFolder::DeleteEntry(const wchar_t* name) {
    return State::OnEntry(m_state.get(), name, [&](const State::Entry& e) {
        return DeleteAt(m_state->fd.Get(), e.name, e.exists, e.status);
    });
}

BOOL DeviceFolder::RemoveSub(const wchar_t* name) {
    return State::OnEntry(m_state.get(), name, [&](const State::Entry& e) {
        return RemoveFolderAt(m_state->fd.Get(), e.name, e.exists);
    });
}

BOOL DeviceFolder::SetEntryAttributes(const wchar_t* name, DWORD attributes) {
    return State::OnEntry(m_state.get(), name, [&](const State::Entry& e) {
        if (!e.exists) return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
        // O_NOFOLLOW: a link is refused here rather than changed through.
        const UniqueFd fd(
            openat(m_state->fd.Get(), e.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat now;
        if (!fd.Valid() || fstat(fd.Get(), &now) != 0) return Fail(FALSE);
        if (S_ISLNK(now.st_mode)) return FailWith(FALSE, ERROR_ACCESS_DENIED);
        return SetAttributesOf(fd.Get(), attributes);
    });
}

BOOL DeviceFolder::CopyEntry(const wchar_t* name, DeviceFolder& target) {
    if (!target.IsOpen()) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    return State::OnEntry(m_state.get(), name, [&](const State::Entry& e) {
        if (!e.exists) return FailWith(FALSE, ERROR_FILE_NOT_FOUND);
        State::Entry to;
        if (!target.m_state->Find(e.name, to.name, to.status, to.exists)) return Fail(FALSE);
        if (to.exists && S_ISDIR(to.status.st_mode)) return FailWith(FALSE, ERROR_ACCESS_DENIED);
        BOOL copied = FALSE;
        if (S_ISLNK(e.status.st_mode)) {
            copied = CopyLinkAt(m_state->fd.Get(), e.name, target.m_state->fd.Get(), to.name);
        } else if (!S_ISREG(e.status.st_mode)) {
            return FailWith(FALSE, ERROR_ACCESS_DENIED);
        } else {
            struct stat source;
            const UniqueFd in(OpenRegularAt(m_state->fd.Get(), e.name, O_RDONLY, 0, &source));
            if (!in.Valid()) return Fail(FALSE);
            HeldReplacements* hold = target.m_state->holding ? &target.m_state->held : nullptr;
            copied = CopyOpenFile(in.Get(), source, target.m_state->fd.Get(), to.name, to.exists,
                                  to.status, false, hold);
        }
        if (copied && !to.exists) target.m_state->Remember(to.name);
        return copied;
    });
}

void DeviceFolder::HoldReplacements() {
    if (IsOpen()) m_state->holding = true;
}

BOOL DeviceFolder::PutReplacementsInPlace() {
    if (!IsOpen()) return TRUE;
    m_state->holding = false;
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY,
                   [&] { return m_state->held.PutInPlace() ? TRUE : Fail(FALSE); });
}

bool DeviceFolder::LiesOnPath(const wchar_t* path) const {
    if (!IsOpen() || path == nullptr) return false;
    return NoThrow(false, [&] {
        struct stat self;
        std::vector<std::pair<dev_t, ino_t>> folders;
        if (fstat(m_state->fd.Get(), &self) != 0 || !FoldersOnPath(path, folders)) return false;
        return std::any_of(folders.begin(), folders.end(), [&](const std::pair<dev_t, ino_t>& f) {
            return f.first == self.st_dev && f.second == self.st_ino;
        });
    });
}

}  // namespace fieldkit::detail
