/// @file
/// Menus of the emulated window system. As on the handheld, menu handles are numbers above
/// 100000, and the identifier of an item that opens a submenu reads as the submenu's handle.
///
/// An item named by command (MF_BYCOMMAND, or byPosition FALSE) is found as Win32 finds it,
/// also inside submenus: depth first, each submenu searched before the items that follow its
/// popup, and a popup item whose own identifier matches taken only when nothing else in its
/// menu does. So checking or greying a command through the menu bar reaches it in its submenu,
/// and InsertMenuW and DeleteMenu by command work in the submenu that holds the item.
///
/// @ingroup ui
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup ui
/// @{

/// Menu item flags: kind, state, and whether an item is named by command or by position.
///@{
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
///@}

/// The parts of MENUITEMINFOW that GetMenuItemInfoW fills (fMask).
///@{
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_TYPE = 0x0010;
constexpr UINT MIIM_DATA = 0x0020;
///@}
/// An item's type (fType) and state (fState) in MENUITEMINFOW.
///@{
constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_SEPARATOR = 0x0800;
constexpr UINT MFS_CHECKED = 0x0008;
constexpr UINT MFS_GRAYED = 0x0003;
///@}

/// The menu calls' own error codes.
///@{
constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr DWORD ERROR_MENU_ITEM_NOT_FOUND = 1456;
///@}

/// A menu item's description, as GetMenuItemInfoW fills it.
struct MENUITEMINFOW {
    /// The Win32 fields; fMask says which GetMenuItemInfoW fills.
    ///@{
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    DWORD_PTR dwItemData;
    wchar_t* dwTypeData;
    UINT cch;
    ///@}
};

/// A new, empty menu bar or popup menu.
///@{
FIELDKIT_API HMENU CreateMenu();
FIELDKIT_API HMENU CreatePopupMenu();
///@}
/// A popup item takes the submenu's handle in place of an identifier (MF_POPUP).
///@{
FIELDKIT_API BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, const wchar_t* text);
FIELDKIT_API BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu,
                              const wchar_t* text);
///@}
/// Deleting a popup item destroys its submenu too.
FIELDKIT_API BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
/// Destroys the menu and its submenus.
FIELDKIT_API BOOL DestroyMenu(HMENU menu);
/// Fails with ERROR_INVALID_MENU_HANDLE for a bad menu, ERROR_MENU_ITEM_NOT_FOUND for a bad
/// item. With MIIM_ID a popup item's wID is its submenu's handle.
FIELDKIT_API BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
/// The item's text, cut to size - 1 units; its length, 0 for a bad menu or item.
FIELDKIT_API int GetMenuStringW(HMENU menu, UINT item, wchar_t* buffer, int size, UINT flags);
/// The submenu of the popup item at that position, or null.
FIELDKIT_API HMENU GetSubMenu(HMENU menu, int position);
/// The item's MF_ flags, or 0xFFFFFFFF when there is no such item.
FIELDKIT_API UINT GetMenuState(HMENU menu, UINT item, UINT flags);
/// Sets the item's checked or enabled state; the state before (the same bits), or 0xFFFFFFFF
/// (-1 as a BOOL) when there is no such item.
///@{
FIELDKIT_API DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
FIELDKIT_API BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
///@}

/// The class library's menu object. It does not own its menu unless the menu was made by its
/// own CreateMenu/CreatePopupMenu (then the destructor frees it). As on the
/// handheld, there is no item-count member.
class FIELDKIT_API CMenu {
  public:
    CMenu() = default;
    /// Destroys the menu if this object made it (CreateMenu, CreatePopupMenu); an attached menu
    /// stays its owner's.
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    /// Creates a menu that this object owns.
    ///@{
    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    ///@}
    /// Takes a menu on without owning it; FALSE when the object has one or it is not a menu.
    BOOL Attach(HMENU menu);
    /// Lets the menu go, undestroyed, and answers it.
    HMENU Detach();
    /// The menu, or null.
    ///@{
    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }  // NOLINT(google-explicit-constructor)
    ///@}

    /// The menu calls of the same names, for this object's menu.
    ///@{
    BOOL AppendMenu(UINT flags, UINT_PTR idOrSubmenu = 0, const wchar_t* text = nullptr);
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idOrSubmenu = 0,
                    const wchar_t* text = nullptr);
    BOOL DeleteMenu(UINT position, UINT flags);
    int GetMenuString(UINT item, CString& text, UINT flags) const;
    int GetMenuString(UINT item, wchar_t* buffer, int size, UINT flags) const;
    ///@}
    /// A menu object for the submenu, kept by the library as long as the submenu exists (the
    /// class library's temporary object); null when there is none.
    ///@{
    CMenu* GetSubMenu(int position) const;
    static CMenu* FromHandle(HMENU menu);
    ///@}

    /// The menu, or null.
    HMENU m_hMenu = nullptr;

  private:
    bool m_owned = false;
};

/// @}
