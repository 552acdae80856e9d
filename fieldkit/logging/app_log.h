/// @file
/// The application log: one process-wide CLogFile beside the program (Survey.exe logs to
/// Survey.log), opened on first use, with numbered lines carrying the seconds since start and
/// the level, and a threshold of 3. Safe to call from any thread. At process exit the log is
/// closed; later calls (from static destructors, say) write nothing.
///
/// @ingroup logging
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/format.h"

/// @addtogroup logging
/// @{

/// Opens the application log and writes "Program started." at level 1. While it runs, does
/// nothing. When it cannot be opened nothing is logged, and the next LOGMESSAGE tries again.
FIELDKIT_API void InitLogging();
/// Writes "Program finished." at level 1 and closes the log; later lines are dropped.
FIELDKIT_API void FinishLogging();

/// Writes one line of UTF-8 text, opening the log first if it never started. Always 0.
FIELDKIT_API long LOGMESSAGE(const char* text, long level);
namespace fieldkit {

/// @addtogroup logging
/// @{

/// False when a line of this level would be dropped (the log stopped, paused, disabled or
/// filtering the level), so the printf form need not format it.
FIELDKIT_API bool AppLogTakes(long level);

/// @}

}  // namespace fieldkit

/// printf-style (see fieldkit/text/format.h): "%s" and "%S" take narrow or wide text and
/// write UTF-8. Formatted in this call's own storage and cut to 1,023 bytes. Always 0.
template <class... A>
long LOGMESSAGE(long level, const char* fmt, const A&... args) {
    if (!fieldkit::AppLogTakes(level)) return 0;
    try {
        char message[1024];
        fieldkit::detail::FormatToBuffer(message, sizeof message, fmt, args...);
        return LOGMESSAGE(message, level);
    } catch (...) {
        return 0;  // out of memory while formatting: the line is dropped
    }
}

namespace fieldkit::host {

/// @addtogroup logging
/// @{

/// Where the application log goes, for embedding applications and tools: enabled with an empty
/// path (the default), it lives beside the program as InitLogging describes; a device path puts
/// it there instead. Disabled, it is never opened and every line is dropped. Kept across
/// ResetProcessState; takes effect at the next InitLogging.
FIELDKIT_API void SetApplicationLog(bool enabled, const CString& devicePath = CString());

/// @}

}  // namespace fieldkit::host

/// @}
