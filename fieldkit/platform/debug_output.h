/// @file
/// Debugger output.
///
/// @ingroup platform
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// Passes the text to the debug output handler, or writes it to standard error as UTF-8.
FIELDKIT_API void OutputDebugStringW(const wchar_t* text);

/// @}
