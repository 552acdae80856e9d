#include "fieldkit/numbers/correction_service.h"

#include <cstdint>

#include "fieldkit/platform/detail/nothrow.h"

using fieldkit::detail::NoThrow;

OmnistarSats OmniStarSatNameToEnum(CString name) {
    struct Entry {
        const wchar_t* text;
        OmnistarSats value;
    };
    // The order matters: "AMSC_EAST" also contains "MSC_E" and must win.
    static const Entry kTable[] = {
        {L"EMS", OMNISTAR_EMS},
        {L"EA_SAT", OMNISTAR_EA_SAT},
        {L"AP_SAT", OMNISTAR_AP_SAT},
        {L"AM_SAT", OMNISTAR_AP_SAT},
        {L"OPTUS", OMNISTAR_OPTUS},
        {L"AMSC_EAST", OMNISTAR_AMSC_EAST},
        {L"AMSC_CENTRE", OMNISTAR_AMSC_CENTRE},
        {L"AMSC_WEST", OMNISTAR_AMSC_WEST},
        {L"AF_SAT", OMNISTAR_AF_SAT},
        {L"MSC_E", OMNISTAR_MSC_E},
        {L"MSC_C", OMNISTAR_MSC_C},
        {L"MSC_W", OMNISTAR_MSC_W},
    };
    for (const Entry& e : kTable) {
        if (name.Find(e.text) >= 0) return e.value;
    }
    return OMNISTAR_EA_SAT;
}

namespace {

// "%lu" of a value as the handheld's 32-bit unsigned long would print it.
unsigned long AsUnsigned32(long long v) {
    return static_cast<unsigned long>(
        static_cast<std::uint32_t>(static_cast<unsigned long long>(v)));
}

CString MonthDayYear(unsigned long month, unsigned long day, unsigned long year) {
    CString s;
    s.Format(L"%lu/%lu/%lu", month, day, year);
    return s;
}

// Proleptic Gregorian date of a day count from 1970-01-01 (valid for any 64-bit count that a
// long of GPS seconds can produce).
void CivilFromDays(long long z, long long& year, long long& month, long long& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

CString OmniStarHPSubscriptionToString(CString text) {
    return NoThrow(CString(), [&]() -> CString {
        if (text.GetLength() < 19) return L"Expired";
        const auto digit = [&](int i) { return static_cast<long long>(text[i]) - L'0'; };
        const long long year = digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3);
        const long long month = digit(5) * 10 + digit(6);
        const long long day = digit(8) * 10 + digit(9);
        return MonthDayYear(AsUnsigned32(month), AsUnsigned32(day), AsUnsigned32(year));
    });
}

CString TarvSubscriptionToString(long gpsSeconds) {
    if (gpsSeconds <= 0) return NoThrow(CString(), [] { return CString(L"Expired"); });
    constexpr long long kWeek = 604800;
    constexpr long long kDayMs = 86400000;
    const long long seconds = gpsSeconds;
    const long long week = seconds / kWeek;
    const long long ms = (seconds - week * kWeek) * 1000;
    long long mjd = week * 7 + 44244;  // 44244: 6 January 1980
    const long long day = ms / kDayMs;
    mjd += day;
    if (ms - day * kDayMs < 10800000) mjd -= 1;  // before 03:00: the day before
    long long y, m, d;
    CivilFromDays(mjd - 40587, y, m, d);  // 40587: MJD of 1 January 1970
    return NoThrow(CString(), [=] {
        return MonthDayYear(static_cast<unsigned long>(m), static_cast<unsigned long>(d),
                            static_cast<unsigned long>(y));
    });
}
