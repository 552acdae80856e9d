/// @file
/// Path names, file and folder checks, folder creation, the file dialog and file times.
///
/// Paths are device paths (see fieldkit/platform/file_system.h). Both the backslash and the slash
/// end a folder name when the file name is looked for; only the backslash is used when folders
/// are created. The extension is everything after the last full stop of the whole text.
/// Stateless; everything but ChooseFileDialog may be called from any thread.
///
/// @ingroup files
#pragma once

#include "fieldkit/platform/systime.h"
#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/ui/window.h"

/// @addtogroup files
/// @{

namespace FileFuncs {

/// @addtogroup files
/// @{

/// Index of the first character of the file name (one past the last backslash or slash; 0
/// when there is neither).
FIELDKIT_API int GetFileNameStart(const CString& path);
/// Index of the last full stop, or the length of the text when there is none.
FIELDKIT_API int GetFileExtStart(const CString& path);
/// The file name with its extension: everything from GetFileNameStart on.
FIELDKIT_API CString ExtractFileNameWithExtFromPathName(const CString& path);
/// The characters after the last full stop; empty when there is none or nothing follows it.
FIELDKIT_API CString ExtractFileNameExtFromPathName(const CString& path);
/// The file name up to its last full stop; empty when that full stop lies before the name.
FIELDKIT_API CString ExtractFileNameWithoutExtFromPathName(const CString& path);
/// The whole text up to its last full stop, or the whole text; the two names are one function.
///@{
FIELDKIT_API CString ExtractPathNameWithoutExtFromPathName(const CString& path);
FIELDKIT_API CString CutExtFromFileName(const CString& path);
///@}

/// True when a search for the path finds anything, file or folder (wildcards allowed).
FIELDKIT_API bool IsFileExist(const CString& path);
/// True when the path (a trailing separator allowed) names an existing folder.
FIELDKIT_API bool IsDirExist(CString path);
/// Creates the folder and every missing folder above it; true when it exists at the end.
FIELDKIT_API bool CreateDir(const CString& path);

/// Lets the user pick a file through the platform's file dialog; the full path, or empty when
/// the user cancels.
FIELDKIT_API CString ChooseFileDialog(bool open, const wchar_t* defaultExt, const wchar_t* fileName,
                                      const wchar_t* initialDir, const wchar_t* filter,
                                      CWnd* parent);

/// The three times of a file; a null pointer skips that time.
FIELDKIT_API bool vlmGetFileTimes(const wchar_t* path, FILETIME* creation, FILETIME* lastAccess,
                                  FILETIME* lastWrite);
/// A UTC file time as local "%02d/%02d/%d" (month/day/year) and "%02d:%02d"; either text may
/// be null. False, touching neither text, when the time can't be turned into a local date.
FIELDKIT_API bool ConvertAndFormatFileTime(FILETIME& time, CString* date, CString* clock);
/// Times come creation, last access, last write; texts creation, last write, last access.
/// Each pair of texts is printed when its time is given and either text is asked for; false
/// when a time asked for can't be printed (its texts stay as they were). The path form reads
/// the file's times first and is false, touching no text, when it can't.
///@{
FIELDKIT_API bool vlmGetFileTimeFormatted(FILETIME* creation, FILETIME* lastAccess,
                                          FILETIME* lastWrite, CString* creationDate,
                                          CString* creationTime, CString* writeDate,
                                          CString* writeTime, CString* accessDate,
                                          CString* accessTime);
FIELDKIT_API bool vlmGetFileTimeFormatted(const wchar_t* path, CString* creationDate,
                                          CString* creationTime, CString* writeDate,
                                          CString* writeTime, CString* accessDate,
                                          CString* accessTime);
///@}
/// The current time as a UTC file time.
FIELDKIT_API void vlmGetSystemTimeAsFileTime(FILETIME& now);

/// @}

}  // namespace FileFuncs

/// @}
