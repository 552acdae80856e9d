#include "fieldkit/ui/commandbar.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"

using fieldkit::detail::NoThrow;

namespace {

struct Bar {
    fieldkit::detail::Mutex mutex;
    std::vector<TBBUTTON> buttons FIELDKIT_GUARDED_BY(mutex);
    std::vector<std::wstring> strings FIELDKIT_GUARDED_BY(mutex);
};

LRESULT CopyString(const std::wstring& text, wchar_t* buffer, std::size_t size) {
    if (buffer != nullptr && size > 0) {
        const std::size_t n = std::min(text.size(), size - 1);
        text.copy(buffer, n);
        buffer[n] = L'\0';
    }
    return static_cast<LRESULT>(text.size());
}

// The lambdas below run inside NoThrow while this function holds the bar's lock; the analysis
// sees a lambda apart from its caller, so they are left out of it.
bool Handle(Bar& bar, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    fieldkit::detail::LockGuard guard(bar.mutex);
    auto& buttons = bar.buttons;
    const auto index = static_cast<std::size_t>(wParam);
    switch (message) {
        case TB_BUTTONCOUNT:
            result = static_cast<LRESULT>(buttons.size());
            return true;
        case TB_GETBUTTON:
            result = index < buttons.size() && lParam != 0;
            if (result) *reinterpret_cast<TBBUTTON*>(lParam) = buttons[index];
            return true;
        // Out of memory adds nothing: the lists stay as they were and the failure is answered.
        case TB_INSERTBUTTONW:
            result =
                lParam != 0 &&
                NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
                    const std::size_t at = std::min(index, buttons.size());
                    buttons.insert(buttons.begin() + static_cast<std::ptrdiff_t>(at),
                                   *reinterpret_cast<const TBBUTTON*>(lParam));
                    return TRUE;
                });
            return true;
        case TB_ADDBUTTONSW: {
            const auto* added = reinterpret_cast<const TBBUTTON*>(lParam);
            result =
                added != nullptr &&
                NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
                    buttons.insert(buttons.end(), added, added + wParam);
                    return TRUE;
                });
            return true;
        }
        case TB_DELETEBUTTON:
            result = index < buttons.size();
            if (result) buttons.erase(buttons.begin() + static_cast<std::ptrdiff_t>(index));
            return true;
        case TB_ADDSTRINGW: {
            // One text per call. Win32 would read on past the terminator for a list ended by
            // an empty string; callers pass single texts, and reading past one is unsafe. A
            // resource id instead of a text is not supported.
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            if (text == nullptr || static_cast<UINT_PTR>(lParam) <= 0xFFFF) {
                result = -1;
                return true;
            }
            result = NoThrow(LRESULT{-1}, ERROR_NOT_ENOUGH_MEMORY,
                             [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
                                 bar.strings.emplace_back(text);
                                 return static_cast<LRESULT>(bar.strings.size() - 1);
                             });
            return true;
        }
        case TB_GETSTRINGW: {
            const std::size_t size = wParam & 0xFFFF;
            const std::size_t at = (wParam >> 16) & 0xFFFF;
            result = at < bar.strings.size()
                         ? CopyString(bar.strings[at], reinterpret_cast<wchar_t*>(lParam), size)
                         : -1;
            return true;
        }
        case TB_GETBUTTONTEXTW: {
            result = -1;
            for (const TBBUTTON& b : buttons) {
                if (b.idCommand != static_cast<int>(wParam)) continue;
                if (b.iString >= 0 && static_cast<std::size_t>(b.iString) < bar.strings.size()) {
                    const std::wstring& text = bar.strings[static_cast<std::size_t>(b.iString)];
                    result = CopyString(text, reinterpret_cast<wchar_t*>(lParam), text.size() + 1);
                }
                break;
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

CCommandBar::~CCommandBar() {
    if (m_hWnd) ::DestroyWindow(Detach());
}

BOOL CCommandBar::Create(CWnd* parent) {
    if (m_hWnd) return FALSE;
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
        // The bar's state and handler come first: a window once made needs nothing more.
        auto bar = std::make_shared<Bar>();
        auto handler = std::make_shared<const fieldkit::detail::WindowHandler>(
            [bar](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                return Handle(*bar, message, wParam, lParam, result);
            });
        const HWND window =
            CreateWindowW(L"CommandBar", L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 26,
                          parent ? parent->GetSafeHwnd() : nullptr, nullptr, nullptr, nullptr);
        if (window == nullptr) return FALSE;
        fieldkit::detail::SetWindowHandler(window, std::move(handler));
        m_hWnd = window;
        return TRUE;
    });
}
