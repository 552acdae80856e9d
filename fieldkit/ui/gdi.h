/// @file
/// Drawing on the emulated device: the screen (size and dots per inch set with
/// fieldkit::host::SetScreen), device contexts, text measurement with the emulated font (every
/// character SetCharWidth pixels wide), and 32-bit bitmaps with nearest-neighbour stretching.
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD BI_RGB = 0;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  ///< negative: rows from the top
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

/// The screen's context for a null window, or null when the screen is unavailable
/// (fieldkit::host::SetScreenAvailable(false)); a window's context otherwise.
///@{
FIELDKIT_API HDC GetDC(HWND window);
FIELDKIT_API HDC GetWindowDC(HWND window);
FIELDKIT_API int ReleaseDC(HWND window, HDC dc);
FIELDKIT_API int GetDeviceCaps(HDC dc, int index);
FIELDKIT_API int GetSystemMetrics(int index);
///@}
/// The width of the first `length` characters (or of the whole NUL-terminated text when
/// length is -1), and how many fit in maxExtent when `fit` is given.
FIELDKIT_API BOOL GetTextExtentExPointW(HDC dc, const wchar_t* text, int length, int maxExtent,
                                        int* fit, int* partialWidths, SIZE* size);

FIELDKIT_API HDC CreateCompatibleDC(HDC dc);
FIELDKIT_API BOOL DeleteDC(HDC dc);
/// Selects a bitmap into a memory context; returns the one it replaces.
///@{
FIELDKIT_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
FIELDKIT_API BOOL DeleteObject(HGDIOBJ object);
///@}
/// A bitmap of 32-bit pixels (any other depth is stored as 32 bits); bits may be null.
///@{
FIELDKIT_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                                  const void* bits);
FIELDKIT_API HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                      HANDLE section, DWORD offset);
FIELDKIT_API int GetObjectW(HGDIOBJ object, int size, void* out);
///@}
/// Copies (nearest neighbour) between the bitmaps selected into the two contexts.
///@{
FIELDKIT_API BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX,
                             int srcY, int srcWidth, int srcHeight, DWORD rop);
FIELDKIT_API LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits);
///@}

/// The class library's bitmap object; it owns the bitmap it holds (DeleteObject, Detach).
class FIELDKIT_API CBitmap {
  public:
    CBitmap() = default;
    virtual ~CBitmap() { DeleteObject(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    BOOL Attach(HGDIOBJ bitmap);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetBitmap(BITMAP* info) const;
    DWORD GetBitmapBits(DWORD count, void* bits) const;
    HBITMAP GetSafeHandle() const { return static_cast<HBITMAP>(m_hObject); }
    operator HBITMAP() const { return GetSafeHandle(); }  // NOLINT(google-explicit-constructor)

    HGDIOBJ m_hObject = nullptr;
};
