// Debugger output.
#pragma once

#include "fieldkit/text/types.h"

// Passes the text to the debug output handler, or writes it to standard error as UTF-8.
void OutputDebugStringW(const wchar_t* text);
