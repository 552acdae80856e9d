#include "fieldkit/ui/menu.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/errors.h"

using fieldkit::detail::NoThrow;

namespace {

struct Item {
    UINT flags = 0;  // MF_SEPARATOR, MF_POPUP and the state bits
    UINT id = 0;
    HMENU submenu = nullptr;
    std::wstring text;
};

fieldkit::detail::Mutex& MenuLock();

struct Menu : fieldkit::detail::HandleObject {
    std::vector<Item> items FIELDKIT_GUARDED_BY(MenuLock());
};

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED;

// The menus themselves live in the handle table.
struct MenuState {
    // One lock for every menu: popup items link menus to each other.
    fieldkit::detail::Mutex items;
    // The class library's temporary menu objects, one per handle, kept while the menu exists.
    fieldkit::detail::Mutex temporariesLock;
    std::map<HMENU, std::unique_ptr<CMenu>> temporaries FIELDKIT_GUARDED_BY(temporariesLock);

    void Forget() {
        std::map<HMENU, std::unique_ptr<CMenu>> gone;  // destroyed outside the lock
        fieldkit::detail::LockGuard guard(temporariesLock);
        gone.swap(temporaries);
    }
};

MenuState& Menus() {
    return fieldkit::detail::ProcessState<MenuState>::Get();
}

fieldkit::detail::Mutex& MenuLock() FIELDKIT_RETURN_CAPABILITY(Menus().items) {
    return Menus().items;
}

std::shared_ptr<Menu> Find(HMENU menu) {
    return fieldkit::detail::FindHandle<Menu>(reinterpret_cast<HANDLE>(menu));
}

HMENU NewMenu() {
    return NoThrow<HMENU>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [] {
        return reinterpret_cast<HMENU>(fieldkit::detail::AddHandle(std::make_shared<Menu>()));
    });
}

// Where an item is: the menu that holds it and its index there.
struct Spot {
    HMENU handle = nullptr;
    std::shared_ptr<Menu> menu;
    std::size_t index = 0;
};

// An item by position in the menu itself, or by command as Win32 finds it: depth first, each
// popup searched before the items after it, and a popup item whose own identifier (its
// submenu's handle) matches taken only when nothing else in its menu does. Called under the
// menu lock; allocates nothing. No menu when there is no such item.
Spot Locate(HMENU handle, const std::shared_ptr<Menu>& m, UINT item, UINT flags)
    FIELDKIT_REQUIRES(MenuLock()) {
    if (flags & MF_BYPOSITION) return item < m->items.size() ? Spot{handle, m, item} : Spot{};
    Spot fallback;
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const Item& it = m->items[i];
        if (!(it.flags & MF_POPUP)) {
            if (it.id == item) return Spot{handle, m, i};
            continue;
        }
        if (const auto sub = Find(it.submenu)) {
            Spot found = Locate(it.submenu, sub, item, flags);
            if (found.menu) return found;
        }
        if (!fallback.menu && it.id == item) fallback = Spot{handle, m, i};
    }
    return fallback;
}

Item MakeItem(UINT flags, UINT_PTR idOrSubmenu, const wchar_t* text) {
    Item it;
    it.flags = flags & (kStateBits | MF_POPUP | MF_SEPARATOR);
    if (flags & MF_POPUP) {
        it.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
        // As on the handheld, a popup item's identifier is its submenu's handle.
        it.id = static_cast<UINT>(idOrSubmenu);
    } else {
        it.id = static_cast<UINT>(idOrSubmenu);
    }
    if (!(flags & MF_SEPARATOR) && text) it.text = text;
    return it;
}

// Collects a menu and every submenu below it, once each, for destruction outside the lock.
// Called before anything changes: a lack of memory here leaves every menu as it was.
void Collect(HMENU menu, std::vector<HMENU>& out) FIELDKIT_REQUIRES(MenuLock()) {
    const auto m = Find(menu);
    if (m == nullptr || std::find(out.begin(), out.end(), menu) != out.end()) return;
    out.push_back(menu);
    for (const Item& it : m->items) {
        if (it.flags & MF_POPUP) Collect(it.submenu, out);
    }
}

void Forget(const std::vector<HMENU>& menus);

int CopyText(const std::wstring& text, wchar_t* buffer, int size) {
    if (buffer == nullptr || size <= 0) return static_cast<int>(text.size());
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return static_cast<int>(n);
}

}  // namespace

HMENU CreateMenu() {
    return NewMenu();
}
HMENU CreatePopupMenu() {
    return NewMenu();
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, const wchar_t* text) {
    return InsertMenuW(menu, 0xFFFFFFFF, flags | MF_BYPOSITION, idOrSubmenu, text);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrSubmenu, const wchar_t* text) {
    const auto m = Find(menu);
    if (m == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if ((flags & MF_POPUP) && Find(reinterpret_cast<HMENU>(idOrSubmenu)) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    fieldkit::detail::LockGuard guard(MenuLock());
    // The item goes in whole or not at all. The lambda runs inside NoThrow, under the lock taken
    // here; the analysis sees a lambda apart from its caller, so it is left out of it.
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
        // By command the item goes before the one found, in whichever submenu holds it.
        Spot at{menu, m, m->items.size()};
        if (flags & MF_BYPOSITION) {
            at.index = std::min<std::size_t>(position, m->items.size());
        } else if (!(at = Locate(menu, m, position, flags)).menu) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return FALSE;
        }
        if (flags & MF_POPUP) {
            // A menu may not open itself or one of its ancestors: walks would never end.
            std::vector<HMENU> below;
            Collect(reinterpret_cast<HMENU>(idOrSubmenu), below);
            if (std::find(below.begin(), below.end(), at.handle) != below.end()) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
        }
        auto& items = at.menu->items;
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(at.index),
                     MakeItem(flags, idOrSubmenu, text));
        return TRUE;
    });
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    const auto m = Find(menu);
    if (m == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    std::vector<HMENU> gone;
    {
        fieldkit::detail::LockGuard guard(MenuLock());
        const Spot at = Locate(menu, m, position, flags);
        if (!at.menu) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return FALSE;
        }
        auto& items = at.menu->items;
        if ((items[at.index].flags & MF_POPUP) &&
            !NoThrow([&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
                Collect(items[at.index].submenu, gone);
            })) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(at.index));
    }
    Forget(gone);
    return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
    if (Find(menu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    std::vector<HMENU> gone;
    {
        fieldkit::detail::LockGuard guard(MenuLock());
        if (!NoThrow([&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS { Collect(menu, gone); })) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    }
    Forget(gone);
    return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info) {
    const auto m = Find(menu);
    if (m == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    fieldkit::detail::LockGuard guard(MenuLock());
    const Spot at = Locate(menu, m, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!at.menu) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    const Item& it = at.menu->items[at.index];
    if (info->fMask & MIIM_ID) info->wID = it.id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it.submenu;
    if (info->fMask & MIIM_STATE) {
        info->fState = ((it.flags & MF_CHECKED) ? MFS_CHECKED : 0) |
                       ((it.flags & (MF_GRAYED | MF_DISABLED)) ? MFS_GRAYED : 0);
    }
    if (info->fMask & MIIM_TYPE) {
        info->fType = (it.flags & MF_SEPARATOR) ? MFT_SEPARATOR : MFT_STRING;
        if (info->dwTypeData != nullptr && info->cch > 0) {
            info->cch =
                static_cast<UINT>(CopyText(it.text, info->dwTypeData, static_cast<int>(info->cch)));
        } else {
            info->cch = static_cast<UINT>(it.text.size());
        }
    }
    return TRUE;
}

int GetMenuStringW(HMENU menu, UINT item, wchar_t* buffer, int size, UINT flags) {
    const auto m = Find(menu);
    if (m == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return 0;
    }
    fieldkit::detail::LockGuard guard(MenuLock());
    const Spot at = Locate(menu, m, item, flags);
    if (!at.menu) {
        if (buffer && size > 0) buffer[0] = L'\0';
        return 0;
    }
    return CopyText(at.menu->items[at.index].text, buffer, size);
}

HMENU GetSubMenu(HMENU menu, int position) {
    const auto m = Find(menu);
    if (m == nullptr || position < 0) return nullptr;
    fieldkit::detail::LockGuard guard(MenuLock());
    if (static_cast<std::size_t>(position) >= m->items.size()) return nullptr;
    const Item& it = m->items[static_cast<std::size_t>(position)];
    return (it.flags & MF_POPUP) ? it.submenu : nullptr;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    const auto m = Find(menu);
    if (m == nullptr) return 0xFFFFFFFF;
    fieldkit::detail::LockGuard guard(MenuLock());
    const Spot at = Locate(menu, m, item, flags);
    return at.menu ? at.menu->items[at.index].flags : 0xFFFFFFFF;
}

namespace {

// Replaces some state bits of an item; the previous value of those bits, or 0xFFFFFFFF.
DWORD ChangeState(HMENU menu, UINT item, UINT flags, UINT bits, UINT value) {
    const auto m = Find(menu);
    if (m == nullptr) return 0xFFFFFFFF;
    fieldkit::detail::LockGuard guard(MenuLock());
    const Spot at = Locate(menu, m, item, flags);
    if (!at.menu) return 0xFFFFFFFF;
    Item& it = at.menu->items[at.index];
    const UINT old = it.flags & bits;
    it.flags = (it.flags & ~bits) | (value & bits);
    return old;
}

}  // namespace

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    return ChangeState(menu, item, check & MF_BYPOSITION, MF_CHECKED, check);
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    return static_cast<BOOL>(
        ChangeState(menu, item, enable & MF_BYPOSITION, MF_GRAYED | MF_DISABLED, enable));
}

namespace {

fieldkit::detail::Mutex& TemporariesLock() FIELDKIT_RETURN_CAPABILITY(Menus().temporariesLock) {
    return Menus().temporariesLock;
}

std::map<HMENU, std::unique_ptr<CMenu>>& Temporaries() FIELDKIT_REQUIRES(TemporariesLock()) {
    return Menus().temporaries;
}

// Allocates nothing: the menus it is given are already cut loose.
void Forget(const std::vector<HMENU>& menus) {
    std::map<HMENU, std::unique_ptr<CMenu>> objects;  // destroyed outside the lock
    {
        fieldkit::detail::LockGuard guard(TemporariesLock());
        for (const HMENU h : menus) {
            auto node = Temporaries().extract(h);
            if (node.empty()) continue;
            node.mapped()->m_hMenu = nullptr;  // the object must not destroy it again
            objects.insert(std::move(node));
        }
    }
    for (const HMENU h : menus)
        fieldkit::detail::RemoveHandle(reinterpret_cast<HANDLE>(h));
}

}  // namespace

CMenu::~CMenu() {
    if (m_owned && m_hMenu) ::DestroyMenu(m_hMenu);
}

BOOL CMenu::CreateMenu() {
    if (m_hMenu) return FALSE;
    m_hMenu = ::CreateMenu();
    m_owned = m_hMenu != nullptr;
    return m_owned ? TRUE : FALSE;
}

BOOL CMenu::CreatePopupMenu() {
    if (m_hMenu) return FALSE;
    m_hMenu = ::CreatePopupMenu();
    m_owned = m_hMenu != nullptr;
    return m_owned ? TRUE : FALSE;
}

BOOL CMenu::Attach(HMENU menu) {
    if (m_hMenu || Find(menu) == nullptr) return FALSE;
    m_hMenu = menu;
    m_owned = false;
    return TRUE;
}

HMENU CMenu::Detach() {
    const HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    m_owned = false;
    return menu;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idOrSubmenu, const wchar_t* text) {
    return ::AppendMenuW(m_hMenu, flags, idOrSubmenu, text);
}

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR idOrSubmenu, const wchar_t* text) {
    return ::InsertMenuW(m_hMenu, position, flags, idOrSubmenu, text);
}

BOOL CMenu::DeleteMenu(UINT position, UINT flags) {
    return ::DeleteMenu(m_hMenu, position, flags);
}

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
    if (!NoThrow([&] {
            const int n = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
            std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
            buffer.resize(static_cast<std::size_t>(
                ::GetMenuStringW(m_hMenu, item, buffer.data(), n + 1, flags)));
            text = CString(std::move(buffer));
        })) {
        text.Empty();
    }
    return text.GetLength();
}

int CMenu::GetMenuString(UINT item, wchar_t* buffer, int size, UINT flags) const {
    return ::GetMenuStringW(m_hMenu, item, buffer, size, flags);
}

CMenu* CMenu::GetSubMenu(int position) const {
    return FromHandle(::GetSubMenu(m_hMenu, position));
}

CMenu* CMenu::FromHandle(HMENU menu) {
    if (Find(menu) == nullptr) return nullptr;
    fieldkit::detail::LockGuard guard(TemporariesLock());
    const auto it = Temporaries().find(menu);
    if (it != Temporaries().end()) return it->second.get();
    // Runs inside NoThrow under the lock taken above (the analysis sees a lambda apart).
    return NoThrow<CMenu*>(nullptr, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
        // Made before it is put in: the table never holds an entry without its object.
        auto object = std::make_unique<CMenu>();
        object->m_hMenu = menu;
        return Temporaries().emplace(menu, std::move(object)).first->second.get();
    });
}
