// How device paths reach the host's file system (internal to the platform layer).
//
// The device root is a fence. Every path is resolved by the kernel as if the root were the
// file system's root, in the same step that uses it: ".." stops at the root, and a link's
// absolute target is a device path. Where openat2 with RESOLVE_IN_ROOT is missing, a walk of
// one component at a time does the same, reading each link and following it itself. Names
// match without regard to case when the exact name is missing, as on the handheld.
//
// Everything here answers failures through errno; the Win32 calls above turn it into their
// last error.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace fieldkit::detail {

// A descriptor closed when it goes out of scope.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release();
    void Reset(int fd = -1);

  private:
    int m_fd = -1;
};

// Names between the device and the host. A host name is bytes; a device name is wide text.
// Valid UTF-8 is decoded; every byte outside a valid sequence becomes the code unit
// U+DC80 + byte (a lone low surrogate, which no valid text holds), and such a unit becomes that
// byte again, so every host name has a device name and back. Any other lone surrogate, a value
// above U+10FFFF, or escaped bytes that would read back as a character are refused: two device
// names never name one host file (names in other cases aside, which match by design).
std::wstring NameToDevice(std::string_view host);
bool NameToHost(std::wstring_view device, std::string& host);  // false: EILSEQ

// The components of a device path, as host names (see NameToHost), with "." dropped and ".." taking
// the component before it away (never more than there are: the parent of the root is the root).
// Both separators count. False for a component holding a NUL character (EINVAL) or a name no host
// name has (EILSEQ).
bool SplitDevicePath(std::wstring_view path, std::vector<std::string>& components);

// What to do with a link in the last component of a path.
enum class LastLink { Follow, Keep };

// An entry of the device's file system: the folder that holds it and its name there.
struct DeviceEntry {
    UniqueFd folder;        // an O_PATH descriptor of the holding folder
    std::string name;       // the name as it stands in the folder; "." for a folder as itself
    bool exists = false;    // false: the name is free in that folder
    struct stat status {};  // the entry itself (a link is not followed), when it exists
};

// Finds the entry a device path names. Every folder on the way must exist; a link on the way
// (and in the last component with LastLink::Follow) is followed inside the root. The last
// component need not exist. False with errno when the path cannot be resolved.
bool ResolveEntry(std::wstring_view path, LastLink last, DeviceEntry& entry);

// Opens a device path with open(2) flags; links are followed inside the root, a name that
// matches an existing entry in another case opens that entry, O_CREAT creates the name as
// given otherwise (O_EXCL: when no entry of that name exists, not even a link); `created`
// tells which happened. Only regular files are opened (and folders when O_DIRECTORY or O_PATH
// is asked for): anything else is refused at once with EACCES, never waited on. -1 with errno.
int OpenDevicePath(std::wstring_view path, int flags, mode_t mode = 0666, bool* created = nullptr);

// The name in one case, for matching names without regard to case; empty when the name is
// not valid UTF-8 (such names match only exactly, as two different bad names decode alike).
std::wstring FoldedName(std::string_view name);

// The entry called `name` in a folder, matched as device names are: the exact name when it
// exists, else the first name in sorted order that matches without regard to case. `found`
// is false (and `actual` is `name`) when nothing matches. False with errno on a failed look.
bool FindName(int folder, const std::string& name, std::string& actual, struct stat& status,
              bool& found);

// Opens the entry `name` of a folder (no link followed) with open(2) flags, refusing what is
// not a regular file (or a folder when O_DIRECTORY is asked for) at once. `status`, when
// given, receives the status of the file opened.
int OpenRegularAt(int folder, const std::string& name, int flags, mode_t mode = 0666,
                  struct stat* status = nullptr);

// The folders (device and inode) that the resolved device path runs through, from the root
// down to the deepest one that exists, the last component included when it is a folder.
bool FoldersOnPath(std::wstring_view path, std::vector<std::pair<dev_t, ino_t>>& folders);

// A path that reaches an open descriptor's file through /proc, for the calls that have no
// form taking a descriptor (extended attributes, chmod of an O_PATH descriptor).
std::string ProcPath(int fd, const std::string& name = std::string());

}  // namespace fieldkit::detail
