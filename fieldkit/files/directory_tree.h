/// @file
/// Whole folders: copying, deleting and creating trees, listing and counting entries, and
/// telling whether a path lies on a removable flash card. Results are int flags (non-zero for
/// success) unless said otherwise. Stateless.
///
/// @ingroup files
#pragma once

#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/carray.h"
#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup files
/// @{

namespace FileFuncsEx {

/// @addtogroup files
/// @{

/// What a listing takes: files, folders or both.
enum EFindFolder { FindFiles = 1, FindFolders = 2, FindFilesAndFolders = 3 };

/// The file's size (sizeHigh may be null). False, leaving the outputs alone, when the file
/// can't be opened; sizeLow is written whenever it was opened.
FIELDKIT_API bool GetPathSize(const wchar_t* path, unsigned long& sizeLow, unsigned long* sizeHigh);
/// Copies one file, replacing the target; an existing target is kept (and 1 returned) when
/// overwrite is 0.
FIELDKIT_API int CopyFromTo(const wchar_t* from, const wchar_t* to, int overwrite);
/// Copies one file when the target is missing or has an older write time; 1 without copying
/// when the target is as new or newer, 0 when the source is missing. When either time can't be
/// read the copy is tried and its result returned.
FIELDKIT_API int CopyFromToCheckDate(const wchar_t* from, const wchar_t* to);
/// Copies a folder's files into another folder (created when missing), and its subfolders too
/// when recursive is non-zero; a flat copy skips subfolders. Stops at the first failure,
/// keeping what was copied. 0 without copying anything when `to` is `from` or lies below it.
FIELDKIT_API int CopyDirectory(const wchar_t* from, const wchar_t* to, int recursive);
/// Deletes a folder with everything in it, read-only files and empty folders included; links
/// inside it are removed, never followed. Stops at the first failure, keeping what was deleted.
FIELDKIT_API int RemoveDirectoryTree(const wchar_t* path);
/// Creates a folder and every missing folder above it (backslash or slash separated), from the
/// top down; 1 when the path is a folder at the end.
FIELDKIT_API int CreateDirectoryTree(const wchar_t* path);
/// Fills `found` with the folder's entries of the kinds asked for, in search order. `mask` is a
/// suffix of the pattern folder + "\*" (".txt", ".*"), not a pattern of its own.
FIELDKIT_API void FindAllFilesInFolder(CArray<WIN32_FIND_DATAW, WIN32_FIND_DATAW&>& found,
                                       EFindFolder what, const wchar_t* folder,
                                       const wchar_t* mask);
/// 1 when the name is exactly "." or "..".
FIELDKIT_API int IsDots(const wchar_t* name);
/// 1 when the folder the path starts in (its first component) exists on removable media.
FIELDKIT_API int IsPathOnFlashCard(const wchar_t* path);
/// The path shortened with "..." so that it fits the window's client width (less a tenth),
/// measured in the window's font; the last component is never shortened.
FIELDKIT_API CString CompactPath(HWND window, const wchar_t* path, wchar_t separator);
/// The number of entries (files and folders) in a folder; 0 for a missing one.
FIELDKIT_API unsigned long CountFiles(const CString& folder);

/// @}

}  // namespace FileFuncsEx

/// @}
