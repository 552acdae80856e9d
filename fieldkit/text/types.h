/// @file
/// Basic Win32-shaped types used at the library's interface.
///
/// Applications written for the handheld use these names; they keep their Win32 meanings
/// (BOOL is a 32-bit int, DWORD an unsigned 32-bit value, INT_PTR a pointer-sized int).
#pragma once

#include <cstddef>
#include <cstdint>

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
using SIZE_T = std::size_t;
using DWORD_PTR = std::uintptr_t;
///@}

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using WPARAM = UINT_PTR;
using LPARAM = INT_PTR;
using LRESULT = INT_PTR;

/// The cursor of the class library's collections: opaque, null when a walk is over.
///@{
struct __POSITION {};
using POSITION = __POSITION*;
///@}

using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;

/// The handheld's longest path, terminator included.
constexpr DWORD MAX_PATH = 260;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#ifndef _T
#define FIELDKIT_WIDEN2(x) L##x
#define _T(x) FIELDKIT_WIDEN2(x)
#endif
