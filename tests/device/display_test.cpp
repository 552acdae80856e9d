#include "fieldkit/device/display.h"

#include <array>
#include <climits>
#include <cstdint>
#include <thread>
#include <tuple>
#include <vector>

#include "fieldkit/platform/host.h"
#include "fieldkit/platform/memory.h"
#include "tests/support/device_root.h"

namespace {

// The screen is not part of the process state: the knobs put the default one back.
class DisplayTest : public DeviceRootTest {
  protected:
    void Screen(int width, int height, int dpiX, int dpiY) {
        knobs_.Screen(width, height, dpiX, dpiY);
        fieldkit::host::ResetProcessState();
    }
};

// 3 x 2 pixels, each one its own value, rows from the top.
const std::uint32_t kSmall[] = {0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606};

// A screen, what it makes of the device, whether a bitmap of one pixel is left alone, and values
// scaled on it: {in, x, y, larger}.
struct ScreenCase {
    int width, height, dpiX, dpiY;
    bool halvane, archer, depends, bitmapKept;
    std::vector<std::array<int, 4>> values;
};

// Fault: a factor rounded instead of cut; the 800 x 480 model not taking its fixed factors
TEST_F(DisplayTest, FactorsFollowTheScreen) {
    const int M = INT_MAX;
    const ScreenCase cases[] = {
        {240, 320, 96, 96, false, false, false, true, {{-7, -7, -7, -7}}},
        {480, 640, 192, 192, false, false, true, false, {{15, 30, 30, 30}, {M, M, M, M}}},
        {480, 640, 120, 120, false, false, true, false, {{10, 12, 12, 12}}},  // 12.5 truncated
        {480, 640, 144, 96, false, false, true, false, {{10, 15, 10, 15}}},
        {480, 640, 96, 144, false, false, true, false, {{10, 10, 15, 15}}},
        // At 48 dpi a pixel scales to nothing.
        {480, 640, 48, 48, false, false, true, true, {{10, 5, 5, 5}}},
        // The 800 x 480 model takes fixed factors whatever its dpi (5.1 is cut to 5), yet reports
        // no dependence.
        {800, 480, 96, 96, true, false, false, true, {{3, 3, 5, 5}, {-3, -3, -5, -5}}},
        {800, 480, 192, 192, true, false, false, true, {{10, 12, 17, 17}}},
        {480, 800, 96, 96, false, true, false, true, {{10, 10, 10, 10}}},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " " << c.dpiX << "/" << c.dpiY);
        Screen(c.width, c.height, c.dpiX, c.dpiY);
        EXPECT_EQ(std::make_tuple(IsHalvaneDevice(), IsArcher2Device(), IsDPIDepends()),
                  std::make_tuple(c.halvane, c.archer, c.depends));
        for (const std::array<int, 4>& v : c.values) {
            const int in = v[0];
            EXPECT_EQ((std::array{in, GetDPIDependValueX(in), GetDPIDependValueY(in),
                                  GetDPIDependValue(in)}),
                      v);
        }
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateBitmap(1, 1, 1, 32, kSmall));
        const HBITMAP before = bitmap;
        ChangeBitmapByDPI(bitmap);
        EXPECT_TRUE(!c.bitmapKept || static_cast<HBITMAP>(bitmap) == before);
    }
}

// Fault: factors measured while no screen is there, or measured again after the first time
TEST_F(DisplayTest, FactorsAreMeasuredOnceAScreenIsThere) {
    knobs_.Screen(480, 640, 192, 192);
    knobs_.ScreenAvailable(false);
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(2, 2, 1, 32, nullptr));
    const HBITMAP before = bitmap;
    EXPECT_TRUE(IsDPIDepends());
    EXPECT_EQ(GetDPIDependValue(-4), -4);  // left as drawn, not collapsed to 0
    ChangeBitmapByDPI(bitmap);
    EXPECT_EQ(static_cast<HBITMAP>(bitmap), before);

    knobs_.ScreenAvailable(true);
    EXPECT_EQ(GetDPIDependValueX(15), 30);
    knobs_.Screen(480, 640, 96, 96);  // kept for the life of the process...
    EXPECT_EQ(GetDPIDependValueY(15), 30);
    fieldkit::host::ResetProcessState();  // ...or until a test forgets it
    EXPECT_EQ(GetDPIDependValueY(15), 15);
}

// Fault: two threads measuring the factors at once each seeing a half-set pair
TEST_F(DisplayTest, ConcurrentFirstUseAgrees) {
    Screen(800, 480, 96, 96);
    std::vector<int> seen(8, 0);
    std::vector<std::thread> threads;
    for (int& out : seen)
        threads.emplace_back([&out] { out = GetDPIDependValueY(100) + GetDPIDependValueX(100); });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(seen, std::vector<int>(8, 170 + 120));
}

// Fault: a bitmap stretched across and down by the same factor, or rows and columns swapped
TEST_F(DisplayTest, BitmapIsStretchedByEachFactor) {
    Screen(480, 640, 192, 288);  // 2 across, 3 down
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(3, 2, 1, 32, kSmall));
    ChangeBitmapByDPI(bitmap);

    BITMAP info{};
    bitmap.GetBitmap(&info);
    ASSERT_EQ((std::array{info.bmWidth, info.bmHeight}), (std::array<LONG, 2>{6, 6}));
    std::uint32_t pixels[36] = {};
    bitmap.GetBitmapBits(sizeof pixels, pixels);
    for (int i = 0; i < 36; ++i) {
        const int row = i / 6, col = i % 6;
        EXPECT_EQ(pixels[i], kSmall[(row / 3) * 3 + col / 2]) << "row " << row << " col " << col;
    }
}

// Fault: free memory given in the wrong unit, or above the physical memory
TEST(MemoryFuncsTest, FiguresArePlausible) {
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    for (const unsigned long free :
         {MemoryFuncs::GetFreeSliderMemory(), MemoryFuncs::GetFreeVirtMemory()})
        EXPECT_TRUE(free > 0 && free <= status.dwTotalPhys) << free << " of " << status.dwTotalPhys;
}

}  // namespace
