/// @file
/// The knobs of the emulated device, for tests and embedding applications. Nothing in the
/// library itself calls these. The window system's knobs (screen, character width, file
/// dialogs) are in fieldkit/ui/ui_host.h.
///
/// @ingroup platform
#pragma once

#include <functional>
#include <string>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

namespace fieldkit::host {

/// @addtogroup platform
/// @{

/// The host folder that absolute device paths live under. By default the folder named by the
/// environment variable FIELDKIT_DEVICE_ROOT, else "/" (so "\\tmp\\x" is "/tmp/x").
///@{
FIELDKIT_API void SetDeviceRoot(const std::string& hostFolder);
FIELDKIT_API std::string GetDeviceRoot();
///@}

/// Device path to host path and back, by name (links are not looked at). Every device path,
/// relative ones too, lies under the root. A host path outside the device root comes back with
/// its separators turned, as the nearest device path there is.
///@{
FIELDKIT_API std::string ToHostPath(const CString& devicePath);
FIELDKIT_API CString FromHostPath(const std::string& hostPath);
///@}

/// The device path GetModuleFileNameW reports; empty: the environment variable
/// FIELDKIT_MODULE_FILE if set, else the running program.
FIELDKIT_API void SetModuleFileName(const CString& devicePath);

/// The text LoadStringW answers for (module, id).
FIELDKIT_API void SetStringResource(HINSTANCE module, UINT id, const CString& text);
/// Receives what OutputDebugStringW is given; without one it goes to standard error as UTF-8.
FIELDKIT_API void SetDebugOutputHandler(std::function<void(const wchar_t*)> handler);

/// For tests: returns the library to its state at load, as if the process had just started. It
/// forgets every window, menu, open handle, registry key and event, the message queues, the
/// application record and its layout, the application log, the translation store, the tic
/// timer, the display factors and every kept answer and cache. What the host set through these
/// knobs (the device root, the module file name, string resources, the screen, the handlers, the
/// application log's setting) stays as set. Handle numbers go on counting, so a handle from
/// before the reset never names an object made after it. Views of mapped files stay mapped: that
/// memory is the caller's until UnmapViewOfFile.
FIELDKIT_API void ResetProcessState();

/// @}

}  // namespace fieldkit::host

/// @}
