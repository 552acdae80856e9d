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

#include "fieldkit/platform/file_system.h"
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
        Turn(&fieldkit::host::SetDeviceRoot, folder, fieldkit::host::GetDeviceRoot());
    }
    void ModuleFileName(const CString& path) {
        Turn(&fieldkit::host::SetModuleFileName, path, CString());
    }
    void ScreenAvailable(bool available) {
        Turn(&fieldkit::host::SetScreenAvailable, available, true);
    }
    void CharWidth(int pixels) { Turn(&fieldkit::host::SetCharWidth, pixels, 8); }
    void FileDialog(std::function<bool(OPENFILENAMEW&)> handler) {
        Turn(&fieldkit::host::SetFileDialogHandler, std::move(handler), nullptr);
    }
    void DebugOutput(std::function<void(const wchar_t*)> handler) {
        Turn(&fieldkit::host::SetDebugOutputHandler, std::move(handler), nullptr);
    }
    void ResolveByWalkOnly(bool walkOnly) {
        Turn(&fieldkit::detail::SetResolveByWalkOnly, walkOnly, false);
    }
    void Screen(int width, int height, int dpiX, int dpiY) {
        undo_.push_back([] { fieldkit::host::SetScreen(480, 640, 96, 96); });
        fieldkit::host::SetScreen(width, height, dpiX, dpiY);
    }
    // An empty text loads as none: LoadStringW answers 0 either way.
    void StringResource(HINSTANCE module, UINT id, const CString& text) {
        undo_.push_back([=] { fieldkit::host::SetStringResource(module, id, CString()); });
        fieldkit::host::SetStringResource(module, id, text);
    }
    // False when the locale is not installed.
    bool Locale(const char* name) {
        undo_.push_back([old = std::string(std::setlocale(LC_ALL, nullptr))] {
            std::setlocale(LC_ALL, old.c_str());
        });
        return std::setlocale(LC_ALL, name) != nullptr;
    }
    // Null unsets the variable. TZ is read again at once.
    void Env(const char* name, const char* value) {
        const char* old = std::getenv(name);
        undo_.push_back(
            [name = std::string(name), had = old != nullptr, was = std::string(old ? old : "")] {
                had ? setenv(name.c_str(), was.c_str(), 1) : unsetenv(name.c_str());
                tzset();
            });
        value ? setenv(name, value, 1) : unsetenv(name);
        tzset();
    }

  private:
    // Sets the knob to `now` and puts `back` back when the guard goes.
    template <class Arg, class Now, class Back>
    void Turn(void (*set)(Arg), Now now, Back back) {
        undo_.push_back([set, back] { set(back); });
        set(std::move(now));
    }

    std::vector<std::function<void()>> undo_;
};
