#include "fieldkit/i18n/window_translation.h"

#include <set>
#include <string>

#include "fieldkit/i18n/translations.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/errors.h"

using fieldkit::detail::NoThrow;

namespace {

// Item identifiers at or below this are commands; above it they are submenu handles.
constexpr UINT kHighestCommandId = 100000;
constexpr UINT kNoIdentifier = 0xFFFFFFFF;  // also GetMenuState's answer for no item
constexpr UINT kItemState = MF_GRAYED | MF_DISABLED | MF_CHECKED;
// Longest class name worth reading: the classes told apart are all shorter.
constexpr int kClassNameChars = 18;
constexpr LONG kStaticBitmap = 0x0E;
constexpr LONG kStaticIcon = 0x03;

// The default catalog, or one domain's without a fall-back to the default.
class Translator {
  public:
    Translator() = default;
    explicit Translator(const CString& domain) : m_domain(&domain) {}
    CString operator()(const CString& text) const {
        return m_domain ? ugettext(*m_domain, text) : ugettext(text);
    }

  private:
    const CString* m_domain = nullptr;
};

// The platform has no item-count call: count the positions that answer.
int CountMenuItems(HMENU menu) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(MENUITEMINFOW);
    SetLastError(ERROR_SUCCESS);
    if (!GetMenuItemInfoW(menu, 0, TRUE, &info)) {
        if (GetLastError() != ERROR_INVALID_MENU_HANDLE) return 0;
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    int count = 1;
    for (;;) {
        info = {};
        info.cbSize = sizeof(MENUITEMINFOW);
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(count), TRUE, &info)) return count;
        ++count;
    }
}

// A popup item reads as its submenu's handle; an unreadable item as kNoIdentifier, so it is
// treated like a popup without a submenu and left alone.
UINT MenuItemId(HMENU menu, int position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(MENUITEMINFOW);
    info.fMask = MIIM_ID;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) return kNoIdentifier;
    if (info.hSubMenu != nullptr) return kNoIdentifier;
    return info.wID;
}

// `visited` keeps a submenu hung under several popups (or under itself) from being walked, and
// translated, twice.
void TranslateMenuItems(CMenu& menu, std::set<HMENU>& visited) {
    if (!visited.insert(menu.GetSafeHmenu()).second) return;
    const int count = CountMenuItems(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = MenuItemId(menu, i);
        if (id == 0) continue;  // a separator
        if (id > kHighestCommandId) {
            // The popup's own caption stays: only what it opens is translated.
            if (CMenu* sub = menu.GetSubMenu(i)) TranslateMenuItems(*sub, visited);
            continue;
        }
        CString text;
        menu.GetMenuString(static_cast<UINT>(i), text, MF_BYPOSITION);
        const CString translated = ugettext(text);
        if (translated == text) continue;
        // The new item keeps the old one's state: a translated build must not enable or
        // uncheck what the English one keeps greyed or checked.
        const UINT position = static_cast<UINT>(i);
        const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        const UINT kept = state == kNoIdentifier ? 0 : state & kItemState;
        // Insert before deleting, so a failed call never costs the menu its item.
        if (!menu.InsertMenu(position, MF_BYPOSITION | MF_STRING | kept, id, translated)) continue;
        if (!menu.DeleteMenu(position + 1, MF_BYPOSITION)) menu.DeleteMenu(position, MF_BYPOSITION);
    }
}

CString WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return CString();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 && got <= length ? static_cast<std::size_t>(got) : 0);
    return CString(std::move(text));
}

// User data (edit fields, lists) and pictures keep their text; captions of anything else are
// translated.
bool HasTranslatableText(HWND window) {
    wchar_t name[kClassNameChars + 1] = {};
    if (GetClassNameW(window, name, kClassNameChars + 1) <= 0) name[0] = L'\0';
    const CString className(name);
    if (className.CompareNoCase(L"combobox") == 0 || className.CompareNoCase(L"edit") == 0 ||
        className.CompareNoCase(L"listbox") == 0)
        return false;
    if (className.CompareNoCase(L"static") == 0) {
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        return (style & kStaticBitmap) != kStaticBitmap && (style & kStaticIcon) != kStaticIcon;
    }
    return true;
}

void TranslateWindow(const Translator& translate, CWnd& wnd) {
    if (!fieldkit::detail::HasTranslations()) return;
    CString caption;
    wnd.GetWindowText(caption);
    const CString translated = translate(caption);
    if (translated != caption) wnd.SetWindowText(translated);

    // Direct children only: a child that holds others is translated by its own call.
    for (HWND child = GetWindow(wnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (HasTranslatableText(child)) SetWindowTextW(child, translate(WindowText(child)));
    }
}

}  // namespace

// Out of memory part way leaves the rest untranslated.
void TranslateMenu(CMenu& menu) {
    NoThrow([&] {
        std::set<HMENU> visited;
        TranslateMenuItems(menu, visited);
    });
}

void TranslateWnd(CWnd& wnd) {
    NoThrow([&] { TranslateWindow(Translator(), wnd); });
}

void TranslateWnd(const CString& domain, CWnd& wnd) {
    NoThrow([&] { TranslateWindow(Translator(domain), wnd); });
}

bool TranslateMenuBar(CCommandBar& bar, CMenu& menu) {
    return NoThrow(false, [&] {
        if (!fieldkit::detail::HasTranslations()) return false;
        // The handle, not the object: it names the menu the same way in every log line.
        LOGMESSAGE(2, "OnChangeFileMenu: mmenu=%p", static_cast<const void*>(menu.GetSafeHmenu()));
        if (menu.GetSafeHmenu() == nullptr) return false;

        const int count = CountMenuItems(menu);
        LOGMESSAGE(2, "OnChangeFileMenu: itemcount=%d", count);
        if (count < 0) return false;  // a destroyed menu: nothing could be translated
        bool allTexts = true;
        for (int i = 0; i < count; ++i) {
            const WPARAM index = static_cast<WPARAM>(i);
            TBBUTTON button = {};
            const bool haveButton =
                bar.SendMessage(TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button)) != FALSE;
            CString text;
            menu.GetMenuString(static_cast<UINT>(i), text, MF_BYPOSITION);
            LOGMESSAGE(2, "OnChangeFileMenu: sMenuText=%S", text);
            if (text.IsEmpty() || !haveButton) {
                // Without a button there is nothing to caption; inserting the empty record
                // would add a stray button.
                allTexts = false;
                continue;
            }
            CString caption = ugettext(text);
            caption.Remove(L'&');  // no mnemonics on the bar
            // Doubly terminated, so the bar reads one string whether it takes a list or not.
            std::wstring strings = caption.GetStdString();
            strings.push_back(L'\0');
            const LRESULT stringIndex =
                bar.SendMessage(TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(strings.c_str()));
            if (stringIndex < 0) {
                allTexts = false;
                continue;
            }
            button.iString = stringIndex;
            if (!bar.SendMessage(TB_INSERTBUTTON, index, reinterpret_cast<LPARAM>(&button))) {
                allTexts = false;
                continue;
            }
            bar.SendMessage(TB_DELETEBUTTON, index + 1);
        }
        return allTexts;
    });
}
