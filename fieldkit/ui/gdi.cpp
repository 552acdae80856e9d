#include "fieldkit/ui/gdi.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/errors.h"
#include "fieldkit/ui/detail/ui_state.h"
#include "fieldkit/ui/window.h"

using fieldkit::detail::NoThrow;

namespace {

fieldkit::detail::Mutex& GdiLock();

struct Bitmap : fieldkit::detail::HandleObject {
    LONG width = 0;
    LONG height = 0;
    bool bottomUp = false;  // a DIB section with positive height keeps its last row first
    // Sized at creation and never resized: the lock guards the pixels, which At reaches.
    std::vector<std::uint32_t> pixels;

    std::uint32_t& At(LONG x, LONG y) FIELDKIT_REQUIRES(GdiLock()) {
        const LONG row = bottomUp ? height - 1 - y : y;
        return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

struct DeviceContext : fieldkit::detail::HandleObject {
    HWND window = nullptr;
    bool memory = false;
    HGDIOBJ selected FIELDKIT_GUARDED_BY(GdiLock()) = nullptr;  // a memory context's bitmap
    HGDIOBJ ownDefault = nullptr;  // the 1 x 1 bitmap it was made with, freed with it
};

// Guards the pixels and selections of every bitmap and context.
struct GdiState {
    fieldkit::detail::Mutex lock;
    void Forget() {}  // the bitmaps and contexts live in the handle table
};

fieldkit::detail::Mutex& GdiLock()
    FIELDKIT_RETURN_CAPABILITY(fieldkit::detail::ProcessState<GdiState>::Get().lock) {
    return fieldkit::detail::ProcessState<GdiState>::Get().lock;
}

std::shared_ptr<DeviceContext> Context(HDC dc) {
    return fieldkit::detail::FindHandle<DeviceContext>(reinterpret_cast<HANDLE>(dc));
}

std::shared_ptr<Bitmap> BitmapOf(HGDIOBJ object) {
    return fieldkit::detail::FindHandle<Bitmap>(static_cast<HANDLE>(object));
}

// The allocating calls answer null, with ERROR_NOT_ENOUGH_MEMORY, when memory runs out.
HDC NewContext(HWND window, bool memory) {
    return NoThrow<HDC>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        auto dc = std::make_shared<DeviceContext>();
        dc->window = window;
        dc->memory = memory;
        return reinterpret_cast<HDC>(fieldkit::detail::AddHandle(std::move(dc)));
    });
}

// A new bitmap, or null when the size is not sensible (each side 1 to 32767 pixels).
HBITMAP NewBitmap(LONG width, LONG height, bool bottomUp, std::shared_ptr<Bitmap>* out) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return NoThrow<HBITMAP>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        auto b = std::make_shared<Bitmap>();
        b->width = width;
        b->height = height;
        b->bottomUp = bottomUp;
        b->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        if (out) *out = b;
        return static_cast<HBITMAP>(fieldkit::detail::AddHandle(std::move(b)));
    });
}

}  // namespace

HDC GetDC(HWND window) {
    if (window == nullptr) {
        return fieldkit::detail::CurrentScreen().available ? NewContext(nullptr, false) : nullptr;
    }
    return IsWindow(window) ? NewContext(window, false) : nullptr;
}

HDC GetWindowDC(HWND window) {
    return GetDC(window);
}

int ReleaseDC(HWND, HDC dc) {
    if (Context(dc) == nullptr) return 0;
    fieldkit::detail::RemoveHandle(reinterpret_cast<HANDLE>(dc));
    return 1;
}

int GetDeviceCaps(HDC dc, int index) {
    if (Context(dc) == nullptr) return 0;
    const fieldkit::detail::Screen s = fieldkit::detail::CurrentScreen();
    switch (index) {
        case LOGPIXELSX:
            return s.dpiX;
        case LOGPIXELSY:
            return s.dpiY;
        case HORZRES:
            return s.width;
        case VERTRES:
            return s.height;
        case BITSPIXEL:
            return 32;
        default:
            return 0;
    }
}

int GetSystemMetrics(int index) {
    const fieldkit::detail::Screen s = fieldkit::detail::CurrentScreen();
    return index == SM_CXSCREEN ? s.width : index == SM_CYSCREEN ? s.height : 0;
}

BOOL GetTextExtentExPointW(HDC dc, const wchar_t* text, int length, int maxExtent, int* fit,
                           int* partialWidths, SIZE* size) {
    if (Context(dc) == nullptr || text == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (length < 0) length = static_cast<int>(std::wcslen(text));
    const LONG charWidth = std::max(fieldkit::detail::CurrentScreen().charWidth, 0);
    int fitting = 0;
    for (int i = 0; i < length; ++i) {
        const LONG extent = charWidth * (i + 1);
        if (partialWidths) partialWidths[i] = static_cast<int>(extent);
        if (extent <= maxExtent) fitting = i + 1;
    }
    if (fit) *fit = fitting;
    if (size) *size = {charWidth * length, charWidth * 2};
    return TRUE;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc != nullptr && Context(dc) == nullptr) return nullptr;
    // A new memory context holds a 1 x 1 bitmap until another is selected, as on Win32.
    const HDC memory = NewContext(nullptr, true);
    if (memory == nullptr) return nullptr;
    const auto c = Context(memory);
    c->ownDefault = NewBitmap(1, 1, false, nullptr);
    {
        // The context is in the handle table already: another thread may select into it.
        fieldkit::detail::LockGuard guard(GdiLock());
        c->selected = c->ownDefault;
    }
    if (c->ownDefault == nullptr) {  // out of memory: no context without its bitmap
        fieldkit::detail::RemoveHandle(reinterpret_cast<HANDLE>(memory));
        return nullptr;
    }
    return memory;
}

BOOL DeleteDC(HDC dc) {
    const auto c = Context(dc);
    if (c == nullptr || !c->memory) return FALSE;
    fieldkit::detail::RemoveHandle(reinterpret_cast<HANDLE>(dc));
    // Other selected bitmaps stay with whoever owns them.
    if (c->ownDefault) fieldkit::detail::RemoveHandle(static_cast<HANDLE>(c->ownDefault));
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    const auto c = Context(dc);
    if (c == nullptr || !c->memory || BitmapOf(object) == nullptr) return nullptr;
    fieldkit::detail::LockGuard guard(GdiLock());
    const HGDIOBJ old = c->selected;
    c->selected = object;
    return old;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (BitmapOf(object) == nullptr) return FALSE;
    return fieldkit::detail::RemoveHandle(static_cast<HANDLE>(object)) ? TRUE : FALSE;
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits) {
    std::shared_ptr<Bitmap> b;
    const HBITMAP h = NewBitmap(width, height, false, &b);
    // Only 32-bit pixels can be taken over as they are; other depths start black.
    if (h && bits && bitsPerPixel == 32) {
        std::memcpy(b->pixels.data(), bits, b->pixels.size() * sizeof(std::uint32_t));
    }
    return h;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (info == nullptr || (dc != nullptr && Context(dc) == nullptr) ||
        info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG height = info->bmiHeader.biHeight;
    std::shared_ptr<Bitmap> b;
    const HBITMAP h =
        NewBitmap(info->bmiHeader.biWidth, height < 0 ? -height : height, height > 0, &b);
    if (h && bits) *bits = b->pixels.data();
    return h;
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
    const auto b = BitmapOf(object);
    if (b == nullptr) return 0;
    if (out == nullptr) return static_cast<int>(sizeof(BITMAP));
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{};
    info.bmWidth = b->width;
    info.bmHeight = b->height;
    info.bmWidthBytes = b->width * 4;
    info.bmPlanes = 1;
    info.bmBitsPixel = 32;
    info.bmBits = b->pixels.data();
    std::memcpy(out, &info, sizeof info);
    return static_cast<int>(sizeof(BITMAP));
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
    const auto d = Context(dst);
    const auto s = Context(src);
    if (d == nullptr || s == nullptr || rop != SRCCOPY || width <= 0 || height <= 0 ||
        srcWidth <= 0 || srcHeight <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    fieldkit::detail::LockGuard guard(GdiLock());
    const auto to = BitmapOf(d->selected);
    const auto from = BitmapOf(s->selected);
    if (to == nullptr || from == nullptr) return FALSE;
    // Nearest neighbour: target pixel i takes source pixel i * srcWidth / width (the pixel
    // whose span holds the target pixel's left edge), as the handheld's stretch does.
    for (int j = 0; j < height; ++j) {
        const long long ty = y + j;
        const long long sy = srcY + static_cast<long long>(j) * srcHeight / height;
        if (ty < 0 || ty >= to->height || sy < 0 || sy >= from->height) continue;
        for (int i = 0; i < width; ++i) {
            const long long tx = x + i;
            const long long sx = srcX + static_cast<long long>(i) * srcWidth / width;
            if (tx < 0 || tx >= to->width || sx < 0 || sx >= from->width) continue;
            to->At(static_cast<LONG>(tx), static_cast<LONG>(ty)) =
                from->At(static_cast<LONG>(sx), static_cast<LONG>(sy));
        }
    }
    return TRUE;
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits) {
    const auto b = BitmapOf(bitmap);
    if (b == nullptr || bits == nullptr || size <= 0) return 0;
    fieldkit::detail::LockGuard guard(GdiLock());
    // Rows from the top, 4 bytes a pixel.
    const std::size_t total = b->pixels.size() * 4;
    const std::size_t n = std::min(total, static_cast<std::size_t>(size));
    // Runs inside NoThrow under the lock taken above (the analysis sees a lambda apart).
    return NoThrow(LONG{0}, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
        std::vector<std::uint32_t> rows(b->pixels.size());
        for (LONG yy = 0; yy < b->height; ++yy) {
            for (LONG xx = 0; xx < b->width; ++xx) {
                rows[static_cast<std::size_t>(yy * b->width + xx)] = b->At(xx, yy);
            }
        }
        std::memcpy(bits, rows.data(), n);
        return static_cast<LONG>(n);
    });
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                           const void* bits) {
    if (m_hObject) return FALSE;
    m_hObject = ::CreateBitmap(width, height, planes, bitsPerPixel, bits);
    return m_hObject ? TRUE : FALSE;
}

BOOL CBitmap::Attach(HGDIOBJ bitmap) {
    if (m_hObject || BitmapOf(bitmap) == nullptr) return FALSE;
    m_hObject = bitmap;
    return TRUE;
}

HGDIOBJ CBitmap::Detach() {
    const HGDIOBJ bitmap = m_hObject;
    m_hObject = nullptr;
    return bitmap;
}

BOOL CBitmap::DeleteObject() {
    const HGDIOBJ bitmap = Detach();
    return bitmap ? ::DeleteObject(bitmap) : FALSE;
}

int CBitmap::GetBitmap(BITMAP* info) const {
    return GetObjectW(m_hObject, sizeof(BITMAP), info);
}

DWORD CBitmap::GetBitmapBits(DWORD count, void* bits) const {
    return static_cast<DWORD>(::GetBitmapBits(GetSafeHandle(), static_cast<LONG>(count), bits));
}
