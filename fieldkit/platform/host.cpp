#include "fieldkit/platform/host.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/device_fs.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/host_state.h"

namespace fieldkit {
namespace {

struct HostState {
    std::mutex mutex;
    bool rootSet = false;
    std::string root;
    CString moduleFile;
    std::map<std::pair<HINSTANCE, UINT>, std::wstring> strings;
    std::function<bool(OPENFILENAMEW&)> dialog;
    std::function<void(const wchar_t*)> debugOutput;
    std::vector<void (*)()> resetHooks;
    detail::Screen screen;
};

HostState& State() {
    static HostState state;
    return state;
}

// Without a trailing slash, except for "/" itself; empty means "/".
std::string CleanRoot(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder.empty() ? "/" : folder;
}

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<UINT_PTR, std::shared_ptr<detail::HandleObject>> objects;
    UINT_PTR next = 0x100000;  // above 100000, as the handheld's menu handles are
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

}  // namespace

namespace host {

void SetDeviceRoot(const std::string& hostFolder) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.root = CleanRoot(hostFolder);
    s.rootSet = true;
}

std::string GetDeviceRoot() {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.rootSet) {
        const char* env = std::getenv("FIELDKIT_DEVICE_ROOT");
        s.root = CleanRoot(env ? env : "");
        s.rootSet = true;
    }
    return s.root;
}

std::string ToHostPath(const CString& devicePath) {
    // "." and ".." are taken by name, so nothing climbs above the root. The handheld has no
    // current folder: a relative path is relative to the root too.
    std::vector<std::string> parts;
    if (!detail::SplitDevicePath(devicePath.GetStdString(), parts)) parts.clear();
    const std::string root = GetDeviceRoot();
    if (parts.empty()) return root;
    std::string out = root == "/" ? "" : root;
    for (const std::string& part : parts) {
        out += '/';
        out += part;
    }
    return out;
}

CString FromHostPath(const std::string& hostPath) {
    const std::string root = GetDeviceRoot();
    std::string rest = hostPath;
    if (root != "/" &&
        (hostPath == root || hostPath.compare(0, root.size() + 1, root + "/") == 0)) {
        rest = hostPath.substr(root.size());
        if (rest.empty()) rest = "/";
    }
    std::wstring device = Utf8ToWide(rest);
    std::replace(device.begin(), device.end(), L'/', L'\\');
    return CString(std::move(device));
}

void SetModuleFileName(const CString& devicePath) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.moduleFile = devicePath;
}

void SetScreen(int width, int height, int dpiX, int dpiY) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screen.width = width;
    s.screen.height = height;
    s.screen.dpiX = dpiX;
    s.screen.dpiY = dpiY;
}

void SetScreenAvailable(bool available) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screen.available = available;
}

void SetCharWidth(int pixels) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screen.charWidth = pixels;
}

void SetStringResource(HINSTANCE module, UINT id, const CString& text) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.strings[{module, id}] = text.GetStdString();
}

void SetFileDialogHandler(std::function<bool(OPENFILENAMEW&)> handler) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.dialog = std::move(handler);
}

void SetDebugOutputHandler(std::function<void(const wchar_t*)> handler) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.debugOutput = std::move(handler);
}

void ResetProcessState() {
    std::vector<void (*)()> hooks;
    {
        HostState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        hooks = s.resetHooks;
    }
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        (*it)();
}

}  // namespace host

namespace detail {

void RegisterResetHook(void (*reset)()) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (std::find(s.resetHooks.begin(), s.resetHooks.end(), reset) == s.resetHooks.end()) {
        s.resetHooks.push_back(reset);
    }
}

CString ModuleFileOverride() {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.moduleFile;
}

bool StringResource(HINSTANCE module, UINT id, std::wstring& text) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto it = s.strings.find({module, id});
    if (it == s.strings.end()) return false;
    text = it->second;
    return true;
}

std::function<bool(OPENFILENAMEW&)> FileDialogHandler() {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.dialog;
}

std::function<void(const wchar_t*)> DebugOutputHandler() {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.debugOutput;
}

Screen CurrentScreen() {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.screen;
}

HANDLE AddHandle(std::shared_ptr<HandleObject> object) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    const UINT_PTR id = t.next;
    t.next += 4;
    t.objects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<HandleObject> FindHandleObject(HANDLE handle) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<UINT_PTR>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<HandleObject> gone;  // destroyed after the lock is released
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<UINT_PTR>(handle));
    if (it == t.objects.end()) return false;
    gone = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace detail
}  // namespace fieldkit
