#include "fieldkit/files/directory_tree.h"

#include <cwchar>
#include <vector>

#include "fieldkit/files/file_funcs.h"
#include "fieldkit/platform/nothrow.h"

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

bool Exists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The path as a comparable text: one kind of separator, no doubled or trailing ones, one case
// (the device's file system ignores case).
CString ComparablePath(const wchar_t* path) {
    CString out;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (IsSeparator(*p)) {
            if (out.IsEmpty() || out[out.GetLength() - 1] != L'\\') out += L'\\';
        } else {
            out += *p;
        }
    }
    if (out.GetLength() > 1 && out[out.GetLength() - 1] == L'\\') out.Delete(out.GetLength() - 1);
    return out.MakeLower();
}

// True when `inner` is `outer` or lies below it: copying a folder into itself would copy
// every file onto itself, and into a subfolder of itself would recurse without end.
bool IsSameOrBelow(const wchar_t* inner, const wchar_t* outer) {
    const CString in = ComparablePath(inner);
    const CString out = ComparablePath(outer);
    if (in.Left(out.GetLength()) != out) return false;
    return in.GetLength() == out.GetLength() || out[out.GetLength() - 1] == L'\\' ||
           in[out.GetLength()] == L'\\';
}

int CopyDirectoryWorker(const CString& from, const CString& to, int recursive) {
    bool present = false;
    {
        const Search target(to);
        present = target.Found();
    }
    // A folder that can't be created shows in the copies that follow.
    if (!present) CreateDirectoryW(to, nullptr);

    Search search(from + L"\\*.*");
    if (!search.Found()) return 1;
    int result = 1;
    do {
        const CString name = search.Entry().cFileName;
        if (search.IsFolder()) {
            // A flat copy leaves subfolders out rather than fail on the first one.
            if (!recursive || FileFuncsEx::IsDots(name)) continue;
            result = CopyDirectoryWorker(from + L"\\" + name, to + L"\\" + name, recursive);
        } else {
            result = CopyFileW(from + L"\\" + name, to + L"\\" + name, FALSE) ? 1 : 0;
        }
    } while (result != 0 && search.Next());
    return result;
}

int RemoveTree(const CString& path);

// Deletes everything inside the folder; 1 when nothing stopped it.
int EmptyFolder(const CString& path) {
    Search search(path + L"\\*.*");
    // Our searches never list "." and "..", so an empty folder finds nothing at all.
    if (!search.Found()) return IsFolder(path) ? 1 : 0;
    do {
        const WIN32_FIND_DATAW& entry = search.Entry();
        if (search.IsFolder() && FileFuncsEx::IsDots(entry.cFileName)) continue;
        const CString full = path + L"\\" + entry.cFileName;
        // Searches report a link by what it points to. DeleteFileW removes a link itself and
        // refuses real folders and read-only files, so trying it first means we never empty or
        // unprotect anything outside the tree.
        if (DeleteFileW(full)) continue;
        if (search.IsFolder()) {
            if (RemoveTree(full) == 0) return 0;
        } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            if (!SetFileAttributesW(full, entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
                return 0;
            }
            // A file that stays behind makes the folder's own removal fail instead.
            DeleteFileW(full);
        }
    } while (search.Next());
    return 1;
}

int RemoveTree(const CString& path) {
    if (EmptyFolder(path) == 0) return 0;
    return RemoveDirectoryW(path) ? 1 : 0;
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
    if (Exists(to) && overwrite == 0) return 1;
    return CopyFileW(from, to, FALSE) ? 1 : 0;
}

int CopyFromToCheckDate(const wchar_t* from, const wchar_t* to) {
    if (from == nullptr || to == nullptr) return 0;
    if (!Exists(to)) return CopyFileW(from, to, FALSE) ? 1 : 0;
    if (!Exists(from)) return 0;
    FILETIME fromWrite{};
    FILETIME toWrite{};
    // Times that can't be compared leave the decision to the copy itself, so an unreadable
    // source answers 0 instead of a success that copied nothing.
    const bool compared = FileFuncs::vlmGetFileTimes(from, nullptr, nullptr, &fromWrite) &&
                          FileFuncs::vlmGetFileTimes(to, nullptr, nullptr, &toWrite);
    if (compared && CompareFileTime(&fromWrite, &toWrite) != 1) return 1;
    return CopyFileW(from, to, FALSE) ? 1 : 0;
}

int CopyDirectory(const wchar_t* from, const wchar_t* to, int recursive) {
    if (from == nullptr || to == nullptr) return 0;
    return NoThrow(0, [&] {
        if (IsSameOrBelow(to, from)) return 0;
        return CopyDirectoryWorker(from, to, recursive);
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
    try {
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
    } catch (...) {
        found.RemoveAll();
    }
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
