#include "fieldkit/files/directory_tree.h"

#include <cwchar>
#include <vector>

#include "fieldkit/files/file_funcs.h"
#include "fieldkit/platform/detail/nothrow.h"

namespace {

using fieldkit::detail::NoThrow;

// A folder search that is closed however the walk over it ends.
class Search {
  public:
    explicit Search(const wchar_t* pattern) : m_handle(FindFirstFileW(pattern, &m_entry)) {}
    ~Search() {
        if (Found()) FindClose(m_handle);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    bool Found() const { return m_handle != INVALID_HANDLE_VALUE; }
    const WIN32_FIND_DATAW& Entry() const { return m_entry; }
    bool Next() { return FindNextFileW(m_handle, &m_entry) != FALSE; }
    bool IsFolder() const { return (m_entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

  private:
    WIN32_FIND_DATAW m_entry{};
    HANDLE m_handle;
};

// Out of memory is no answer: a copy must not take the target for missing.
bool Exists(const wchar_t* path) {
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return true;
    fieldkit::detail::ThrowIfOutOfMemory();
    return false;
}

bool IsFolder(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

using fieldkit::detail::DeviceFolder;

bool IsFolderEntry(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Copies the entries of one open folder into another. The folders are held open, so a folder
// renamed or swapped for a link while the copy runs cannot send it elsewhere; links are copied
// as links, never followed.
int CopyFolder(DeviceFolder& from, DeviceFolder& to, int recursive);

int CopyEntries(DeviceFolder& from, DeviceFolder& to, int recursive) {
    std::vector<WIN32_FIND_DATAW> entries;
    // A folder that cannot be read finds nothing, as an empty one does.
    if (!from.List(entries) || entries.empty()) return 1;
    for (const WIN32_FIND_DATAW& entry : entries) {
        int result = 1;
        if (IsFolderEntry(entry)) {
            // A flat copy leaves subfolders out rather than fail on the first one.
            if (!recursive) continue;
            DeviceFolder source;
            DeviceFolder target;
            if (!source.OpenSub(from, entry.cFileName)) return 0;
            // A target folder that cannot be made shows in the copies that follow.
            if (to.IsOpen()) target.CreateSub(to, entry.cFileName);
            result = CopyFolder(source, target, recursive);
        } else {
            result = to.IsOpen() && from.CopyEntry(entry.cFileName, to) ? 1 : 0;
        }
        if (result == 0) return 0;
    }
    return 1;
}

int CopyFolder(DeviceFolder& from, DeviceFolder& to, int recursive) {
    // Files replaced in the folder reach the disk together; those copied before a failure
    // stay copied.
    to.HoldReplacements();
    const int result = CopyEntries(from, to, recursive);
    return to.PutReplacementsInPlace() ? result : 0;
}

int RemoveTree(const CString& path);

// Deletes everything inside an open folder; 1 when nothing stopped it.
int EmptyFolder(DeviceFolder& folder) {
    std::vector<WIN32_FIND_DATAW> entries;
    if (!folder.List(entries)) return 0;
    for (const WIN32_FIND_DATAW& entry : entries) {
        const wchar_t* name = entry.cFileName;
        if (IsFolderEntry(entry)) {
            DeviceFolder sub;
            if (!sub.OpenSub(folder, name)) {
                // Swapped for a link or a file since the listing: that entry goes, not what
                // it points to.
                if (!folder.DeleteEntry(name)) return 0;
                continue;
            }
            if (EmptyFolder(sub) == 0 || !folder.RemoveSub(name)) return 0;
        } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            if (!folder.SetEntryAttributes(name,
                                           entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
                return 0;
            }
            // A file that stays behind makes the folder's own removal fail instead.
            folder.DeleteEntry(name);
        } else {
            // Links are deleted as themselves, never followed.
            folder.DeleteEntry(name);
        }
    }
    return 1;
}

int RemoveTree(const CString& path) {
    // The folder is opened in its parent without following a link, then emptied and removed
    // by its name there: a name swapped for a link at any moment sends the walk nowhere else.
    DeviceFolder parent;
    std::wstring name;
    if (!parent.OpenParent(path, name)) return 0;
    // The device root cannot be removed; emptying it first would only lose everything.
    if (name == L".") return 0;
    DeviceFolder folder;
    if (!folder.OpenSub(parent, name.c_str())) {
        // A link to a folder is removed itself; what it points to stays.
        const bool link = GetLastError() == ERROR_CANT_RESOLVE_FILENAME;
        return link && parent.DeleteEntry(name.c_str()) ? 1 : 0;
    }
    if (folder.LiesOnPath(L"\\")) return 0;
    if (EmptyFolder(folder) == 0) return 0;
    return parent.RemoveSub(name.c_str()) ? 1 : 0;
}

}  // namespace

namespace FileFuncsEx {

bool GetPathSize(const wchar_t* path, unsigned long& sizeLow, unsigned long* sizeHigh) {
    if (path == nullptr) return false;
    const HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    // A size whose low word is all ones is a real size unless the call reports an error.
    SetLastError(ERROR_SUCCESS);
    const DWORD low = GetFileSize(file, sizeHigh != nullptr ? &high : nullptr);
    const bool failed = low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS;
    CloseHandle(file);
    sizeLow = low;
    if (sizeHigh != nullptr && !failed) *sizeHigh = high;
    return !failed;
}

int CopyFromTo(const wchar_t* from, const wchar_t* to, int overwrite) {
    if (from == nullptr || to == nullptr) return 0;
    return NoThrow(0, [&] {
        if (overwrite != 0) return CopyFileW(from, to, FALSE) ? 1 : 0;
        if (Exists(to)) return 1;
        // A target that another writer makes meanwhile is kept as well.
        return CopyFileW(from, to, TRUE) || GetLastError() == ERROR_FILE_EXISTS ? 1 : 0;
    });
}

int CopyFromToCheckDate(const wchar_t* from, const wchar_t* to) {
    if (from == nullptr || to == nullptr) return 0;
    return NoThrow(0, [&] {
        if (!Exists(to)) {
            if (CopyFileW(from, to, TRUE)) return 1;
            // Another writer made the target meanwhile: replaced only when older, as any.
            if (GetLastError() != ERROR_FILE_EXISTS) return 0;
        }
        if (!Exists(from)) return 0;
        FILETIME fromWrite{};
        FILETIME toWrite{};
        // Times that can't be compared leave the decision to the copy itself, so an unreadable
        // source answers 0 instead of a success that copied nothing; times lost for want of
        // memory must not replace a newer target.
        const bool compared = FileFuncs::vlmGetFileTimes(from, nullptr, nullptr, &fromWrite) &&
                              FileFuncs::vlmGetFileTimes(to, nullptr, nullptr, &toWrite);
        if (!compared) fieldkit::detail::ThrowIfOutOfMemory();
        if (compared && CompareFileTime(&fromWrite, &toWrite) != 1) return 1;
        return CopyFileW(from, to, FALSE) ? 1 : 0;
    });
}

int CopyDirectory(const wchar_t* from, const wchar_t* to, int recursive) {
    if (from == nullptr || to == nullptr) return 0;
    return NoThrow(0, [&] {
        // Both folders are opened in their parents without following a link, so neither can
        // be swapped for one on the way in; links at the top are not followed either.
        DeviceFolder sourceParent;
        DeviceFolder source;
        std::wstring sourceName;
        const bool opened = sourceParent.OpenParent(from, sourceName) &&
                            source.OpenSub(sourceParent, sourceName.c_str());
        if (!opened && GetLastError() == ERROR_CANT_RESOLVE_FILENAME) return 0;
        // Into itself or below itself the copy would never end. The folders the paths lead to
        // are compared, not their texts, so ".." and links cannot hide it.
        if (opened && source.LiesOnPath(to)) return 0;
        // A folder that can't be created or opened shows in the copies that follow.
        DeviceFolder targetParent;
        DeviceFolder target;
        std::wstring targetName;
        if (targetParent.OpenParent(to, targetName))
            target.CreateSub(targetParent, targetName.c_str());
        return opened ? CopyFolder(source, target, recursive) : 1;
    });
}

int RemoveDirectoryTree(const wchar_t* path) {
    // An empty path would make the search pattern "\*.*" and empty the device root.
    if (path == nullptr || *path == L'\0') return 0;
    return NoThrow(0, [&] { return RemoveTree(path); });
}

int CreateDirectoryTree(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return 0;
    return NoThrow(0, [&] {
        std::vector<CString> levels{CString(path)};
        for (;;) {
            const CString& current = levels.back();
            const int slash = current.ReverseFind(L'/');
            const int backslash = current.ReverseFind(L'\\');
            const int cut = slash > backslash ? slash : backslash;
            if (cut <= 0) break;
            levels.push_back(current.Left(cut));
        }
        for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
            if (!Exists(*level) && !CreateDirectoryW(*level, nullptr)) break;
        }
        // A file of that name is not the folder the caller asked for.
        return IsFolder(path) ? 1 : 0;
    });
}

void FindAllFilesInFolder(CArray<WIN32_FIND_DATAW, WIN32_FIND_DATAW&>& found, EFindFolder what,
                          const wchar_t* folder, const wchar_t* mask) {
    found.RemoveAll();
    if (folder == nullptr) return;
    const bool whole = NoThrow([&] {
        CString pattern = CString(folder) + L"\\*";
        if (mask != nullptr) pattern += mask;
        Search search(pattern);
        if (!search.Found()) return;
        do {
            WIN32_FIND_DATAW entry = search.Entry();
            const bool wanted = search.IsFolder() ? (what & FindFolders) && !IsDots(entry.cFileName)
                                                  : (what & FindFiles) != 0;
            if (wanted) found.Add(entry);
        } while (search.Next());
    });
    if (!whole) found.RemoveAll();  // not a list cut short
}

int IsDots(const wchar_t* name) {
    if (name == nullptr) return 0;
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0 ? 1 : 0;
}

int IsPathOnFlashCard(const wchar_t* path) {
    if (path == nullptr) return 0;
    return NoThrow(0, [&] {
        CString volume = path;
        const int second = volume[0] == L'\\' ? volume.Find(L'\\', 1) : -1;
        if (second > 0) volume = volume.Left(second);
        const DWORD attributes = GetFileAttributesW(volume);
        // A failed query has every bit set; it names nothing, so nothing on a card either.
        if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
        if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY)) == 0) return 0;
        return fieldkit::detail::IsOnRemovableMedia(volume) ? 1 : 0;
    });
}

unsigned long CountFiles(const CString& folder) {
    return NoThrow(0UL, [&] {
        Search search(folder + L"\\*.*");
        if (!search.Found()) return 0UL;
        unsigned long count = 0;
        do {
            ++count;
        } while (search.Next());
        return count;
    });
}

}  // namespace FileFuncsEx
