/// @file
/// The program's own module: its file name as a device path, and the string resources an
/// application registers for it.
///
/// @ingroup platform
#pragma once

#include "fieldkit/platform/errors.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// The running program as a device path (see fieldkit::host::SetModuleFileName). Copies at most
/// size - 1 units and a terminator; returns the units copied, or `size` when the name was cut,
/// as Win32 does. Only the process's own module (null) is known.
FIELDKIT_API DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size);

/// String resources registered with fieldkit::host::SetStringResource. Returns the units copied
/// (without the terminator), 0 when there is no such string.
FIELDKIT_API int LoadStringW(HINSTANCE module, UINT id, wchar_t* buffer, int size);

/// @}
