// What the host knobs set, read by the platform's own calls (internal).
#pragma once

#include <functional>
#include <string>

#include "fieldkit/platform/cstring.h"
#include "fieldkit/platform/system.h"

namespace fieldkit::detail {

CString ModuleFileOverride();
bool StringResource(HINSTANCE module, UINT id, std::wstring& text);
std::function<bool(OPENFILENAMEW&)> FileDialogHandler();
std::function<void(const wchar_t*)> DebugOutputHandler();

struct Screen {
    int width = 480;
    int height = 640;
    int dpiX = 96;
    int dpiY = 96;
    bool available = true;
    int charWidth = 8;
};
Screen CurrentScreen();

}  // namespace fieldkit::detail
