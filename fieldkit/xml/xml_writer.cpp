#include "fieldkit/xml/xml_writer.h"

#include <cwchar>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

using fieldkit::detail::NoThrow;

namespace {
constexpr std::size_t kIndentStep = 4;
}  // namespace

CXMLWriter::CXMLWriter(const wchar_t* path)
    : m_stream(_wfopen(path, L"wt+")), m_ownsStream(true), m_ok(m_stream != nullptr) {
    WriteHeader();
}

CXMLWriter::CXMLWriter(void* stream)
    : m_stream(static_cast<std::FILE*>(stream)), m_ownsStream(false), m_ok(stream != nullptr) {
    WriteHeader();
}

CXMLWriter::~CXMLWriter() {
    if (m_ownsStream && m_stream != nullptr) std::fclose(m_stream);
}

void CXMLWriter::WriteHeader() {
    // The bytes are Windows-1252: without saying so, XML parsers take them for UTF-8 and reject
    // the document at its first non-ASCII character.
    WriteOpenTag(L"?xml version=\"1.0\" encoding=\"windows-1252\"?");
    WriteEOL();
    SetIndent(0);
}

void CXMLWriter::Write(const wchar_t* text) {
    if (text == nullptr || m_stream == nullptr) {
        m_ok = false;
        return;
    }
    if (!m_ok) return;
    const std::size_t n = std::wcslen(text);
    if (n == 0) return;
    const bool converted = NoThrow([&] {
        m_buffer.clear();  // keeps its capacity
        m_buffer.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            m_buffer.push_back(fieldkit::WideCharToAnsi(text[i]));
    });
    if (!converted) {
        m_ok = false;  // no room for the piece: the document would be incomplete
        return;
    }
    m_ok = std::fwrite(m_buffer.data(), 1, n, m_stream) == n;
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
