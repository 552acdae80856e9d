#include "fieldkit/ui/window.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/systime.h"

using fieldkit::detail::FindHandle;
using fieldkit::detail::NoThrow;

namespace {

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

struct Window : fieldkit::detail::HandleObject {
    std::wstring className;
    std::wstring text;
    DWORD style = 0;
    LONG exStyle = 0;
    LONG id = 0;
    RECT place{};  // position and client size
    HWND parent = nullptr;
    std::vector<HWND> children;
    DWORD thread = 0;
    std::shared_ptr<const fieldkit::detail::WindowHandler> handler;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<MSG> messages;
};

// The windows themselves live in the handle table.
struct WindowState {
    // One lock for the fields of every window: the tree links windows to each other.
    std::mutex tree;
    std::mutex queuesLock;
    std::map<DWORD, std::shared_ptr<Queue>> queues;  // by thread

    // The queues are emptied, not dropped: a thread waiting in GetMessageW keeps its own.
    void Forget() {
        std::lock_guard<std::mutex> guard(queuesLock);
        for (auto& entry : queues) {
            std::lock_guard<std::mutex> inner(entry.second->mutex);
            entry.second->messages.clear();
        }
    }
};

WindowState& Windows() {
    return fieldkit::detail::ProcessState<WindowState>::Get();
}

std::mutex& TreeLock() {
    return Windows().tree;
}

// The thread's queue, made on first use; null, with ERROR_NOT_ENOUGH_MEMORY, when it can't be.
std::shared_ptr<Queue> QueueOf(DWORD thread) {
    WindowState& s = Windows();
    std::lock_guard<std::mutex> guard(s.queuesLock);
    const auto it = s.queues.find(thread);
    if (it != s.queues.end()) return it->second;
    return NoThrow(std::shared_ptr<Queue>(), ERROR_NOT_ENOUGH_MEMORY, [&] {
        auto made = std::make_shared<Queue>();
        s.queues.emplace(thread, made);
        return made;
    });
}

std::shared_ptr<Window> Find(HWND window) {
    return FindHandle<Window>(reinterpret_cast<HANDLE>(window));
}

// False, with ERROR_NOT_ENOUGH_MEMORY, when the queue has no room for it.
bool Post(DWORD thread, const MSG& msg) {
    const std::shared_ptr<Queue> q = QueueOf(thread);
    if (q == nullptr) return false;
    {
        std::lock_guard<std::mutex> guard(q->mutex);
        if (!NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&] {
                q->messages.push_back(msg);
                return true;
            })) {
            return false;
        }
    }
    q->ready.notify_all();
    return true;
}

bool Matches(const MSG& m, HWND window, UINT low, UINT high) {
    if (window != nullptr && m.hwnd != window) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

// Takes (or, without `remove`, copies) the first matching message of a locked queue.
bool TakeFrom(Queue& q, MSG* msg, HWND window, UINT low, UINT high, bool remove) {
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
        if (!Matches(*it, window, low, high)) continue;
        *msg = *it;
        if (remove) q.messages.erase(it);
        return true;
    }
    return false;
}

int CopyText(const std::wstring& text, wchar_t* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return static_cast<int>(n);
}

// Allocates nothing, so a destruction never stops half way.
void DestroyTree(HWND window) {
    std::vector<HWND> children;
    {
        const auto w = Find(window);
        if (w == nullptr) return;
        std::lock_guard<std::mutex> guard(TreeLock());
        children.swap(w->children);  // the window goes: its list is taken, not copied
    }
    for (const HWND child : children)
        DestroyTree(child);
    const auto w = Find(window);
    if (w == nullptr) return;
    {
        std::lock_guard<std::mutex> guard(TreeLock());
        if (const auto parent = Find(w->parent)) {
            auto& siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
        }
        w->children.clear();
    }
    fieldkit::detail::RemoveHandle(reinterpret_cast<HANDLE>(window));
}

}  // namespace

DWORD GetCurrentThreadId() {
    static std::atomic<DWORD> next{1};
    thread_local const DWORD id = next++;
    return id;
}

HWND CreateWindowW(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                   int width, int height, HWND parent, HMENU, HINSTANCE, void*) {
    return NoThrow<HWND>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&]() -> HWND {
        auto w = std::make_shared<Window>();
        w->className = className ? className : L"";
        w->text = text ? text : L"";
        w->style = style;
        w->place = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
        w->parent = parent;
        w->thread = GetCurrentThreadId();
        std::shared_ptr<Window> up;
        if (parent != nullptr && (up = Find(parent)) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        // The window is known to its parent and by its handle at once, or not at all.
        fieldkit::detail::HandleReservation handle;
        std::lock_guard<std::mutex> guard(TreeLock());
        if (up) up->children.push_back(reinterpret_cast<HWND>(handle.Get()));
        return reinterpret_cast<HWND>(handle.Fill(std::move(w)));
    });
}

BOOL DestroyWindow(HWND window) {
    if (Find(window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DestroyTree(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return Find(window) != nullptr ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    const auto w = Find(window);
    if (w == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(TreeLock());
    return w->parent;
}

HWND GetWindow(HWND window, UINT relation) {
    const auto w = Find(window);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(TreeLock());
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (relation == GW_OWNER) return nullptr;
    const auto parent = Find(w->parent);
    if (parent == nullptr)
        return relation == GW_HWNDFIRST || relation == GW_HWNDLAST ? window : nullptr;
    const auto& siblings = parent->children;
    const auto at = std::find(siblings.begin(), siblings.end(), window);
    switch (relation) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return at + 1 < siblings.end() ? *(at + 1) : nullptr;
        case GW_HWNDPREV:
            return at != siblings.begin() ? *(at - 1) : nullptr;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

int GetWindowTextW(HWND window, wchar_t* buffer, int size) {
    const auto w = Find(window);
    if (w == nullptr) return CopyText(L"", buffer, size);
    std::lock_guard<std::mutex> guard(TreeLock());
    return CopyText(w->text, buffer, size);
}

int GetWindowTextLengthW(HWND window) {
    const auto w = Find(window);
    if (w == nullptr) return 0;
    std::lock_guard<std::mutex> guard(TreeLock());
    return static_cast<int>(w->text.size());
}

BOOL SetWindowTextW(HWND window, const wchar_t* text) {
    const auto w = Find(window);
    if (w == nullptr) return FALSE;
    std::lock_guard<std::mutex> guard(TreeLock());
    // The old text stays when the new one finds no room.
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        w->text = text ? text : L"";
        return TRUE;
    });
}

int GetClassNameW(HWND window, wchar_t* buffer, int size) {
    const auto w = Find(window);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CopyText(w->className, buffer, size);  // set at creation, never changed
}

LONG GetWindowLongW(HWND window, int index) {
    const auto w = Find(window);
    if (w == nullptr) return 0;
    std::lock_guard<std::mutex> guard(TreeLock());
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return w->exStyle;
        case GWL_ID:
            return w->id;
        default:
            return 0;
    }
}

BOOL GetClientRect(HWND window, RECT* rect) {
    const auto w = Find(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    std::lock_guard<std::mutex> guard(TreeLock());
    *rect = {0, 0, w->place.right - w->place.left, w->place.bottom - w->place.top};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
    const auto w = Find(window);
    if (w == nullptr) return FALSE;
    std::lock_guard<std::mutex> guard(TreeLock());
    w->place = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* process) {
    const auto w = Find(window);
    if (process) *process = w ? 1 : 0;
    return w ? w->thread : 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD thread = GetCurrentThreadId();
    if (window != nullptr) {
        const auto w = Find(window);
        if (w == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        thread = w->thread;
    }
    return Post(thread, MSG{window, message, wParam, lParam, GetTickCount(), POINT{}}) ? TRUE
                                                                                       : FALSE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (threadId == 0) return FALSE;
    return Post(threadId, MSG{nullptr, message, wParam, lParam, GetTickCount(), POINT{}}) ? TRUE
                                                                                          : FALSE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT low, UINT high, UINT remove) {
    if (msg == nullptr) return FALSE;
    const std::shared_ptr<Queue> q = QueueOf(GetCurrentThreadId());
    if (q == nullptr) return FALSE;
    std::lock_guard<std::mutex> guard(q->mutex);
    return TakeFrom(*q, msg, window, low, high, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageW(MSG* msg, HWND window, UINT low, UINT high) {
    if (msg == nullptr) return -1;
    const std::shared_ptr<Queue> q = QueueOf(GetCurrentThreadId());
    if (q == nullptr) return -1;
    std::unique_lock<std::mutex> guard(q->mutex);
    // WM_QUIT ends the loop whatever the filters say.
    q->ready.wait(guard, [&] {
        return TakeFrom(*q, msg, window, low, high, true) ||
               TakeFrom(*q, msg, nullptr, WM_QUIT, WM_QUIT, true);
    });
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto w = Find(window);
    if (w == nullptr) return 0;
    std::shared_ptr<const fieldkit::detail::WindowHandler> handler;
    {
        std::lock_guard<std::mutex> guard(TreeLock());
        handler = w->handler;
    }
    LRESULT result = 0;
    if (handler && (*handler)(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_SETTEXT:
            return SetWindowTextW(window, reinterpret_cast<const wchar_t*>(lParam));
        case WM_GETTEXT:
            return GetWindowTextW(window, reinterpret_cast<wchar_t*>(lParam),
                                  static_cast<int>(wParam));
        case WM_GETTEXTLENGTH:
            return GetWindowTextLengthW(window);
        default:
            return 0;
    }
}

namespace fieldkit::detail {

void SetWindowHandler(HWND window, std::shared_ptr<const WindowHandler> handler) {
    const auto w = Find(window);
    if (w == nullptr) return;
    std::lock_guard<std::mutex> guard(TreeLock());
    w->handler = std::move(handler);
}

}  // namespace fieldkit::detail

BOOL CWnd::Attach(HWND window) {
    if (m_hWnd != nullptr || window == nullptr) return FALSE;
    m_hWnd = window;
    return TRUE;
}

HWND CWnd::Detach() {
    const HWND window = m_hWnd;
    m_hWnd = nullptr;
    return window;
}

void CWnd::GetWindowText(CString& text) const {
    if (!NoThrow([&] {
            const int n = GetWindowTextLengthW(m_hWnd);
            std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
            buffer.resize(static_cast<std::size_t>(GetWindowTextW(m_hWnd, buffer.data(), n + 1)));
            text = CString(std::move(buffer));
        })) {
        text.Empty();
    }
}

int CWnd::GetWindowText(wchar_t* buffer, int size) const {
    return GetWindowTextW(m_hWnd, buffer, size);
}

void CWnd::SetWindowText(const wchar_t* text) {
    SetWindowTextW(m_hWnd, text);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::DestroyWindow() {
    const HWND window = Detach();
    return window ? ::DestroyWindow(window) : FALSE;
}
