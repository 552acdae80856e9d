#include "fieldkit/xml/xml_reader.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/codepage.h"

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
constexpr char kCdataStart[] = "<![CDATA[";
constexpr std::size_t kCdataStartLength = sizeof kCdataStart - 1;
constexpr wchar_t kReplacement = 0xFFFD;

bool IsAscii(const std::string& bytes) {
    unsigned char any = 0;
    for (const char c : bytes)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

}  // namespace

namespace fieldkit::detail {

// Windows-1252 is what CXMLWriter writes: its documents read back whole instead of as
// replacement characters.
std::wstring DecodeXmlBytes(std::string_view bytes) {
    std::wstring wide = fieldkit::Utf8ToWide(bytes);
    if (wide.find(kReplacement) == std::wstring::npos) return wide;
    // A replacement character the file really holds survives the round trip; one the decoder
    // made up does not.
    if (fieldkit::WideToUtf8(wide) == bytes) return wide;
    return fieldkit::AnsiToWide(bytes);
}

}  // namespace fieldkit::detail

CXMLReader::CXMLReader() : m_ok(false) {}

CXMLReader::~CXMLReader() = default;

CXMLReader::CXMLReader(const CXMLReader& other) : m_ok(other.m_ok) {}

CXMLReader& CXMLReader::operator=(const CXMLReader& other) {
    m_ok = other.m_ok;
    return *this;
}

bool CXMLReader::Read(const wchar_t* path) {
    // A Read started from a callback gets input of its own; the outer one resumes afterwards.
    Input outer = std::move(m_in);
    m_in = Input();
    m_in.stream = _wfopen(path, L"rt");
    m_ok = m_in.stream != nullptr;
    if (!m_ok) {
        m_in = std::move(outer);
        return false;
    }
    // Out of memory, or a callback that throws, stops the reading there.
    const bool result = fieldkit::detail::NoThrow(false, [&] {
        m_in.block.resize(kBlockSize);
        std::wstring piece;
        while (ReadTill(L'<', false, piece)) {
            if (!piece.empty()) OnText(piece);
            if (!ReadTill(L'>', true, piece)) break;
            Deliver(piece);
        }
        return !m_in.failed;
    });
    std::fclose(m_in.stream);
    m_in = std::move(outer);
    return result;
}

bool CXMLReader::Fill() {
    if (m_in.eof || m_in.stream == nullptr || m_in.block.empty()) return false;
    const std::size_t got = std::fread(m_in.block.data(), 1, m_in.block.size(), m_in.stream);
    if (got == 0) {
        m_in.eof = true;
        if (std::ferror(m_in.stream)) m_in.failed = true;
        return false;
    }
    m_in.pos = 0;
    m_in.end = got;
    return true;
}

bool CXMLReader::ReadTill(wchar_t delimiter, bool include, std::wstring& out) {
    out.clear();
    if (m_in.stream == nullptr) return false;
    // The file is compared byte by byte, as its bytes arrive undecoded.
    const int delim = delimiter >= 0 && delimiter <= 0xFF ? static_cast<int>(delimiter) : -1;
    // Prefix: the bytes so far may still begin a CDATA section, in which the delimiter does
    // not count until "]]"; Plain: the rest is searched for the delimiter in bulk.
    enum class Mode { Prefix, Cdata, Plain } mode = Mode::Prefix;
    bool found = false;
    const bool whole = fieldkit::detail::NoThrow([&] {
        m_bytes.clear();
        while (!found) {
            if (m_in.pos == m_in.end && !Fill()) break;
            const char* data = m_in.block.data() + m_in.pos;
            const std::size_t avail = m_in.end - m_in.pos;
            if (mode == Mode::Plain) {
                const void* hit = delim >= 0 ? std::memchr(data, delim, avail) : nullptr;
                const std::size_t take =
                    hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - data)
                                   : avail;
                m_bytes.append(data, take);
                m_in.pos += take;
                found = hit != nullptr;
                continue;
            }
            const char c = *data;
            if (mode == Mode::Prefix && static_cast<unsigned char>(c) == delim) {
                found = true;
                continue;
            }
            m_bytes.push_back(c);
            ++m_in.pos;
            const std::size_t n = m_bytes.size();
            if (mode == Mode::Prefix) {
                if (c != kCdataStart[n - 1]) {
                    mode = Mode::Plain;
                } else if (n == kCdataStartLength) {
                    mode = Mode::Cdata;
                }
            } else if (c == ']' && m_bytes[n - 2] == ']') {
                mode = Mode::Plain;
            }
        }
        if (found && include) {
            m_bytes.push_back(static_cast<char>(delim));
            ++m_in.pos;
        }
        if (IsAscii(m_bytes)) {
            out.assign(m_bytes.begin(), m_bytes.end());  // the common case, in out's own room
        } else {
            out = fieldkit::detail::DecodeXmlBytes(m_bytes);
        }
    });
    if (!whole) {
        out.clear();
        m_in.failed = true;
        return false;
    }
    return found;
}

void CXMLReader::Deliver(std::wstring& piece) {
    const std::size_t n = piece.size();
    if (n < 2 || piece.front() != L'<' || piece.back() != L'>') return;
    switch (piece[1]) {
        case L'/':
            OnTag(1, piece.substr(2, n - 3));
            return;
        case L'?':
            OnTag(3, piece.substr(1, n - 2));
            return;
        case L'!':
            // Cut where existing derived readers expect it (see the header).
            if (n >= 11) {
                OnTag(2, piece.substr(4, n - 6));
                return;
            }
            break;
        default:
            break;
    }
    OnTag(0, piece.substr(1, n - 2));
}
