#include "fieldkit/platform/host.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "fieldkit/platform/detail/device_fs.h"
#include "fieldkit/platform/detail/host_state.h"
#include "fieldkit/text/codepage.h"

namespace fieldkit {
namespace {

struct HostState {
    std::mutex mutex;
    bool rootSet = false;
    std::string root;
    CString moduleFile;
    std::map<std::pair<HINSTANCE, UINT>, std::wstring> strings;
    std::function<void(const wchar_t*)> debugOutput;
    std::vector<void (*)()> resetHooks;
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

void SetStringResource(HINSTANCE module, UINT id, const CString& text) {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.strings[{module, id}] = text.GetStdString();
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

std::function<void(const wchar_t*)> DebugOutputHandler() {
    HostState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.debugOutput;
}

}  // namespace detail
}  // namespace fieldkit
