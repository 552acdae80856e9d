#include "fieldkit/numbers/correction_service.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <climits>
#include <utility>

// The first name of the list wins, not the first in the text.
// Fault: the first name found in the text wins over the list's order; lower case matched
TEST(CorrectionService, SatelliteNames) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"EMS", 1},         {L"EA_SAT", 2},      {L"AP_SAT", 3},    {L"AM_SAT", 3}, {L"OPTUS", 4},
        {L"AMSC_EAST", 5},   {L"AMSC_CENTRE", 6}, {L"AMSC_WEST", 7}, {L"AF_SAT", 9}, {L"MSC_E", 15},
        {L"MSC_C", 16},      {L"MSC_W", 17},      {L"XYZ", 2},       {L"", 2},       {L"ems", 2},
        {L"sat OPTUS-2", 4}, {L"MSC_WEMS", 1},
    };
    for (const auto& [name, value] : cases)
        EXPECT_EQ(OmniStarSatNameToEnum(name), value) << name;
}

// Fault: a date with a short seconds field shown instead of "Expired"; day and month swapped
TEST(CorrectionService, HighPrecisionSubscriptionText) {
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2019-03-07 00:00:00"), L"3/7/2019");
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2019-03-07 00:00:0"), L"Expired");
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2024/12/31T23:59:59Z"), L"12/31/2024");
    // The digits are not checked; a character below '0' prints as the handheld's 32-bit
    // unsigned long would.
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2019-0/-07 00:00:00"), L"4294967295/7/2019");
}

// 1239019200 is Thursday 12:00 of week 2048; that Thursday at 02:00 shows the day before, as
// 00:00:01 on 6 January 1980 does. 1388059200 is the last day of a four-year cycle. Before the
// first rollover, and beyond 2099, the true calendar date is shown (2100 is not a leap year).
// Fault: the 02:00 day change, the week rollover or 2100's missing leap day off by a day
TEST(CorrectionService, TarvSubscriptionDates) {
    struct Case {
        long seconds;
        const wchar_t* text;
    };
    for (const Case& c :
         {Case{0, L"Expired"}, Case{-5, L"Expired"}, Case{1239019200, L"4/11/2019"},
          Case{1238983200, L"4/10/2019"}, Case{1024L * 604800 + 10800, L"8/22/1999"},
          Case{1024L * 604800 + 10800 - 3600, L"8/21/1999"}, Case{1388059200, L"12/31/2023"},
          Case{1, L"1/5/1980"}, Case{10800, L"1/6/1980"},
          Case{4102444800L - 315964800L + 10800, L"1/1/2100"},
          Case{4107542400L - 315964800L + 10800, L"3/1/2100"},
          Case{LONG_MAX, L"12/10/292277026606"}}) {
        EXPECT_EQ(TarvSubscriptionToString(c.seconds), c.text) << c.seconds;
    }
}
