#include "fieldkit/environment/app_paths.h"

#include <filesystem>
#include <utility>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/platform/file_system.h"
#include "tests/support/device_root.h"

namespace {

using AppPathsTest = DeviceRootTest;

void Identify() {
    SetAPPInfo(L"Survey", L"Survey", 1, TVersionInfo());
}

// Each folder follows its own base: the data folder, the program's folder or the common one.
// Fault: a folder built on the wrong base (data, program or common) or created when only named
TEST_F(AppPathsTest, FoldersFollowTheirBase) {
    knobs_.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    Write("\\SD Card\\directories.ini", "[Directories]\r\nDataDir=\\D\r\nRootDir=\\P\\\r\n");
    Identify();
    const std::pair<CString (*)(), const wchar_t*> cases[] = {
        {AppStrPaths::GetSettingsFilePath, L"\\D\\Settings"},
        {AppStrPaths::GetJobsFilePath, L"\\D\\Jobs"},
        {AppStrPaths::GetCatalogsFilePath, L"\\D\\Catalogs"},
        {AppStrPaths::GetLogsFilePath, L"\\D\\LogFiles"},
        {AppStrPaths::GetCodesFilePath, L"\\D\\Codes"},
        {AppStrPaths::GetUserCSFilePath, L"\\D\\CS"},
        {AppStrPaths::GetImagesFilePath, L"\\D\\Images"},
        {AppStrPaths::GetCommonSettingsFilePath, L"\\SD Card\\Common Data\\Settings"},
        // Joined as written: the override's trailing backslash doubles.
        {AppStrPaths::GetLanguagesFilePath, L"\\P\\\\Languages"},
        {AppStrPaths::GetTranslationFilePath, L"\\P\\\\Translation"},
        {AppStrPaths::GetAntennasFilePath, L"\\P\\\\Antennas"},
        {AppStrPaths::GetSoundsFilePath, L"\\P\\\\Sounds"},
        {AppStrPaths::GetCSRepositoryPath, L"\\P\\\\CS"},
        {AppStrPaths::GetSessionSettingsPath, L"\\P\\\\FileSettings"},
        {AppStrPaths::GetMainHelpName, L"Survey.html"},
        {AppStrPaths::GetProgramName, L"Survey"},
        {AppStrPaths::GetDefaultJobName, L"Default"},
        {AppStrPaths::GetJobExtension, L".quernjob"},
        {AppStrPaths::GetPLVExtension, L".plvjob"},
    };
    for (const auto& [get, expected] : cases)
        EXPECT_EQ(get(), expected);
    EXPECT_FALSE(Exists("\\D"));  // names only
}

// Fault: the temp folder named before the identity is known; not hidden; not kept
TEST_F(AppPathsTest, TempPathIsCreatedHiddenAndKept) {
    EXPECT_EQ(AppStrPaths::GetTempPathW(), L"\\temp\\");  // asked before the name is known
    Identify();
    EXPECT_EQ(AppStrPaths::GetTempPathW(), L"\\temp\\");
    fieldkit::host::ResetProcessState();
    Identify();
    EXPECT_EQ(AppStrPaths::GetTempPathW(), L"\\temp\\Survey");
    EXPECT_EQ(GetFileAttributesW(L"\\temp\\Survey"),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    SetAPPInfo(L"Other", L"", 0, TVersionInfo());
    std::filesystem::remove(Host("\\temp\\Survey"));
    EXPECT_EQ(AppStrPaths::GetTempPathW(), L"\\temp\\Survey");
    EXPECT_FALSE(Exists("\\temp\\Survey"));
}

}  // namespace
