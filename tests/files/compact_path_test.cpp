#include <gtest/gtest.h>

#include "fieldkit/files/directory_tree.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/window.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

// Every character is 8 pixels wide; a window of client width W shows W - W/10 pixels.
class CompactPathTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fieldkit::host::SetCharWidth(8);
        window_ = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr,
                                nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window_);
        DeviceRootTest::TearDown();
    }
    CString Compact(int width, const wchar_t* path, wchar_t separator = L'\\') {
        MoveWindow(window_, 0, 0, width, 20, FALSE);
        return FileFuncsEx::CompactPath(window_, path, separator);
    }

    HWND window_ = nullptr;
};

TEST_F(CompactPathTest, ShortensStepByStepUntilItFits) {
    // 32 characters = 256 pixels; each stage is 248, 208, 168 and 104 pixels wide.
    const wchar_t* path = L"\\Card\\Data\\Jobs\\Project\\file.txt";
    const struct {
        int width;  // the limit it gives is in the comment
        const wchar_t* expected;
    } cases[] = {
        {284, L"\\Card\\Data\\Jobs\\Project\\file.txt"},  // 256: fits exactly
        {283, L"\\...\\Data\\Jobs\\Project\\file.txt"},   // 255
        {280, L"\\...\\Data\\Jobs\\Project\\file.txt"},   // 252
        {240, L"\\...\\Jobs\\Project\\file.txt"},         // 216
        {200, L"\\...\\Project\\file.txt"},               // 180
        {120, L"\\...\\file.txt"},                        // 108
        {50, L"\\...\\file.txt"},                         // 45: the name is never cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(Compact(c.width, path), CString(c.expected));
    }
}

TEST_F(CompactPathTest, TrailingSeparatorSurvives) {
    EXPECT_EQ(Compact(400, L"\\Card\\Data\\"), CString(L"\\Card\\Data\\"));
    EXPECT_EQ(Compact(50, L"\\Card\\Data\\Jobs\\"), CString(L"\\...\\Jobs\\"));
    EXPECT_EQ(Compact(10, L"\\a\\"), CString(L"\\a\\"));
    EXPECT_EQ(Compact(50, L"/Card/Data/Jobs/", L'/'), CString(L"/.../Jobs/"));
}

TEST_F(CompactPathTest, ShortComponentsAreSkipped) {
    EXPECT_EQ(Compact(20, L"\\a\\bc\\file.txt"), CString(L"\\a\\bc\\file.txt"));
    // The first long component takes the dots; the short ones before it stay.
    EXPECT_EQ(Compact(20, L"\\a\\bc\\Data\\Jobs\\f"), CString(L"\\a\\bc\\...\\f"));
    // Text before the first separator is never shortened either.
    EXPECT_EQ(Compact(20, L"Storage\\Data\\f"), CString(L"Storage\\...\\f"));
}

TEST_F(CompactPathTest, NothingToMeasureAgainst) {
    const wchar_t* path = L"\\Card\\Data\\Jobs\\Project\\file.txt";
    EXPECT_EQ(FileFuncsEx::CompactPath(nullptr, path, L'\\'), CString(path));
    EXPECT_EQ(Compact(0, path), CString(path));
    EXPECT_EQ(Compact(1, path), CString(L"\\...\\file.txt"));  // the smallest limit that tries
    HWND gone =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(FileFuncsEx::CompactPath(gone, path, L'\\'), CString(path));
    EXPECT_EQ(FileFuncsEx::CompactPath(window_, nullptr, L'\\'), CString());
    EXPECT_EQ(FileFuncsEx::CompactPath(window_, L"", L'\\'), CString());
}

}  // namespace
