/// @file
/// CLogFile: a plain-text log of 8-bit (UTF-8) lines written to a file, to the debugger output,
/// or to both. Each line may carry a running number, the seconds since Start and the message's
/// level; every line is flushed at once, so the file is complete up to the last line written.
///
/// Lines the file cannot take (a full disk) are counted, and the next line that reaches it comes
/// after a notice of its own, at level 0 with the prefixes every line has:
///   "1 line could not be written to the file." or "%ld lines could not be written to the file."
/// The notice takes a number of its own, so with LOGFMT_NUMBER the lines lost are exactly the
/// numbers before the notice's that the file lacks. A notice is made only when it can be written
/// whole; until then the count grows and no line goes to the file after a piece of one.
///
/// @ingroup logging
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <mutex>

#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/types.h"

/// @addtogroup logging
/// @{

/// Output modes (second argument of Start).
///@{
constexpr long LOGMODE_FILE = 0x01;         ///< a file named as given to Start
constexpr long LOGMODE_TIMEDFILE = 0x04;    ///< the given name followed by the local time "HHmmss"
constexpr long LOGMODE_DELETEEMPTY = 0x08;  ///< at Stop, delete a file that stayed empty
constexpr long LOGMODE_APPEND = 0x10;       ///< add to the file; a line a crash cut is ended first
constexpr long LOGMODE_DEBUGOUT = 0x40;     ///< also pass every line to OutputDebugStringW
///@}

/// Line prefixes (third argument of Start); they always stand in this order.
///@{
constexpr long LOGFMT_NUMBER = 0x008;   ///< "%4ld - " with the line number, from 1
constexpr long LOGFMT_SECONDS = 0x002;  ///< "(%.3lf) - " with the seconds since Start
constexpr long LOGFMT_LEVEL = 0x004;    ///< "<%ld> - " with the message's level
constexpr long LOGFMT_INDENT = 0x100;   ///< 3 blanks per level (one blank at level 0)
///@}

/// States of a log (GetStatus): stopped until Start, running, or paused by Pause.
///@{
constexpr long LOGSTATUS_STOPPED = 0;
constexpr long LOGSTATUS_RUNNING = 1;
constexpr long LOGSTATUS_PAUSED = 2;
///@}

/// Results of Start, Stop, Pause and Continue; 0 is success.
///@{
constexpr long LOGERR_OPEN = 1;        ///< the file could not be opened, or its name is too long
constexpr long LOGERR_NOTRUNNING = 2;  ///< Stop: no file open; Pause: not running
constexpr long LOGERR_NOTPAUSED = 3;   ///< Continue: not paused
constexpr long LOGERR_STARTED = 4;     ///< Start: not stopped
constexpr long LOGERR_NOOUTPUT = 5;    ///< Start: the mode selects neither a file nor the debugger
constexpr long LOGERR_NOMODE = 6;      ///< Start: the mode is 0
///@}

/// A log file; its calls may come from any thread, each line is written whole under a lock.
class FIELDKIT_API CLogFile {
  public:
    /// A stopped log: nothing is written until Start opens its file.
    CLogFile();
    /// Stops the log as Stop does (an empty new file may be deleted).
    ~CLogFile();
    /// Not copyable: a copy would share the open stream and the lock.
    ///@{
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;
    ///@}

    /// Opens the log. `name` is a device path in UTF-8 (null counts as empty); one that does
    /// not fit in 259 bytes, with the time of LOGMODE_TIMEDFILE added, is refused with
    /// LOGERR_OPEN. Mode, format and level are stored and the line count reset even when
    /// Start fails for another reason than LOGERR_STARTED.
    ///@{
    long Start(const char* name, long mode, long format, long level);
    long Start(long mode, long format, long level);  ///< with the empty name
    ///@}

    /// Writes one line of UTF-8 text (without its line end) when the log runs and `level` is
    /// not above the threshold; the line is cut to 1,023 bytes, its line feed kept. Always 0.
    long LogMessage(const char* text, long level);
    /// printf-style (see fieldkit/text/format.h): the text is formatted in this call's own
    /// storage, cut to 1,023 bytes at a character boundary, and written as above. Always 0.
    template <class... A>
    long LogMessage(long level, const char* fmt, const A&... args);

    /// Closes the file (deleting it under LOGMODE_DELETEEMPTY when it was empty when opened, no
    /// line was written and its name still names the file the log opened). LOGERR_NOTRUNNING when
    /// no file is open: a debugger-only log keeps running.
    long Stop();
    /// Lines logged while paused are dropped.
    ///@{
    long Pause();
    long Continue();
    ///@}

    /// The threshold: messages with a higher level are not written.
    ///@{
    void SetLevel(long level) { m_level.store(level, std::memory_order_relaxed); }
    long GetLevel() const { return m_level.load(std::memory_order_relaxed); }
    ///@}
    /// The output mode given to the last Start (LOGMODE_ flags).
    long GetMode() const { return m_mode.load(std::memory_order_relaxed); }
    /// LOGSTATUS_STOPPED, LOGSTATUS_RUNNING or LOGSTATUS_PAUSED.
    long GetStatus() const { return m_status.load(std::memory_order_relaxed); }
    /// The name of the file opened by the last successful Start with file output.
    const char* GetFilename() const { return m_fileName; }

  protected:
    /// The same operations without taking the lock.
    ///@{
    long StartMT(const char* name, long mode, long format, long level);
    long LogMessageMT(const char* text, long level);
    long StopMT();
    ///@}

  private:
    static constexpr std::size_t kMaxName = 260;   // file name with its terminator
    static constexpr std::size_t kMaxLine = 1024;  // line or message with its terminator

    void Append(const char* text);
    // Fills m_line with the prefixes of line `number`, `text` and a line feed.
    void Compose(long number, DWORD now, long level, const char* text);
    // Writes the notice of the lines the file lost; true when it went whole, so that the file
    // may take the next line.
    bool TellLostLines(DWORD now, bool toDebugger);

    std::FILE* m_file = nullptr;
    long m_format = 0;
    std::atomic<long> m_level{0};
    std::atomic<long> m_status{LOGSTATUS_STOPPED};
    std::atomic<long> m_mode{0};
    long m_count = 0;
    DWORD m_startTick = 0;
    char m_fileName[kMaxName] = {};
    bool m_wasEmpty = false;
    bool m_lineCut = false;  // the file ends inside a line that a failed write cut short
    long m_lost = 0;         // lines since the last notice that the file did not take whole
    bool m_haveIdentity = false;
    fieldkit::detail::FileIdentity m_identity;
    bool m_toFile = false;
    std::size_t m_lineLength = 0;
    char m_line[kMaxLine] = {};
    wchar_t m_wideLine[kMaxLine] = {};
    std::mutex m_lock;
};

template <class... A>
long CLogFile::LogMessage(long level, const char* fmt, const A&... args) {
    try {
        char message[kMaxLine];
        fieldkit::detail::FormatToBuffer(message, sizeof message, fmt, args...);
        return LogMessage(message, level);
    } catch (...) {
        return 0;  // out of memory while formatting: the line is dropped
    }
}

/// @}
