// The device's directory layout: the program's folder, the data folder named after the
// application, the common data folder, geoid models and the coordinate-system database,
// images and the temporary folder. Worked out once, when the application record is created,
// with directories.ini beside the program's folder able to override it.
#pragma once

#include "fieldkit/text/cstring.h"

CString GetApplicationPath();
CString GetExeDir();
CString GetRootDir();
CString GetDataDir();
CString GetCommonDir();
CString DetectRootStorageDir();
CString GetRootStorageFileName();
CString GetGeoidDir();
CString GetCoordinateSystemDataBaseFileName();
CString GetTempDir();
CString GetDocRegion();
CString GetImagesDir_BtnsSmall();
CString GetImagesDir_BtnsMid();
CString GetImagesDir_BtnsLarge();
CString GetImagesDir_PicsSmall();
CString GetImagesDir_PicsMid();
CString GetBackgroundDir();
