#include "fieldkit/platform/handles.h"

#include <unordered_map>
#include <utility>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/process_state.h"

namespace fieldkit::detail {
namespace {

struct HandleTable {
    fieldkit::detail::Mutex mutex;
    std::unordered_map<UINT_PTR, std::shared_ptr<HandleObject>> objects FIELDKIT_GUARDED_BY(mutex);
    // Above 100000, as the handheld's menu handles are. Never counts again from the start, so a
    // stale handle is refused rather than taken for a new object.
    UINT_PTR next FIELDKIT_GUARDED_BY(mutex) = 0x100000;

    void Forget() {
        std::unordered_map<UINT_PTR, std::shared_ptr<HandleObject>> gone;
        {
            fieldkit::detail::LockGuard lock(mutex);
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
    fieldkit::detail::LockGuard lock(t.mutex);
    const UINT_PTR id = t.next;
    t.objects.emplace(id, std::move(object));
    t.next += 4;  // only once the handle is there: a failed one takes no number
    return reinterpret_cast<HANDLE>(id);
}

HandleReservation::HandleReservation() : m_handle(AddHandle(nullptr)) {}

HandleReservation::~HandleReservation() {
    if (m_filled) return;
    HandleTable& t = Handles();
    fieldkit::detail::LockGuard lock(t.mutex);
    const auto id = reinterpret_cast<UINT_PTR>(m_handle);
    t.objects.erase(id);
    // Nobody has seen the number: it may be given out again, unless a later one was.
    if (t.next == id + 4) t.next = id;
}

HANDLE HandleReservation::Fill(std::shared_ptr<HandleObject> object) noexcept {
    m_filled = true;
    HandleTable& t = Handles();
    fieldkit::detail::LockGuard lock(t.mutex);
    // Gone only when a reset came in between: the object goes with it.
    const auto it = t.objects.find(reinterpret_cast<UINT_PTR>(m_handle));
    if (it != t.objects.end()) it->second = std::move(object);
    return m_handle;
}

std::shared_ptr<HandleObject> FindHandleObject(HANDLE handle) {
    HandleTable& t = Handles();
    fieldkit::detail::LockGuard lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<UINT_PTR>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<HandleObject> gone;  // destroyed after the lock is released
    HandleTable& t = Handles();
    fieldkit::detail::LockGuard lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<UINT_PTR>(handle));
    if (it == t.objects.end() || it->second == nullptr) return false;  // unknown or reserved
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
