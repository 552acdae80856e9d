// The standard file names, extensions and folders of the application, each a directory of the
// layout (directories.h) joined with a fixed sub-folder. The folders come without a trailing
// backslash and are not created, except by GetTempPathW. Out of memory gives an empty text.
#pragma once

#include "fieldkit/text/cstring.h"

namespace AppStrPaths {

// The application name as set now (GetAPPNAME).
CString GetProgramName();
// "Default".
CString GetDefaultJobName();
// ".quernjob", full stop included.
CString GetJobExtension();
// ".plvjob", full stop included.
CString GetPLVExtension();
// GetProgramName() + ".html".
CString GetMainHelpName();
// GetDataDir() + "\Settings".
CString GetSettingsFilePath();
// GetCommonDir() + "\Settings".
CString GetCommonSettingsFilePath();
// GetExeDir() + "\Languages".
CString GetLanguagesFilePath();
// GetExeDir() + "\Translation".
CString GetTranslationFilePath();
// GetDataDir() + "\Jobs".
CString GetJobsFilePath();
// GetDataDir() + "\Catalogs".
CString GetCatalogsFilePath();
// GetExeDir() + "\Antennas".
CString GetAntennasFilePath();
// GetExeDir() + "\Sounds".
CString GetSoundsFilePath();
// GetDataDir() + "\LogFiles".
CString GetLogsFilePath();
// GetDataDir() + "\Codes".
CString GetCodesFilePath();
// GetExeDir() + "\CS".
CString GetCSRepositoryPath();
// GetDataDir() + "\CS".
CString GetUserCSFilePath();
// GetDataDir() + "\Images" (the data folder's, unlike the GetImagesDir_ folders).
CString GetImagesFilePath();
// GetRootDir() + "\FileSettings".
CString GetSessionSettingsPath();
// The application's private temporary folder, GetTempDir() + "\<program name>" (\temp\ for
// an empty name). The first call creates \temp and it when missing and marks it hidden; later
// calls answer the same text, even after the name changes, until ResetProcessState.
CString GetTempPathW();

}  // namespace AppStrPaths
