#include <gtest/gtest.h>

#include <climits>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/settings/ini_file.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

TEST(IniValues, WrittenText) {
    CINIFile ini;
    ini.SetIntValue(L"S", L"i", -5);
    ini.SetUintValue(L"S", L"u", 4000000000u);
    ini.SetRealValue(L"S", L"r", -0.25);
    ini.SetCharValue(L"S", L"c", L'X');
    ini.SetCharValue(L"S", L"n", L'\0');
    ini.SetHexValue(L"S", L"h", 255);
    ini.SetBoolValue(L"S", L"t", true);
    ini.SetBoolValue(L"S", L"f", false);
    ini.SetIntValue("S", "I", INT_MIN);
    ini.SetLongValue("S", "L", 4294967295UL);
    ini.SetRealValue("S", "R", 1.5);
    ini.SetValue("S", "V", L"text");
    CString all;
    for (const wchar_t* k :
         {L"i", L"u", L"r", L"c", L"n", L"h", L"t", L"f", L"I", L"L", L"R", L"V"})
        all += ini.GetStringValue(L"S", k, L"?") + L"|";
    EXPECT_EQ(all,
              L"-5|4000000000|-0.250000000000|X||0xFF|1|0|-2147483648|4294967295|"
              L"1.500000000000|text|");
    EXPECT_EQ(ini.GetCharValue(L"S", L"n", L'd'), L'd');  // NUL stored as the empty text
    EXPECT_DOUBLE_EQ(ini.GetRealValue(L"S", L"r", 0), -0.25);
}

TEST(IniValues, WideNameReading) {
    const struct {
        const wchar_t* text;
        int i, u;
        double r;
        unsigned hex;
        wchar_t c;
        char b;  // 'T', 'F' or 'D' for the default
    } cases[] = {
        {L"42xyz", 42, 42, 42, 0x42, L'4', 'D'},
        {L"abc", -7, 7, -1, 0xABC, L'a', 'D'},
        {L"", -7, 7, -1, 7, L'?', 'D'},
        {L" -12", -12, -12, -12, 0xFFFFFFEEu, L' ', 'D'},
        {L"0xFF", 0, 0, 255, 255, L'0', 'F'},
        {L"ff", -7, 7, -1, 255, L'f', 'D'},
        {L"1abc", 1, 1, 1, 0x1ABC, L'1', 'T'},
        {L"true", -7, 7, -1, 7, L't', 'D'},
        {L"1.5e2", 1, 1, 150, 1, L'1', 'T'},
        {L"4294967295", INT_MAX, -1, 4294967295.0, 0xFFFFFFFFu, L'4', 'D'},
    };
    for (const auto& c : cases) {
        CINIFile ini;
        ini.SetStringValue(L"S", L"k", c.text);
        EXPECT_EQ(ini.GetIntValue(L"S", L"k", -7), c.i) << c.text;
        EXPECT_EQ(ini.GetUintValue(L"S", L"k", 7), c.u) << c.text;
        EXPECT_DOUBLE_EQ(ini.GetRealValue(L"S", L"k", -1), c.r) << c.text;
        EXPECT_EQ(ini.GetHexValue(L"S", L"k", 7), c.hex) << c.text;
        EXPECT_EQ(ini.GetCharValue(L"S", L"k", L'?'), c.c) << c.text;
        const bool t = ini.GetBoolValue(L"S", L"k", true), f = ini.GetBoolValue(L"S", L"k", false);
        EXPECT_EQ(t == f ? (t ? 'T' : 'F') : 'D', c.b) << c.text;
        EXPECT_EQ(ini.GetStringValue(L"S", L"x", L"def") + ini.GetStringValue(L"S", L"k", L"def"),
                  CString(L"def") + c.text);
    }
}

TEST(IniValues, NarrowNameReading) {
    const struct {
        const wchar_t* text;
        int i;
        unsigned long l;
        double r;
    } cases[] = {
        {L"42xyz", 42, 42, 42},
        {L"abc", 0, 0, -1},
        {L"", 0, 0, -1},
        {L" +7", 7, 7, 7},
        {L"-1", -1, ULONG_MAX, -1},
        {L"-3000000000", INT_MIN, ULONG_MAX - 2999999999UL, -3e9},
        {L"4294967295", INT_MAX, 4294967295UL, 4294967295.0},
        {L"18446744073709551615", INT_MAX, ULONG_MAX, 18446744073709551615.0},
        {L"99999999999999999999", INT_MAX, ULONG_MAX, 1e20},
    };
    for (const auto& c : cases) {
        CINIFile ini;
        ini.SetValue("S", "k", c.text);
        EXPECT_EQ(ini.GetIntValue("S", "k", -7), c.i) << c.text;
        EXPECT_EQ(ini.GetLongValue("S", "k", 7), c.l) << c.text;
        EXPECT_DOUBLE_EQ(ini.GetRealValue("S", "k", -1), c.r) << c.text;
    }
    CINIFile ini;
    EXPECT_EQ(ini.GetIntValue("S", "l", -7), -7);
    EXPECT_EQ(ini.GetLongValue("S", "l", 7), 7UL);
    for (unsigned long v : {0UL, 2147483648UL, 4294967295UL, ULONG_MAX}) {
        ini.SetLongValue("S", "l", v);
        EXPECT_EQ(ini.GetLongValue("S", "l", 7), v);
    }
}

TEST(IniValues, NarrowAndWideNamesMeet) {
    CINIFile ini;
    ini.SetIntValue("Ma\xDF", "caf\xE9", 3);  // Windows-1252
    EXPECT_EQ(ini.GetIntValue(L"Ma\u00DF", L"caf\u00E9", 0), 3);
    ini.SetStringValue(L"S", L"k", L"w");
    EXPECT_EQ(ini.GetValue("S", "k", L""), L"w");
    ini.RemoveValue("S", "k");
    ini.RemoveValue(L"none", L"k");
    EXPECT_EQ(ini.GetValue("S", "k", L"gone"), L"gone");
    int count = 0;
    EXPECT_TRUE(ini.GetNumberOfSections(count) && count == 2);  // S stays, empty
}

using SettingsFileTest = DeviceRootTest;

TEST_F(SettingsFileTest, SaveAndLoadInTheSettingsFolder) {
    fieldkit::host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    SetAPPInfo(L"Survey", L"Survey", 1, TVersionInfo());
    CINIFile ini;
    ini.SetBoolValue(L"Units", L"Metric", true);
    Write("\\SD Card\\Survey Data", "a file where the folder belongs");
    EXPECT_FALSE(SaveSettingsFile(L"survey.ini", ini));
    EXPECT_EQ(Read("\\SD Card\\Survey Data"), "a file where the folder belongs");
    std::filesystem::remove(Host("\\SD Card\\Survey Data"));

    ASSERT_TRUE(SaveSettingsFile(L"survey.ini", ini));
    EXPECT_EQ(Read("\\SD Card\\Survey Data\\Settings\\survey.ini"), "[Units]\nMetric=1\n\n");
    CINIFile back;
    back.SetIntValue(L"Keep", L"k", 1);
    EXPECT_FALSE(LoadSettingsFile(L"other.ini", back));
    ASSERT_TRUE(LoadSettingsFile(L"survey.ini", back));
    EXPECT_TRUE(back.GetBoolValue(L"Units", L"Metric", false));
    EXPECT_EQ(back.GetIntValue(L"Keep", L"k", 0), 1);
}

}  // namespace
