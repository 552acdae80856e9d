/// @file
/// Status texts of satellite correction-service subscriptions. Stateless.
///
/// @ingroup numbers
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup numbers
/// @{

/// OmniSTAR broadcast satellites, numbered as the receiver's configuration numbers them.
enum OmnistarSats {
    OMNISTAR_EMS = 1,
    OMNISTAR_EA_SAT = 2,
    OMNISTAR_AP_SAT = 3,  ///< also AM_SAT
    OMNISTAR_OPTUS = 4,
    OMNISTAR_AMSC_EAST = 5,
    OMNISTAR_AMSC_CENTRE = 6,
    OMNISTAR_AMSC_WEST = 7,
    OMNISTAR_AF_SAT = 9,
    OMNISTAR_MSC_E = 15,
    OMNISTAR_MSC_C = 16,
    OMNISTAR_MSC_W = 17
};

/// The satellite whose name (EMS, EA_SAT, AP_SAT, AM_SAT, OPTUS, AMSC_EAST, AMSC_CENTRE,
/// AMSC_WEST, AF_SAT, MSC_E, MSC_C, MSC_W, tried in this order, case-sensitive) first occurs
/// anywhere in `name`; EA_SAT (2) when none does.
FIELDKIT_API OmnistarSats OmniStarSatNameToEnum(CString name);

/// "month/day/year" (no leading zeros) of a subscription text that begins "YYYY?MM?DD" and has
/// at least 19 characters; "Expired" for a shorter text. The digits are not checked.
FIELDKIT_API CString OmniStarHPSubscriptionToString(CString text);

/// "month/day/year" of the subscription end given as seconds since the start of GPS week 0
/// (6 January 1980); a moment before 03:00 shows the previous day. "Expired" for 0 or less.
FIELDKIT_API CString TarvSubscriptionToString(long gpsSeconds);

/// @}
