// The standard file names, extensions and folders of the application, each a directory of the
// layout joined with a fixed sub-folder.
#pragma once

#include "fieldkit/text/cstring.h"

namespace AppStrPaths {

CString GetProgramName();
CString GetDefaultJobName();
CString GetJobExtension();
CString GetPLVExtension();
CString GetMainHelpName();
CString GetSettingsFilePath();
CString GetCommonSettingsFilePath();
CString GetLanguagesFilePath();
CString GetTranslationFilePath();
CString GetJobsFilePath();
CString GetCatalogsFilePath();
CString GetAntennasFilePath();
CString GetSoundsFilePath();
CString GetLogsFilePath();
CString GetCodesFilePath();
CString GetCSRepositoryPath();
CString GetUserCSFilePath();
CString GetImagesFilePath();
CString GetSessionSettingsPath();
// The application's private temporary folder, created and hidden on first use.
CString GetTempPathW();

}  // namespace AppStrPaths
