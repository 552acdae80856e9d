#include "fieldkit/ui/ui_host.h"

#include <mutex>
#include <utility>

#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/ui/detail/ui_state.h"

namespace fieldkit {
namespace {

struct UiHostState {
    std::mutex mutex;
    detail::Screen screen;
    std::function<bool(OPENFILENAMEW&)> dialog;
    // The host's choices, not the library's state: they stay as set.
    void Forget() {}
};

UiHostState& State() {
    return detail::ProcessState<UiHostState>::Get();
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
