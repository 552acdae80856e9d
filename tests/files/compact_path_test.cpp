#include "fieldkit/files/directory_tree.h"

#include "fieldkit/ui/window.h"
#include "tests/support/device_root.h"

namespace {

using FileFuncsEx::CompactPath;

// Every character is 8 pixels wide; a window of client width W shows W - W/10 pixels.
class CompactPathTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        knobs_.CharWidth(8);
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
        return CompactPath(window_, path, separator);
    }

    HWND window_ = nullptr;
};

TEST_F(CompactPathTest, ShortensStepByStepUntilItFits) {
    // 32 characters = 256 pixels; each stage is 248, 208, 168 and 104 pixels wide.
    const wchar_t* full = L"\\Card\\Data\\Jobs\\Project\\file.txt";
    const struct {
        int width;  // the limit it gives is in the comment
        const wchar_t *path, *expected;
    } cases[] = {
        {284, full, full},                                     // 256: fits exactly
        {283, full, L"\\...\\Data\\Jobs\\Project\\file.txt"},  // 255
        {280, full, L"\\...\\Data\\Jobs\\Project\\file.txt"},  // 252
        {240, full, L"\\...\\Jobs\\Project\\file.txt"},        // 216
        {200, full, L"\\...\\Project\\file.txt"},              // 180
        {120, full, L"\\...\\file.txt"},                       // 108
        {50, full, L"\\...\\file.txt"},                        // 45: the name is never cut
        {1, full, L"\\...\\file.txt"},                         // the smallest limit that tries
        {0, full, full},  // a window without room: nothing to measure against
        // A trailing separator survives.
        {400, L"\\Card\\Data\\", L"\\Card\\Data\\"},
        {50, L"\\Card\\Data\\Jobs\\", L"\\...\\Jobs\\"},
        {10, L"\\a\\", L"\\a\\"},
        // Short components are skipped: the first long one takes the dots.
        {20, L"\\a\\bc\\file.txt", L"\\a\\bc\\file.txt"},
        {20, L"\\a\\bc\\Data\\Jobs\\f", L"\\a\\bc\\...\\f"},
        {20, L"Storage\\Data\\f", L"Storage\\...\\f"},  // nor is text before the first separator
    };
    for (const auto& c : cases)
        EXPECT_EQ(Compact(c.width, c.path), CString(c.expected)) << c.width;
    EXPECT_EQ(Compact(50, L"/Card/Data/Jobs/", L'/'), CString(L"/.../Jobs/"));

    // Nothing to measure against: no window, or one that is gone.
    EXPECT_EQ(CompactPath(nullptr, full, L'\\'), CString(full));
    HWND gone =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(CompactPath(gone, full, L'\\'), CString(full));
    EXPECT_EQ(CompactPath(window_, nullptr, L'\\'), CString());
    EXPECT_EQ(CompactPath(window_, L"", L'\\'), CString());
}

}  // namespace
