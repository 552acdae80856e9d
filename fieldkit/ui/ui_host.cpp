#include "fieldkit/ui/ui_host.h"

#include <utility>

#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/ui/detail/ui_state.h"

namespace fieldkit {
namespace {

struct UiHostState {
    fieldkit::detail::Mutex mutex;
    detail::Screen screen FIELDKIT_GUARDED_BY(mutex);
    std::function<bool(OPENFILENAMEW&)> dialog FIELDKIT_GUARDED_BY(mutex);
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
    fieldkit::detail::LockGuard lock(s.mutex);
    s.screen.width = width;
    s.screen.height = height;
    s.screen.dpiX = dpiX;
    s.screen.dpiY = dpiY;
}

void SetScreenAvailable(bool available) {
    UiHostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    s.screen.available = available;
}

void SetCharWidth(int pixels) {
    UiHostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    s.screen.charWidth = pixels;
}

void SetFileDialogHandler(std::function<bool(OPENFILENAMEW&)> handler) {
    UiHostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    s.dialog = std::move(handler);
}

}  // namespace host

namespace detail {

Screen CurrentScreen() {
    UiHostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    return s.screen;
}

std::function<bool(OPENFILENAMEW&)> FileDialogHandler() {
    UiHostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    return s.dialog;
}

}  // namespace detail
}  // namespace fieldkit
