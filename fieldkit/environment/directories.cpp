#include "fieldkit/environment/directories.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fieldkit/environment/detail/app_record.h"
#include "fieldkit/files/file_funcs.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/module.h"
#include "fieldkit/text/codepage.h"

namespace fieldkit::detail {
namespace {

CString ProgramFileName() {
    wchar_t buffer[MAX_PATH] = {};
    // A name lost for want of memory is not an empty one: the layout would keep it.
    CallThrowingOutOfMemory([&] { return GetModuleFileNameW(nullptr, buffer, MAX_PATH); });
    buffer[MAX_PATH - 1] = L'\0';
    return CString(buffer);
}

// The text before the last backslash; empty when there is none.
CString CutAtLastBackslash(const CString& path) {
    const int last = path.ReverseFind(L'\\');
    return last < 0 ? CString() : path.Left(last);
}

CString RootStorageOf(const CString& program) {
    CString folder = CutAtLastBackslash(program);
    if (folder.Find(L'\\') >= 0) folder = CutAtLastBackslash(folder);
    return folder;
}

// directories.ini holds a handful of lines; anything larger is not one.
constexpr std::size_t kMaxDirectoriesIni = 64 * 1024;

// The whole file up to its first NUL byte, decoded from UTF-8; false when it cannot be read
// (a folder of that name, a FIFO, a file far too large), which leaves the defaults.
bool ReadIniText(const CString& fileName, std::wstring& text) {
    std::string bytes;
    const WholeFile read = ReadWholeFile(fileName, kMaxDirectoriesIni, ReadMode::Binary, bytes);
    // Whatever the device said, a read that fails part way is a fault of the read here.
    if (read == WholeFile::Cut) SetLastError(ERROR_READ_FAULT);
    // Out of memory is no missing file: the layout would keep the defaults for good.
    if (read == WholeFile::NoMemory) throw std::bad_alloc();
    if (read != WholeFile::Read) return false;
    text = Utf8ToWide(std::string_view(bytes.data(), std::strlen(bytes.c_str())));
    return true;
}

// The loose lookup of directories.ini: plain substring searches from "[Directories]" on, the
// value running from the first "=" to the first line end after the key.
CString LookUp(const std::wstring& text, const wchar_t* key, const CString& fallback) {
    const std::size_t section = text.find(L"[Directories]");
    if (section == std::wstring::npos) return fallback;
    const std::size_t at = text.find(key, section);
    if (at == std::wstring::npos) return fallback;
    const std::size_t equals = text.find(L'=', at);
    if (equals == std::wstring::npos) return fallback;
    std::size_t end = text.find(L'\r', at);
    if (end == std::wstring::npos) end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    const std::size_t start = equals + 1;
    if (end <= start) return fallback;
    return CString(text.substr(start, end - start));
}

void ApplyDirectoriesIni(TAppInfo& record) {
    std::wstring text;
    // Always beside the detected storage folder, never an overridden one.
    const CString fileName = RootStorageOf(ProgramFileName()) + L"\\directories.ini";
    if (!ReadIniText(fileName, text)) return;
    record.rootStorageDir = LookUp(text, L"RootStorageDir", record.rootStorageDir);
    record.dataDir = LookUp(text, L"DataDir", record.dataDir);
    record.exeDir = LookUp(text, L"RootDir", record.exeDir);
}

}  // namespace

void ComputeDirectoryLayout(TAppInfo& record) {
    record.applicationPath = ProgramFileName();
    record.exeDir = CutAtLastBackslash(record.applicationPath);
    record.rootStorageDir = RootStorageOf(record.applicationPath);
    // The first reading may move the storage folder the defaults below are built on; the
    // second lets the explicit keys override those defaults.
    ApplyDirectoriesIni(record);
    CString base = record.rootStorageDir;
    if (!base.IsEmpty() && base[base.GetLength() - 1] != L'\\') base += L'\\';
    record.dataDir = base + record.name + L" Data";
    record.commonDir = base + L"Common Data";
    ApplyDirectoriesIni(record);
}

}  // namespace fieldkit::detail

using fieldkit::detail::GetAppInfo;

namespace {

// The getters below never throw; out of memory gives an empty text.
template <class F>
CString Guarded(F produce) {
    return fieldkit::detail::NoThrow(CString(), produce);
}

fieldkit::detail::TAppInfo& Record() {
    return GetAppInfo(CString(), CString(), 0);
}

}  // namespace

CString GetApplicationPath() {
    return Guarded([] { return Record().applicationPath; });
}

CString GetExeDir() {
    return Guarded([] { return Record().exeDir; });
}

CString GetRootDir() {
    return GetExeDir();
}

CString GetDataDir() {
    return Guarded([] { return Record().dataDir; });
}

CString GetCommonDir() {
    return Guarded([] { return Record().commonDir; });
}

CString DetectRootStorageDir() {
    return Guarded([] {
        // Creates the record like the other getters, though the answer never depends on it.
        Record();
        return fieldkit::detail::RootStorageOf(fieldkit::detail::ProgramFileName());
    });
}

CString GetRootStorageFileName() {
    return Guarded([] { return DetectRootStorageDir() + L"\\directories.ini"; });
}

CString GetGeoidDir() {
    return Guarded([] {
        const CString exeDir = GetExeDir();
        const int last = exeDir.ReverseFind(L'\\');
        if (last > 0) {
            const CString beside = exeDir.Left(last) + L"\\GeoData\\";
            if (FileFuncs::IsDirExist(beside)) return beside;
        }
        if (fieldkit::detail::HasORVVersionKey()) return CString(L"\\Mounted Volume\\GeoData\\");
        return GetRootDir() + L"\\Geoids\\";
    });
}

CString GetCoordinateSystemDataBaseFileName() {
    return Guarded([] {
        const CString exeDir = GetExeDir();
        const int last = exeDir.ReverseFind(L'\\');
        if (last > 0) {
            const CString beside = exeDir.Left(last) + L"\\GeoData\\CoordinateSystemDB.db3";
            if (FileFuncs::IsFileExist(beside)) return beside;
        }
        if (fieldkit::detail::HasORVVersionKey())
            return CString(L"\\Mounted Volume\\GeoData\\CoordinateSystemDB.db3");
        return GetRootDir() + L"\\crs.db3";
    });
}

CString GetTempDir() {
    return Guarded([] {
        const CString dir = L"\\temp";
        if (GetFileAttributesW(dir) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(dir, nullptr);
        return dir;
    });
}

CString GetDocRegion() {
    return Guarded([] { return CString(L"user_job"); });
}

CString GetImagesDir_BtnsSmall() {
    return Guarded([] { return GetRootDir() + L"\\Images\\btns\\small\\"; });
}

CString GetImagesDir_BtnsMid() {
    return Guarded([] { return GetRootDir() + L"\\Images\\btns\\mid\\"; });
}

CString GetImagesDir_BtnsLarge() {
    return Guarded([] { return GetRootDir() + L"\\Images\\btns\\large\\"; });
}

CString GetImagesDir_PicsSmall() {
    return Guarded([] { return GetRootDir() + L"\\Images\\pics\\small\\"; });
}

CString GetImagesDir_PicsMid() {
    return Guarded([] { return GetRootDir() + L"\\Images\\pics\\mid\\"; });
}

CString GetBackgroundDir() {
    return Guarded([] { return GetDataDir() + L"\\Background\\"; });
}
