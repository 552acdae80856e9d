#include "fieldkit/platform/host.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/host_state.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/text/codepage.h"

namespace fieldkit {
namespace {

struct HostState {
    fieldkit::detail::Mutex mutex;
    bool rootSet FIELDKIT_GUARDED_BY(mutex) = false;
    std::string root FIELDKIT_GUARDED_BY(mutex);
    CString moduleFile FIELDKIT_GUARDED_BY(mutex);
    std::map<std::pair<HINSTANCE, UINT>, std::wstring> strings FIELDKIT_GUARDED_BY(mutex);
    std::function<void(const wchar_t*)> debugOutput FIELDKIT_GUARDED_BY(mutex);
    // The host's choices, not the library's state: they stay as set.
    void Forget() {}
};

HostState& State() {
    return detail::ProcessState<HostState>::Get();
}

// The head of the holders' list; a constant-initialised atomic, usable at any time.
std::atomic<detail::ResetLink*> g_resetLinks{nullptr};

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
    fieldkit::detail::LockGuard lock(s.mutex);
    s.root = CleanRoot(hostFolder);
    s.rootSet = true;
}

std::string GetDeviceRoot() {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
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
    std::wstring device = detail::NameToDevice(rest);
    std::replace(device.begin(), device.end(), L'/', L'\\');
    return CString(std::move(device));
}

void SetModuleFileName(const CString& devicePath) {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    s.moduleFile = devicePath;
}

void SetStringResource(HINSTANCE module, UINT id, const CString& text) {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    s.strings[{module, id}] = text.GetStdString();
}

void SetDebugOutputHandler(std::function<void(const wchar_t*)> handler) {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    s.debugOutput = std::move(handler);
}

void ResetProcessState() {
    // Holders made meanwhile (by a Forget, say) are new: there is nothing in them to forget.
    for (detail::ResetLink* link = g_resetLinks.load(std::memory_order_acquire); link != nullptr;
         link = link->next) {
        detail::NoThrow([link] { link->forget(); });
    }
}

}  // namespace host

namespace detail {

void RegisterReset(ResetLink& link) noexcept {
    ResetLink* head = g_resetLinks.load(std::memory_order_relaxed);
    do {
        link.next = head;
    } while (!g_resetLinks.compare_exchange_weak(head, &link, std::memory_order_release,
                                                 std::memory_order_relaxed));
}

CString ModuleFileOverride() {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    return s.moduleFile;
}

bool StringResource(HINSTANCE module, UINT id, std::wstring& text) {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    const auto it = s.strings.find({module, id});
    if (it == s.strings.end()) return false;
    text = it->second;
    return true;
}

std::function<void(const wchar_t*)> DebugOutputHandler() {
    HostState& s = State();
    fieldkit::detail::LockGuard lock(s.mutex);
    return s.debugOutput;
}

}  // namespace detail
}  // namespace fieldkit
