// The application's identity: name, title, module number and version, recorded once at
// start-up. The first call that needs the record creates it and fixes the data folder's name
// from the application name known at that moment, so call SetAPPInfo first.
#pragma once

#include "fieldkit/text/cstring.h"

// Three texts that the library stores and returns unchanged.
struct TVersionInfo {
    CString first;
    CString second;
    CString third;
};

void SetAPPInfo(const CString& name, const CString& title, long module,
                const TVersionInfo& version);
CString GetAPPNAME();
CString GetAPPTITLE();
long GetAPPModule();
TVersionInfo GetAPPVersion();
