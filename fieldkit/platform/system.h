// Device facts outside the file system: the program's own file name, debugger output, the
// registry, string resources and the file dialogs.
#pragma once

#include <string>

#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/types.h"

// The running program as a device path (see fieldkit::host::SetModuleFileName). Copies at most
// size - 1 units and a terminator; returns the units copied, or `size` when the name was cut,
// as Win32 does. Only the process's own module (null) is known.
DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size);

// Passes the text to the debug output handler, or writes it to standard error as UTF-8.
void OutputDebugStringW(const wchar_t* text);

// An in-process registry of keys (no values) under HKEY_LOCAL_MACHINE; key names are compared
// without regard to case. Results are Win32 error codes (ERROR_SUCCESS is 0).
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000002u)))
using REGSAM = DWORD;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
LONG RegCreateKeyExW(HKEY key, const wchar_t* subKey, DWORD reserved, wchar_t* keyClass,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition);
LONG RegOpenKeyExW(HKEY key, const wchar_t* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCloseKey(HKEY key);
// Deletes a key that has no subkeys.
LONG RegDeleteKeyW(HKEY key, const wchar_t* subKey);

// String resources registered with fieldkit::host::SetStringResource. Returns the units copied
// (without the terminator), 0 when there is no such string.
int LoadStringW(HINSTANCE module, UINT id, wchar_t* buffer, int size);

// Memory figures from the kernel: physical memory available without swapping, and the
// process's free address space. Byte counts, not cut to 32 bits.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

// The file dialogs. The answer comes from the handler set with
// fieldkit::host::SetFileDialogHandler; without one the dialog is cancelled (FALSE).
struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    const wchar_t* lpstrFilter;
    wchar_t* lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    wchar_t* lpstrFile;
    DWORD nMaxFile;
    wchar_t* lpstrFileTitle;
    DWORD nMaxFileTitle;
    const wchar_t* lpstrInitialDir;
    const wchar_t* lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    const wchar_t* lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    const wchar_t* lpTemplateName;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;
constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
BOOL GetOpenFileNameW(OPENFILENAMEW* dialog);
BOOL GetSaveFileNameW(OPENFILENAMEW* dialog);
