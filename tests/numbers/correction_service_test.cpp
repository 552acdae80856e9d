#include "fieldkit/numbers/correction_service.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <climits>

TEST(CorrectionService, SatelliteNames) {
    struct Case {
        const wchar_t* name;
        int value;
    };
    const Case cases[] =
        {
            {L"EMS", 1},      {L"EA_SAT", 2},    {L"AP_SAT", 3},      {L"AM_SAT", 3},
            {L"OPTUS", 4},    {L"AMSC_EAST", 5}, {L"AMSC_CENTRE", 6}, {L"AMSC_WEST", 7},
            {L"AF_SAT", 9},   {L"MSC_E", 15},    {L"MSC_C", 16},      {L"MSC_W", 17},
            {L"XYZ", 2},      {L"", 2},          {L"ems", 2},         {L"sat OPTUS-2", 4},
            {L"MSC_WEMS", 1},  // the first name of the list wins, not the first in the text
        };
    for (const Case& c : cases)
        EXPECT_EQ(OmniStarSatNameToEnum(c.name), c.value) << c.name;
}

TEST(CorrectionService, HighPrecisionSubscriptionText) {
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2019-03-07 00:00:00"), L"3/7/2019");
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2019-03-07 00:00:0"), L"Expired");
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2024/12/31T23:59:59Z"), L"12/31/2024");
    // The digits are not checked; a character below '0' prints as the handheld's 32-bit
    // unsigned long would.
    EXPECT_EQ(OmniStarHPSubscriptionToString(L"2019-0/-07 00:00:00"), L"4294967295/7/2019");
}

TEST(CorrectionService, TarvSubscriptionDates) {
    struct Case {
        long seconds;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, L"Expired"},
        {-5, L"Expired"},
        {1239019200, L"4/11/2019"},  // week 2048, Thursday 12:00
        {1238983200, L"4/10/2019"},  // the same Thursday at 02:00 shows the day before
        {1024L * 604800 + 10800, L"8/22/1999"},
        {1024L * 604800 + 10800 - 3600, L"8/21/1999"},
        {1388059200, L"12/31/2023"},  // the last day of a four-year cycle
        // Before the first rollover, and beyond 2099, the true calendar date.
        {1, L"1/5/1980"},  // 00:00:01 on 6 January is shown as the day before
        {10800, L"1/6/1980"},
        {4102444800L - 315964800L + 10800, L"1/1/2100"},  // 2100 is not a leap year
        {4107542400L - 315964800L + 10800, L"3/1/2100"},
        {LONG_MAX, L"12/10/292277026606"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TarvSubscriptionToString(c.seconds), c.text) << c.seconds;
}
