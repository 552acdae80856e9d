// The knobs of the emulated device, for tests and embedding applications. Nothing in the
// library itself calls these. The window system's knobs (screen, character width, file
// dialogs) are in fieldkit/ui/ui_host.h.
#pragma once

#include <functional>
#include <string>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/types.h"

namespace fieldkit::host {

// The host folder that absolute device paths live under. By default the folder named by the
// environment variable FIELDKIT_DEVICE_ROOT, else "/" (so "\tmp\x" is "/tmp/x").
void SetDeviceRoot(const std::string& hostFolder);
std::string GetDeviceRoot();

// Device path to host path and back, by name (links are not looked at). Every device path,
// relative ones too, lies under the root. A host path outside the device root comes back with
// its separators turned, as the nearest device path there is.
std::string ToHostPath(const CString& devicePath);
CString FromHostPath(const std::string& hostPath);

// The device path GetModuleFileNameW reports; empty: the environment variable
// FIELDKIT_MODULE_FILE if set, else the running program.
void SetModuleFileName(const CString& devicePath);

// The text LoadStringW answers for (module, id).
void SetStringResource(HINSTANCE module, UINT id, const CString& text);
// Receives what OutputDebugStringW is given; without one it goes to standard error as UTF-8.
void SetDebugOutputHandler(std::function<void(const wchar_t*)> handler);

// For tests: forgets the process-wide state of the library (the application record and its
// layout, the application log, the translation store, the tic timer, the display factors,
// the kept temp path, the registry answer), as if the process had just started. The device
// root, module file name, screen, handlers and registry keys stay as set.
void ResetProcessState();

}  // namespace fieldkit::host

namespace fieldkit::detail {
// Subsystems that keep process-wide state register how to forget it; ResetProcessState calls
// every registered function, newest first.
void RegisterResetHook(void (*reset)());
}  // namespace fieldkit::detail
