#include "fieldkit/files/file_funcs.h"

#include <string>
#include <vector>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/format.h"
#include "fieldkit/ui/file_dialog.h"

namespace {

using fieldkit::detail::IsSeparator;
using fieldkit::detail::NoThrow;

// The folder attribute of the entry a search finds for `path`, closing the search again.
bool FindsFolder(const wchar_t* path, bool& isFolder) {
    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileW(path, &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

}  // namespace

namespace FileFuncs {

int GetFileNameStart(const CString& path) {
    const int slash = path.ReverseFind(L'/');
    const int backslash = path.ReverseFind(L'\\');
    return (slash > backslash ? slash : backslash) + 1;
}

int GetFileExtStart(const CString& path) {
    const int dot = path.ReverseFind(L'.');
    return dot < 0 ? path.GetLength() : dot;
}

CString ExtractFileNameWithExtFromPathName(const CString& path) {
    return NoThrow(CString(), [&] { return path.Mid(GetFileNameStart(path)); });
}

CString ExtractFileNameExtFromPathName(const CString& path) {
    return NoThrow(CString(), [&] {
        const int dot = path.ReverseFind(L'.');
        return dot < 0 ? CString() : path.Mid(dot + 1);
    });
}

CString ExtractFileNameWithoutExtFromPathName(const CString& path) {
    return NoThrow(CString(), [&] {
        const int start = GetFileNameStart(path);
        const int dot = path.ReverseFind(L'.');
        if (dot < 0) return path.Mid(start);
        if (dot < start) return CString();
        return path.Mid(start, dot - start);
    });
}

CString ExtractPathNameWithoutExtFromPathName(const CString& path) {
    return NoThrow(CString(), [&] { return path.Left(GetFileExtStart(path)); });
}

CString CutExtFromFileName(const CString& path) {
    return ExtractPathNameWithoutExtFromPathName(path);
}

bool IsFileExist(const CString& path) {
    bool isFolder = false;
    return FindsFolder(path, isFolder);
}

bool IsDirExist(CString path) {
    return NoThrow(false, [&] {
        if (path.IsEmpty()) return false;
        if (IsSeparator(path[path.GetLength() - 1])) path.Delete(path.GetLength() - 1);
        bool isFolder = false;
        return FindsFolder(path, isFolder) && isFolder;
    });
}

bool CreateDir(const CString& path) {
    return NoThrow(false, [&] {
        CString dir = path;
        if (!dir.IsEmpty() && dir[dir.GetLength() - 1] == L'\\') dir.Delete(dir.GetLength() - 1);

        // Trying the full path first makes the common case (only the last level missing) a
        // single call; only on failure do we look for the first level that exists.
        std::vector<CString> missing;
        while (!IsDirExist(dir) && !CreateDirectoryW(dir, nullptr)) {
            const int cut = dir.ReverseFind(L'\\');
            if (cut < 0) return false;
            missing.push_back(dir.Mid(cut));
            dir = dir.Left(cut);
        }

        bool created = true;
        for (auto part = missing.rbegin(); part != missing.rend() && created; ++part) {
            if (IsDirExist(dir)) dir += *part;
            created = CreateDirectoryW(dir, nullptr) != FALSE;
        }
        return created;
    });
}

CString ChooseFileDialog(bool open, const wchar_t* defaultExt, const wchar_t* fileName,
                         const wchar_t* initialDir, const wchar_t* filter, CWnd* parent) {
    return NoThrow(CString(), [&] {
        std::wstring file(MAX_PATH, L'\0');
        if (fileName != nullptr) fieldkit::detail::CopyToBuffer(fileName, file.data(), MAX_PATH);

        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
        ofn.lpstrFilter = filter;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrInitialDir = initialDir;
        ofn.lpstrDefExt = defaultExt;
        ofn.Flags = open ? (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)
                         : (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);

        const BOOL chosen = open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
        if (!chosen) return CString();
        // The dialog owns the buffer while it runs; never read past its end.
        file[MAX_PATH - 1] = L'\0';
        return CString(file.c_str());
    });
}

bool vlmGetFileTimes(const wchar_t* path, FILETIME* creation, FILETIME* lastAccess,
                     FILETIME* lastWrite) {
    if (path == nullptr) return false;
    const HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL read = GetFileTime(file, creation, lastAccess, lastWrite);
    CloseHandle(file);
    return read != FALSE;
}

bool ConvertAndFormatFileTime(FILETIME& time, CString* date, CString* clock) {
    return NoThrow(false, [&] {
        FILETIME local{};
        SYSTEMTIME fields{};
        // A time too large to split would otherwise print uninitialised fields.
        if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &fields)) {
            return false;
        }
        if (date != nullptr) {
            date->Format(L"%02d/%02d/%d", static_cast<int>(fields.wMonth),
                         static_cast<int>(fields.wDay), static_cast<int>(fields.wYear));
        }
        if (clock != nullptr) {
            clock->Format(L"%02d:%02d", static_cast<int>(fields.wHour),
                          static_cast<int>(fields.wMinute));
        }
        return true;
    });
}

bool vlmGetFileTimeFormatted(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite,
                             CString* creationDate, CString* creationTime, CString* writeDate,
                             CString* writeTime, CString* accessDate, CString* accessTime) {
    // Each pair is printed on its own, so a caller may ask for any of them; a time that can't
    // be printed makes the answer false rather than leave a text silently stale.
    bool printed = true;
    const auto print = [&printed](FILETIME* time, CString* date, CString* clock) {
        if (time == nullptr || (date == nullptr && clock == nullptr)) return;
        if (!ConvertAndFormatFileTime(*time, date, clock)) printed = false;
    };
    print(creation, creationDate, creationTime);
    print(lastWrite, writeDate, writeTime);
    print(lastAccess, accessDate, accessTime);
    return printed;
}

bool vlmGetFileTimeFormatted(const wchar_t* path, CString* creationDate, CString* creationTime,
                             CString* writeDate, CString* writeTime, CString* accessDate,
                             CString* accessTime) {
    FILETIME creation{};
    FILETIME lastAccess{};
    FILETIME lastWrite{};
    if (!vlmGetFileTimes(path, &creation, &lastAccess, &lastWrite)) return false;
    return vlmGetFileTimeFormatted(&creation, &lastAccess, &lastWrite, creationDate, creationTime,
                                   writeDate, writeTime, accessDate, accessTime);
}

void vlmGetSystemTimeAsFileTime(FILETIME& now) {
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    SystemTimeToFileTime(&utc, &now);
}

}  // namespace FileFuncs
