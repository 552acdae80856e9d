#include "fieldkit/ui/window.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/invariant.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/systime.h"

using fieldkit::detail::FindHandle;
using fieldkit::detail::NoThrow;

namespace {

constexpr std::size_t kQueueLimit = 10000;  // waiting messages per queue, as on Win32

struct Window;

struct Window;
fieldkit::detail::Mutex& TreeLock();

// A thread that has used the window system: its message queue and the windows it created.
// Made on the thread's first call that needs a queue, as Win32 makes one; dropped when the
// thread ends.
struct ThreadRecord : std::enable_shared_from_this<ThreadRecord> {
    explicit ThreadRecord(DWORD id) : thread(id) {}
    const DWORD thread;
    // Guards messages and open; taken after the tree lock (the order is at WindowState).
    fieldkit::detail::Mutex mutex FIELDKIT_ACQUIRED_AFTER(TreeLock());
    std::condition_variable ready;
    std::deque<MSG> messages FIELDKIT_GUARDED_BY(mutex);
    // False once the thread has ended: nothing is posted to it any more.
    bool open FIELDKIT_GUARDED_BY(mutex) = true;
    // Guarded by the tree lock. In no order, so that a window leaves it at once; it holds the
    // windows themselves, so it reaches them even after a reset has emptied the handle table.
    std::vector<std::shared_ptr<Window>> windows FIELDKIT_GUARDED_BY(TreeLock());
};

struct Window : fieldkit::detail::HandleObject {
    std::wstring className;  // set before the window is known, never changed
    std::wstring text FIELDKIT_GUARDED_BY(TreeLock());
    DWORD style FIELDKIT_GUARDED_BY(TreeLock()) = 0;
    LONG exStyle FIELDKIT_GUARDED_BY(TreeLock()) = 0;
    LONG id FIELDKIT_GUARDED_BY(TreeLock()) = 0;
    RECT place FIELDKIT_GUARDED_BY(TreeLock()){};  // position and client size
    HWND parent FIELDKIT_GUARDED_BY(TreeLock()) = nullptr;
    // The parent window, which outlives its children in the tree; set before the window is known.
    std::weak_ptr<Window> up;
    std::vector<HWND> children FIELDKIT_GUARDED_BY(TreeLock());
    HWND self = nullptr;
    std::shared_ptr<ThreadRecord> owner;  // the creating thread's; set before the window is known
    std::size_t slot FIELDKIT_GUARDED_BY(TreeLock()) = 0;  // its index in owner->windows
    std::shared_ptr<const fieldkit::detail::WindowHandler> handler;
    // Set under the tree lock in the step that takes the window out of the tree. Posts read it
    // under the owner's queue lock without the tree lock, so it is atomic.
    std::atomic<bool> destroyed{false};
};

// The windows themselves live in the handle table. Locks are taken in this order: the tree, the
// record map, a record's queue, the handle table. The marks check that the record map and a
// queue come after the tree (the handle table's lock is another file's, out of sight here).
struct WindowState {
    // One lock for the fields of every window and the records' window lists: the tree links
    // windows to each other, and a window joins or leaves it in one step.
    fieldkit::detail::Mutex tree;
    fieldkit::detail::Mutex recordsLock FIELDKIT_ACQUIRED_AFTER(tree);
    std::map<DWORD, std::shared_ptr<ThreadRecord>> records FIELDKIT_GUARDED_BY(recordsLock);

    // Every window goes and the queues are emptied; the records stay, since their threads do.
    void Forget();
};

WindowState& Windows() {
    return fieldkit::detail::ProcessState<WindowState>::Get();
}

fieldkit::detail::Mutex& TreeLock() FIELDKIT_RETURN_CAPABILITY(Windows().tree) {
    return Windows().tree;
}

std::shared_ptr<Window> Find(HWND window) {
    return FindHandle<Window>(reinterpret_cast<HANDLE>(window));
}

// The window while it is one: a destruction under way counts as done.
std::shared_ptr<Window> Live(HWND window) {
    auto w = Find(window);
    return w != nullptr && !w->destroyed.load() ? w : nullptr;
}

void Erase(std::vector<HWND>& list, HWND window) {
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
}

// Under the tree lock: the window leaves its thread's list, the last one there taking its slot.
// The caller holds a share of the window.
void Unlist(Window& w) FIELDKIT_REQUIRES(TreeLock()) {
    auto& list = w.owner->windows;
    if (w.slot >= list.size() || list[w.slot].get() != &w) return;
    if (w.slot + 1 != list.size()) {
        list[w.slot] = std::move(list.back());
        list[w.slot]->slot = w.slot;
    }
    list.pop_back();
}

// Under the tree lock: the window alone leaves the handle table, its thread's list and its
// queue (messages already posted to it included). Its children have gone before it.
void Leave(const std::shared_ptr<Window>& w) FIELDKIT_REQUIRES(TreeLock()) {
    const HWND window = w->self;
    w->children.clear();
    Unlist(*w);
    ThreadRecord& owner = *w->owner;
    {
        fieldkit::detail::LockGuard guard(owner.mutex);
        auto& q = owner.messages;
        q.erase(
            std::remove_if(q.begin(), q.end(), [window](const MSG& m) { return m.hwnd == window; }),
            q.end());
    }
    owner.ready.notify_all();  // GetMessageW waiting for this window answers -1
    fieldkit::detail::RemoveHandle(reinterpret_cast<HANDLE>(window));
}

// Under the tree lock: the window and its descendants leave, each after its children. The
// caller has taken the window out of its parent's list. A loop rather than recursion, so that
// however deep a family is nested its destruction cannot run out of stack; it allocates
// nothing, so a destruction never stops half way.
void Tear(const std::shared_ptr<Window>& root) FIELDKIT_REQUIRES(TreeLock()) {
    root->destroyed.store(true);
    std::shared_ptr<Window> w = root;
    for (;;) {
        if (!w->children.empty()) {
            // Down to the last child; one whose handle is already gone (after a reset) leaves
            // with its own thread's list instead.
            if (auto child = Find(w->children.back())) {
                child->destroyed.store(true);
                w = std::move(child);
            } else {
                w->children.pop_back();
            }
            continue;
        }
        std::shared_ptr<Window> up = w == root ? nullptr : w->up.lock();
        Leave(w);
        if (up == nullptr) return;
        up->children.pop_back();  // w was its last child
        w = std::move(up);
    }
}

// Under the tree lock.
void Destroy(const std::shared_ptr<Window>& w) FIELDKIT_REQUIRES(TreeLock()) {
    if (const auto parent = Find(w->parent)) Erase(parent->children, w->self);
    Tear(w);
}

// Under the tree lock: every window the record's thread created.
void DestroyAllOf(ThreadRecord& record) FIELDKIT_REQUIRES(TreeLock()) {
    while (!record.windows.empty()) {
        const std::shared_ptr<Window> w = record.windows.back();
        Destroy(w);
    }
}

void WindowState::Forget() {
    // TreeLock() is this state's tree lock (there is one state), named as DestroyAllOf names it.
    fieldkit::detail::LockGuard guard(TreeLock());
    fieldkit::detail::LockGuard inner(recordsLock);
    for (auto& entry : records) {
        ThreadRecord& record = *entry.second;
        DestroyAllOf(record);
        fieldkit::detail::LockGuard queue(record.mutex);
        record.messages.clear();
    }
}

// Plain thread-locals: still readable while the thread's other thread-locals are destroyed.
thread_local ThreadRecord* t_record = nullptr;
thread_local bool t_ended = false;

// Ends with its thread and, as Win32 does then, destroys the windows the thread created and
// closes its queue. A window of another thread that hangs below one of them goes with it.
struct ThreadEnd {
    ThreadEnd() = default;
    ThreadEnd(const ThreadEnd&) = delete;
    ThreadEnd& operator=(const ThreadEnd&) = delete;
    ~ThreadEnd() {
        t_record = nullptr;
        t_ended = true;
        if (record == nullptr) return;
        // The state is never destroyed, so this is safe at process exit too, when the main
        // thread's thread-locals go before the exit handlers run.
        WindowState& s = Windows();
        {
            fieldkit::detail::LockGuard guard(s.tree);
            DestroyAllOf(*record);
        }
        {
            fieldkit::detail::LockGuard guard(s.recordsLock);
            const auto it = s.records.find(record->thread);
            if (it != s.records.end() && it->second == record) s.records.erase(it);
        }
        fieldkit::detail::LockGuard guard(record->mutex);
        record->open = false;
        record->messages.clear();
    }

    std::shared_ptr<ThreadRecord> record;
};

// The calling thread's record, made on first use; null, with the last error set, when it
// cannot be made or the thread is ending.
ThreadRecord* Self() {
    if (t_record != nullptr) return t_record;
    if (t_ended) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return nullptr;
    }
    thread_local ThreadEnd end;
    return NoThrow<ThreadRecord*>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        auto made = std::make_shared<ThreadRecord>(GetCurrentThreadId());
        WindowState& s = Windows();
        {
            fieldkit::detail::LockGuard guard(s.recordsLock);
            s.records.emplace(made->thread, made);
        }
        end.record = std::move(made);
        t_record = end.record.get();
        return t_record;
    });
}

// Whether the record's thread still takes messages.
bool IsOpen(ThreadRecord& q) {
    fieldkit::detail::LockGuard guard(q.mutex);
    return q.open;
}

// Into the record's queue; false, with the last error set, when the window (if any) is being
// destroyed, the thread has ended, the queue is full or memory runs out.
bool Post(ThreadRecord& q, const Window* w, const MSG& msg) {
    FIELDKIT_INVARIANT(w == nullptr || w->owner.get() == &q,
                       "a window's messages go to the queue of the thread that made it");
    {
        fieldkit::detail::LockGuard guard(q.mutex);
        FIELDKIT_INVARIANT(q.open || q.messages.empty(), "a closed queue holds no messages");
        // Read under the queue's lock, which the destruction takes to empty the queue after
        // setting the flag: a message either goes with that sweep or is refused.
        if (w != nullptr && w->destroyed.load()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        if (!q.open) {
            SetLastError(ERROR_INVALID_THREAD_ID);
            return false;
        }
        if (q.messages.size() >= kQueueLimit) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return false;
        }
        // Runs inside NoThrow under the queue's lock (the analysis sees a lambda apart).
        if (!NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
                q.messages.push_back(msg);
                return true;
            })) {
            return false;
        }
        FIELDKIT_INVARIANT(q.messages.size() <= kQueueLimit, "a queue keeps to its limit");
    }
    q.ready.notify_all();
    return true;
}

bool Matches(const MSG& m, HWND window, UINT low, UINT high) {
    if (window != nullptr && m.hwnd != window) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

// Takes (or, without `remove`, copies) the first matching message of a locked queue, which is
// the calling thread's own.
bool TakeFrom(ThreadRecord& q, MSG* msg, HWND window, UINT low, UINT high, bool remove)
    FIELDKIT_REQUIRES(q.mutex) {
    FIELDKIT_INVARIANT(q.thread == GetCurrentThreadId(), "a thread reads only its own queue");
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

}  // namespace

DWORD GetCurrentThreadId() {
    static std::atomic<DWORD> next{1};
    thread_local const DWORD id = next++;
    return id;
}

namespace {

// The fields of a window no other thread can reach yet: written without the tree lock, which
// the analysis cannot tell from a window already in the tree.
void Describe(Window& w, const wchar_t* text, DWORD style, const RECT& place,
              HWND parent) FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
    w.text = text ? text : L"";
    w.style = style;
    w.place = place;
    w.parent = parent;
}

}  // namespace

HWND CreateWindowW(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                   int width, int height, HWND parent, HMENU, HINSTANCE, void*) {
    ThreadRecord* const self = Self();
    if (self == nullptr) return nullptr;
    return NoThrow<HWND>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&]() -> HWND {
        auto w = std::make_shared<Window>();
        w->className = className ? className : L"";
        Describe(*w, text, style, {x, y, x + std::max(width, 0), y + std::max(height, 0)}, parent);
        w->owner = self->shared_from_this();
        std::shared_ptr<Window> up;
        if (parent != nullptr && (up = Find(parent)) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        w->up = up;
        // The window joins its parent, its thread's list and the handle table in one step under
        // the tree lock, and a destruction leaves them in one: no walk sees a part of either.
        fieldkit::detail::HandleReservation handle;
        const HWND window = reinterpret_cast<HWND>(handle.Get());
        w->self = window;
        fieldkit::detail::LockGuard guard(TreeLock());
        if (up != nullptr && up->destroyed.load()) {  // a parent on its way out takes no child
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        w->slot = self->windows.size();
        self->windows.push_back(w);
        // The lambda runs inside NoThrow, under the tree lock taken above.
        if (up != nullptr && !NoThrow([&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
                up->children.push_back(window);
            })) {
            self->windows.pop_back();
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        return reinterpret_cast<HWND>(handle.Fill(std::move(w)));
    });
}

BOOL DestroyWindow(HWND window) {
    const auto w = Find(window);
    if (w != nullptr) {
        fieldkit::detail::LockGuard guard(TreeLock());
        if (!w->destroyed.load()) {  // else another thread got there first
            Destroy(w);
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL IsWindow(HWND window) {
    return Live(window) != nullptr ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    const auto w = Find(window);
    if (w == nullptr) return nullptr;
    fieldkit::detail::LockGuard guard(TreeLock());
    return w->destroyed.load() ? nullptr : w->parent;
}

HWND GetWindow(HWND window, UINT relation) {
    const auto w = Find(window);
    fieldkit::detail::UniqueLock guard(TreeLock());
    // Checked under the lock: a live window is in its live parent's list, so its place there
    // is found.
    if (w == nullptr || w->destroyed.load()) {
        guard.unlock();
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (relation == GW_OWNER) return nullptr;
    const auto parent = Find(w->parent);
    if (parent == nullptr)
        return relation == GW_HWNDFIRST || relation == GW_HWNDLAST ? window : nullptr;
    const auto& siblings = parent->children;
    const auto at = std::find(siblings.begin(), siblings.end(), window);
    if (at == siblings.end()) return nullptr;  // never, while the tree keeps its promise
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
            guard.unlock();
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

int GetWindowTextW(HWND window, wchar_t* buffer, int size) {
    const auto w = Live(window);
    if (w == nullptr) return CopyText(L"", buffer, size);
    fieldkit::detail::LockGuard guard(TreeLock());
    return CopyText(w->text, buffer, size);
}

int GetWindowTextLengthW(HWND window) {
    const auto w = Live(window);
    if (w == nullptr) return 0;
    fieldkit::detail::LockGuard guard(TreeLock());
    return static_cast<int>(w->text.size());
}

BOOL SetWindowTextW(HWND window, const wchar_t* text) {
    const auto w = Live(window);
    if (w == nullptr) return FALSE;
    fieldkit::detail::LockGuard guard(TreeLock());
    // The old text stays when the new one finds no room. The lambda runs inside NoThrow, under
    // the tree lock taken above.
    return NoThrow(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
        w->text = text ? text : L"";
        return TRUE;
    });
}

int GetClassNameW(HWND window, wchar_t* buffer, int size) {
    const auto w = Live(window);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CopyText(w->className, buffer, size);  // set at creation, never changed
}

LONG GetWindowLongW(HWND window, int index) {
    const auto w = Live(window);
    if (w == nullptr) return 0;
    fieldkit::detail::LockGuard guard(TreeLock());
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
    const auto w = Live(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    fieldkit::detail::LockGuard guard(TreeLock());
    *rect = {0, 0, w->place.right - w->place.left, w->place.bottom - w->place.top};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
    const auto w = Live(window);
    if (w == nullptr) return FALSE;
    fieldkit::detail::LockGuard guard(TreeLock());
    w->place = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* process) {
    const auto w = Live(window);
    if (process) *process = w ? 1 : 0;
    return w ? w->owner->thread : 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const MSG msg{window, message, wParam, lParam, GetTickCount(), POINT{}};
    if (window == nullptr) {
        ThreadRecord* const self = Self();
        return self != nullptr && Post(*self, nullptr, msg) ? TRUE : FALSE;
    }
    // Not the poster's own record: the tic thread posts without ever having a queue.
    const auto w = Find(window);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return Post(*w->owner, w.get(), msg) ? TRUE : FALSE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadRecord> q;
    {
        WindowState& s = Windows();
        fieldkit::detail::LockGuard guard(s.recordsLock);
        const auto it = s.records.find(threadId);
        if (it != s.records.end()) q = it->second;
        FIELDKIT_INVARIANT(q == nullptr || (q->thread == threadId && IsOpen(*q)),
                           "an ended thread's queue has left the record map");
    }
    if (q == nullptr) {  // no such thread, or one without a queue yet, as on Win32
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    const MSG msg{nullptr, message, wParam, lParam, GetTickCount(), POINT{}};
    return Post(*q, nullptr, msg) ? TRUE : FALSE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT low, UINT high, UINT remove) {
    if (msg == nullptr) return FALSE;
    if (window != nullptr && Live(window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ThreadRecord* const q = Self();
    if (q == nullptr) return FALSE;
    fieldkit::detail::LockGuard guard(q->mutex);
    return TakeFrom(*q, msg, window, low, high, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageW(MSG* msg, HWND window, UINT low, UINT high) {
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::shared_ptr<Window> w;
    if (window != nullptr && (w = Live(window)) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    ThreadRecord* const q = Self();
    if (q == nullptr) return -1;
    bool gone = false;
    {
        fieldkit::detail::UniqueLock guard(q->mutex);
        // WM_QUIT ends the loop whatever the filters say.
        guard.Wait(q->ready, [&]() FIELDKIT_REQUIRES(q->mutex) {
            if (TakeFrom(*q, msg, window, low, high, true) ||
                TakeFrom(*q, msg, nullptr, WM_QUIT, WM_QUIT, true)) {
                return true;
            }
            gone = w != nullptr && w->destroyed.load();
            return gone;
        });
    }
    if (gone) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto w = Live(window);
    if (w == nullptr) return 0;
    std::shared_ptr<const fieldkit::detail::WindowHandler> handler;
    {
        fieldkit::detail::LockGuard guard(TreeLock());
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
    const auto w = Live(window);
    if (w == nullptr) return;
    fieldkit::detail::LockGuard guard(TreeLock());
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
