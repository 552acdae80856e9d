/// @file
/// An in-process emulation of the handheld's windows and message queues.
///
/// Windows are objects in a process-wide table behind HWND handles: class name, style, text,
/// parent and ordered children, client size, and the thread that created them. Posted messages
/// go into the creating thread's queue. Every call is thread-safe and keeps its Win32 meaning;
/// nothing is drawn. A handle of a destroyed window is never reused, so IsWindow of it stays
/// false.
///
/// A window enters its parent's list and the handle table in one step, and leaves both (with
/// its descendants) in one, so walks from other threads never see a half-made or half-gone
/// family. As on Win32, a thread gets its message queue with its first call that needs one,
/// and when the thread ends, the windows it created are destroyed and its queue goes.
///
/// @ingroup ui
#pragma once

#include <functional>
#include <memory>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup ui
/// @{

/// Window messages the platform knows; WM_USER and above are the application's.
///@{
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
///@}

/// What GetWindowLongW reads: style, extended style or identifier.
///@{
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_ID = -12;
///@}

/// Relations of GetWindow: first, last, next or previous sibling, owner, first child.
///@{
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
///@}

/// Window styles, kept with the window.
///@{
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;
///@}

/// No such window, or one being destroyed.
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
/// No such thread, or one that has no message queue (yet, or any more).
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;
/// A queue already holds 10,000 waiting messages.
constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;

/// Whether PeekMessageW takes the message out of the queue.
///@{
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
///@}

/// A queued message.
struct MSG {
    /// The window, message, parameters, time posted and a point, as in Win32.
    ///@{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
    ///@}
};

/// A window of the given class; width and height are its client size. A parent must be a
/// window (ERROR_INVALID_WINDOW_HANDLE otherwise, also for one being destroyed meanwhile). The
/// menu and instance are accepted and not used.
FIELDKIT_API HWND CreateWindowW(const wchar_t* className, const wchar_t* text, DWORD style, int x,
                                int y, int width, int height, HWND parent, HMENU menu,
                                HINSTANCE instance, void* param);
/// Destroys the window and all its descendants, whichever thread created them, and removes
/// the messages posted to them from the queues; nothing more is posted to them afterwards.
FIELDKIT_API BOOL DestroyWindow(HWND window);
/// Whether the handle names a window that exists (and is not being destroyed).
FIELDKIT_API BOOL IsWindow(HWND window);
/// The parent window, or null.
FIELDKIT_API HWND GetParent(HWND window);
/// The window in that relation (GW_ constants), or null.
FIELDKIT_API HWND GetWindow(HWND window, UINT relation);
/// The window's text, as WM_GETTEXT, WM_GETTEXTLENGTH and WM_SETTEXT give and set it.
///@{
FIELDKIT_API int GetWindowTextW(HWND window, wchar_t* buffer, int size);
FIELDKIT_API int GetWindowTextLengthW(HWND window);
FIELDKIT_API BOOL SetWindowTextW(HWND window, const wchar_t* text);
///@}
/// The class name, cut to size - 1 units; 0 for a bad window.
FIELDKIT_API int GetClassNameW(HWND window, wchar_t* buffer, int size);
/// Style, extended style or identifier (GWL_ constants); 0 for a bad window or another index.
FIELDKIT_API LONG GetWindowLongW(HWND window, int index);
/// The client rectangle: 0, 0, width, height.
FIELDKIT_API BOOL GetClientRect(HWND window, RECT* rect);
/// Sets the position and client size.
FIELDKIT_API BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
/// The thread that created the window.
FIELDKIT_API DWORD GetWindowThreadProcessId(HWND window, DWORD* process);

/// Into the queue of the thread that created the window (or of the calling thread for a null
/// window). FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not a window, and with
/// ERROR_NOT_ENOUGH_QUOTA when the queue already holds 10,000 messages.
FIELDKIT_API BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Into the thread's queue: FALSE with ERROR_INVALID_THREAD_ID for a thread without a queue,
/// and with ERROR_NOT_ENOUGH_QUOTA when it holds 10,000 messages.
FIELDKIT_API BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
/// The calling thread's queue; a null window and zero filters take every message.
FIELDKIT_API BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
/// Waits for a message; 0 for WM_QUIT, -1 for a bad argument: a window that does not exist, or
/// (one of the calling thread's) that is destroyed while the call waits for it, with
/// ERROR_INVALID_WINDOW_HANDLE.
FIELDKIT_API BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
/// Calls the window's handler on the calling thread: WM_SETTEXT, WM_GETTEXT and
/// WM_GETTEXTLENGTH for every window, and whatever a class (a command bar) handles itself.
FIELDKIT_API LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// The calling thread's identifier, as messages and windows know it.
FIELDKIT_API DWORD GetCurrentThreadId();

namespace fieldkit::detail {
// The handler a window class answers SendMessageW with; it returns false for messages it
// does not handle. Set once, right after creation. Shared, so that a message takes it without
// copying it (which could fail for want of memory, with no failure value to answer).
using WindowHandler = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
void SetWindowHandler(HWND window, std::shared_ptr<const WindowHandler> handler);
}  // namespace fieldkit::detail

/// The class library's window object. It does not own the window: destroying the object leaves
/// the window alone (call DestroyWindow).
class FIELDKIT_API CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    /// The window, or null.
    ///@{
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }  // NOLINT(google-explicit-constructor)
    ///@}
    /// Takes the window on; FALSE when the object already has one or the handle is null.
    BOOL Attach(HWND window);
    /// Lets the window go and answers it.
    HWND Detach();

    /// The window calls of the same names, for this object's window.
    ///@{
    void GetWindowText(CString& text) const;
    int GetWindowText(wchar_t* buffer, int size) const;
    void SetWindowText(const wchar_t* text);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL DestroyWindow();
    ///@}

    /// The window, null when the object has none.
    HWND m_hWnd = nullptr;
};

/// @}
