#include "fieldkit/platform/systime.h"

#include <time.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;  // 100 ns units
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

std::uint64_t ToTicks(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks) {
    return {static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

// Days from 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

SYSTEMTIME FromTm(const struct tm& tm, long nanoseconds) {
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    st.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
    return st;
}

void Now(SYSTEMTIME* time, bool local) {
    if (time == nullptr) return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    if (local) {
        tzset();  // localtime_r need not notice a changed TZ by itself
        localtime_r(&ts.tv_sec, &tm);
    } else {
        gmtime_r(&ts.tv_sec, &tm);
    }
    *time = FromTm(tm, ts.tv_nsec);
}

void AppendNumber(std::wstring& out, unsigned value, bool twoDigits) {
    if (twoDigits && value < 10) out += L'0';
    out += std::to_wstring(value);
}

}  // namespace

void GetSystemTime(SYSTEMTIME* time) {
    Now(time, false);
}
void GetLocalTime(SYSTEMTIME* time) {
    Now(time, true);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime) {
    if (time == nullptr || fileTime == nullptr || time->wYear < 1601 || time->wYear > 30827 ||
        time->wMonth < 1 || time->wMonth > 12 || time->wDay < 1 ||
        time->wDay > DaysInMonth(time->wYear, time->wMonth) || time->wHour > 23 ||
        time->wMinute > 59 || time->wSecond > 59 || time->wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::int64_t days = DaysFromCivil(time->wYear, time->wMonth, time->wDay);
    const std::int64_t seconds = days * 86400 + time->wHour * 3600 + time->wMinute * 60 +
                                 time->wSecond + kSecondsFrom1601To1970;
    *fileTime = FromTicks(
        static_cast<std::uint64_t>(seconds * kTicksPerSecond + time->wMilliseconds * 10000LL));
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* time) {
    if (fileTime == nullptr || time == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t ticks = ToTicks(*fileTime);
    if (ticks > 0x7FFFFFFFFFFFFFFFULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond);
    const std::int64_t days = seconds / 86400 - kSecondsFrom1601To1970 / 86400;
    const std::int64_t secondOfDay = seconds % 86400;
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    time->wYear = static_cast<WORD>(y);
    time->wMonth = static_cast<WORD>(m);
    time->wDay = static_cast<WORD>(d);
    time->wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    time->wHour = static_cast<WORD>(secondOfDay / 3600);
    time->wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    time->wSecond = static_cast<WORD>(secondOfDay % 60);
    time->wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / 10000);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    if (utc == nullptr || local == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t ticks = ToTicks(*utc);
    const auto unixSeconds =
        static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
    const auto t = static_cast<time_t>(unixSeconds);
    struct tm tm;
    tzset();
    if (localtime_r(&t, &tm) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::int64_t offset = tm.tm_gmtoff;  // the zone's offset at that moment
    const std::int64_t shifted = static_cast<std::int64_t>(ticks) + offset * kTicksPerSecond;
    if (shifted < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *local = FromTicks(static_cast<std::uint64_t>(shifted));
    return TRUE;
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    const std::uint64_t x = a ? ToTicks(*a) : 0;
    const std::uint64_t y = b ? ToTicks(*b) : 0;
    return x < y ? -1 : x > y ? 1 : 0;
}

DWORD GetTickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

int GetTimeFormatW(LCID /*locale*/, DWORD /*flags*/, const SYSTEMTIME* time, const wchar_t* picture,
                   wchar_t* buffer, int size) {
    SYSTEMTIME now;
    if (time == nullptr) {
        GetLocalTime(&now);
        time = &now;
    }
    if (size < 0 || (size > 0 && buffer == nullptr) || time->wHour > 23 || time->wMinute > 59 ||
        time->wSecond > 59) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (picture == nullptr) picture = L"HH:mm:ss";
    return fieldkit::detail::NoThrow(0, ERROR_NOT_ENOUGH_MEMORY, [&] {
        std::wstring out;
        for (const wchar_t* p = picture; *p;) {
            const wchar_t c = *p;
            if (c == L'\'') {  // quoted text; '' inside quotes is one quote
                for (++p; *p; ++p) {
                    if (*p == L'\'') {
                        if (p[1] != L'\'') break;
                        ++p;
                    }
                    out += *p;
                }
                if (*p) ++p;
                continue;
            }
            int run = 0;
            while (p[run] == c)
                ++run;
            p += run;
            const bool two = run >= 2;
            switch (c) {
                case L'H':
                    AppendNumber(out, time->wHour, two);
                    break;
                case L'h':
                    AppendNumber(out, time->wHour % 12 == 0 ? 12 : time->wHour % 12, two);
                    break;
                case L'm':
                    AppendNumber(out, time->wMinute, two);
                    break;
                case L's':
                    AppendNumber(out, time->wSecond, two);
                    break;
                case L't':
                    out += time->wHour < 12 ? L'A' : L'P';
                    if (two) out += L'M';
                    break;
                default:
                    out.append(static_cast<std::size_t>(run), c);
                    break;
            }
        }
        const int needed = static_cast<int>(out.size()) + 1;
        if (size == 0) return needed;
        if (size < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        out.copy(buffer, out.size());
        buffer[out.size()] = L'\0';
        return needed;
    });
}
