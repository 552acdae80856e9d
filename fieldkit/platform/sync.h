/// @file
/// Events, waiting and sleeping on the emulated device. Named events are process-local
/// objects found by name: creating one whose name exists opens the same event (the last error
/// is then ERROR_ALREADY_EXISTS); it goes when its last handle is closed (CloseHandle).
///
/// @ingroup platform
#pragma once

#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

struct SECURITY_ATTRIBUTES;

/// A wait without a time limit.
constexpr DWORD INFINITE = 0xFFFFFFFF;
/// Results of WaitForSingleObject.
///@{
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
///@}
/// Operations of EventModify.
///@{
constexpr DWORD EVENT_PULSE = 1;
constexpr DWORD EVENT_RESET = 2;
constexpr DWORD EVENT_SET = 3;
///@}
/// Access to an event, for OpenEventW (accepted, not enforced).
constexpr DWORD EVENT_ALL_ACCESS = 0x1F0003;

/// A new event, or the existing one of that name; a manual-reset event stays set until reset.
FIELDKIT_API HANDLE CreateEventW(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                                 const wchar_t* name);
/// Null when no event of that name exists.
FIELDKIT_API HANDLE OpenEventW(DWORD access, BOOL inherit, const wchar_t* name);
/// The handheld's one call behind SetEvent, ResetEvent and PulseEvent.
FIELDKIT_API BOOL EventModify(HANDLE event, DWORD operation);
/// EventModify with EVENT_SET and EVENT_RESET.
///@{
FIELDKIT_API BOOL SetEvent(HANDLE event);
FIELDKIT_API BOOL ResetEvent(HANDLE event);
///@}
/// WAIT_OBJECT_0 when the event is (or becomes) set within the time, else WAIT_TIMEOUT;
/// WAIT_FAILED for a handle that is not an event.
FIELDKIT_API DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
/// Suspends the calling thread for that many milliseconds.
FIELDKIT_API void Sleep(DWORD milliseconds);

/// @}
