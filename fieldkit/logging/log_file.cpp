#include "fieldkit/logging/log_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "fieldkit/platform/debug_output.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/systime.h"
#include "fieldkit/text/codepage.h"

using fieldkit::detail::NoThrow;

namespace {

// Mode bits that ask for file output; 0x02 forms no name of its own, so it only ever fails.
constexpr long kFileBits = 0x01 | 0x02 | 0x04;
constexpr long kNoNameBit = 0x02;
// The largest indentation level that still fits in a line.
constexpr long kMaxIndentLevel = 341;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Joins name and suffix into `out`; false when they do not fit, terminator included.
bool ComposeName(const char* name, std::string_view suffix, char* out, std::size_t size) {
    const std::size_t nameLength = std::strlen(name);
    if (nameLength + suffix.size() + 1 > size) return false;
    std::memcpy(out, name, nameLength);
    if (!suffix.empty()) std::memcpy(out + nameLength, suffix.data(), suffix.size());
    out[nameLength + suffix.size()] = '\0';
    return true;
}

// True when the file's last byte is not a line feed: a line cut by a crash.
bool EndsInsideLine(const char* fileName) {
    std::FILE* file = fieldkit::detail::DeviceFopen(fileName, "rb");
    if (file == nullptr) return false;
    const int last = std::fseek(file, -1, SEEK_END) == 0 ? std::fgetc(file) : '\n';
    std::fclose(file);
    return last != EOF && last != '\n';
}

}  // namespace

CLogFile::CLogFile() = default;

CLogFile::~CLogFile() {
    // The stream is closed before anything can throw.
    NoThrow([this] { StopMT(); });
}

long CLogFile::Start(const char* name, long mode, long format, long level) {
    std::lock_guard<std::mutex> guard(m_lock);
    return NoThrow(LOGERR_OPEN, [&] { return StartMT(name, mode, format, level); });
}

long CLogFile::Start(long mode, long format, long level) {
    return Start("", mode, format, level);
}

long CLogFile::LogMessage(const char* text, long level) {
    std::lock_guard<std::mutex> guard(m_lock);
    return NoThrow(0L, [&] { return LogMessageMT(text, level); });
}

long CLogFile::Stop() {
    std::lock_guard<std::mutex> guard(m_lock);
    // The stream is closed and the log stopped before anything can throw.
    return NoThrow(0L, [this] { return StopMT(); });
}

long CLogFile::Pause() {
    long expected = LOGSTATUS_RUNNING;
    return m_status.compare_exchange_strong(expected, LOGSTATUS_PAUSED) ? 0 : LOGERR_NOTRUNNING;
}

long CLogFile::Continue() {
    long expected = LOGSTATUS_PAUSED;
    return m_status.compare_exchange_strong(expected, LOGSTATUS_RUNNING) ? 0 : LOGERR_NOTPAUSED;
}

long CLogFile::StartMT(const char* name, long mode, long format, long level) {
    if (m_status.load() != LOGSTATUS_STOPPED) return LOGERR_STARTED;
    m_mode.store(mode);
    m_level.store(level);
    m_format = format;
    m_count = 0;
    m_lost = 0;
    if (mode == 0) return LOGERR_NOMODE;
    m_toFile = (mode & kFileBits) != 0;
    m_startTick = GetTickCount();

    if (name == nullptr) name = "";
    char fileName[kMaxName] = {};
    bool fits = true;
    if ((mode & kNoNameBit) != 0) {
        // No name is formed: the open below fails.
    } else if ((mode & LOGMODE_TIMEDFILE) != 0) {
        wchar_t wideTime[64] = {};
        char time[65] = {};
        // Only memory can fail it here, and a name without its time is another file.
        if (GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, nullptr, L"HHmmss", wideTime, 64) == 0)
            return LOGERR_OPEN;
        fieldkit::detail::CopyToBuffer(fieldkit::WideToUtf8(wideTime), time, sizeof time);
        fits = ComposeName(name, time, fileName, sizeof fileName);
    } else if ((mode & LOGMODE_FILE) != 0) {
        fits = ComposeName(name, std::string_view(), fileName, sizeof fileName);
    }

    if (m_toFile) {
        // A name that does not fit is refused rather than cut: a cut name is another file.
        if (!fits) return LOGERR_OPEN;
        const bool append = (mode & LOGMODE_APPEND) != 0;
        const bool cut = append && EndsInsideLine(fileName);
        std::FILE* file = fieldkit::detail::DeviceFopen(fileName, append ? "a" : "w");
        if (file == nullptr) return LOGERR_OPEN;
        // A crash can cut the last line; this session's lines must not be glued to it.
        m_lineCut = cut && fieldkit::detail::WriteUnbuffered(file, "\n", 1) != 1;
        m_file = file;
        // Delete-empty at Stop must remove this file, not whatever bears its name by then.
        m_haveIdentity =
            (mode & LOGMODE_DELETEEMPTY) != 0 && fieldkit::detail::IdentityOf(file, m_identity);
        std::memcpy(m_fileName, fileName, sizeof m_fileName);
        m_status.store(LOGSTATUS_RUNNING);
        // A file opened for writing was emptied by the open itself: only one appended to is
        // looked at, which spares every Start the stream's own status and seek calls.
        m_wasEmpty = !append || (std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == 0);
        return 0;
    }
    if ((mode & LOGMODE_DEBUGOUT) != 0) {
        m_status.store(LOGSTATUS_RUNNING);
        return 0;
    }
    return LOGERR_NOOUTPUT;
}

void CLogFile::Append(const char* text) {
    // Room is left for the line feed and the terminator.
    constexpr std::size_t limit = kMaxLine - 2;
    const std::size_t room = limit - m_lineLength;
    std::size_t n = strnlen(text, room + 1);
    if (n > room) {
        // Cut before the character the limit falls into, never inside it.
        n = room;
        for (int back = 0; back < 3 && n > 0 && IsContinuationByte(text[n]); ++back)
            --n;
    }
    std::memcpy(m_line + m_lineLength, text, n);
    m_lineLength += n;
    m_line[m_lineLength] = '\0';
}

namespace {

// The line prefixes, written by hand: they are on every line, and their texts are exactly
// those of "%4ld - ", "(%.3lf) - " (of whole milliseconds times 0.001), "<%ld> - " and
// "%*s" with width 3 x level and the text " ".
char* Digits(char* out, unsigned long long v) {
    char buf[24];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    const std::size_t n = static_cast<std::size_t>(buf + sizeof buf - p);
    std::memcpy(out, p, n);
    return out + n;
}

char* SignedDigits(char* out, long v) {
    if (v < 0) *out++ = '-';
    return Digits(out, v < 0 ? 0ULL - static_cast<unsigned long long>(v)
                             : static_cast<unsigned long long>(v));
}

char* Text(char* out, const char* text) {
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

// The prefixes that `format` asks for, `ms` the milliseconds since Start, written at `p`;
// returns their end. They take at most about 80 bytes, far below a line's room, so they are
// written straight into the line.
char* WritePrefix(char* p, long format, long number, DWORD ms, long level) {
    if ((format & LOGFMT_NUMBER) != 0) {
        char digits[24];
        const std::size_t n = static_cast<std::size_t>(SignedDigits(digits, number) - digits);
        for (std::size_t pad = n; pad < 4; ++pad)
            *p++ = ' ';
        std::memcpy(p, digits, n);
        p = Text(p + n, " - ");
    }
    if ((format & LOGFMT_SECONDS) != 0) {
        *p++ = '(';
        p = Digits(p, ms / 1000);
        *p++ = '.';
        *p++ = static_cast<char>('0' + ms / 100 % 10);
        *p++ = static_cast<char>('0' + ms / 10 % 10);
        *p++ = static_cast<char>('0' + ms % 10);
        p = Text(p, ") - ");
    }
    if ((format & LOGFMT_LEVEL) != 0) {
        *p++ = '<';
        p = SignedDigits(p, level);
        p = Text(p, "> - ");
    }
    return p;
}

// The blanks of LOGFMT_INDENT for `level`, written at `p` but not beyond `end`; returns their
// end. The level is clamped so that 3 x level cannot overflow: the line is full long before
// that anyway.
char* Indent(char* p, const char* end, long level) {
    // The magnitude in unsigned arithmetic: negating LONG_MIN would overflow.
    const unsigned long magnitude =
        level < 0 ? 0UL - static_cast<unsigned long>(level) : static_cast<unsigned long>(level);
    const long indent =
        static_cast<long>(std::min(magnitude, static_cast<unsigned long>(kMaxIndentLevel)));
    const std::size_t blanks = std::max<std::size_t>(1, static_cast<std::size_t>(3 * indent));
    const std::size_t n = std::min(blanks, static_cast<std::size_t>(end - p));
    std::memset(p, ' ', n);
    return p + n;
}

}  // namespace

void CLogFile::Compose(long number, DWORD now, long level, const char* text) {
    char* p = WritePrefix(m_line, m_format, number, static_cast<DWORD>(now - m_startTick), level);
    // Room is left for the line feed and the terminator.
    if ((m_format & LOGFMT_INDENT) != 0) p = Indent(p, m_line + kMaxLine - 2, level);
    *p = '\0';
    m_lineLength = static_cast<std::size_t>(p - m_line);
    Append(text != nullptr ? text : "");
    m_line[m_lineLength++] = '\n';
    m_line[m_lineLength] = '\0';
}

namespace {

enum class Written { kNothing, kCut, kWhole };

// Each line goes to the file in one write of its own: flushed at once, never split by the
// stream's buffer. (A kill can still cut a write that spans a page; see Start.) A line a full
// disk cut short is ended first, so that this one starts on a line of its own; while even that
// fails, nothing is written rather than glued on.
Written WriteLine(std::FILE* file, bool& lineCut, const char* line, std::size_t size) {
    if (lineCut) lineCut = fieldkit::detail::WriteUnbuffered(file, "\n", 1) != 1;
    if (lineCut) return Written::kNothing;
    const std::size_t written = fieldkit::detail::WriteUnbuffered(file, line, size);
    lineCut = written > 0 && written < size;
    return written == size ? Written::kWhole : written == 0 ? Written::kNothing : Written::kCut;
}

// The line as wide text, through a buffer of `size` units, to the debugger output.
void PassToDebugger(std::string_view line, wchar_t* wide, std::size_t size) {
    fieldkit::detail::CopyToBuffer(fieldkit::Utf8ToWide(line), wide, size);
    OutputDebugStringW(wide);
}

}  // namespace

bool CLogFile::TellLostLines(DWORD now, bool toDebugger) {
    char notice[80];
    char* p = SignedDigits(notice, m_lost);
    *Text(p, m_lost == 1 ? " line could not be written to the file."
                         : " lines could not be written to the file.") = '\0';
    Compose(m_count + 1, now, 0, notice);
    const Written written = WriteLine(m_file, m_lineCut, m_line, m_lineLength);
    // A notice never written takes no number; a piece of one is a line lost like any other,
    // and nothing goes after it until a whole notice did.
    if (written != Written::kNothing) {
        ++m_count;
        if (toDebugger) PassToDebugger({m_line, m_lineLength}, m_wideLine, kMaxLine);
    }
    if (written == Written::kWhole) m_lost = 0;
    if (written == Written::kCut) ++m_lost;
    return written == Written::kWhole;
}

long CLogFile::LogMessageMT(const char* text, long level) {
    const long threshold = m_level.load();
    if (m_status.load() != LOGSTATUS_RUNNING || threshold < 0 || level > threshold) return 0;
    const DWORD now = GetTickCount();
    const bool toDebugger = (m_mode.load() & LOGMODE_DEBUGOUT) != 0;
    const bool toFile = m_toFile && m_file != nullptr;
    bool fileTakesIt = toFile;
    // Lines were lost: the file says how many before it takes the next one.
    if (toFile && m_lost > 0) fileTakesIt = TellLostLines(now, toDebugger);
    ++m_count;
    Compose(m_count, now, level, text);
    if (toFile &&
        !(fileTakesIt && WriteLine(m_file, m_lineCut, m_line, m_lineLength) == Written::kWhole))
        ++m_lost;
    if (toDebugger) PassToDebugger({m_line, m_lineLength}, m_wideLine, kMaxLine);
    return 0;
}

long CLogFile::StopMT() {
    if (!m_toFile || m_status.load() == LOGSTATUS_STOPPED || m_file == nullptr)
        return LOGERR_NOTRUNNING;
    std::fclose(m_file);
    m_file = nullptr;
    m_status.store(LOGSTATUS_STOPPED);
    if (m_wasEmpty && m_count == 0 && m_haveIdentity &&
        (m_mode.load() & LOGMODE_DELETEEMPTY) != 0) {
        fieldkit::detail::DeleteFileIfSame(fieldkit::Utf8ToWide(m_fileName).c_str(), m_identity);
    }
    return 0;
}
