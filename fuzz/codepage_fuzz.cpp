// Decodes arbitrary bytes as UTF-8 and as Windows-1252 and encodes the results back, checking
// the round trips against a UTF-8 validator of its own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fieldkit/text/codepage.h"
#include "fuzz/fuzz_support.h"

namespace {

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF. Counts the
// characters of valid text.
bool IsValidUtf8(const std::string& s, std::size_t& characters) {
    characters = 0;
    for (std::size_t i = 0; i < s.size(); ++characters) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n;
        char32_t cp;
        if (b < 0x80) {
            n = 1;
            cp = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
            cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            cp = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            cp = b & 0x07u;
        } else {
            return false;
        }
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0u) != 0x80u) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += n;
    }
    return true;
}

bool IsScalar(wchar_t c) {
    const auto v = static_cast<std::uint32_t>(c);
    return v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::Bytes(data, size);

    // UTF-8: every decoded unit is a Unicode scalar; valid text round-trips exactly and
    // decodes to one unit per character; invalid text never round-trips.
    const std::wstring wide = fieldkit::Utf8ToWide(bytes);
    for (const wchar_t c : wide)
        FUZZ_CHECK(IsScalar(c));
    FUZZ_CHECK(wide.size() <= bytes.size());
    std::size_t characters = 0;
    const bool valid = IsValidUtf8(bytes, characters);
    const std::string back = fieldkit::WideToUtf8(wide);
    FUZZ_CHECK((back == bytes) == valid);
    if (valid) FUZZ_CHECK(wide.size() == characters);
    // Whatever the encoder gets, it writes valid UTF-8 that decodes to the same scalars.
    FUZZ_CHECK(IsValidUtf8(back, characters));
    FUZZ_CHECK(fieldkit::Utf8ToWide(back) == wide);

    // The bytes taken four at a time as wide units, surrogates and values beyond Unicode
    // included: still valid UTF-8 out, one character per unit unless a pair is joined.
    std::wstring units;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k)
            v |= static_cast<std::uint32_t>(data[i + k]) << (8 * k);
        units.push_back(static_cast<wchar_t>(v % 0x120000));
    }
    const std::string encoded = fieldkit::WideToUtf8(units);
    FUZZ_CHECK(IsValidUtf8(encoded, characters));
    FUZZ_CHECK(characters <= units.size());
    std::string one;
    for (const wchar_t c : units) {
        one.clear();
        fieldkit::AppendUtf8(one, static_cast<char32_t>(c));
        FUZZ_CHECK(one == fieldkit::WideToUtf8(std::wstring(1, c)));
        FUZZ_CHECK(fieldkit::WideCharToAnsi(c) == fieldkit::WideToAnsi(std::wstring(1, c))[0]);
    }

    // Windows-1252: one character per byte, and every byte comes back as itself.
    const std::wstring ansi = fieldkit::AnsiToWide(bytes);
    FUZZ_CHECK(ansi.size() == bytes.size());
    FUZZ_CHECK(fieldkit::WideToAnsi(ansi) == bytes);
    FUZZ_CHECK(fieldkit::WideToAnsi(wide).size() == wide.size());
    return 0;
}
