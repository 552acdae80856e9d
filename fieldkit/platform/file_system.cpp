// The calls that change one entry named by a path: create, remove, delete, copy, move, attributes.
// On its own as the front of those changes; copying and replacing files live in their own files.
#include "fieldkit/platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/file_calls.h"
#include "fieldkit/platform/detail/nothrow.h"

namespace fieldkit::detail {

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

}  // namespace fieldkit::detail

using fieldkit::detail::CopyOpenFile;
using fieldkit::detail::DeleteAt;
using fieldkit::detail::DeviceEntry;
using fieldkit::detail::Fail;
using fieldkit::detail::FailWith;
using fieldkit::detail::LastLink;
using fieldkit::detail::NoThrow;
using fieldkit::detail::OpenDevicePath;
using fieldkit::detail::RemoveFolderAt;
using fieldkit::detail::ResolveEntry;
using fieldkit::detail::SetAttributesOf;
using fieldkit::detail::UniqueFd;

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
