#include "fieldkit/platform/handles.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/invariant.h"
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
    // Kept for the invariants only: the highest number a caller has been given, and the entries
    // that hold an object and those reserved but not filled yet.
    UINT_PTR given FIELDKIT_GUARDED_BY(mutex) = 0;
    std::size_t filled FIELDKIT_GUARDED_BY(mutex) = 0;
    std::size_t reserved FIELDKIT_GUARDED_BY(mutex) = 0;

    bool CountsAgree() const FIELDKIT_REQUIRES(mutex) {
        return objects.size() == filled + reserved;
    }

    void Forget() {
        std::unordered_map<UINT_PTR, std::shared_ptr<HandleObject>> gone;
        {
            fieldkit::detail::LockGuard lock(mutex);
            gone.swap(objects);
            filled = reserved = 0;
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
    const bool reserving = object == nullptr;
    const bool fresh = t.objects.emplace(id, std::move(object)).second;
    FIELDKIT_INVARIANT(fresh && id > t.given, "a handle is given out once");
    t.next += 4;  // only once the handle is there: a failed one takes no number
    if constexpr (kCheckInvariants) {
        if (reserving) {
            ++t.reserved;
        } else {
            ++t.filled;
            t.given = id;
        }
    }
    FIELDKIT_INVARIANT(t.CountsAgree(), "the handle table's counts match its entries");
    return reinterpret_cast<HANDLE>(id);
}

HandleReservation::HandleReservation() : m_handle(AddHandle(nullptr)) {}

HandleReservation::~HandleReservation() {
    if (m_filled) return;
    HandleTable& t = Handles();
    fieldkit::detail::LockGuard lock(t.mutex);
    const auto id = reinterpret_cast<UINT_PTR>(m_handle);
    const auto it = t.objects.find(id);
    if (it != t.objects.end()) {  // gone only when a reset came in between
        FIELDKIT_INVARIANT(it->second == nullptr, "a reservation not filled names no object");
        t.objects.erase(it);
        if constexpr (kCheckInvariants) --t.reserved;
        FIELDKIT_INVARIANT(t.CountsAgree(), "the handle table's counts match its entries");
    }
    // Nobody has seen the number: it may be given out again, unless a later one was.
    if (t.next == id + 4) t.next = id;
    FIELDKIT_INVARIANT(t.next > t.given, "a handle given out is not given out again");
}

HANDLE HandleReservation::Fill(std::shared_ptr<HandleObject> object) noexcept {
    m_filled = true;
    HandleTable& t = Handles();
    fieldkit::detail::LockGuard lock(t.mutex);
    // Gone only when a reset came in between: the object goes with it.
    const auto id = reinterpret_cast<UINT_PTR>(m_handle);
    const auto it = t.objects.find(id);
    if (it != t.objects.end()) {
        FIELDKIT_INVARIANT(it->second == nullptr, "a reserved handle is filled once");
        it->second = std::move(object);
        if constexpr (kCheckInvariants) {
            --t.reserved;
            ++t.filled;
            t.given = std::max(t.given, id);
        }
        FIELDKIT_INVARIANT(t.CountsAgree(), "the handle table's counts match its entries");
    }
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
    if constexpr (kCheckInvariants) --t.filled;
    FIELDKIT_INVARIANT(t.CountsAgree(), "the handle table's counts match its entries");
    return true;
}

}  // namespace fieldkit::detail

BOOL CloseHandle(HANDLE handle) {
    if (fieldkit::detail::RemoveHandle(handle)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
