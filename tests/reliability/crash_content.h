// What the crash child writes, shared with the tests that check it after the kill.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fieldkit/platform/cstring.h"
#include "fieldkit/platform/format.h"
#include "fieldkit/settings/ini_file.h"

namespace crash {

// The text after "L<i> " on log line i: 0 to 900 bytes, so lines often span the stream's
// buffer, and different from line to line, so a mixed or cut line cannot pass for another.
inline std::string Payload(std::int64_t i) {
    return std::string(static_cast<std::size_t>(i * 37 % 901), static_cast<char>('a' + i % 26));
}

constexpr int kSections = 4;
constexpr int kKeysPerSection = 500;  // 2,000 keys in all

// Version A (parity 0) or B (parity 1): every key holds the version's letter, 24 times.
inline void FillSettings(CINIFile& ini, int parity) {
    const CString value(parity == 0 ? L'A' : L'B', 24);
    for (int s = 0; s < kSections; ++s) {
        const CString section(fieldkit::detail::FormatW(L"Section%d", s));
        for (int k = 0; k < kKeysPerSection; ++k)
            ini.SetStringValue(section, CString(fieldkit::detail::FormatW(L"Key%04d", k)), value);
    }
}

// Every save carries its generation, so the parent can tell a lost save from the current one.
inline void SetGeneration(CINIFile& ini, std::int64_t generation) {
    ini.SetStringValue(
        L"Meta", L"Generation",
        CString(fieldkit::detail::FormatW(L"%lld", static_cast<long long>(generation))));
}

// Save `i` of writer `writer` ('A', 'B'): one key whose value names the save at both ends and
// whose length changes from save to save, so that no cut or mixed file passes for a save.
inline std::string SaveValue(char writer, int i) {
    const std::string tag = writer + std::to_string(i);
    return tag + ":" + std::string(20000 + static_cast<std::size_t>(i) * 397 % 20000, writer) +
           ":" + tag;
}
inline std::string SavedFile(const std::string& value) {
    return "[S]\nk=" + value + "\n\n";
}
// The save the file's bytes are, exactly ("A17"), or empty when they are no save at all.
inline std::string WhichSave(const std::string& bytes) {
    const std::size_t head = 6, colon = bytes.find(':');
    if (bytes.compare(0, head, "[S]\nk=") != 0 || colon == std::string::npos || colon < head + 2)
        return std::string();
    const std::string tag = bytes.substr(head, colon - head);
    const bool same = bytes == SavedFile(SaveValue(tag[0], std::atoi(tag.c_str() + 1)));
    return same ? tag : std::string();
}

}  // namespace crash
