// The whole-file replacement: a temporary beside the target, flushed, given the old file's mode
// and owner, renamed over it; killed saves' leftovers swept. On its own to be reviewed as a whole.
#include "fieldkit/platform/detail/replace_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fieldkit/platform/detail/file_calls.h"
#include "fieldkit/platform/detail/nothrow.h"

namespace fieldkit::detail {

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

namespace {

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
}  // namespace

bool Replacement::Begin(int folder, const std::string& name, bool exists, const struct stat& old,
                        bool keepHidden, bool replaceNew) {
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

bool Replacement::Flush() {
    if (!m_pending) {
        errno = EBADF;
        return false;
    }
    return fsync(m_file.Get()) == 0 || Failed();
}

bool Replacement::Install(bool syncFolder) {
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

void Replacement::Abort() {
    if (!m_pending) return;
    m_pending = false;
    if (m_temp.empty()) return;  // a file without a name goes with its descriptor
    // Only while the name is still the file written: nothing else is ever deleted.
    const int saved = errno;
    if (NamesFile(m_folder, m_temp, m_file.Get())) unlinkat(m_folder, m_temp.c_str(), 0);
    errno = saved;
}

bool Replacement::Failed() {
    Abort();
    return false;
}

bool Replacement::Rename() const {
    return renameat(m_folder, m_temp.c_str(), m_folder, m_name.c_str()) == 0;
}

// The target's name was free: taken without replacing what another writer put there.
bool Replacement::PlaceNew() {
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
bool Replacement::ReplaceNewcomer() {
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

bool HeldReplacements::Add(std::unique_ptr<Replacement> replacement) {
    m_held.push_back(std::move(replacement));
    return m_held.size() < MaxHeld() || PutInPlace();
}

bool HeldReplacements::PutInPlace() {
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

std::size_t HeldReplacements::MaxHeld() {
    static const std::size_t most = [] {
        struct rlimit files {};
        if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
            return std::size_t{256};
        }
        return std::clamp<std::size_t>(static_cast<std::size_t>(files.rlim_cur / 4), 8, 1024);
    }();
    return most;
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

}  // namespace fieldkit::detail
