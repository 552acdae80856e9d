/// @file
/// The application's identity: name, title, module number and version, recorded once at
/// start-up. The first call that needs the record creates it and fixes the data folder's name
/// from the application name known at that moment, so call SetAPPInfo first. Out of memory
/// leaves the identity as it was and gives the getters' empty answers.
///
/// @ingroup environment
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup environment
/// @{

/// Three texts that the library stores and returns unchanged.
struct TVersionInfo {
    /// One of the three texts, kept as given.
    ///@{
    CString first;
    CString second;
    CString third;
    ///@}
};

/// Records the identity, creating the record if no call has yet. Later calls replace all four
/// values but move no folder: the data folder keeps the name known when the record was made.
FIELDKIT_API void SetAPPInfo(const CString& name, const CString& title, long module,
                             const TVersionInfo& version);
/// The name last set; empty before SetAPPInfo (asking creates the record with that empty name).
FIELDKIT_API CString GetAPPNAME();
/// The title last set; empty before SetAPPInfo.
FIELDKIT_API CString GetAPPTITLE();
/// The module number last set; 0 before SetAPPInfo.
FIELDKIT_API long GetAPPModule();
/// The three texts last set, unchanged; three empty texts before SetAPPInfo.
FIELDKIT_API TVersionInfo GetAPPVersion();

/// @}
