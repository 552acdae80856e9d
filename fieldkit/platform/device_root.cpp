#include "fieldkit/platform/detail/device_root.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>

#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"

namespace fieldkit::detail {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int UniqueFd::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (m_fd >= 0) {
        const int saved = errno;  // closing must not hide why a call failed
        ::close(m_fd);
        errno = saved;
    }
    m_fd = fd;
}

namespace {

// Links followed in one resolution, as the kernel allows.
constexpr int kMaxLinks = 40;

// How device paths are resolved: the open descriptor of the device root, reopened when the
// root is set anew or the folder it named was removed, and what is known of the kernel.
struct Resolver {
    fieldkit::detail::Mutex mutex;
    std::string path FIELDKIT_GUARDED_BY(mutex);
    std::shared_ptr<const UniqueFd> fd FIELDKIT_GUARDED_BY(mutex);
    std::atomic<bool> noOpenat2{false};  // learnt from the kernel; asked again after a reset
    std::atomic<bool> walkOnly{false};   // a test's choice: stays as set

    void Forget() {
        std::shared_ptr<const UniqueFd> gone;  // closed once its last user lets go
        {
            fieldkit::detail::LockGuard lock(mutex);
            gone = std::move(fd);
            path.clear();
        }
        noOpenat2.store(false);
    }
};

Resolver& ResolverState() {
    return ProcessState<Resolver>::Get();
}

// With `check`, a root folder removed (and perhaps made again under the same name) is noticed
// and opened anew; callers ask for that only after a failure, sparing every call a syscall.
std::shared_ptr<const UniqueFd> RootDescriptor(bool check = false) {
    const std::string root = host::GetDeviceRoot();
    Resolver& cache = ResolverState();
    fieldkit::detail::LockGuard lock(cache.mutex);
    if (cache.fd != nullptr && cache.path == root) {
        struct stat st;
        if (!check || (fstat(cache.fd->Get(), &st) == 0 && st.st_nlink > 0)) return cache.fd;
    }
    // Held at once: a lack of memory below closes it again and leaves the cache as it was.
    UniqueFd opened(open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!opened.Valid()) return nullptr;
    auto fd = std::make_shared<const UniqueFd>(std::move(opened));
    cache.path = root;
    cache.fd = std::move(fd);
    return cache.fd;
}

int Duplicate(int fd) {
    return fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

std::string Join(const std::vector<std::string>& parts, std::size_t count) {
    if (count == 0) return ".";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += '/';
        out += parts[i];
    }
    return out;
}

// openat2 inside the root; ENOSYS when the kernel lacks it (then never asked again).
int OpenInRoot(int root, const std::string& path, int flags, mode_t mode) {
    Resolver& resolver = ResolverState();
    if (resolver.walkOnly.load(std::memory_order_relaxed) ||
        resolver.noOpenat2.load(std::memory_order_relaxed)) {
        errno = ENOSYS;
        return -1;
    }
    struct open_how how {};
    how.flags = static_cast<decltype(how.flags)>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) != 0 ? mode : 0;
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0;; ++attempt) {
        const long fd = syscall(SYS_openat2, root, path.c_str(), &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        if (errno == EINTR) continue;
        // A rename elsewhere can make the kernel unsure that ".." stayed inside: ask again.
        if (errno == EAGAIN && attempt < 16) continue;
        if (errno == ENOSYS || errno == E2BIG) {
            resolver.noOpenat2.store(true, std::memory_order_relaxed);
            errno = ENOSYS;
        }
        return -1;
    }
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool AsciiEqualNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (y == 0) return false;
        const auto lx = static_cast<unsigned char>(x >= 'A' && x <= 'Z' ? x + 32 : x);
        const auto ly = static_cast<unsigned char>(y >= 'A' && y <= 'Z' ? y + 32 : y);
        if (lx != ly) return false;
    }
    return b[i] == '\0';
}

}  // namespace

namespace {

// The length of the valid UTF-8 sequence at s[i] (its character in `cp`), or 0. A valid
// sequence has no valid prefix, so the shortest piece the text layer takes is the sequence.
std::size_t Utf8Sequence(std::string_view s, std::size_t i, char32_t& cp) {
    for (std::size_t n = 1; n <= 4 && i + n <= s.size(); ++n) {
        const std::string_view piece = s.substr(i, n);
        if (!IsUtf8(piece)) continue;
        cp = static_cast<char32_t>(static_cast<std::uint32_t>(Utf8ToWide(piece)[0]));
        return n;
    }
    return 0;
}

constexpr char32_t kEscapeBase = 0xDC00;  // + a byte of 0x80..0xFF

}  // namespace

std::wstring NameToDevice(std::string_view host) {
    std::wstring out;
    out.reserve(host.size());
    for (std::size_t i = 0; i < host.size();) {
        char32_t cp = 0;
        const std::size_t n = Utf8Sequence(host, i, cp);
        if (n == 0) cp = kEscapeBase + static_cast<unsigned char>(host[i]);
        out.push_back(static_cast<wchar_t>(cp));
        i += n == 0 ? 1 : n;
    }
    return out;
}

bool NameToHost(std::wstring_view device, std::string& host) {
    host.clear();
    host.reserve(device.size());
    bool escaped = false;
    for (std::size_t i = 0; i < device.size(); ++i) {
        auto c = static_cast<char32_t>(static_cast<std::uint32_t>(device[i]));
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < device.size()) {
            // A pair, as text that came from UTF-16 holds it: one character.
            const auto next = static_cast<char32_t>(static_cast<std::uint32_t>(device[i + 1]));
            if (next >= 0xDC00 && next <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            host.push_back(static_cast<char>(c - kEscapeBase));
            escaped = true;
            continue;
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            errno = EILSEQ;
            return false;
        }
        AppendUtf8(host, c);
    }
    // Escaped bytes that form a character would name the file that character names.
    if (escaped && NameToDevice(host) != device) {
        errno = EILSEQ;
        return false;
    }
    return true;
}

std::wstring FoldedName(std::string_view name) {
    std::wstring wide = Utf8ToWide(name);
    if (WideToUtf8(wide) != name) return std::wstring();
    for (wchar_t& c : wide)
        c = ToWideLower(c);
    return wide;
}

namespace {

bool FolderItself(int folder, DeviceEntry& entry) {
    entry.folder.Reset(Duplicate(folder));
    if (!entry.folder.Valid()) return false;
    entry.name = ".";
    entry.exists = fstat(folder, &entry.status) == 0;
    return entry.exists;
}

bool ReadLinkAt(int folder, const std::string& name, std::string& target) {
    char buffer[4096];
    const ssize_t n = readlinkat(folder, name.c_str(), buffer, sizeof buffer);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) >= sizeof buffer) {
        errno = ENAMETOOLONG;
        return false;
    }
    target.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

// Walks the path one component at a time from the root, following every link itself. With
// `trail`, a missing component ends the walk successfully and the folders passed are listed.
bool Walk(int root, const std::vector<std::string>& components, LastLink last, DeviceEntry* entry,
          std::vector<std::pair<dev_t, ino_t>>* trail) {
    std::vector<UniqueFd> stack;  // folders below the root, deepest last
    const auto top = [&] { return stack.empty() ? root : stack.back().Get(); };
    const auto record = [&] {
        if (trail == nullptr) return true;
        trail->clear();
        struct stat st;
        if (fstat(root, &st) != 0) return false;
        trail->emplace_back(st.st_dev, st.st_ino);
        for (const UniqueFd& fd : stack) {
            if (fstat(fd.Get(), &st) != 0) return false;
            trail->emplace_back(st.st_dev, st.st_ino);
        }
        return true;
    };
    std::deque<std::string> todo(components.begin(), components.end());
    int links = 0;
    while (!todo.empty()) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        const bool isLast = todo.empty();
        if (part.empty() || part == "." || part == "..") {
            if (part == ".." && !stack.empty()) stack.pop_back();
            if (isLast) return trail ? record() : FolderItself(top(), *entry);
            continue;
        }
        std::string name;
        struct stat st {};
        bool found = false;
        if (!FindName(top(), part, name, st, found)) return false;
        if (!found) {
            if (trail) return record();
            if (!isLast) {
                errno = ENOENT;
                return false;
            }
            entry->folder.Reset(Duplicate(top()));
            entry->name = part;
            entry->exists = false;
            return entry->folder.Valid();
        }
        if (S_ISLNK(st.st_mode) && (!isLast || last == LastLink::Follow)) {
            if (++links > kMaxLinks) {
                errno = ELOOP;
                return false;
            }
            std::string target;
            if (!ReadLinkAt(top(), name, target)) return false;
            if (target.empty()) {
                errno = ENOENT;
                return false;
            }
            // An absolute target is a device path: it starts again at the root.
            if (target[0] == '/') stack.clear();
            std::vector<std::string> pieces;
            std::size_t start = 0;
            while (start <= target.size()) {
                const std::size_t slash = std::min(target.find('/', start), target.size());
                if (slash > start) pieces.push_back(target.substr(start, slash - start));
                start = slash + 1;
            }
            if (pieces.empty()) pieces.emplace_back(".");
            todo.insert(todo.begin(), pieces.begin(), pieces.end());
            continue;
        }
        if (isLast && trail == nullptr) {
            entry->folder.Reset(Duplicate(top()));
            entry->name = name;
            entry->exists = true;
            entry->status = st;
            return entry->folder.Valid();
        }
        if (!S_ISDIR(st.st_mode)) {
            if (trail) return record();
            errno = ENOTDIR;
            return false;
        }
        // Opened without following: a folder swapped for a link meanwhile is refused.
        UniqueFd next(openat(top(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.Valid()) return false;
        stack.push_back(std::move(next));  // closed again if the stack cannot grow
    }
    // No component at all: the root itself.
    return trail ? record() : FolderItself(top(), *entry);
}

bool Resolve(int root, const std::vector<std::string>& parts, LastLink last, DeviceEntry& entry) {
    if (parts.empty()) return FolderItself(root, entry);
    // The kernel resolves the folders in one step; the walk takes over where a name needs
    // matching without regard to case, or where the last component is a link to follow.
    const int folder = parts.size() == 1 ? Duplicate(root)
                                         : OpenInRoot(root, Join(parts, parts.size() - 1),
                                                      O_PATH | O_DIRECTORY, 0);
    if (folder < 0) {
        if (errno != ENOENT && errno != ENOSYS) return false;
        return Walk(root, parts, last, &entry, nullptr);
    }
    entry.folder.Reset(folder);
    if (!FindName(folder, parts.back(), entry.name, entry.status, entry.exists)) return false;
    if (entry.exists && S_ISLNK(entry.status.st_mode) && last == LastLink::Follow) {
        entry = DeviceEntry{};
        return Walk(root, parts, last, &entry, nullptr);
    }
    return true;
}

bool IsAllowedType(mode_t mode, int flags) {
    if ((flags & O_PATH) != 0) return true;
    if (S_ISREG(mode)) return (flags & O_DIRECTORY) == 0;
    return S_ISDIR(mode) && (flags & O_DIRECTORY) != 0;
}

// A descriptor just opened with O_NONBLOCK: kept when it is of a type asked for, else closed
// with EACCES. O_NONBLOCK stays set: it means nothing to regular files and folders, the only
// types kept, and clearing it would cost every open a system call. `status`, when given,
// receives the file's status.
int Checked(int fd, int flags, struct stat* status = nullptr) {
    if (fd < 0 || (flags & O_PATH) != 0) return fd;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !IsAllowedType(st.st_mode, flags)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (status != nullptr) *status = st;
    return fd;
}

// The flags every open gets: no controlling terminal, nothing that could block on a FIFO.
int OpenFlags(int flags) {
    return (flags & O_PATH) != 0 ? flags | O_CLOEXEC : flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
}

}  // namespace

bool SplitDevicePath(std::wstring_view path, std::vector<std::string>& components) {
    components.clear();
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && IsSeparator(path[i]))
            ++i;
        const std::size_t start = i;
        while (i < path.size() && !IsSeparator(path[i]))
            ++i;
        if (i == start) break;
        const std::wstring_view part = path.substr(start, i - start);
        if (part == L".") continue;
        if (part == L"..") {
            if (!components.empty()) components.pop_back();
            continue;
        }
        if (part.find(L'\0') != std::wstring_view::npos) {
            errno = EINVAL;
            return false;
        }
        std::string name;
        if (!NameToHost(part, name)) return false;
        components.push_back(std::move(name));
    }
    return true;
}

bool FindName(int folder, const std::string& name, std::string& actual, struct stat& status,
              bool& found) {
    actual = name;
    found = false;
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        found = true;
        return true;
    }
    if (errno != ENOENT) return false;
    // Only a miss pays for reading the folder.
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES;  // a folder we may not list hides nothing from us
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);  // closed too when a name throws
    const bool ascii = IsAscii(name);
    std::wstring folded;  // worked out when a name outside ASCII has to be compared
    bool haveFolded = false;
    std::string best;
    while (const dirent* e = readdir(dir)) {
        const char* n = e->d_name;
        if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0) continue;
        bool match = false;
        if (ascii && IsAscii(n)) {
            match = AsciiEqualNoCase(name, n);
        } else {
            if (!haveFolded) {
                folded = FoldedName(name);
                haveFolded = true;
            }
            match = !folded.empty() && FoldedName(n) == folded;
        }
        if (match && (best.empty() || std::strcmp(n, best.c_str()) < 0)) best = n;
    }
    closer.reset();
    if (best.empty()) return true;
    if (fstatat(folder, best.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;  // gone again: the name is free after all
    }
    actual = best;
    found = true;
    return true;
}

namespace {

// True when the cached root was removed and a folder of its name opened in its place: the
// caller that found nothing tries once more.
bool RootRenewed(const std::shared_ptr<const UniqueFd>& root) {
    const int saved = errno;
    const std::shared_ptr<const UniqueFd> now = RootDescriptor(true);
    errno = saved;
    return now != nullptr && now != root;
}

int OpenInside(int root, const std::vector<std::string>& parts, int flags, mode_t mode,
               bool* created) {
    const std::string joined = Join(parts, parts.size());
    const bool create = (flags & O_CREAT) != 0;
    const bool exclusive = create && (flags & O_EXCL) != 0;
    if (exclusive) {
        // Any entry of that name, a link included, makes a new file impossible.
        DeviceEntry entry;
        if (!Resolve(root, parts, LastLink::Keep, entry)) return -1;
        if (entry.exists) {
            errno = EEXIST;
            return -1;
        }
        const int fd = OpenRegularAt(entry.folder.Get(), entry.name, flags, mode);
        if (fd >= 0 && created != nullptr) *created = true;
        return fd;
    }
    // The exact path first, in one step; creating waits until a name in another case is ruled
    // out. A name that turns up between the look and the creation is looked at again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = OpenInRoot(root, joined, OpenFlags(flags) & ~O_CREAT, 0);
        if (fd >= 0) return Checked(fd, flags);
        if (errno != ENOENT && errno != ENOSYS) return -1;
        DeviceEntry entry;
        if (!Resolve(root, parts, LastLink::Follow, entry)) return -1;
        if (entry.exists) return OpenRegularAt(entry.folder.Get(), entry.name, flags & ~O_CREAT);
        if (!create) {
            errno = ENOENT;
            return -1;
        }
        const int made = OpenRegularAt(entry.folder.Get(), entry.name, flags | O_EXCL, mode);
        if (made >= 0 && created != nullptr) *created = true;
        if (made >= 0 || errno != EEXIST) return made;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool ResolveEntry(std::wstring_view path, LastLink last, DeviceEntry& entry) {
    entry = DeviceEntry{};
    std::vector<std::string> parts;
    if (!SplitDevicePath(path, parts)) return false;
    const std::shared_ptr<const UniqueFd> root = RootDescriptor();
    if (root == nullptr) return false;
    const bool resolved = Resolve(root->Get(), parts, last, entry);
    if ((resolved ? entry.exists : errno != ENOENT) || !RootRenewed(root)) return resolved;
    return ResolveEntry(path, last, entry);
}

int OpenDevicePath(std::wstring_view path, int flags, mode_t mode, bool* created) {
    if (created != nullptr) *created = false;
    std::vector<std::string> parts;
    if (!SplitDevicePath(path, parts)) return -1;
    const std::shared_ptr<const UniqueFd> root = RootDescriptor();
    if (root == nullptr) return -1;
    const int fd = OpenInside(root->Get(), parts, flags, mode, created);
    if (fd >= 0 || errno != ENOENT || !RootRenewed(root)) return fd;
    const std::shared_ptr<const UniqueFd> renewed = RootDescriptor();
    return renewed != nullptr ? OpenInside(renewed->Get(), parts, flags, mode, created) : -1;
}

int OpenRegularAt(int folder, const std::string& name, int flags, mode_t mode,
                  struct stat* status) {
    const int fd = openat(folder, name.c_str(), OpenFlags(flags) | O_NOFOLLOW, mode);
    return Checked(fd, flags, status);
}

bool FoldersOnPath(std::wstring_view path, std::vector<std::pair<dev_t, ino_t>>& folders) {
    folders.clear();
    std::vector<std::string> parts;
    if (!SplitDevicePath(path, parts)) return false;
    const std::shared_ptr<const UniqueFd> root = RootDescriptor();
    if (root == nullptr) return false;
    return Walk(root->Get(), parts, LastLink::Follow, nullptr, &folders);
}

std::string ProcPath(int fd, const std::string& name) {
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (!name.empty()) path += "/" + name;
    return path;
}

void SetResolveByWalkOnly(bool walkOnly) {
    ResolverState().walkOnly.store(walkOnly);
}

}  // namespace fieldkit::detail
