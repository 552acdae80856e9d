#include "fieldkit/settings/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "fieldkit/environment/directories.h"
#include "fieldkit/files/file_funcs.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/scan.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
// Settings files hold kilobytes; a file far larger is not one, and reading it whole would only
// exhaust memory. Such a file is refused as one that cannot be read.
constexpr std::size_t kMaxSettingsBytes = std::size_t{64} << 20;
// WriteFile counts in DWORDs; larger outputs go out in several writes.
constexpr std::size_t kWriteChunk = std::size_t{1} << 30;

class HandleGuard {
  public:
    explicit HandleGuard(HANDLE h) : m_h(h) {}
    ~HandleGuard() { Close(); }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    bool Close() {
        if (!Valid()) return true;
        const BOOL ok = CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return ok != FALSE;
    }

  private:
    HANDLE m_h;
};

// A stored text as the CString the accessors hand out.
CString Text(std::wstring_view stored) {
    return CString(stored.data(), static_cast<int>(stored.size()));
}

std::wstring_view Name(const wchar_t* name) {
    return name ? std::wstring_view(name) : std::wstring_view();
}

CString NarrowName(const char* name) {
    return CString(fieldkit::AnsiToWide(name ? std::string_view(name) : std::string_view()));
}

// How the bytes of a line read as text.
enum class LineCode { Ascii, Utf8, Ansi };

// Most settings lines are plain ASCII, which needs no check and no decoding. A line that is
// not UTF-8 was saved by a PC editor in its ANSI code page, Windows-1252.
LineCode CodeOf(std::string_view line) {
    for (const char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return fieldkit::IsUtf8(line) ? LineCode::Utf8 : LineCode::Ansi;
    }
    return LineCode::Ascii;
}

// A piece of a line as text in `out`, reusing its storage when the piece is ASCII.
void DecodeInto(std::string_view bytes, LineCode code, std::wstring& out) {
    if (code != LineCode::Ascii) {
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                out = code == LineCode::Utf8 ? fieldkit::Utf8ToWide(bytes)
                                             : fieldkit::AnsiToWide(bytes);
                return;
            }
        }
    }
    out.assign(bytes.begin(), bytes.end());
}

// Appends the text as UTF-8 (joining surrogate pairs as WideToUtf8 does) up to its first line
// feed, so a value cannot add lines (keys, headers) of its own, or its first NUL, where the C
// text of a CString ends.
void AppendLineText(std::string& out, std::wstring_view text) {
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if (c == U'\n' || c == U'\0') return;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size &&
                   static_cast<char32_t>(text[i + 1]) >= 0xDC00 &&
                   static_cast<char32_t>(text[i + 1]) <= 0xDFFF) {
            const auto low = static_cast<char32_t>(text[++i]);
            fieldkit::AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        } else {
            fieldkit::AppendUtf8(out, c);
        }
    }
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min(bytes.size() - done, kWriteChunk);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(chunk), &written, nullptr) ||
            written != chunk) {
            return false;
        }
        done += chunk;
    }
    return true;
}

using fieldkit::detail::NoThrow;

}  // namespace

namespace fieldkit {

bool IsStorableIniKey(std::wstring_view key) noexcept {
    return (key.empty() || key.front() != L'[') && key.find_first_of(L"=\r\n") == key.npos;
}

bool IsStorableIniSection(std::wstring_view section) noexcept {
    return section.find_first_of(L"\r\n") == section.npos;
}

}  // namespace fieldkit

CINIFile::CINIFile() = default;

CINIFile::~CINIFile() = default;

std::optional<std::wstring_view> CINIFile::Find(const wchar_t* section, const wchar_t* key) const {
    const std::unique_ptr<KeyTable>* table = m_sections.Find(Name(section));
    std::wstring_view value;
    if (table == nullptr || *table == nullptr || !(*table)->Lookup(Name(key), value))
        return std::nullopt;
    return value;
}

// ---- the file -------------------------------------------------------------------------------

bool CINIFile::LoadIni(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return false;
    using fieldkit::detail::WholeFile;
    std::string bytes;
    const WholeFile read = fieldkit::detail::ReadWholeFile(
        path, kMaxSettingsBytes, fieldkit::detail::ReadMode::Binary, bytes);
    // An opened file clears the last error, as opening it with CreateFileW does; a failed read
    // leaves its own.
    if (read != WholeFile::NotOpened && read != WholeFile::Cut) SetLastError(ERROR_SUCCESS);
    // A read error ends the file as its end does, and a file that grows past the limit while it
    // is read stops there; one already larger when opened is no settings file.
    if (read == WholeFile::NotOpened || read == WholeFile::NoMemory ||
        (read == WholeFile::TooLarge && bytes.empty())) {
        return false;
    }
    return NoThrow(false, [&] {
        std::string_view text(bytes);
        // Editors on PCs often start a file with a byte-order mark; left in place it would hide
        // the first header and lose that section at the next save. A file saved as "Unicode"
        // is read through its UTF-8 form, so that one set of rules reads every file.
        std::string fromUtf16;
        if (text.substr(0, 2) == kUtf16LeBom || text.substr(0, 2) == kUtf16BeBom) {
            fromUtf16 = fieldkit::detail::Utf16ToUtf8(text.substr(2), text[0] == '\xFE');
            std::string().swap(bytes);
            text = fromUtf16;
        } else if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            text.remove_prefix(kUtf8Bom.size());
        }

        std::unique_ptr<KeyTable>* current = nullptr;  // entries never move in the map
        std::wstring key, value;                       // reused: the map copies the texts it keeps
        // The current section's keys gather in one table, which keeps its room from section to
        // section; each section then takes a table of just its size.
        KeyTable building;
        building.UseFullTable();
        const auto finishSection = [&] {
            if (current == nullptr || building.IsEmpty()) return;
            *current = std::make_unique<KeyTable>(building.TakeAll());
            building.UseFullTable();  // a large table was handed on whole
        };
        const auto handleLine = [&](std::string_view line, bool hadBreak) {
            // Text mode: CR LF is a line break; a lone CR is text.
            if (hadBreak && !line.empty() && line.back() == '\r') line.remove_suffix(1);
            line = line.substr(0, line.find('\0'));
            // A line of one byte or less (with its break) holds nothing.
            if (line.empty() || (line.size() == 1 && !hadBreak)) return;
            if (line.front() == '[') {
                const std::string_view name =
                    line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string_view();
                DecodeInto(name, CodeOf(line), key);
                finishSection();
                // Empty until its first key: a file of headers alone costs no more than keys.
                current = &m_sections.SetAt(key, nullptr);
                return;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string_view::npos || current == nullptr) return;
            // "=" is ASCII and never inside a UTF-8 sequence, so splitting the bytes first
            // gives the same key and value as splitting the decoded text.
            const LineCode code = CodeOf(line);
            DecodeInto(line.substr(0, eq), code, key);
            DecodeInto(line.substr(eq + 1), code, value);
            building.SetAt(key, value);
        };

        std::size_t start = 0;  // first byte of the line not handled yet
        for (std::size_t nl = text.find('\n'); nl != std::string_view::npos;
             nl = text.find('\n', start)) {
            handleLine(text.substr(start, nl - start), true);
            start = nl + 1;
        }
        if (start < text.size()) handleLine(text.substr(start), false);
        finishSection();
        return true;
    });
}

bool CINIFile::SaveIni(const wchar_t* path) const {
    if (path == nullptr || *path == L'\0') return false;
    // On a throw the handle's guard removes the new file.
    return NoThrow(false, [&] {
        std::string out;
        POSITION pos = m_sections.GetStartPosition();
        while (pos != nullptr) {
            const std::unique_ptr<KeyTable>* table = nullptr;
            std::wstring_view name;
            if (!m_sections.NextEntry(pos, name, &table)) continue;
            out += '[';
            AppendLineText(out, name);
            out += "]\n";
            POSITION keyPos = *table ? (*table)->GetStartPosition() : nullptr;
            while (keyPos != nullptr) {
                std::wstring_view key, value;
                if (!(*table)->NextEntry(keyPos, key, value)) continue;
                AppendLineText(out, key);
                out += '=';
                AppendLineText(out, value);
                out += '\n';
            }
            out += '\n';
        }

        // Written beside the target and renamed over it, so that a failure part way leaves
        // the old file as it was and a reader sees the old settings or the new ones, whole.
        // A read-only target or a folder is refused as a rewrite in place would be.
        HandleGuard file(fieldkit::detail::BeginReplaceFile(path));
        if (!file.Valid()) return false;
        return WriteAll(file.Get(), out) && fieldkit::detail::CommitReplaceFile(file.Get());
    });
}

// ---- walks ----------------------------------------------------------------------------------

bool CINIFile::GetNumberOfSections(int& count) {
    count = static_cast<int>(m_sections.GetCount());
    return true;
}

bool CINIFile::SetFilePosOnStart(POSITION& pos) {
    pos = m_sections.GetStartPosition();
    return true;
}

bool CINIFile::LookThroughFile(CString& section, POSITION& pos) {
    if (pos == nullptr) return false;
    return NoThrow(false, [&] {
        const std::unique_ptr<KeyTable>* table = nullptr;
        POSITION next = pos;
        std::wstring_view name;
        if (!m_sections.NextEntry(next, name, &table)) return false;
        section = CString(std::wstring(name));
        pos = next;
        return true;
    });
}

bool CINIFile::GetSectionSize(const CString& section, int& size) {
    size = 0;
    const std::unique_ptr<KeyTable>* table = m_sections.Find(section.GetStdString());
    if (table != nullptr && *table != nullptr) size = static_cast<int>((*table)->GetCount());
    return true;
}

bool CINIFile::SetSectionPosOnStart(const CString& section, POSITION& pos) {
    const std::unique_ptr<KeyTable>* table = m_sections.Find(section.GetStdString());
    // A loop that ignores the result must not walk a stale position.
    pos = table != nullptr && *table != nullptr ? (*table)->GetStartPosition() : nullptr;
    return table != nullptr;
}

bool CINIFile::LookThroughSection(const CString& section, CString& key, CString& value,
                                  POSITION& pos) {
    if (pos == nullptr) return false;
    const std::unique_ptr<KeyTable>* table = m_sections.Find(section.GetStdString());
    if (table == nullptr || *table == nullptr) return false;
    return NoThrow(false, [&] {
        POSITION next = pos;
        std::wstring_view name, stored;
        if (!(*table)->NextEntry(next, name, stored)) return false;
        CString newKey{std::wstring(name)};
        value = Text(stored);
        key = std::move(newKey);
        pos = next;
        return true;
    });
}

// ---- typed values, wide names ---------------------------------------------------------------

bool CINIFile::GetValue(const wchar_t* section, const wchar_t* key, CString& value) const {
    return NoThrow(false, [&] {
        const std::optional<std::wstring_view> stored = Find(section, key);
        if (!stored) return false;
        value = Text(*stored);
        return true;
    });
}

bool CINIFile::SetValue(const wchar_t* section, const wchar_t* key, const CString& value) {
    // Every setter, typed or narrow, ends here: one check keeps unreadable names out of files.
    if (!fieldkit::IsStorableIniSection(Name(section)) || !fieldkit::IsStorableIniKey(Name(key))) {
        return false;
    }
    return NoThrow(false, [&] {
        std::unique_ptr<KeyTable>* table = m_sections.Find(Name(section));
        if (table == nullptr || *table == nullptr) {
            auto created = std::make_unique<KeyTable>();
            if (table == nullptr) table = &m_sections.SetAt(Name(section), nullptr);
            *table = std::move(created);
        }
        (*table)->SetAt(Name(key), std::wstring_view(value.GetStdString()));
        return true;
    });
}

void CINIFile::SetStringValue(const wchar_t* section, const wchar_t* key, const CString& value) {
    SetValue(section, key, value);
}

void CINIFile::SetIntValue(const wchar_t* section, const wchar_t* key, int value) {
    NoThrow(false, [&] { return SetValue(section, key, fieldkit::detail::FormatW(L"%d", value)); });
}

void CINIFile::SetUintValue(const wchar_t* section, const wchar_t* key, unsigned int value) {
    NoThrow(false, [&] { return SetValue(section, key, fieldkit::detail::FormatW(L"%u", value)); });
}

void CINIFile::SetRealValue(const wchar_t* section, const wchar_t* key, double value) {
    NoThrow(false,
            [&] { return SetValue(section, key, fieldkit::detail::FormatW(L"%.12lf", value)); });
}

void CINIFile::SetCharValue(const wchar_t* section, const wchar_t* key, wchar_t value) {
    // A NUL would end the line's text; the empty text reads back as the default instead.
    NoThrow(false,
            [&] { return SetValue(section, key, value == L'\0' ? CString() : CString(value, 1)); });
}

void CINIFile::SetHexValue(const wchar_t* section, const wchar_t* key, unsigned int value) {
    NoThrow(false,
            [&] { return SetValue(section, key, fieldkit::detail::FormatW(L"0x%X", value)); });
}

void CINIFile::SetBoolValue(const wchar_t* section, const wchar_t* key, bool value) {
    NoThrow(false, [&] { return SetValue(section, key, CString(value ? L"1" : L"0")); });
}

CString CINIFile::GetStringValue(const wchar_t* section, const wchar_t* key,
                                 const CString& def) const {
    return NoThrow(CString(), [&] {
        const std::optional<std::wstring_view> stored = Find(section, key);
        return stored ? Text(*stored) : def;
    });
}

int CINIFile::GetIntValue(const wchar_t* section, const wchar_t* key, int def) const {
    const std::optional<std::wstring_view> stored = Find(section, key);
    int value = 0;
    if (!stored || fieldkit::detail::Scan(stored->data(), L"%d", &value) != 1) return def;
    return value;
}

int CINIFile::GetUintValue(const wchar_t* section, const wchar_t* key, unsigned int def) const {
    const std::optional<std::wstring_view> stored = Find(section, key);
    unsigned int value = def;
    if (stored) {
        unsigned int scanned = 0;
        if (fieldkit::detail::Scan(stored->data(), L"%u", &scanned) == 1) value = scanned;
    }
    return static_cast<int>(value);
}

double CINIFile::GetRealValue(const wchar_t* section, const wchar_t* key, double def) const {
    // Reading a long number takes memory; without it the text reads as one without a number.
    return NoThrow(def, [&] {
        const std::optional<std::wstring_view> stored = Find(section, key);
        double value = 0;
        if (!stored || fieldkit::detail::Scan(stored->data(), L"%lf", &value) != 1) return def;
        return value;
    });
}

wchar_t CINIFile::GetCharValue(const wchar_t* section, const wchar_t* key, wchar_t def) const {
    const std::optional<std::wstring_view> stored = Find(section, key);
    return !stored || stored->empty() ? def : (*stored)[0];
}

unsigned int CINIFile::GetHexValue(const wchar_t* section, const wchar_t* key,
                                   unsigned int def) const {
    const std::optional<std::wstring_view> stored = Find(section, key);
    unsigned int value = 0;
    if (!stored || fieldkit::detail::Scan(stored->data(), L"%X", &value) != 1) return def;
    return value;
}

bool CINIFile::GetBoolValue(const wchar_t* section, const wchar_t* key, bool def) {
    const std::optional<std::wstring_view> stored = Find(section, key);
    if (!stored || stored->empty()) return def;
    const wchar_t first = (*stored)[0];
    return first == L'1' ? true : first == L'0' ? false : def;
}

void CINIFile::RemoveValue(const wchar_t* section, const wchar_t* key) {
    std::unique_ptr<KeyTable>* table = m_sections.Find(Name(section));
    if (table != nullptr && *table != nullptr) (*table)->RemoveKey(Name(key));
}

// ---- typed values, 8-bit names --------------------------------------------------------------

CString CINIFile::GetValue(const char* section, const char* key, const CString& def) const {
    return NoThrow(CString(),
                   [&] { return GetStringValue(NarrowName(section), NarrowName(key), def); });
}

int CINIFile::GetIntValue(const char* section, const char* key, int def) const {
    return NoThrow(def, [&] {
        const std::optional<std::wstring_view> stored = Find(NarrowName(section), NarrowName(key));
        if (!stored) return def;
        // Text without a number reads as 0, as atoi gives it; "%d" saturates beyond int.
        int value = 0;
        return fieldkit::detail::Scan(stored->data(), L"%d", &value) == 1 ? value : 0;
    });
}

unsigned long CINIFile::GetLongValue(const char* section, const char* key,
                                     unsigned long def) const {
    return NoThrow(def, [&] {
        const std::optional<std::wstring_view> stored = Find(NarrowName(section), NarrowName(key));
        if (!stored) return def;
        // Read in the width SetLongValue writes, so every value it stored comes back.
        unsigned long value = 0;
        return fieldkit::detail::Scan(stored->data(), L"%lu", &value) == 1 ? value : 0UL;
    });
}

double CINIFile::GetRealValue(const char* section, const char* key, double def) const {
    return NoThrow(def, [&] { return GetRealValue(NarrowName(section), NarrowName(key), def); });
}

void CINIFile::SetValue(const char* section, const char* key, const CString& value) {
    NoThrow(false, [&] { return SetValue(NarrowName(section), NarrowName(key), value); });
}

void CINIFile::SetIntValue(const char* section, const char* key, int value) {
    NoThrow(false, [&] {
        return SetValue(NarrowName(section), NarrowName(key),
                        fieldkit::detail::FormatW(L"%d", value));
    });
}

void CINIFile::SetLongValue(const char* section, const char* key, unsigned long value) {
    NoThrow(false, [&] {
        return SetValue(NarrowName(section), NarrowName(key),
                        fieldkit::detail::FormatW(L"%lu", value));
    });
}

void CINIFile::SetRealValue(const char* section, const char* key, double value) {
    NoThrow(false, [&] {
        return SetValue(NarrowName(section), NarrowName(key),
                        fieldkit::detail::FormatW(L"%.12lf", value));
    });
}

void CINIFile::RemoveValue(const char* section, const char* key) {
    NoThrow(false, [&] {
        RemoveValue(NarrowName(section), NarrowName(key));
        return true;
    });
}

// ---- settings files -------------------------------------------------------------------------

namespace {

CString SettingsDir() {
    return GetDataDir() + L"\\Settings";
}

}  // namespace

bool LoadSettingsFile(const CString& name, CINIFile& ini) {
    return NoThrow(false, [&] { return ini.LoadIni(SettingsDir() + L"\\" + name); });
}

bool SaveSettingsFile(const CString& name, const CINIFile& ini) {
    return NoThrow(false, [&] {
        const CString dir = SettingsDir();
        if (!FileFuncs::IsDirExist(dir) && !FileFuncs::CreateDir(dir)) return false;
        return ini.SaveIni(dir + L"\\" + name);
    });
}
