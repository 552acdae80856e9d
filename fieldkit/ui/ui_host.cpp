#include "fieldkit/ui/ui_host.h"

#include <mutex>
#include <utility>

#include "fieldkit/ui/detail/ui_state.h"

namespace fieldkit {
namespace {

struct UiHostState {
    std::mutex mutex;
    detail::Screen screen;
    std::function<bool(OPENFILENAMEW&)> dialog;
};

UiHostState& State() {
    static UiHostState state;
    return state;
}

}  // namespace

namespace host {

void SetScreen(int width, int height, int dpiX, int dpiY) {
    UiHostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screen.width = width;
    s.screen.height = height;
    s.screen.dpiX = dpiX;
    s.screen.dpiY = dpiY;
}

void SetScreenAvailable(bool available) {
    UiHostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screen.available = available;
}

void SetCharWidth(int pixels) {
    UiHostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screen.charWidth = pixels;
}

void SetFileDialogHandler(std::function<bool(OPENFILENAMEW&)> handler) {
    UiHostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.dialog = std::move(handler);
}

}  // namespace host

namespace detail {

Screen CurrentScreen() {
    UiHostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.screen;
}

std::function<bool(OPENFILENAMEW&)> FileDialogHandler() {
    UiHostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.dialog;
}

}  // namespace detail
}  // namespace fieldkit
