// What the host knobs set, read by the platform's own calls (internal).
#pragma once

#include <functional>
#include <string>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/types.h"

namespace fieldkit::detail {

CString ModuleFileOverride();
bool StringResource(HINSTANCE module, UINT id, std::wstring& text);
std::function<void(const wchar_t*)> DebugOutputHandler();

}  // namespace fieldkit::detail
