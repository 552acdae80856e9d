/// @file
/// Drawing on the emulated device: the screen (size and dots per inch set with
/// fieldkit::host::SetScreen), device contexts, text measurement with the emulated font (every
/// character SetCharWidth pixels wide), and 32-bit bitmaps with nearest-neighbour stretching.
///
/// @ingroup ui
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup ui
/// @{

/// What GetDeviceCaps reports: dots per inch across and down, width and height in pixels,
/// bits per pixel (always 32).
///@{
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
///@}
/// What GetSystemMetrics reports: the screen's width and height in pixels.
///@{
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
///@}
/// The one raster operation of StretchBlt: a plain copy.
constexpr DWORD SRCCOPY = 0x00CC0020;
/// Colours given as RGB values, the one kind CreateDIBSection takes.
constexpr UINT DIB_RGB_COLORS = 0;
/// Uncompressed pixels, the one kind CreateDIBSection takes.
constexpr DWORD BI_RGB = 0;

/// A bitmap's description, as GetObjectW fills it.
struct BITMAP {
    /// The Win32 fields; pixels always have 32 bits, so a row has 4 bytes a pixel.
    ///@{
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
    ///@}
};

/// The header of a device-independent bitmap.
struct BITMAPINFOHEADER {
    /// The Win32 fields.
    ///@{
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
    ///@}
};
/// One colour of a palette.
struct RGBQUAD {
    /// The parts of the colour; rgbReserved is 0.
    ///@{
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
    ///@}
};
/// A device-independent bitmap's header and palette.
struct BITMAPINFO {
    /// The Win32 fields.
    ///@{
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
    ///@}
};

/// The screen's context for a null window, or null when the screen is unavailable
/// (fieldkit::host::SetScreenAvailable(false)); a window's context otherwise.
///@{
FIELDKIT_API HDC GetDC(HWND window);
FIELDKIT_API HDC GetWindowDC(HWND window);
///@}
/// Gives back a context from GetDC or GetWindowDC; 0 for one that is not a context.
FIELDKIT_API int ReleaseDC(HWND window, HDC dc);
/// The screen's figures (LOGPIXELSX and the others above); 0 for a bad context or index.
FIELDKIT_API int GetDeviceCaps(HDC dc, int index);
/// The screen's width or height in pixels (SM_CXSCREEN, SM_CYSCREEN).
FIELDKIT_API int GetSystemMetrics(int index);
/// The width of the first `length` characters (or of the whole NUL-terminated text when
/// length is -1), and how many fit in maxExtent when `fit` is given.
FIELDKIT_API BOOL GetTextExtentExPointW(HDC dc, const wchar_t* text, int length, int maxExtent,
                                        int* fit, int* partialWidths, SIZE* size);

/// A memory context, holding a 1 x 1 bitmap until another is selected; null for a bad context.
FIELDKIT_API HDC CreateCompatibleDC(HDC dc);
/// Deletes a memory context.
FIELDKIT_API BOOL DeleteDC(HDC dc);
/// Selects a bitmap into a memory context; returns the one it replaces.
FIELDKIT_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
/// Deletes a bitmap; FALSE for anything else.
FIELDKIT_API BOOL DeleteObject(HGDIOBJ object);
/// A bitmap of 32-bit pixels (any other depth is stored as 32 bits); bits may be null.
///@{
FIELDKIT_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                                  const void* bits);
FIELDKIT_API HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                      HANDLE section, DWORD offset);
///@}
/// Fills in a BITMAP for a bitmap; its size when `out` is null, 0 for anything else.
FIELDKIT_API int GetObjectW(HGDIOBJ object, int size, void* out);
/// Copies (nearest neighbour) between the bitmaps selected into the two contexts.
FIELDKIT_API BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX,
                             int srcY, int srcWidth, int srcHeight, DWORD rop);
/// Copies up to `size` bytes of the pixels, rows from the top, 4 bytes a pixel; answers the
/// bytes copied.
FIELDKIT_API LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits);

/// The class library's bitmap object; it owns the bitmap it holds (DeleteObject, Detach).
class FIELDKIT_API CBitmap {
  public:
    CBitmap() = default;
    /// Deletes the bitmap it holds, as DeleteObject does; a detached bitmap is the caller's.
    virtual ~CBitmap() { DeleteObject(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    /// Creates a bitmap for this object, as the call CreateBitmap does; FALSE when it holds one.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    /// Takes a bitmap on; FALSE when the object holds one already or it is not a bitmap.
    BOOL Attach(HGDIOBJ bitmap);
    /// Lets the bitmap go, undeleted, and answers it.
    HGDIOBJ Detach();
    /// Deletes the bitmap held; FALSE when there is none.
    BOOL DeleteObject();
    /// GetObjectW and GetBitmapBits for the bitmap held.
    ///@{
    int GetBitmap(BITMAP* info) const;
    DWORD GetBitmapBits(DWORD count, void* bits) const;
    ///@}
    /// The bitmap held, or null.
    ///@{
    HBITMAP GetSafeHandle() const { return static_cast<HBITMAP>(m_hObject); }
    operator HBITMAP() const { return GetSafeHandle(); }  // NOLINT(google-explicit-constructor)
    ///@}

    /// The bitmap held, or null.
    HGDIOBJ m_hObject = nullptr;
};

/// @}
