// Folders held open while a tree is walked: every entry worked on by its name in a folder that a
// rename or a swapped link cannot move. On its own as the one class here, with its own state.
#include "fieldkit/platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/file_calls.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/replace_file.h"

namespace fieldkit::detail {

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
