#include "fieldkit/environment/app_info.h"

#include <gtest/gtest.h>

#include "fieldkit/environment/app_record.h"
#include "fieldkit/environment/directories.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/system.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

class AppInfoTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fieldkit::host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    }
};

TEST_F(AppInfoTest, GetterFirstCreatesAnEmptyRecord) {
    EXPECT_EQ(GetAPPNAME() + GetAPPTITLE() + GetAPPVersion().third, L"");
    EXPECT_EQ(GetAPPModule(), 0);
    SetAPPInfo(L"Survey", L"Survey", 1, TVersionInfo());
    EXPECT_EQ(GetAPPNAME(), L"Survey");
    EXPECT_EQ(GetDataDir(), L"\\SD Card\\ Data");  // named while the name was empty
}

TEST_F(AppInfoTest, LaterIdentityReplacesAllFourButNotTheLayout) {
    SetAPPInfo(L"Survey", L"Field Survey", 7, TVersionInfo{L"2", L"14", L"beta"});
    SetAPPInfo(L"Road", L"Road Design", -3, TVersionInfo{L"", L"x", L""});
    const TVersionInfo v = GetAPPVersion();
    EXPECT_EQ(
        GetAPPNAME() + L"|" + GetAPPTITLE() + L"|" + v.first + L"|" + v.second + L"|" + v.third,
        L"Road|Road Design||x|");
    EXPECT_EQ(GetAPPModule(), -3);
    EXPECT_EQ(GetDataDir(), L"\\SD Card\\Survey Data");
}

TEST_F(AppInfoTest, RegistryKeyIsAskedOncePerProcess) {
    using fieldkit::detail::HasORVVersionKey;
    const wchar_t* name = L"System\\ORV\\Version";
    EXPECT_FALSE(HasORVVersionKey());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              0);
    RegCloseKey(key);
    EXPECT_FALSE(HasORVVersionKey());  // the kept answer
    fieldkit::host::ResetProcessState();
    EXPECT_TRUE(HasORVVersionKey());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, name);
    EXPECT_TRUE(HasORVVersionKey());
}

}  // namespace
