#include "fieldkit/text/charclass.h"

namespace fieldkit {

bool IsWideSpace(wchar_t c) {
    if (c == L' ' || (c >= L'\t' && c <= L'\r')) return true;
    if (c < 0x85) return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsWideGraph(wchar_t c) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    if (static_cast<unsigned long>(c) > 0x10FFFF) return false;
    return !IsWideSpace(c);
}

wchar_t ToWideUpper(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 32);
    if (c < 0xB5) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<wchar_t>(c - 32);
    if (c == 0xFF) return 0x178;
    // Latin Extended-A pairs upper/lower as even/odd, except 0x130..0x138 and 0x178..0x17F.
    if (c >= 0x100 && c <= 0x12F && (c & 1)) return static_cast<wchar_t>(c - 1);
    if (c >= 0x132 && c <= 0x137 && (c & 1)) return static_cast<wchar_t>(c - 1);
    if (c >= 0x139 && c <= 0x148 && !(c & 1)) return static_cast<wchar_t>(c - 1);
    if (c >= 0x14A && c <= 0x177 && (c & 1)) return static_cast<wchar_t>(c - 1);
    if ((c == 0x17A || c == 0x17C || c == 0x17E)) return static_cast<wchar_t>(c - 1);
    // Greek: basic letters, final sigma maps to capital sigma.
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 32);
    if (c == 0x3C2) return 0x3A3;
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 80);
    return c;
}

wchar_t ToWideLower(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
    if (c < 0xC0) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 32);
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x12F && !(c & 1)) return static_cast<wchar_t>(c + 1);
    if (c >= 0x132 && c <= 0x137 && !(c & 1)) return static_cast<wchar_t>(c + 1);
    if (c >= 0x139 && c <= 0x148 && (c & 1)) return static_cast<wchar_t>(c + 1);
    if (c >= 0x14A && c <= 0x177 && !(c & 1)) return static_cast<wchar_t>(c + 1);
    if ((c == 0x179 || c == 0x17B || c == 0x17D)) return static_cast<wchar_t>(c + 1);
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<wchar_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<wchar_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 80);
    return c;
}

}  // namespace fieldkit
