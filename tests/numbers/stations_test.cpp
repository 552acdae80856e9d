#include "fieldkit/numbers/stations.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

// Fault: a remainder rounding to the interval not carried; a bad text overwriting the chainage
TEST(Stations, TextsAndReading) {
    EXPECT_EQ(StnToString(1234.567, 100), L"12+34.57");
    EXPECT_EQ(StnToString(50, 100), L"0+50.00");
    EXPECT_EQ(StnToString(1000, 1000), L"1+0.00");
    EXPECT_EQ(StnToString(-1165.5, 100), L"-11+-65.50");
    // A remainder that rounds to the interval carries, either way, whatever the interval's sign.
    EXPECT_EQ(StnToString(99.999, 100), L"1+0.00");
    EXPECT_EQ(StnToString(1299.999, 100), L"13+0.00");
    EXPECT_EQ(StnToString(-99.999, 100), L"-1+0.00");
    EXPECT_EQ(StnToString(99.999, -100), L"-1+0.00");
    EXPECT_EQ(StnToString(1299.994, 100), L"12+99.99");
    EXPECT_EQ(StnToString(300, 0.1), L"3000+0.00");                 // 300 / 0.1 truncates to 2999
    EXPECT_EQ(StnToString(2147483647.999, 1), L"2147483647+1.00");  // no count beyond 32 bits
    EXPECT_EQ(StnToString(1234.567, 0), L"0+1234.57");
    EXPECT_EQ(StnToString(1e15, 1), L"2147483647+999997852516353.00");
    const struct {
        const wchar_t* text;
        double interval, chainage;
    } cases[] = {{L"12+34.57", 100, 1234.57},
                 {L"1234.57", 100, 1234.57},
                 {L"2+500", 1000, 2500},
                 {L"-12+34.5", 100, -1165.5},
                 {L"-11+-65.50", 100, -1165.5}};
    for (const auto& c : cases) {
        double chainage = -1;
        EXPECT_EQ(StnFromString(c.text, chainage, c.interval), 1) << c.text;
        EXPECT_DOUBLE_EQ(chainage, c.chainage) << c.text;
    }
    double c = 7;
    for (const wchar_t* bad : {L"12+", L"abc", L"", L"+5", L"x+1"}) {
        EXPECT_EQ(StnFromString(bad, c, 100), 0) << bad;
        EXPECT_EQ(c, 7) << bad;
    }
}
