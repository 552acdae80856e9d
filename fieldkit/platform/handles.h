/// @file
/// Handles: what CreateFileW, FindFirstFileW, CreateFileForMappingW, CreateFileMappingW and
/// CreateEventW give out, closed with CloseHandle.
///
/// @ingroup platform
#pragma once

#include "fieldkit/platform/errors.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// The handle that names nothing: what CreateFileW and FindFirstFileW answer on failure.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1)))

/// Closes any handle the platform gave out; the object goes when its last user lets go (an
/// event when its last handle closes). FALSE with ERROR_INVALID_HANDLE for an unknown handle.
FIELDKIT_API BOOL CloseHandle(HANDLE handle);

/// @}
