#include "fieldkit/environment/app_paths.h"

#include <new>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/environment/detail/app_record.h"
#include "fieldkit/environment/directories.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/file_system.h"

namespace {

// The getters below never throw; out of memory gives an empty text.
template <class F>
CString Guarded(F produce) {
    return fieldkit::detail::NoThrow(CString(), produce);
}

struct TempPathState {
    fieldkit::detail::Mutex lock;
    CString path FIELDKIT_GUARDED_BY(lock);
    void Forget() {
        fieldkit::detail::LockGuard guard(lock);
        path.Empty();
    }
};

TempPathState& TempPath() {
    return fieldkit::detail::ProcessState<TempPathState>::Get();
}

void EnsureFolder(const CString& path) {
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(path, nullptr);
}

}  // namespace

namespace AppStrPaths {

CString GetProgramName() {
    return GetAPPNAME();
}
CString GetDefaultJobName() {
    return Guarded([] { return CString(L"Default"); });
}
CString GetJobExtension() {
    return Guarded([] { return CString(L".quernjob"); });
}
CString GetPLVExtension() {
    return Guarded([] { return CString(L".plvjob"); });
}
CString GetMainHelpName() {
    return Guarded([] { return GetProgramName() + L".html"; });
}
CString GetSettingsFilePath() {
    return Guarded([] { return GetDataDir() + L"\\Settings"; });
}
CString GetCommonSettingsFilePath() {
    return Guarded([] { return GetCommonDir() + L"\\Settings"; });
}
CString GetLanguagesFilePath() {
    return Guarded([] { return GetExeDir() + L"\\Languages"; });
}
CString GetTranslationFilePath() {
    return Guarded([] { return GetExeDir() + L"\\Translation"; });
}
CString GetJobsFilePath() {
    return Guarded([] { return GetDataDir() + L"\\Jobs"; });
}
CString GetCatalogsFilePath() {
    return Guarded([] { return GetDataDir() + L"\\Catalogs"; });
}
CString GetAntennasFilePath() {
    return Guarded([] { return GetExeDir() + L"\\Antennas"; });
}
CString GetSoundsFilePath() {
    return Guarded([] { return GetExeDir() + L"\\Sounds"; });
}
CString GetLogsFilePath() {
    return Guarded([] { return GetDataDir() + L"\\LogFiles"; });
}
CString GetCodesFilePath() {
    return Guarded([] { return GetDataDir() + L"\\Codes"; });
}
CString GetCSRepositoryPath() {
    return Guarded([] { return GetExeDir() + L"\\CS"; });
}
CString GetUserCSFilePath() {
    return Guarded([] { return GetDataDir() + L"\\CS"; });
}
CString GetImagesFilePath() {
    return Guarded([] { return GetDataDir() + L"\\Images"; });
}
CString GetSessionSettingsPath() {
    return Guarded([] { return GetRootDir() + L"\\FileSettings"; });
}

CString GetTempPathW() {
    return Guarded([] {
        TempPathState& s = TempPath();
        fieldkit::detail::LockGuard guard(s.lock);
        if (s.path.IsEmpty()) {
            // The path is kept for good: texts lost for want of memory must not make it.
            const CString temp = GetTempDir();  // empty only then
            if (temp.IsEmpty()) throw std::bad_alloc();
            EnsureFolder(temp);
            CString path =
                temp + L"\\" + fieldkit::detail::GetAppInfo(CString(), CString(), 0).name;
            EnsureFolder(path);
            SetFileAttributesW(path, FILE_ATTRIBUTE_HIDDEN);
            s.path = path;
        }
        return s.path;
    });
}

}  // namespace AppStrPaths
