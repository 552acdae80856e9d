/// @file
/// The tic timer: one background thread that serves up to 100 window timers. On every tic
/// (the base period) it counts each timer down and, when one falls due, posts WM_TICTIMER
/// (wParam = the timer's id, lParam = 0) to its window, so the message arrives in the queue of
/// the thread that created the window; windows that disappear are dropped at the next tic.
/// The window system refuses posts to a destroyed window and takes those already queued away
/// with it, so once DestroyWindow returns no WM_TICTIMER of the window is waiting or arrives.
/// Every call is thread-safe.
///
/// @ingroup logging
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"
#include "fieldkit/ui/window.h"

/// @addtogroup logging
/// @{

constexpr UINT WM_TICTIMER = WM_USER + 7500;  ///< 0x214C

/// Starts the thread with a tic of `period` ms (at least 10); a running thread keeps its period.
/// The first tic comes one period after the start. 1 when the thread and the table exist
/// afterwards.
FIELDKIT_API int CreateTicTimerThread(UINT period);
/// Stops the thread and forgets every timer; 1, or 0 when nothing ran. Returns within about a
/// second even if the thread does not confirm its stop; such a thread finishes on its own and
/// never touches the timers of a later CreateTicTimerThread.
FIELDKIT_API int DestroyTicTimerThread();
/// Registers the window's timer `id`, or changes its interval and restarts its countdown; the
/// interval is `elapse` ms in the nearest whole number of tics, at least one. 1 on success, 0
/// without a thread, for a window that is not a window, or when all 100 slots are taken.
FIELDKIT_API int SetTicTimer(HWND window, UINT id, UINT elapse);
/// 1 when the timer existed.
FIELDKIT_API int KillTicTimer(HWND window, UINT id);

namespace fieldkit::detail {
// The interval of `elapse` ms in tics of `period` ms: the nearest whole number, a half
// counting up, and at least 1.
UINT TicTimerReload(UINT elapse, UINT period);
// For tests: the running table's tic in ms, 0 without a table.
UINT TicTimerPeriod();
// For tests: the table's count of occupied slots and the slots that actually hold a window,
// read together; false without a table.
bool TicTimerCounts(int& count, int& slotsInUse);
}  // namespace fieldkit::detail

/// @}
