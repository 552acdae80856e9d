#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/memory.h"
#include "fieldkit/platform/module.h"
#include "fieldkit/platform/registry.h"
#include "fieldkit/platform/sync.h"
#include "fieldkit/platform/systime.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/host_knobs.h"

namespace {

SYSTEMTIME Time(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms = 0) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

}  // namespace

// Fault: file times counted from 1970 instead of 1601, or 29 February accepted in a common year
TEST(DeviceTime, FileTimesAndCalendarTimes) {
    FILETIME ft;
    SYSTEMTIME st = Time(1970, 1, 1, 0, 0, 0);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime,
              116444736000000000ULL);
    st = Time(2024, 2, 29, 23, 59, 58, 999);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    // 29 February 2024 was a Thursday (day 4).
    EXPECT_EQ((std::array<int, 8>{back.wYear, back.wMonth, back.wDayOfWeek, back.wDay, back.wHour,
                                  back.wMinute, back.wSecond, back.wMilliseconds}),
              (std::array<int, 8>{2024, 2, 4, 29, 23, 59, 58, 999}));
    st = Time(1601, 1, 1, 0, 0, 0);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(ft.dwLowDateTime | ft.dwHighDateTime, 0u);
    for (const SYSTEMTIME& bad : {Time(2023, 2, 29, 0, 0, 0), Time(2023, 13, 1, 0, 0, 0),
                                  Time(2023, 1, 1, 24, 0, 0), Time(1600, 12, 31, 0, 0, 0)}) {
        EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
    }
    FILETIME a{1, 0}, b{0, 1};
    EXPECT_EQ(CompareFileTime(&a, &b), -1);
    EXPECT_EQ(CompareFileTime(&b, &a), 1);
    EXPECT_EQ(CompareFileTime(&a, &a), 0);
}

// Fault: local time ignores TZ or its summer time, so a July time is an hour off
TEST(DeviceTime, LocalTimeFollowsTZ) {
    HostKnobs knobs;
    knobs.Env("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    for (const auto& [utc, hour] :
         {std::pair{Time(2019, 1, 15, 8, 5, 0), 9}, std::pair{Time(2019, 7, 1, 8, 5, 0), 10}}) {
        FILETIME ft, local;
        SystemTimeToFileTime(&utc, &ft);
        EXPECT_TRUE(FileTimeToLocalFileTime(&ft, &local));
        SYSTEMTIME st;
        FileTimeToSystemTime(&local, &st);
        EXPECT_EQ(st.wHour * 100 + st.wMinute, hour * 100 + 5);
    }
}

// Fault: a quoted literal in a time picture read as fields, or a short buffer overrun
TEST(DeviceTime, TimePictures) {
    const SYSTEMTIME t = Time(2019, 3, 1, 14, 3, 5);
    wchar_t buf[32];
    EXPECT_EQ(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &t, L"HHmmss", buf, 32), 7);
    EXPECT_STREQ(buf, L"140305");
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &t, L"h:m:s tt 'o''clock'", buf, 32);
    EXPECT_STREQ(buf, L"2:3:5 PM o'clock");
    EXPECT_EQ(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &t, L"HHmmss", nullptr, 0), 7);
    EXPECT_EQ(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &t, L"HHmmss", buf, 6), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, nullptr, L"HHmmss", buf, 32), 7);
    const DWORD t0 = GetTickCount();
    EXPECT_LE(GetTickCount() - t0, 1000u);
}

// Fault: a module name or string resource not cut to a short buffer, or not ended there
TEST(DeviceSystem, ModuleFileNameAndStringResources) {
    HostKnobs knobs;
    wchar_t buf[MAX_PATH];
    knobs.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, MAX_PATH), 26u);
    EXPECT_STREQ(buf, L"\\SD Card\\Survey\\Survey.exe");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 5), 5u);  // cut, as Win32 reports it
    EXPECT_STREQ(buf, L"\\SD ");
    knobs.ModuleFileName(L"");
    ASSERT_GT(GetModuleFileNameW(nullptr, buf, MAX_PATH), 0u);
    EXPECT_EQ(buf[0], L'\\');  // the real program, as a device path
    // Resources are seen at work through the translations; a short buffer cuts them.
    knobs.StringResource(nullptr, 7, L"Seven");
    EXPECT_EQ(LoadStringW(nullptr, 7, buf, 4), 3);
    EXPECT_STREQ(buf, L"Sev");
}

// Fault: registry names compared with regard to case, or a key with a subkey deleted
TEST(DeviceSystem, RegistryKeys) {
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\ORV\\Version", 0, KEY_READ, &k),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"System\\ORV\\Version", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, &disposition),
              0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(k), 0);
    EXPECT_EQ(RegCloseKey(k), static_cast<LONG>(ERROR_INVALID_HANDLE));
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"system\\orv", 0, KEY_READ, &k), 0);
    HKEY sub = nullptr;
    EXPECT_EQ(RegOpenKeyExW(k, L"VERSION", 0, KEY_READ, &sub), 0);
    RegCloseKey(sub);
    EXPECT_EQ(RegDeleteKeyW(k, L""), static_cast<LONG>(ERROR_ACCESS_DENIED));  // has a subkey
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"System\\ORV\\Version"), 0);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"System\\ORV"), 0);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"System"), 0);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System", 0, KEY_READ, &k),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

// Fault: a second event of one name made anew, or a manual-reset event reset by a wait
TEST(Sync, NamedManualResetEvents) {
    const HANDLE a = CreateEventW(nullptr, TRUE, FALSE, L"Tic Timer Started");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    const HANDLE b = CreateEventW(nullptr, TRUE, FALSE, L"Tic Timer Started");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(a, 10), WAIT_TIMEOUT);
    std::thread setter([] {
        const HANDLE h = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Tic Timer Started");
        EventModify(h, EVENT_SET);
        CloseHandle(h);
    });
    EXPECT_EQ(WaitForSingleObject(b, 5000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);  // manual reset: stays set
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Tic Timer Started"), nullptr);  // gone
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
}

// The physical figures are checked with the device's memory figures.
// Fault: the virtual memory figures left at zero, or free above total
TEST(Memory, VirtualFiguresComeFromTheKernel) {
    MEMORYSTATUS s{};
    GlobalMemoryStatus(&s);
    EXPECT_TRUE(0 < s.dwAvailVirtual && s.dwAvailVirtual <= s.dwTotalVirtual) << s.dwAvailVirtual;
}
