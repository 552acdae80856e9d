#include "fieldkit/environment/app_info.h"

#include "fieldkit/environment/directories.h"
#include "tests/support/device_root.h"

namespace {

using AppInfoTest = DeviceRootTest;

// A getter asked first creates an empty record, and the layout is named from it; a later
// identity replaces all four parts but not the layout.
// Fault: a second identity renaming the data folder, or keeping a part of the first
TEST_F(AppInfoTest, LaterIdentityReplacesAllFourButNotTheLayout) {
    knobs_.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    EXPECT_EQ(GetAPPNAME() + GetAPPTITLE() + GetAPPVersion().third, L"");
    EXPECT_EQ(GetAPPModule(), 0);
    SetAPPInfo(L"Survey", L"Field Survey", 7, TVersionInfo{L"2", L"14", L"beta"});
    SetAPPInfo(L"Road", L"Road Design", -3, TVersionInfo{L"", L"x", L""});
    const TVersionInfo v = GetAPPVersion();
    EXPECT_EQ(
        GetAPPNAME() + L"|" + GetAPPTITLE() + L"|" + v.first + L"|" + v.second + L"|" + v.third,
        L"Road|Road Design||x|");
    EXPECT_EQ(GetAPPModule(), -3);
    EXPECT_EQ(GetDataDir(), L"\\SD Card\\ Data");  // named while the name was empty
}

}  // namespace
