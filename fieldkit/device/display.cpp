#include "fieldkit/device/display.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/memory.h"
#include "fieldkit/ui/detail/scoped_dc.h"

namespace {

// The layouts were drawn for 96 dpi; the nearest double to 1/96, multiplied rather than
// divided, so that every screen gives the factors the handheld computed.
constexpr double kPerDesignDot = 0.010416666666666666;

// 0.0 means not measured yet. Each factor is its own atomic: a reader that sees either one
// still zero measures again, and a measurement stores only finished values, so a half-written
// pair is never used.
struct FactorState {
    std::atomic<double> x{0.0};
    std::atomic<double> y{0.0};
    void Forget() {
        x.store(0.0);
        y.store(0.0);
    }
};

FactorState& State() {
    return fieldkit::detail::ProcessState<FactorState>::Get();
}

struct Factors {
    double x;
    double y;
    bool Measured() const { return x != 0.0 && y != 0.0; }
};

Factors Measure() noexcept {
    FactorState& s = State();
    Factors f{s.x.load(), s.y.load()};
    if (f.Measured()) return f;
    bool screenFound = false;
    const bool whole = fieldkit::detail::NoThrow([&] {
        const fieldkit::detail::ScopedDC screen(nullptr, GetDC(nullptr));
        if (screen.Get() == nullptr) return;
        screenFound = true;
        f.x = GetDeviceCaps(screen.Get(), LOGPIXELSX) * kPerDesignDot;
        f.y = GetDeviceCaps(screen.Get(), LOGPIXELSY) * kPerDesignDot;
        // That model's screen reports 96 dpi but its layouts need these factors.
        if (IsHalvaneDevice()) {
            f.x = 1.2;
            f.y = 1.7;
        }
    });
    if (!whole) return Factors{0.0, 0.0};  // a context that couldn't be had: as without a screen
    if (!screenFound) return f;            // unmeasured; the next call tries again
    s.x.store(f.x);
    s.y.store(f.y);
    return f;
}

// An unmeasured factor leaves the value as drawn: without a screen there is no better
// answer, and 0 would collapse every size it is used for.
int Scale(int value, double factor) {
    if (factor == 0.0) return value;
    return fieldkit::detail::TruncToInt32(static_cast<double>(value) * factor);
}

// The memory contexts and the new section of one stretch; whatever is still held is given
// back however the copy ends.
class StretchCopy {
  public:
    explicit StretchCopy(HDC screen)
        : m_src(CreateCompatibleDC(screen)), m_dst(CreateCompatibleDC(screen)) {}
    ~StretchCopy() {
        Deselect();
        if (m_src != nullptr) DeleteDC(m_src);
        if (m_dst != nullptr) DeleteDC(m_dst);
        if (m_section != nullptr) DeleteObject(m_section);
    }
    StretchCopy(const StretchCopy&) = delete;
    StretchCopy& operator=(const StretchCopy&) = delete;

    // The new section holding the stretched copy, or null when any step failed.
    HBITMAP Run(HBITMAP from, int width, int height, int newWidth, int newHeight) {
        if (m_src == nullptr || m_dst == nullptr) return nullptr;
        const std::uint64_t imageSize =
            static_cast<std::uint64_t>(newWidth) * static_cast<std::uint64_t>(newHeight) * 4u;
        if (imageSize > UINT32_MAX) return nullptr;

        BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = newWidth;
        info.bmiHeader.biHeight = -newHeight;  // rows from the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        info.bmiHeader.biSizeImage = static_cast<DWORD>(imageSize);

        // A memory context always holds a bitmap, so a null answer is a failed selection.
        m_oldSrc = SelectObject(m_src, from);
        if (m_oldSrc == nullptr) return nullptr;
        m_srcSelected = true;
        void* bits = nullptr;
        m_section = CreateDIBSection(m_dst, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (m_section == nullptr) return nullptr;
        m_oldDst = SelectObject(m_dst, m_section);
        if (m_oldDst == nullptr) return nullptr;
        m_dstSelected = true;
        if (!StretchBlt(m_dst, 0, 0, newWidth, newHeight, m_src, 0, 0, width, height, SRCCOPY)) {
            return nullptr;
        }
        // Both bitmaps leave their contexts before the section is handed on.
        Deselect();
        HBITMAP done = m_section;
        m_section = nullptr;
        return done;
    }

  private:
    void Deselect() {
        if (m_srcSelected) SelectObject(m_src, m_oldSrc);
        if (m_dstSelected) SelectObject(m_dst, m_oldDst);
        m_srcSelected = m_dstSelected = false;
    }

    HDC m_src;
    HDC m_dst;
    HGDIOBJ m_oldSrc = nullptr;
    HGDIOBJ m_oldDst = nullptr;
    bool m_srcSelected = false;
    bool m_dstSelected = false;
    HBITMAP m_section = nullptr;
};

void StretchToScreen(CBitmap& bitmap) {
    if (!IsDPIDepends()) return;
    const fieldkit::detail::ScopedDC screen(nullptr, GetDC(nullptr));
    if (screen.Get() == nullptr) return;
    BITMAP old{};
    if (bitmap.m_hObject == nullptr ||
        GetObjectW(bitmap.m_hObject, static_cast<int>(sizeof(old)), &old) == 0) {
        return;
    }
    const int width = old.bmWidth;
    const int height = old.bmHeight;
    const int newWidth = GetDPIDependValueX(width);
    const int newHeight = GetDPIDependValueY(height);
    // A bitmap scaled to nothing (or measured without a screen) stays as it was.
    if (width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0) return;

    HBITMAP stretched = nullptr;
    {
        StretchCopy copy(screen.Get());
        stretched =
            copy.Run(static_cast<HBITMAP>(bitmap.m_hObject), width, height, newWidth, newHeight);
    }
    if (stretched == nullptr) return;  // keep the old bitmap rather than lose it
    bitmap.DeleteObject();
    if (!bitmap.Attach(stretched)) DeleteObject(stretched);
}

}  // namespace

bool IsHalvaneDevice() {
    return GetSystemMetrics(SM_CXSCREEN) == 800 && GetSystemMetrics(SM_CYSCREEN) == 480;
}

bool IsArcher2Device() {
    return GetSystemMetrics(SM_CXSCREEN) == 480 && GetSystemMetrics(SM_CYSCREEN) == 800;
}

bool IsDPIDepends() {
    const Factors f = Measure();
    if (IsHalvaneDevice()) return false;
    return f.x != 1.0 || f.y != 1.0;
}

int GetDPIDependValue(int value) {
    const Factors f = Measure();
    return Scale(value, f.x > f.y ? f.x : f.y);
}

int GetDPIDependValueX(int value) {
    return Scale(value, Measure().x);
}

int GetDPIDependValueY(int value) {
    return Scale(value, Measure().y);
}

void ChangeBitmapByDPI(CBitmap& bitmap) {
    // On a throw the copy's contexts and section are freed on the way out; the bitmap is unchanged.
    fieldkit::detail::NoThrow([&] { StretchToScreen(bitmap); });
}

namespace MemoryFuncs {

unsigned long GetFreeSliderMemory() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    return status.dwAvailPhys;
}

unsigned long GetFreeVirtMemory() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    return std::min(status.dwAvailVirtual, status.dwAvailPhys);
}

}  // namespace MemoryFuncs
