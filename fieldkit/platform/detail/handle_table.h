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

}  // namespace fieldkit::detail
