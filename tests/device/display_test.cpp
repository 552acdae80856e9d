#include "fieldkit/device/display.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <thread>
#include <tuple>
#include <vector>

#include "fieldkit/device/connection_port.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/memory.h"
#include "fieldkit/ui/ui_host.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace {

// The screen is not part of the process state; every test leaves the default one behind.
class DisplayTest : public DeviceRootTest {
  protected:
    void TearDown() override {
        fieldkit::host::SetScreenAvailable(true);
        fieldkit::host::SetScreen(480, 640, 96, 96);
        DeviceRootTest::TearDown();
    }
    static void Screen(int width, int height, int dpiX, int dpiY) {
        fieldkit::host::SetScreen(width, height, dpiX, dpiY);
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

TEST_F(DisplayTest, FactorsFollowTheScreen) {
    const int M = INT_MAX;
    const ScreenCase cases[] = {
        {240, 320, 96, 96, false, false, false, true, {{-7, -7, -7, -7}}},
        {480, 640, 192, 192, false, false, true, false, {{15, 30, 30, 30}, {M, M, M, M}}},
        {480, 640, 120, 120, false, false, true, false, {{10, 12, 12, 12}}},  // 12.5 truncated
        {480, 640, 144, 96, false, false, true, false, {{10, 15, 10, 15}}},
        {480, 640, 96, 144, false, false, true, false, {{10, 10, 15, 15}}},
        {480, 640, 96, 96, false, false, false, true, {{10, 10, 10, 10}}},
        // At 48 dpi a pixel scales to nothing.
        {480, 640, 48, 48, false, false, true, true, {{10, 5, 5, 5}}},
        // The 800 x 480 model takes fixed factors whatever its dpi (5.1 is cut to 5), yet reports
        // no dependence.
        {800, 480, 96, 96, true, false, false, true, {{3, 3, 5, 5}, {-3, -3, -5, -5}}},
        {800, 480, 192, 192, true, false, false, true, {{10, 12, 17, 17}}},
        {480, 800, 96, 96, false, true, false, true, {{10, 10, 10, 10}}},
        {480, 800, 192, 96, false, true, true, false, {{10, 20, 10, 20}}},
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

TEST_F(DisplayTest, FactorsAreMeasuredOnceAScreenIsThere) {
    fieldkit::host::SetScreen(480, 640, 192, 192);
    fieldkit::host::SetScreenAvailable(false);
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(2, 2, 1, 32, nullptr));
    const HBITMAP before = bitmap;
    EXPECT_TRUE(IsDPIDepends());
    EXPECT_EQ(GetDPIDependValue(-4), -4);  // left as drawn, not collapsed to 0
    ChangeBitmapByDPI(bitmap);
    EXPECT_EQ(static_cast<HBITMAP>(bitmap), before);

    fieldkit::host::SetScreenAvailable(true);
    EXPECT_EQ(GetDPIDependValueX(15), 30);
    fieldkit::host::SetScreen(480, 640, 96, 96);  // kept for the life of the process...
    EXPECT_EQ(GetDPIDependValueY(15), 30);
    fieldkit::host::ResetProcessState();  // ...or until a test forgets it
    EXPECT_EQ(GetDPIDependValueY(15), 15);
}

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

TEST(MemoryFuncsTest, FiguresArePlausible) {
    MEMORYSTATUS status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    for (const unsigned long free :
         {MemoryFuncs::GetFreeSliderMemory(), MemoryFuncs::GetFreeVirtMemory()}) {
        EXPECT_GT(free, 0ul);
        EXPECT_LE(free, status.dwTotalPhys);
    }
}

TConnectionPort P(unsigned value) {
    return TConnectionPort(static_cast<TConnectionPort::ECommPort>(value));
}

TEST(ConnectionPort, FlagsAndNumbers) {
    const TConnectionPort port;  // Bluetooth without a number
    EXPECT_TRUE(port.IsBluetooth());
    EXPECT_FALSE(port.IsUSB() || port.IsUnregistered() || port.IsKVLN());
    EXPECT_EQ(port.GetCommPort(), 0u);
    EXPECT_FALSE(port.IsValidPort());

    const TConnectionPort usb = P(0x403);
    EXPECT_TRUE(usb.IsUSB());
    EXPECT_EQ(usb.GetCommPort(), 3u);
    EXPECT_FALSE(usb == P(3));
    EXPECT_TRUE(P(0xA05).IsKVLN());
    EXPECT_TRUE(P(0x205).IsUnregistered());
    for (const unsigned v : {0x403u, 99u, 1u, 0xF63u})
        EXPECT_TRUE(P(v).IsValidPort()) << v;
    for (const unsigned v : {100u, 0u, 0x1001u, 0xFFFFFFFFu})
        EXPECT_FALSE(P(v).IsValidPort()) << v;
    // Bits above the flags belong to the number.
    EXPECT_EQ(P(0x1001).GetCommPort(), 0x1001u);
    TConnectionPort copy;
    copy = usb;
    EXPECT_TRUE(copy == usb);
}

}  // namespace
