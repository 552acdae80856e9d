#include "fieldkit/platform/debug_output.h"

#include <cstdio>
#include <string>

#include "fieldkit/platform/detail/host_state.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/codepage.h"

void OutputDebugStringW(const wchar_t* text) {
    if (text == nullptr) return;
    // Out of memory, or a handler that throws, drops the text.
    fieldkit::detail::NoThrow([&] {
        if (const auto handler = fieldkit::detail::DebugOutputHandler()) {
            handler(text);
            return;
        }
        const std::string utf8 = fieldkit::WideToUtf8(text);
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    });
}
