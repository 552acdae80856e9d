// The process-wide application record behind the identity and directory getters. Internal to
// the environment and logging folders; applications use app_info.h and directories.h.
#pragma once

#include <utility>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/text/cstring.h"

namespace fieldkit::detail {

struct TAppInfo {
    CString applicationPath;
    CString exeDir;
    CString rootStorageDir;
    CString dataDir;
    CString commonDir;
    CString name;
    CString title;
    long module = 0;
    TVersionInfo version;
};

// The one record. The first call creates it with these values and works out the directory
// layout from the name given here; later calls ignore their arguments. Creation is
// thread-safe; changing fields afterwards (SetAPPInfo) belongs to start-up.
TAppInfo& GetAppInfo(CString name, const CString& title, long module);

// Whether HKEY_LOCAL_MACHINE\System\ORV\Version exists. Asked once per process.
bool HasORVVersionKey();

// Fills the directory fields of a new record (directories.cpp); name must be set already.
void ComputeDirectoryLayout(TAppInfo& record);

}  // namespace fieldkit::detail
