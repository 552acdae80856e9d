// The process-wide knobs a test turns, put back when the guard goes: at the end of the test,
// after a failed ASSERT too. The library offers no getter for most knobs, so those return to
// their defaults; the device root, the locale and environment variables to what they were.
#pragma once

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fieldkit/platform/files.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/ui/ui_host.h"

class HostKnobs {
  public:
    HostKnobs() = default;
    HostKnobs(const HostKnobs&) = delete;
    HostKnobs& operator=(const HostKnobs&) = delete;
    ~HostKnobs() {
        for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo)
            (*undo)();
    }

    void DeviceRoot(const std::string& folder) {
        Later([old = fieldkit::host::GetDeviceRoot()] { fieldkit::host::SetDeviceRoot(old); });
        fieldkit::host::SetDeviceRoot(folder);
    }
    void ModuleFileName(const CString& devicePath) {
        Later([] { fieldkit::host::SetModuleFileName(CString()); });
        fieldkit::host::SetModuleFileName(devicePath);
    }
    void Screen(int width, int height, int dpiX, int dpiY) {
        Later([] { fieldkit::host::SetScreen(480, 640, 96, 96); });
        fieldkit::host::SetScreen(width, height, dpiX, dpiY);
    }
    void ScreenAvailable(bool available) {
        Later([] { fieldkit::host::SetScreenAvailable(true); });
        fieldkit::host::SetScreenAvailable(available);
    }
    void CharWidth(int pixels) {
        Later([] { fieldkit::host::SetCharWidth(8); });
        fieldkit::host::SetCharWidth(pixels);
    }
    void FileDialog(std::function<bool(OPENFILENAMEW&)> handler) {
        Later([] { fieldkit::host::SetFileDialogHandler(nullptr); });
        fieldkit::host::SetFileDialogHandler(std::move(handler));
    }
    void DebugOutput(std::function<void(const wchar_t*)> handler) {
        Later([] { fieldkit::host::SetDebugOutputHandler(nullptr); });
        fieldkit::host::SetDebugOutputHandler(std::move(handler));
    }
    // An empty text loads as none: LoadStringW answers 0 either way.
    void StringResource(HINSTANCE module, UINT id, const CString& text) {
        Later([=] { fieldkit::host::SetStringResource(module, id, CString()); });
        fieldkit::host::SetStringResource(module, id, text);
    }
    void ResolveByWalkOnly(bool walkOnly) {
        Later([] { fieldkit::detail::SetResolveByWalkOnly(false); });
        fieldkit::detail::SetResolveByWalkOnly(walkOnly);
    }
    // False when the locale is not installed.
    bool Locale(const char* name) {
        Later([old = std::string(std::setlocale(LC_ALL, nullptr))] {
            std::setlocale(LC_ALL, old.c_str());
        });
        return std::setlocale(LC_ALL, name) != nullptr;
    }
    // Null unsets the variable. TZ is read again at once.
    void Env(const char* name, const char* value) {
        const char* old = std::getenv(name);
        Later([name = std::string(name), had = old != nullptr, was = std::string(old ? old : "")] {
            had ? setenv(name.c_str(), was.c_str(), 1) : unsetenv(name.c_str());
            tzset();
        });
        value ? setenv(name, value, 1) : unsetenv(name);
        tzset();
    }

  private:
    void Later(std::function<void()> undo) { undo_.push_back(std::move(undo)); }

    std::vector<std::function<void()>> undo_;
};
