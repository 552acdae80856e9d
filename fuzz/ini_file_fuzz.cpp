// Loads arbitrary bytes as an INI file, reads it through the walks and the typed getters, saves
// it and loads the saved file again.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"
#include "fuzz/fuzz_support.h"

namespace {

const wchar_t* const kFile = L"\\fuzz\\settings.ini";
const wchar_t* const kSaved = L"\\fuzz\\saved.ini";

using Contents = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

// The decimal number a text begins with after blanks and tabs, saturated to int; 0 without
// one. False when the text starts with other white space, where readers may differ.
bool LeadingInt(const std::wstring& v, int& value) {
    std::size_t i = 0;
    while (i < v.size() && (v[i] == L' ' || v[i] == L'\t'))
        ++i;
    if (i < v.size() && fieldkit::IsWideSpace(v[i])) return false;
    bool negative = false;
    if (i < v.size() && (v[i] == L'-' || v[i] == L'+')) negative = v[i++] == L'-';
    long long n = 0;
    for (; i < v.size() && v[i] >= L'0' && v[i] <= L'9'; ++i) {
        n = n * 10 + (v[i] - L'0');
        if (n > 1LL << 32) n = 1LL << 32;
    }
    if (negative) n = -n;
    value = n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : static_cast<int>(n);
    return true;
}

// UTF-16 of one byte order as characters: a high surrogate and a low one make one, every other
// surrogate and an odd last byte are U+FFFD.
std::wstring FromUtf16(const std::string& bytes, bool bigEndian) {
    std::wstring out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
        const unsigned unit = hi * 256u + lo;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (low && !out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) {
            out.back() = static_cast<wchar_t>(
                0x10000 + ((static_cast<unsigned>(out.back()) - 0xD800) << 10) + (unit - 0xDC00));
            continue;
        }
        if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.back() = 0xFFFD;
        out.push_back(static_cast<wchar_t>(low ? 0xFFFD : unit));
    }
    if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.back() = 0xFFFD;
    if (bytes.size() % 2 != 0) out.push_back(0xFFFD);
    return out;
}

// The file as the format reads: one that starts with a UTF-16 byte-order mark (FF FE, FE FF)
// reads as its text in UTF-8; otherwise a UTF-8 byte-order mark at the start is skipped. Lines
// end at LF (a CR before it dropped) and at a NUL; a line that is not UTF-8 (whose UTF-8
// reading does not give its bytes back) is Windows-1252; "[" starts a header named by the line
// without its first and last byte; other lines with "=" are keys of the section above; a lone
// byte at the very end is no line. Later entries win, and a header empties its section.
Contents Model(const std::string& file) {
    Contents contents;
    const std::wstring* current = nullptr;
    const bool utf16 = file.compare(0, 2, "\xFF\xFE") == 0 || file.compare(0, 2, "\xFE\xFF") == 0;
    const std::string bytes =
        utf16 ? fieldkit::WideToUtf8(FromUtf16(file.substr(2), file[0] == '\xFE')) : file;
    std::size_t start = !utf16 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        const bool hadBreak = lf != std::string::npos;
        std::string line = bytes.substr(start, hadBreak ? lf - start : std::string::npos);
        start = hadBreak ? lf + 1 : bytes.size();
        if (hadBreak && !line.empty() && line.back() == '\r') line.pop_back();
        line = line.substr(0, line.find('\0'));
        if (line.empty() || (line.size() == 1 && !hadBreak)) continue;
        const bool utf8 = fieldkit::WideToUtf8(fieldkit::Utf8ToWide(line)) == line;
        const auto text = [utf8](const std::string& piece) {
            return utf8 ? fieldkit::Utf8ToWide(piece) : fieldkit::AnsiToWide(piece);
        };
        if (line[0] == '[') {
            const std::wstring name = text(line.size() >= 2 ? line.substr(1, line.size() - 2) : "");
            auto& section = contents[name];
            section.clear();
            current = &contents.find(name)->first;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || current == nullptr) continue;
        contents[*current][text(line.substr(0, eq))] = text(line.substr(eq + 1));
    }
    return contents;
}

// Everything the walks show; every name, key and value is checked on the way.
Contents Walk(CINIFile& ini) {
    Contents contents;
    int sections = -1;
    FUZZ_CHECK(ini.GetNumberOfSections(sections));
    POSITION pos = nullptr;
    FUZZ_CHECK(ini.SetFilePosOnStart(pos));
    CString section;
    int walked = 0;
    while (pos != nullptr) {
        FUZZ_CHECK(ini.LookThroughFile(section, pos));
        FUZZ_CHECK(++walked <= sections);
        const std::wstring& name = section.GetStdString();
        // A name comes from one line: it can hold no line feed and no NUL.
        FUZZ_CHECK(name.find_first_of(std::wstring(L"\n\0", 2)) == std::wstring::npos);
        FUZZ_CHECK(contents.count(name) == 0);
        auto& keys = contents[name];

        int size = -1;
        FUZZ_CHECK(ini.GetSectionSize(section, size));
        POSITION keyPos = nullptr;
        FUZZ_CHECK(ini.SetSectionPosOnStart(section, keyPos));
        CString key, value;
        int seen = 0;
        while (keyPos != nullptr) {
            FUZZ_CHECK(ini.LookThroughSection(section, key, value, keyPos));
            FUZZ_CHECK(++seen <= size);
            const std::wstring& k = key.GetStdString();
            // The key is everything before the first "=".
            FUZZ_CHECK(k.find_first_of(std::wstring(L"=\n\0", 3)) == std::wstring::npos);
            FUZZ_CHECK(value.GetStdString().find_first_of(std::wstring(L"\n\0", 2)) ==
                       std::wstring::npos);
            FUZZ_CHECK(keys.count(k) == 0);
            keys[k] = value.GetStdString();
            // The getters find what the walk shows.
            FUZZ_CHECK(ini.GetStringValue(section, key, CString(L"\x1F")) == value);
        }
        FUZZ_CHECK(seen == size);
        FUZZ_CHECK(!ini.LookThroughSection(section, key, value, keyPos));
    }
    FUZZ_CHECK(walked == sections);
    FUZZ_CHECK(!ini.LookThroughFile(section, pos));
    return contents;
}

// The typed getters on the first key of every section: any text must read without harm.
void ReadTyped(CINIFile& ini, const Contents& contents) {
    for (const auto& [section, keys] : contents) {
        if (keys.empty()) continue;
        const wchar_t* s = section.c_str();
        const wchar_t* k = keys.begin()->first.c_str();
        ini.GetIntValue(s, k, 7);
        ini.GetUintValue(s, k, 7u);
        ini.GetRealValue(s, k, 7.0);
        ini.GetCharValue(s, k, L'x');
        ini.GetHexValue(s, k, 7u);
        const bool b = ini.GetBoolValue(s, k, true);
        const std::wstring& v = keys.begin()->second;
        FUZZ_CHECK(ini.GetCharValue(s, k, L'\x1F') == (v.empty() ? L'\x1F' : v[0]));
        if (!v.empty() && v[0] == L'1') FUZZ_CHECK(b);
        if (!v.empty() && v[0] == L'0') FUZZ_CHECK(!b);
        const std::string narrowSection = fieldkit::WideToAnsi(section);
        const std::string narrowKey = fieldkit::WideToAnsi(keys.begin()->first);
        ini.GetValue(narrowSection.c_str(), narrowKey.c_str(), CString());
        const int narrowInt = ini.GetIntValue(narrowSection.c_str(), narrowKey.c_str(), 7);
        int expected = 0;
        // Only names the code page holds reach the entry through 8-bit text.
        if (fieldkit::AnsiToWide(narrowSection) == section &&
            fieldkit::AnsiToWide(narrowKey) == keys.begin()->first && LeadingInt(v, expected)) {
            FUZZ_CHECK(narrowInt == expected);
        }
        ini.GetLongValue(narrowSection.c_str(), narrowKey.c_str(), 7ul);
        ini.GetRealValue(narrowSection.c_str(), narrowKey.c_str(), 7.0);
    }
    // Missing entries give the default.
    FUZZ_CHECK(ini.GetIntValue(L"\x1F missing", L"k", 7) == 7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A comment line in front moves the rest across the reader's 64 KiB blocks.
    const std::size_t pad = fuzz::TakePadding(data, size, 64 * 1024);
    std::string bytes = pad > 0 ? std::string(pad - 1, '#') + "\n" : std::string();
    bytes += fuzz::Bytes(data, size);
    const fuzz::DeviceRoot& root = fuzz::DeviceRoot::Get();
    root.Write("\\fuzz\\settings.ini", bytes);

    CINIFile ini;
    FUZZ_CHECK(ini.LoadIni(kFile));
    const Contents first = Walk(ini);
    FUZZ_CHECK(first == Model(bytes));
    ReadTyped(ini, first);

    // What was read is what comes back from the saved file: every section and key, and every
    // value except one ending in a CR, whose CR the line end swallows.
    FUZZ_CHECK(ini.SaveIni(kSaved));
    CINIFile again;
    FUZZ_CHECK(again.LoadIni(kSaved));
    const Contents second = Walk(again);
    FUZZ_CHECK(second.size() == first.size());
    for (const auto& [section, keys] : first) {
        const auto found = second.find(section);
        FUZZ_CHECK(found != second.end());
        FUZZ_CHECK(found->second.size() == keys.size());
        for (const auto& [key, value] : keys) {
            const auto match = found->second.find(key);
            FUZZ_CHECK(match != found->second.end());
            if (value.empty() || value.back() != L'\r') FUZZ_CHECK(match->second == value);
        }
    }

    // Loading adds to what is there.
    FUZZ_CHECK(again.LoadIni(kFile));
    int count = 0;
    again.GetNumberOfSections(count);
    FUZZ_CHECK(static_cast<std::size_t>(count) == first.size());
    return 0;
}
