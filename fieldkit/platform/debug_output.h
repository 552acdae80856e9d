/// @file
/// Debugger output.
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// Passes the text to the debug output handler, or writes it to standard error as UTF-8.
FIELDKIT_API void OutputDebugStringW(const wchar_t* text);
