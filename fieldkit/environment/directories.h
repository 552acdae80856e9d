/// @file
/// The device's directory layout: the program's folder, the data folder named after the
/// application, the common data folder, geoid models and the coordinate-system database,
/// images and the temporary folder. Worked out once, when the application record is created,
/// with directories.ini beside the program's folder able to override it.
///
/// "The storage folder" is the folder above the program's folder (\\SD Card for the program
/// \\SD Card\\Survey\\Survey.exe), or directories.ini's RootStorageDir. Folders come without a
/// trailing backslash unless said otherwise. Only GetTempDir creates a folder. Out of memory
/// gives an empty text.
///
/// @ingroup environment
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup environment
/// @{

/// The program's own file as a device path (GetModuleFileNameW), \\SD Card\\Survey\\Survey.exe.
FIELDKIT_API CString GetApplicationPath();
/// The program's folder, \\SD Card\\Survey; directories.ini's RootDir replaces it.
FIELDKIT_API CString GetExeDir();
/// The same as GetExeDir.
FIELDKIT_API CString GetRootDir();
/// The storage folder + "\<name> Data" (\\SD Card\\Survey Data), with the name known when the
/// record was made ("<name> Data" alone when the storage folder is empty); or directories.ini's
/// DataDir.
FIELDKIT_API CString GetDataDir();
/// The storage folder + "\\Common Data"; moved only with the storage folder (RootStorageDir).
FIELDKIT_API CString GetCommonDir();
/// The storage folder as detected from the program's path on every call, directories.ini not
/// applied; empty for a program in a top-level folder.
FIELDKIT_API CString DetectRootStorageDir();
/// DetectRootStorageDir() + "\\directories.ini": the file that can override the layout.
FIELDKIT_API CString GetRootStorageFileName();
/// Ends in a backslash: "GeoData\" in the folder above GetExeDir() when that exists (and is
/// not the root), else \\Mounted Volume\\GeoData\ when the registry key
/// HKEY_LOCAL_MACHINE\\System\\ORV\\Version exists (asked once per process), else
/// GetRootDir() + "\\Geoids\".
FIELDKIT_API CString GetGeoidDir();
/// "GeoData\\CoordinateSystemDB.db3" in the folder above GetExeDir() when that file exists,
/// else \\Mounted Volume\\GeoData\\CoordinateSystemDB.db3 with the registry key of
/// GetGeoidDir, else GetRootDir() + "\\crs.db3".
FIELDKIT_API CString GetCoordinateSystemDataBaseFileName();
/// \\temp, created when missing (looked at on every call). Needs no application record.
FIELDKIT_API CString GetTempDir();
/// "user_job", always.
FIELDKIT_API CString GetDocRegion();
/// GetRootDir() + "\\Images\\btns\\small\", ending in a backslash.
FIELDKIT_API CString GetImagesDir_BtnsSmall();
/// GetRootDir() + "\\Images\\btns\\mid\", ending in a backslash.
FIELDKIT_API CString GetImagesDir_BtnsMid();
/// GetRootDir() + "\\Images\\btns\\large\", ending in a backslash.
FIELDKIT_API CString GetImagesDir_BtnsLarge();
/// GetRootDir() + "\\Images\\pics\\small\", ending in a backslash.
FIELDKIT_API CString GetImagesDir_PicsSmall();
/// GetRootDir() + "\\Images\\pics\\mid\", ending in a backslash.
FIELDKIT_API CString GetImagesDir_PicsMid();
/// GetDataDir() + "\\Background\", ending in a backslash.
FIELDKIT_API CString GetBackgroundDir();

/// @}
