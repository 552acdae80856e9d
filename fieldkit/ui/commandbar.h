/// @file
/// The command bar: the handheld's menu bar, a window of toolbar buttons whose captions are
/// strings in the bar's own string list. It answers the toolbar messages through SendMessageW.
///
/// @ingroup ui
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"
#include "fieldkit/ui/window.h"

/// @addtogroup ui
/// @{

/// The toolbar messages a command bar answers (see CCommandBar); the names without W are the
/// same messages.
///@{
constexpr UINT TB_INSERTBUTTONW = WM_USER + 21;  ///< 0x415
constexpr UINT TB_INSERTBUTTON = TB_INSERTBUTTONW;
constexpr UINT TB_DELETEBUTTON = WM_USER + 22;  ///< 0x416
constexpr UINT TB_GETBUTTON = WM_USER + 23;     ///< 0x417
constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;   ///< 0x418
constexpr UINT TB_ADDBUTTONSW = WM_USER + 68;   ///< 0x444
constexpr UINT TB_ADDBUTTONS = TB_ADDBUTTONSW;
constexpr UINT TB_GETBUTTONTEXTW = WM_USER + 75;  ///< 0x44B
constexpr UINT TB_ADDSTRINGW = WM_USER + 77;      ///< 0x44D
constexpr UINT TB_ADDSTRING = TB_ADDSTRINGW;
constexpr UINT TB_GETSTRINGW = WM_USER + 91;  ///< 0x45B
///@}

/// A button's state (fsState) and styles (fsStyle).
///@{
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTYLE_BUTTON = 0x00;
constexpr BYTE TBSTYLE_SEP = 0x01;
constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
///@}

/// One button of a command bar.
struct TBBUTTON {
    /// The Win32 fields.
    ///@{
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    BYTE bReserved[6];
    DWORD_PTR dwData;
    ///@}
    INT_PTR iString;  ///< index into the bar's strings
};

/// Messages, as answered:
///
///     TB_BUTTONCOUNT                        the number of buttons
///     TB_GETBUTTON (index, TBBUTTON*)       TRUE and the record, FALSE for a bad index
///     TB_INSERTBUTTON (index, TBBUTTON*)    inserts before index (appends past the end)
///     TB_ADDBUTTONS (count, TBBUTTON*)      appends
///     TB_DELETEBUTTON (index)               TRUE, FALSE for a bad index
///     TB_ADDSTRINGW (0, text)               appends the text (one per call) and returns its
///                                           index, -1 for no text or a resource id
///     TB_GETSTRINGW (MAKEWPARAM(size, index), buffer)    the string's length, -1 for a bad index
///     TB_GETBUTTONTEXTW (command id, buffer)             the caption (the button's string), or -1
class FIELDKIT_API CCommandBar : public CWnd {
  public:
    CCommandBar() = default;
    /// Destroys the bar's window, if Create made one and it is still attached.
    ~CCommandBar() override;

    /// Creates the bar as a child window of the parent.
    BOOL Create(CWnd* parent);
};

/// @}
