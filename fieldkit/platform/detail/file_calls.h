// What the platform's file calls share (internal): errno as the last error, the hidden mark, what
// an entry reports, and the steps that a call by path and a tree walk's call by name both take.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/replace_file.h"
#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/file_system.h"

namespace fieldkit::detail {

// The hidden attribute has no home in POSIX permissions; an extended attribute keeps it.
constexpr char kHiddenXattr[] = "user.fieldkit.hidden";

// The Win32 error that reports an errno value.
DWORD FromErrno(int e);

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

inline bool IsReadOnlyMode(unsigned mode) {
    return (mode & 0222) == 0;
}

// What a search reports (file_search.cpp).
FILETIME ToFileTime(const struct statx_timestamp& t);
bool StatFd(int fd, struct statx& st);
// Whether the entry `name` of a folder is marked hidden; a link is not looked through.
bool HiddenAt(int folder, const std::string& name);
// The entries of a folder (given by any descriptor) whose names match `pattern` (every entry
// when it is null), sorted by name. Links are reported as themselves.
bool ListFolder(int folder, const std::wstring* pattern, std::vector<WIN32_FIND_DATAW>& out);

// Changing the entry `name` of a folder (file_system.cpp), as DeleteFileW and RemoveDirectoryW do.
BOOL DeleteAt(int folder, const std::string& name, bool exists, const struct stat& st);
BOOL RemoveFolderAt(int folder, const std::string& name, bool exists);
// Sets the attributes of the file an O_PATH descriptor names (never a link).
BOOL SetAttributesOf(int fd, DWORD attributes);

// Copies an open regular file into the entry `name` of `folder`: written beside it and put in
// place in one step, over an existing file or, with `hold`, kept to be put in place with others.
// A new file takes a free name without replacing a file another writer put there meanwhile,
// unless that is a replacement the caller asked for (not `failIfExists`). (copy_file.cpp)
BOOL CopyOpenFile(int in, const struct stat& source, int folder, const std::string& name,
                  bool exists, const struct stat& old, bool failIfExists,
                  HeldReplacements* hold = nullptr);
// Copies the link `name` of one folder as a link to the entry `target` of another: a new link
// beside the target's name, renamed over it, so an old entry there is replaced in one step.
BOOL CopyLinkAt(int from, const std::string& name, int to, const std::string& target);

// An open file behind a HANDLE (file_handles.cpp; BeginReplaceFile makes one too).
struct File : HandleObject {
    explicit File(int descriptor) : fd(descriptor) {}
    explicit File(std::unique_ptr<Replacement> r) : fd(r->Fd()), replacement(std::move(r)) {}
    ~File() override {
        if (replacement == nullptr && fd >= 0) ::close(fd);  // else the replacement owns it
    }
    int fd;
    std::unique_ptr<Replacement> replacement;  // the new version of a file, until committed
    bool committed = false;
};

}  // namespace fieldkit::detail
