#include "fieldkit/numbers/text_utils.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"

using fieldkit::detail::NoThrow;

namespace {

constexpr int kMaxNameLength = 40;
constexpr int kMaxPointNameLength = 32;

// The UTF-16 code units of a text, one or two per character, for the byte-oriented writers.
class Utf16Units {
  public:
    explicit Utf16Units(const std::wstring& text) : m_text(text) {}

    // The next unit, or false at the end.
    bool Next(std::uint32_t& unit) {
        if (m_pending != 0) {
            unit = m_pending;
            m_pending = 0;
            return true;
        }
        if (m_at >= m_text.size()) return false;
        const auto cp = static_cast<std::uint32_t>(m_text[m_at++]);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            unit = 0xD800 + ((cp - 0x10000) >> 10);
            m_pending = 0xDC00 + ((cp - 0x10000) & 0x3FF);
        } else {
            unit = cp;
        }
        return true;
    }

  private:
    const std::wstring& m_text;
    std::size_t m_at = 0;
    std::uint32_t m_pending = 0;
};

std::size_t Utf16Length(const std::wstring& text) {
    std::size_t n = text.size();
    for (const wchar_t c : text) {
        const auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0xFFFF && cp <= 0x10FFFF) ++n;
    }
    return n;
}

// A value as the list readers store it: trimmed, and without any CR or LF.
CString CleanValue(std::wstring_view raw) {
    CString value{std::wstring(raw)};
    value.Trim();
    value.Remove(L'\r');
    value.Remove(L'\n');
    return value;
}

bool AllWhiteSpace(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (!fieldkit::IsWideSpace(c)) return false;
    }
    return true;
}

}  // namespace

bool IsAdmisibleCharacter(wchar_t c) {
    return c == L'_' || (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') ||
           (c >= L'a' && c <= L'z');
}

bool IsValidName(CString name) {
    // Every admissible character is one code unit, so the length needs no surrogate count.
    if (name.IsEmpty() || name.GetLength() > kMaxNameLength) return false;
    for (const wchar_t c : name.GetStdString()) {
        if (!IsAdmisibleCharacter(c)) return false;
    }
    return true;
}

bool IsValidFilename(CString& name) {
    return NoThrow(false, [&] { return IsValidName(name); });
}

bool IsValidPointName(CString name) {
    const std::size_t length = Utf16Length(name.GetStdString());
    if (length == 0 || length > kMaxPointNameLength) return false;
    for (const wchar_t c : name.GetStdString()) {
        if (c < L' ' || c == L'"') return false;
    }
    return true;
}

bool ParseValues(CString text, CArray<CString>& values, char delimiter, CString forbidden) {
    return NoThrow(false, [&] {
        // By its byte value, the same character ReadLine makes of that byte.
        const auto delim = static_cast<wchar_t>(static_cast<unsigned char>(delimiter));
        const std::wstring_view s(text.GetStdString());
        std::size_t pos = 0;
        do {
            const std::size_t p = s.find(delim, pos);
            const std::size_t end = p == std::wstring_view::npos ? s.size() : p;
            CString value = CleanValue(s.substr(pos, end - pos));
            if (value.FindOneOf(forbidden) >= 0) return false;
            values.Add(value);
            pos = p == std::wstring_view::npos ? s.size() : p + 1;
        } while (pos < s.size());
        return true;
    });
}

bool ParseDelimitersValues(CString text, CArray<CString>& values, CString delimiters) {
    return NoThrow(false, [&] {
        const std::wstring_view s(text.GetStdString());
        const std::wstring_view set(delimiters.GetStdString());
        std::size_t pos = 0;
        do {
            const std::size_t p = set.empty() ? std::wstring_view::npos : s.find_first_of(set, pos);
            const std::size_t end = p == std::wstring_view::npos ? s.size() : p;
            values.Add(CleanValue(s.substr(pos, end - pos)));
            pos = p == std::wstring_view::npos ? s.size() : p + 1;
        } while (pos < s.size());
        return true;
    });
}

const CString StringArrayToString(const CArray<CString>& values) {
    return NoThrow(CString(), [&] {
        std::wstring joined;
        for (INT_PTR i = 0; i < values.GetSize(); ++i) {
            if (i > 0) joined += L',';
            joined += values[i].GetStdString();
        }
        return CString(std::move(joined));
    });
}

bool IsStringInStringArray(const CArray<CString>& values, CString text) {
    for (const CString& value : values) {
        if (value == text) return true;
    }
    return false;
}

bool IsUIntInUIntArray(const CArray<unsigned int>& values, int value) {
    const auto word = static_cast<std::uint32_t>(value);
    for (const unsigned int element : values) {
        if (static_cast<std::uint32_t>(element) == word) return true;
    }
    return false;
}

void ASCII2CString(const char* text, CString& out) {
    if (!NoThrow([&] { out = CString(fieldkit::Utf8ToWide(text ? text : "")); })) out.Empty();
}

void CString2ASCII(CString text, char* buffer, int size) {
    if (buffer == nullptr || size < 0) return;
    Utf16Units units(text.GetStdString());
    int n = 0;
    std::uint32_t unit = 0;
    while (n < size && units.Next(unit))
        buffer[n++] = static_cast<char>(unit & 0xFF);
    buffer[n] = '\0';
}

void ReadLine(CFile& file, CString& line) {
    const bool read = NoThrow([&] {
        std::wstring text;
        bool cut = false;
        unsigned char byte = 0;
        while (file.Read(&byte, 1) == 1) {
            if (byte == '\r' || byte == '\n') {
                // One line end swallows the whole run; the first byte after it is given back.
                while (file.Read(&byte, 1) == 1) {
                    if (byte != '\r' && byte != '\n') {
                        file.Seek(-1, CFile::current);
                        break;
                    }
                }
                break;
            }
            if (byte == 0) cut = true;
            // Latin-1: ASCII keeps its value and every byte comes back as itself when written.
            if (!cut) text.push_back(static_cast<wchar_t>(byte));
        }
        if (AllWhiteSpace(text)) text.clear();
        line = CString(std::move(text));
    });
    if (!read) line.Empty();
}

bool WriteString(void* stream, CString text) {
    if (stream == nullptr) return false;
    auto* file = static_cast<FILE*>(stream);
    Utf16Units units(text.GetStdString());
    std::uint32_t unit = 0;
    while (units.Next(unit)) {
        if (std::fputc(static_cast<int>(unit & 0xFF), file) == EOF) return false;
    }
    return true;
}

int replaceChars(const wchar_t* text, const wchar_t* chars, const wchar_t* replacement,
                 CString& out) {
    const int runs = NoThrow(-1, [&] {
        // Built apart from `out`, which may be where `text` lives.
        const std::wstring_view src(text ? text : L"");
        const std::wstring_view set(chars ? chars : L"");
        std::wstring result;
        int count = 0;
        std::size_t pos = 0;
        if (!set.empty()) {
            for (std::size_t p; (p = src.find_first_of(set, pos)) != std::wstring_view::npos;) {
                ++count;
                result.append(src.substr(pos, p - pos));
                if (replacement) result.append(replacement);
                pos = src.find_first_not_of(set, p + 1);
                if (pos == std::wstring_view::npos) pos = src.size();
            }
        }
        result.append(src.substr(pos));
        out = CString(std::move(result));
        return count;
    });
    if (runs >= 0) return runs;
    out.Empty();  // out of memory
    return 0;
}
