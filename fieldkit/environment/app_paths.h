/// @file
/// The standard file names, extensions and folders of the application, each a directory of the
/// layout (directories.h) joined with a fixed sub-folder. The folders come without a trailing
/// backslash and are not created, except by GetTempPathW. Out of memory gives an empty text.
///
/// @ingroup environment
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup environment
/// @{

namespace AppStrPaths {

/// @addtogroup environment
/// @{

/// The application name as set now (GetAPPNAME).
FIELDKIT_API CString GetProgramName();
/// "Default".
FIELDKIT_API CString GetDefaultJobName();
/// ".quernjob", full stop included.
FIELDKIT_API CString GetJobExtension();
/// ".plvjob", full stop included.
FIELDKIT_API CString GetPLVExtension();
/// GetProgramName() + ".html".
FIELDKIT_API CString GetMainHelpName();
/// GetDataDir() + "\\Settings".
FIELDKIT_API CString GetSettingsFilePath();
/// GetCommonDir() + "\\Settings".
FIELDKIT_API CString GetCommonSettingsFilePath();
/// GetExeDir() + "\\Languages".
FIELDKIT_API CString GetLanguagesFilePath();
/// GetExeDir() + "\\Translation".
FIELDKIT_API CString GetTranslationFilePath();
/// GetDataDir() + "\\Jobs".
FIELDKIT_API CString GetJobsFilePath();
/// GetDataDir() + "\\Catalogs".
FIELDKIT_API CString GetCatalogsFilePath();
/// GetExeDir() + "\\Antennas".
FIELDKIT_API CString GetAntennasFilePath();
/// GetExeDir() + "\\Sounds".
FIELDKIT_API CString GetSoundsFilePath();
/// GetDataDir() + "\\LogFiles".
FIELDKIT_API CString GetLogsFilePath();
/// GetDataDir() + "\\Codes".
FIELDKIT_API CString GetCodesFilePath();
/// GetExeDir() + "\\CS".
FIELDKIT_API CString GetCSRepositoryPath();
/// GetDataDir() + "\\CS".
FIELDKIT_API CString GetUserCSFilePath();
/// GetDataDir() + "\\Images" (the data folder's, unlike the GetImagesDir_ folders).
FIELDKIT_API CString GetImagesFilePath();
/// GetRootDir() + "\\FileSettings".
FIELDKIT_API CString GetSessionSettingsPath();
/// The application's private temporary folder, GetTempDir() + "\<program name>" (\\temp\ for
/// an empty name). The first call creates \\temp and it when missing and marks it hidden; later
/// calls answer the same text, even after the name changes, until ResetProcessState.
FIELDKIT_API CString GetTempPathW();

/// @}

}  // namespace AppStrPaths

/// @}
