/// @file
/// The file dialogs.
///
/// @ingroup ui
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup ui
/// @{

/// What a file dialog shows and, filled in, what the user chose.
struct OPENFILENAMEW {
    /// The Win32 fields: lpstrFile receives the path chosen, at most nMaxFile units.
    ///@{
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
    ///@}
};
/// Pointer to an OPENFILENAMEW.
using LPOPENFILENAMEW = OPENFILENAMEW*;
/// Dialog flags (Flags), passed on to the handler.
///@{
constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
///@}
/// The answer comes from the handler set with
/// fieldkit::host::SetFileDialogHandler; without one the dialog is cancelled (FALSE).
///@{
FIELDKIT_API BOOL GetOpenFileNameW(OPENFILENAMEW* dialog);
FIELDKIT_API BOOL GetSaveFileNameW(OPENFILENAMEW* dialog);
///@}

/// @}
