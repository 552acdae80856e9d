/// @file
/// Numbers to wide text and back, and the library's rounding rule.
///
/// Every function formats or scans with a fixed format string, in the "C" locale whatever the
/// process locale is. All are stateless and safe to call from any thread.
///
/// @ingroup numbers
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup numbers
/// @{

/// x rounded to the nearest whole number, halves away from zero (-0.4 gives -0).
FIELDKIT_API double dNearInt(double x);

/// x rounded to `decimals` places, halves away from zero; decimals <= 0 rounds to a whole
/// number. Defined for every input: infinities and NaN come back unchanged, and magnitudes of
/// 2^31 and more are rounded by the same rule without overflowing.
FIELDKIT_API double FormatFloat(double x, int decimals);

/// Scan the text with "%lf", "%f", "%d", "%ld", "%u" or "%hd". Leading white space is skipped
/// and anything after the number is ignored ("12abc" reads 12). Return 1 and store the value
/// when one was read; otherwise return 0 and set the result to zero (also for a null or empty
/// text). A number beyond the range of the result's type saturates at that range.
///@{
FIELDKIT_API int StringToDouble(const wchar_t* text, double& value);
FIELDKIT_API int StringToFloat(const wchar_t* text, float& value);
FIELDKIT_API int StringToInt(const wchar_t* text, int& value);
FIELDKIT_API int StringToLong(const wchar_t* text, long& value);
FIELDKIT_API int StringToUint(const wchar_t* text, unsigned int& value);
FIELDKIT_API int StringToShort(const wchar_t* text, short& value);
///@}

/// Remove every blank (U+0020) from the text, then scan it with "%lf", "%f" or "%d"; 0 when it
/// holds no number ("1 000.5" reads 1000.5).
///@{
FIELDKIT_API double StringToDouble(CString text);
FIELDKIT_API float StringToFloat(CString text);
FIELDKIT_API long StringToInt(CString text);
///@}

/// The pseudo-minute count of "day.month.year" or "day.month.year, hour:minute" (365-day years,
/// 30-day months, years after 2000 counted from 2000), in 32-bit arithmetic that wraps as two's
/// complement does. Text that is not a date gives the sum of its first six code units weighted
/// 100000, 10000, ..., 1.
FIELDKIT_API long DateToInt(CString text);

/// "%d".
FIELDKIT_API CString IntToString(int n);
/// "%3.*lf": at least three characters, exactly `decimals` decimals.
FIELDKIT_API CString DoubleToString(double x, int decimals);
/// "%.5lg" when |x| < 0.001, else "%.8lf".
FIELDKIT_API CString DoubleToStringG(double x);
/// "%2d:%2d:%5.3f" of whole hours, whole minutes and seconds; no carry into the minutes.
FIELDKIT_API CString TimeToString(double hours);

/// @}
