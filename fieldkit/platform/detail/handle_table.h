// The platform's handle table (internal). Every HANDLE and opened HKEY the platform gives out
// is a number that names an object in this table, so a stale or forged handle is detected
// instead of being dereferenced.
#pragma once

#include <memory>

#include "fieldkit/text/types.h"

namespace fieldkit::detail {

struct HandleObject {
    virtual ~HandleObject() = default;
};

// Stores the object and returns its new handle (never null, never INVALID_HANDLE_VALUE).
HANDLE AddHandle(std::shared_ptr<HandleObject> object);

// The object of a handle if it is of type T, else null.
std::shared_ptr<HandleObject> FindHandleObject(HANDLE handle);
template <class T>
std::shared_ptr<T> FindHandle(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(FindHandleObject(handle));
}

// Forgets the handle; the object goes when its last user lets go. False for an unknown handle.
bool RemoveHandle(HANDLE handle);

// A handle taken before its object is ready, for a call that changes something it cannot undo
// (creates or empties a file, links a window into its parent): the call reserves the handle and
// makes its object first, then changes what it changes, then fills the handle, which cannot
// fail. A reservation never filled gives its handle back, and the next handle is the one it
// would have been. Until it is filled the handle names nothing.
class HandleReservation {
  public:
    HandleReservation();  // throws std::bad_alloc as AddHandle does
    ~HandleReservation();
    HandleReservation(const HandleReservation&) = delete;
    HandleReservation& operator=(const HandleReservation&) = delete;

    HANDLE Get() const { return m_handle; }
    // Puts the object behind the handle and answers the handle.
    HANDLE Fill(std::shared_ptr<HandleObject> object) noexcept;

  private:
    HANDLE m_handle;
    bool m_filled = false;
};

}  // namespace fieldkit::detail
