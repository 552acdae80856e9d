#include "fieldkit/files/directory_tree.h"

#include "fieldkit/ui/window.h"
#include "tests/support/device_root.h"

namespace {

using FileFuncsEx::CompactPath;
using CompactPathTest = DeviceRootTest;

// Fault: a path cut one character short of fitting; the file name itself cut
TEST_F(CompactPathTest, ShortensStepByStepUntilItFits) {
    // Every character is 8 pixels wide; a window of client width W shows W - W/10 pixels.
    knobs_.CharWidth(8);
    const HWND window =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // 32 characters = 256 pixels; each stage is 248, 208, 168 and 104 pixels wide.
    const wchar_t* full = L"\\Card\\Data\\Jobs\\Project\\file.txt";
    const struct {
        int width;  // the limit it gives is in the comment
        const wchar_t *path, *expected;
        wchar_t separator = L'\\';
    } cases[] = {
        {284, full, full},                                     // 256: fits exactly
        {283, full, L"\\...\\Data\\Jobs\\Project\\file.txt"},  // 255
        {240, full, L"\\...\\Jobs\\Project\\file.txt"},        // 216
        {200, full, L"\\...\\Project\\file.txt"},              // 180
        {120, full, L"\\...\\file.txt"},                       // 108
        {1, full, L"\\...\\file.txt"},  // the smallest limit that tries; the name is never cut
        {0, full, full},                // a window without room: nothing to measure against
        // A trailing separator survives.
        {400, L"\\Card\\Data\\", L"\\Card\\Data\\"},
        {50, L"\\Card\\Data\\Jobs\\", L"\\...\\Jobs\\"},
        {50, L"/Card/Data/Jobs/", L"/.../Jobs/", L'/'},
        // Short components are skipped: the first long one takes the dots.
        {20, L"\\a\\bc\\file.txt", L"\\a\\bc\\file.txt"},
        {20, L"\\a\\bc\\Data\\Jobs\\f", L"\\a\\bc\\...\\f"},
        {20, L"Storage\\Data\\f", L"Storage\\...\\f"},  // nor is text before the first separator
    };
    for (const auto& c : cases) {
        MoveWindow(window, 0, 0, c.width, 20, FALSE);
        EXPECT_EQ(CompactPath(window, c.path, c.separator), CString(c.expected))
            << c.width << " " << fieldkit::WideToUtf8(c.path);
    }

    EXPECT_EQ(CompactPath(nullptr, full, L'\\'), CString(full));  // nothing to measure against
    EXPECT_EQ(CompactPath(window, nullptr, L'\\'), CString());
}

}  // namespace
