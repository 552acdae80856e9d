/// @file
/// Time on the device: file times, calendar times, the tick count and time pictures.
///
/// FILETIME counts 100 ns units since 1601-01-01 UTC. Local time follows the TZ environment
/// variable as the C library does.
///
/// @ingroup platform
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// A file time: the low and high halves of the 64-bit count.
struct FILETIME {
    /// The halves of the count.
    ///@{
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
    ///@}
};
/// Pointer to a FILETIME.
using LPFILETIME = FILETIME*;

/// A calendar time: year, month (1-12), day of the week (0 is Sunday), day and time of day.
struct SYSTEMTIME {
    /// The parts, as in Win32.
    ///@{
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
    ///@}
};
/// Pointer to a SYSTEMTIME.
using LPSYSTEMTIME = SYSTEMTIME*;

/// A locale identifier; GetTimeFormatW accepts any.
using LCID = DWORD;
/// The default locales, as in Win32.
///@{
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
///@}

/// The current time, in UTC.
FIELDKIT_API void GetSystemTime(SYSTEMTIME* time);
/// The current local time.
FIELDKIT_API void GetLocalTime(SYSTEMTIME* time);
/// Calendar time to file time; FALSE (ERROR_INVALID_PARAMETER) for a part out of its range or
/// a year outside 1601 to 30827.
FIELDKIT_API BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime);
/// File time to calendar time, the day of the week included; FALSE (ERROR_INVALID_PARAMETER)
/// for a count beyond 2^63 - 1.
FIELDKIT_API BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* time);
/// A UTC file time as local file time, with the offset in force at that moment.
FIELDKIT_API BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
/// -1, 0 or 1 as the first time is earlier than, equal to or later than the second.
FIELDKIT_API LONG CompareFileTime(const FILETIME* a, const FILETIME* b);

/// Milliseconds of a monotonic clock, wrapping at 2^32.
FIELDKIT_API DWORD GetTickCount();

/// Formats a time with a picture of H, HH, h, hh, m, mm, s, ss, t, tt and quoted text (the
/// locale and flags are accepted; the pictures mean what they mean in every locale). A null
/// time is the current local time. Returns the units written with the terminator, or with
/// size 0 the units needed; 0 when the buffer is too small or an argument is bad.
FIELDKIT_API int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time,
                                const wchar_t* picture, wchar_t* buffer, int size);

/// @}
