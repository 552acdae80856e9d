/// @file
/// Basic Win32-shaped types used at the library's interface.
///
/// Applications written for the handheld use these names; they keep their Win32 meanings
/// (BOOL is a 32-bit int, DWORD an unsigned 32-bit value, INT_PTR a pointer-sized int).
///
/// @ingroup text
#pragma once

#include <cstddef>
#include <cstdint>

/// @addtogroup text
/// @{

/// The Win32 names of the fixed-size types, as the handheld's compiler defines them.
///@{
using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using WCHAR = wchar_t;
using TCHAR = wchar_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPTSTR = wchar_t*;
using LPCTSTR = const wchar_t*;

using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
///@}

/// Handles are opaque; the platform layer hands them out and checks them on every use.
///@{
using HANDLE = void*;
using HMODULE = struct HINSTANCE__*;
using HINSTANCE = HMODULE;
using HKEY = struct HKEY__*;
using HWND = struct HWND__*;
using HMENU = struct HMENU__*;
using HDC = struct HDC__*;
using HGDIOBJ = void*;
using HBITMAP = struct HBITMAP__*;
///@}
/// A size in bytes and an unsigned pointer-sized value.
///@{
using SIZE_T = std::size_t;
using DWORD_PTR = std::uintptr_t;
///@}

/// A point in pixels.
struct POINT {
    /// The coordinates.
    ///@{
    LONG x;
    LONG y;
    ///@}
};
/// A width and height in pixels.
struct SIZE {
    /// Width and height.
    ///@{
    LONG cx;
    LONG cy;
    ///@}
};
/// A rectangle: right and bottom lie just outside it.
struct RECT {
    /// The edges.
    ///@{
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
    ///@}
};
/// The parameters and result of a window message.
///@{
using WPARAM = UINT_PTR;
using LPARAM = INT_PTR;
using LRESULT = INT_PTR;
///@}

struct __POSITION {};
/// The cursor of the class library's collections: opaque, null when a walk is over.
using POSITION = __POSITION*;

/// 64-bit sizes and positions (CFile).
///@{
using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;
///@}

/// The handheld's longest path, terminator included.
constexpr DWORD MAX_PATH = 260;

#ifndef TRUE
/// The BOOL values.
#define TRUE 1
#endif
#ifndef FALSE
/// The BOOL values.
#define FALSE 0
#endif

#ifndef _T
/// A wide literal from a narrow one: _T("a") is L"a".
#define FIELDKIT_WIDEN2(x) L##x
/// A wide literal from a narrow one: _T("a") is L"a".
#define _T(x) FIELDKIT_WIDEN2(x)
#endif

/// @}
