#include "fieldkit/xml/xml_writer.h"

#include <algorithm>
#include <cwchar>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

using fieldkit::detail::NoThrow;

namespace {
constexpr std::size_t kIndentStep = 4;
// A file's pieces are gathered up to this many bytes before they are written: few system
// calls, little memory.
constexpr std::size_t kWriteAt = 64 * 1024;
// WriteFile counts in 32 bits.
constexpr std::size_t kMostPerWrite = std::size_t{1} << 30;
}  // namespace

CXMLWriter::CXMLWriter(const wchar_t* path)
    : m_stream(nullptr),
      m_file(fieldkit::detail::BeginReplaceFile(path)),
      m_ok(m_file != INVALID_HANDLE_VALUE) {
    if (!m_ok) m_file = nullptr;
    WriteHeader();
}

CXMLWriter::CXMLWriter(void* stream)
    : m_stream(static_cast<std::FILE*>(stream)), m_file(nullptr), m_ok(stream != nullptr) {
    WriteHeader();
}

CXMLWriter::~CXMLWriter() {
    Close();
}

bool CXMLWriter::Close() {
    if (m_closed) return m_complete;
    m_closed = true;
    if (m_file != nullptr) {
        // Closing the handle without a commit removes the new file: a document that failed
        // anywhere never takes the old one's place.
        m_complete = m_ok && WritePending() && fieldkit::detail::CommitReplaceFile(m_file);
        CloseHandle(m_file);
        m_file = nullptr;
    } else {
        m_complete = m_ok;  // a caller's stream is flushed and closed by the caller
    }
    m_stream = nullptr;  // later pieces have nowhere to go
    m_ok = m_complete;
    return m_complete;
}

bool CXMLWriter::WritePending() {
    for (std::size_t at = 0; at < m_buffer.size();) {
        const auto n = static_cast<DWORD>(std::min(m_buffer.size() - at, kMostPerWrite));
        DWORD written = 0;
        if (!WriteFile(m_file, m_buffer.data() + at, n, &written, nullptr) || written == 0)
            return false;
        at += written;
    }
    m_buffer.clear();  // keeps its capacity
    return true;
}

void CXMLWriter::WriteHeader() {
    // The bytes are Windows-1252: without saying so, XML parsers take them for UTF-8 and reject
    // the document at its first non-ASCII character.
    WriteOpenTag(L"?xml version=\"1.0\" encoding=\"windows-1252\"?");
    WriteEOL();
    SetIndent(0);
}

void CXMLWriter::Write(const wchar_t* text) {
    if (text == nullptr || (m_stream == nullptr && m_file == nullptr)) {
        m_ok = false;
        return;
    }
    if (!m_ok) return;
    const std::size_t n = std::wcslen(text);
    if (n == 0) return;
    // A stream takes each piece at once; a file's pieces wait behind what is still pending.
    const std::size_t at = m_stream != nullptr ? 0 : m_buffer.size();
    const bool converted = NoThrow([&] {
        m_buffer.resize(at + n);  // keeps its capacity, grows it geometrically
        for (std::size_t i = 0; i < n; ++i)
            m_buffer[at + i] = fieldkit::WideCharToAnsi(text[i]);
    });
    if (!converted) {
        m_ok = false;  // no room for the piece: the document would be incomplete
        return;
    }
    if (m_stream != nullptr)
        m_ok = std::fwrite(m_buffer.data(), 1, n, m_stream) == n;
    else if (m_buffer.size() >= kWriteAt)
        m_ok = WritePending();
}

void CXMLWriter::WriteEOL() {
    Write(L"\n");
}

void CXMLWriter::WriteIndent() {
    Write(m_indent.c_str());
}

void CXMLWriter::SetIndent(int blanks) {
    if (!NoThrow([&] { m_indent.assign(blanks > 0 ? static_cast<std::size_t>(blanks) : 0, L' '); }))
        m_indent.clear();
}

void CXMLWriter::WriteOpenTag(const wchar_t* name) {
    WriteIndent();
    Write(L"<");
    Write(name);
    Write(L">");
    if (!NoThrow([&] { m_indent.append(kIndentStep, L' '); })) m_ok = false;
}

void CXMLWriter::WriteCloseTag(const wchar_t* name, bool eol, bool indent) {
    m_indent.resize(m_indent.size() > kIndentStep ? m_indent.size() - kIndentStep : 0);
    if (indent) WriteIndent();
    Write(L"</");
    Write(name);
    Write(L">");
    if (eol) WriteEOL();
}

void CXMLWriter::WriteStringTag(const wchar_t* name, const wchar_t* value, bool eol) {
    WriteOpenTag(name);
    Write(value);
    WriteCloseTag(name, eol, false);
}

void CXMLWriter::WriteIntTag(const wchar_t* name, int value, bool eol) {
    if (!NoThrow(
            [&] { WriteStringTag(name, fieldkit::detail::FormatW(L"%d", value).c_str(), eol); }))
        m_ok = false;
}

void CXMLWriter::WriteDoubleTag(const wchar_t* name, double value, bool eol) {
    if (!NoThrow(
            [&] { WriteStringTag(name, fieldkit::detail::FormatW(L"%lf", value).c_str(), eol); }))
        m_ok = false;
}

void CXMLWriter::WriteComment(const wchar_t* text) {
    WriteIndent();
    Write(L"<!-- ");
    Write(text);
    Write(L" -->");
    WriteEOL();
}
