// What the window system's host knobs set, read by its own calls (internal).
#pragma once

#include <functional>

#include "fieldkit/ui/file_dialog.h"

namespace fieldkit::detail {

struct Screen {
    int width = 480;
    int height = 640;
    int dpiX = 96;
    int dpiY = 96;
    bool available = true;
    int charWidth = 8;
};
Screen CurrentScreen();

std::function<bool(OPENFILENAMEW&)> FileDialogHandler();

}  // namespace fieldkit::detail
