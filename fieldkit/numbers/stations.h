/// @file
/// Road stations: a chainage written as whole station intervals, "+", and the remaining
/// distance ("12+34.57" for 1234.57 with an interval of 100). Stateless.
///
/// @ingroup numbers
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup numbers
/// @{

/// "%d+%.2f" of the whole intervals (truncated toward zero) and the remainder, so a negative
/// chainage gives "-11+-65.50". A remainder that rounds to the interval is carried into the
/// count: 99.999 with an interval of 100 is "1+0.00" (and -99.999 is "-1+0.00"), never
/// "0+100.00". An interval of 0 gives a count of 0 and the whole chainage as the remainder.
FIELDKIT_API CString StnToString(double chainage, double interval);

/// Reads "n+r" (scanned with "%d+%lf", giving n * interval + r) or, without a "+", a plain
/// chainage ("%lf"). Returns 1 on success; 0 when the text can't be read, leaving `chainage`
/// unchanged.
FIELDKIT_API int StnFromString(CString text, double& chainage, double interval);

/// @}
