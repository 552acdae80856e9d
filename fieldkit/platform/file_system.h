/// @file
/// The device file system: Win32 file and folder calls over device paths.
///
/// A device path separates its components with backslashes (a slash is accepted too); there
/// are no drive letters and no current folder, so every path, absolute or relative, lies under
/// the device root (see fieldkit/platform/host.h), and a ".." component never climbs above it.
///
/// The device root is a fence. Every path is resolved by the kernel as if the root were the
/// file system's root, in the same step that uses it: a symbolic link inside the root is
/// followed inside the root (an absolute target is a device path), so nothing outside the root
/// is ever read, listed, written, created, deleted or changed. Names match without regard to
/// case, as on the handheld: the exact name when it exists, else the first name in sorted order
/// that matches; creating a name that matches an existing entry in another case opens that
/// entry. Only regular files are opened, read or copied as files: a FIFO, a device or a socket
/// is refused at once (ERROR_ACCESS_DENIED), never waited on.
///
/// Every name the host holds is reachable: a byte of a host name that is not part of valid
/// UTF-8 is the code unit U+DC80 + byte in device names (as searches list it), and such a unit
/// is that byte again. Any other lone surrogate in a device name, or escaped bytes that would
/// spell a character, are refused with ERROR_INVALID_NAME, so two device names never name one
/// file (names in another case aside, which match on purpose).
///
/// The calls keep their Win32 meanings and results. Failures set the thread's last error
/// (GetLastError) to the Win32 code; nothing throws.
///
/// @ingroup platform
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/systime.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// File attributes (see GetFileAttributesW).
///@{
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
///@}
/// The failure results of GetFileAttributesW and GetFileSize.
///@{
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
///@}

/// Access and sharing of CreateFileW.
///@{
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
///@}
/// What CreateFileW does when the file exists or is missing, as in Win32.
///@{
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
///@}
/// Where SetFilePointer counts from.
///@{
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
///@}
/// The failure result of SetFilePointer (a valid position too: check GetLastError).
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

struct SECURITY_ATTRIBUTES;
/// Security attributes are accepted everywhere and ignored; pass null.
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

/// One entry found by FindFirstFileW or FindNextFileW.
struct WIN32_FIND_DATAW {
    /// Attributes, times, size in two halves, object id and the entry's name, as in Win32.
    ///@{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
    ///@}
};
/// Pointer to a WIN32_FIND_DATAW.
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

/// Folder searches. The last component of the pattern may hold the wildcards "*" and "?",
/// matched as on the handheld: without regard to case, "*.*" matching every name and a
/// trailing "." matching names without an extension. "." and ".." are never listed; entries
/// come in the order of their names. A symbolic link in a listing is reported as itself
/// (FILE_ATTRIBUTE_REPARSE_POINT, never FILE_ATTRIBUTE_DIRECTORY), so walking a tree never
/// leaves it. A pattern without wildcards finds that one entry under its own name (the case
/// it has in its folder), following a link to report what it names.
///@{
FIELDKIT_API HANDLE FindFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* found);
FIELDKIT_API BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* found);
FIELDKIT_API BOOL FindClose(HANDLE search);
///@}

/// Attributes: a folder has FILE_ATTRIBUTE_DIRECTORY; a file that nobody may write is
/// FILE_ATTRIBUTE_READONLY; the hidden attribute is kept in an extended attribute where the
/// host file system allows one (silently dropped where it does not); a file with nothing else
/// to report is FILE_ATTRIBUTE_ARCHIVE. Setting READONLY clears every write permission,
/// clearing it gives the owner write permission back.
///@{
FIELDKIT_API DWORD GetFileAttributesW(const wchar_t* path);
FIELDKIT_API BOOL SetFileAttributesW(const wchar_t* path, DWORD attributes);
///@}

/// Creates one folder; the folder above it must exist.
FIELDKIT_API BOOL CreateDirectoryW(const wchar_t* path, LPSECURITY_ATTRIBUTES security);
FIELDKIT_API BOOL RemoveDirectoryW(const wchar_t* path);  ///< only an empty folder
FIELDKIT_API BOOL DeleteFileW(const wchar_t* path);       ///< not a folder, not a read-only file
/// Copies contents, permissions and times; replaces an existing target unless failIfExists.
/// An existing target is replaced in one step: the copy is written to a new file beside it,
/// flushed to disk and renamed over it (keeping its owner where permitted), so a failed copy
/// (a full disk) leaves the old target exactly as it was. A new file is written beside its name
/// too and takes the name with a rename that replaces nothing, so a failed copy removes only
/// what it wrote; with failIfExists, a target another writer makes meanwhile is kept
/// (ERROR_FILE_EXISTS). A target reached through a link is the file the link names; the link
/// stays.
FIELDKIT_API BOOL CopyFileW(const wchar_t* from, const wchar_t* to, BOOL failIfExists);
/// Moves the entry itself (a link stays a link); fails when the target exists, unless the two
/// names are one entry differing in case, which renames it to the new case.
FIELDKIT_API BOOL MoveFileW(const wchar_t* from, const wchar_t* to);
/// With MOVEFILE_REPLACE_EXISTING the target is replaced in one step (a reader sees the old
/// file or the new one, never neither); MOVEFILE_WRITE_THROUGH also makes the new name
/// durable before returning.
///@{
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;
FIELDKIT_API BOOL MoveFileExW(const wchar_t* from, const wchar_t* to, DWORD flags);
///@}

/// Open files. The share mode, attributes and template are accepted and not enforced.
///@{
FIELDKIT_API HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD shareMode,
                                LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags,
                                HANDLE templ);
FIELDKIT_API BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
FIELDKIT_API BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                            void* overlapped);
FIELDKIT_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
///@}
/// The creation time is the file's birth time where the file system records one, else the
/// time of its last status change.
FIELDKIT_API BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess,
                              FILETIME* lastWrite);
/// The size's low 32 bits, the high ones in sizeHigh (may be null).
FIELDKIT_API DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);

/// File mapping. CreateFileForMappingW opens a file as CreateFileW does. A mapping of size 0
/// covers the whole file and fails for an empty file; a read-write mapping larger than its
/// file makes the file that size, taking its blocks at once (a full disk fails here, never
/// later in a write through the view). A view of 0 bytes covers the whole mapping. The bytes
/// written through a view reach the file at the latest when the view is unmapped.
///@{
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
FIELDKIT_API HANDLE CreateFileForMappingW(const wchar_t* path, DWORD access, DWORD shareMode,
                                          LPSECURITY_ATTRIBUTES security, DWORD creation,
                                          DWORD flags, HANDLE templ);
FIELDKIT_API HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect,
                                       DWORD maximumSizeHigh, DWORD maximumSizeLow,
                                       const wchar_t* name);
FIELDKIT_API void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                                 std::size_t bytes);
FIELDKIT_API BOOL UnmapViewOfFile(const void* view);
///@}

/// fopen over a device path. The mode is the C one, with the handheld's text mode: "t" (or no
/// "b") reading turns CR LF into LF; ",ccs=..." is accepted and ignored (the caller decodes).
FIELDKIT_API FILE* _wfopen(const wchar_t* path, const wchar_t* mode);

namespace fieldkit::detail {

// The separator of device path components: a backslash, as on the handheld, or a slash.
inline bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// fopen of a device path given as UTF-8 text (the log's 8-bit file names), same modes.
FILE* DeviceFopen(const char* utf8Path, const char* mode);
// Writes the bytes straight to the stream's file, bypassing its buffer, which must hold
// nothing unwritten: one system call for a regular file, so the text never lands in pieces
// that other writes can come between. A kill can still cut it where it crosses a page (the
// kernel stops a write between pages), never elsewhere. Retries interrupted and partial
// writes; answers the number of bytes written, which is less than `size` only on failure.
std::size_t WriteUnbuffered(FILE* file, const char* data, std::size_t size);
// True when the device path lies on removable media: the block device holding it reports
// itself removable.
bool IsOnRemovableMedia(const wchar_t* path);

// Replacing a whole file. BeginReplaceFile opens a new, uniquely named file beside the target
// (the file a link inside the root names, when the target is such a link), for reading and
// writing, and holds a lock on it while it is open; nothing happens to the target yet. The
// new file's name is one of a few fixed ones per target ("<name>.<slot>.tmp~"), so a save that
// finds one taken and unlocked removes it: what a killed save left is swept by the next save of
// the same file, never a file that a running save is writing. CommitReplaceFile flushes the new
// file to disk, gives it the old file's mode, owner (where permitted) and hidden attribute, and
// renames it over the target, so that readers see the old version or the new one, whole (a target
// that was missing is taken with a rename that replaces nothing; a file another writer put there
// meanwhile is then replaced on the terms of an existing one). Closing the handle without a
// successful commit removes the new file, only while its name still names it, and leaves the
// target as it was. A read-only target, one the caller may not write (asked of the kernel at
// each call, for the effective user and all its groups), or a folder is refused
// (ERROR_ACCESS_DENIED). Two replacements of one file at once both succeed; the last commit
// wins.
HANDLE BeginReplaceFile(const wchar_t* path);
BOOL CommitReplaceFile(HANDLE file);

// Which file an open stream or a path is: device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};
bool IdentityOf(FILE* file, FileIdentity& identity);
// Deletes the file the path names (as DeleteFileW) only while it is still the file `identity`
// names: a file renamed away and replaced by another keeps the other.
BOOL DeleteFileIfSame(const wchar_t* path, const FileIdentity& identity);

// Reading a whole file of the device at once, at most `limit` bytes of it. Text mode reads as
// _wfopen's text mode does (CR LF as LF), and `limit` then counts the bytes that come out.
enum class ReadMode { Binary, Text };
// How ReadWholeFile ended. Every outcome but Read sets the last error.
enum class WholeFile {
    Read,       // `bytes` holds the file
    NotOpened,  // missing, a folder, a FIFO, a device...: the error of the open
    TooLarge,   // ERROR_FILE_INVALID; `bytes` holds the first `limit` bytes when the reading
                // found it out (a file that grew, or text mode), nothing when the size did
    Cut,        // a read failed part way, with its own error; `bytes` holds what came before
    NoMemory,   // ERROR_NOT_ENOUGH_MEMORY; `bytes` is empty
};
WholeFile ReadWholeFile(const wchar_t* path, std::size_t limit, ReadMode mode, std::string& bytes);

// A folder held open while a tree is walked. A walk opens the folder that holds its first
// folder (OpenParent), and every folder from there, the first one included, in its parent
// without following a link (OpenSub); every entry is then worked on by its name in the folder.
// So a folder renamed or swapped for a link while the walk runs cannot send it elsewhere, and no
// link is ever followed: links are listed, deleted and copied as links. Names are matched as
// device names are (without regard to case).
class DeviceFolder {
  public:
    DeviceFolder();
    ~DeviceFolder();
    DeviceFolder(DeviceFolder&& other) noexcept;
    DeviceFolder& operator=(DeviceFolder&& other) noexcept;
    DeviceFolder(const DeviceFolder&) = delete;
    DeviceFolder& operator=(const DeviceFolder&) = delete;

    // The folder that holds the last entry of a device path (links on the way followed inside
    // the device root), and that entry's name there: as it stands in the folder when it exists
    // (matched as device names are), as given when it does not, "." when the path names the
    // device root. A walk that starts here never follows a link at its first folder either.
    bool OpenParent(const wchar_t* path, std::wstring& name);
    // The subfolder `name` of an open folder. What is opened is then looked at, so a name
    // swapped meanwhile cannot send the walk elsewhere: a link is refused, never followed
    // (ERROR_CANT_RESOLVE_FILENAME), anything but a folder too (ERROR_ACCESS_DENIED).
    bool OpenSub(const DeviceFolder& parent, const wchar_t* name);
    // As OpenSub, creating the subfolder first when the name is free.
    bool CreateSub(DeviceFolder& parent, const wchar_t* name);
    bool IsOpen() const;

    // The folder's entries sorted by name, as FindFirstFileW reports them (no "." or "..").
    bool List(std::vector<WIN32_FIND_DATAW>& entries) const;
    // DeleteFileW, RemoveDirectoryW and SetFileAttributesW of an entry of this folder.
    BOOL DeleteEntry(const wchar_t* name);
    BOOL RemoveSub(const wchar_t* name);
    BOOL SetEntryAttributes(const wchar_t* name, DWORD attributes);
    // Copies the entry `name` into `target` under its name: a file as CopyFileW does (an
    // existing file replaced in one step), a link as a link. A link already in the target is
    // replaced, never written through; a folder there is refused.
    BOOL CopyEntry(const wchar_t* name, DeviceFolder& target);
    // From now on, files that CopyEntry replaces in this folder are held back and put in place
    // together by PutReplacementsInPlace (or when a quarter of the descriptors the process may
    // open are held), with one flush to disk for many files instead of one each. Each still
    // replaces its target in one step; what is still held when the folder is closed is dropped,
    // leaving those targets as they were.
    void HoldReplacements();
    BOOL PutReplacementsInPlace();
    // True when the device path, resolved, runs through this folder or ends in it.
    bool LiesOnPath(const wchar_t* path) const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// For tests: resolve every device path one component at a time instead of through openat2,
// as on kernels that lack it.
void SetResolveByWalkOnly(bool walkOnly);

}  // namespace fieldkit::detail

/// @}
