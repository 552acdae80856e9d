#include "fieldkit/platform/handles.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/process_state.h"

namespace fieldkit::detail {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<UINT_PTR, std::shared_ptr<HandleObject>> objects;
    // Above 100000, as the handheld's menu handles are. Never counts again from the start, so a
    // stale handle is refused rather than taken for a new object.
    UINT_PTR next = 0x100000;

    void Forget() {
        std::unordered_map<UINT_PTR, std::shared_ptr<HandleObject>> gone;
        {
            std::lock_guard<std::mutex> lock(mutex);
            gone.swap(objects);
        }
        // Destroyed after the lock is released, as RemoveHandle does.
    }
};

HandleTable& Handles() {
    return ProcessState<HandleTable>::Get();
}

}  // namespace

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

}  // namespace fieldkit::detail

BOOL CloseHandle(HANDLE handle) {
    if (fieldkit::detail::RemoveHandle(handle)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
