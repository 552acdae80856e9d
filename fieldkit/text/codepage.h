/// @file
/// Conversions between wide text and the two 8-bit encodings the library meets: UTF-8 and the
/// "ANSI code page" of the handheld, Windows-1252.
///
/// Every subsystem converts through these functions; none of them depends on the process locale.
///
/// @ingroup text
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "fieldkit/text/export.h"

/// @addtogroup text
/// @{

namespace fieldkit {

/// @addtogroup text
/// @{

/// Decodes UTF-8 strictly. Each maximal invalid subsequence (a stray continuation byte, a
/// truncated or overlong sequence, an encoded surrogate, a value above U+10FFFF) becomes one
/// U+FFFD. A NUL byte is an ordinary character here; callers stop at it if they need to.
FIELDKIT_API std::wstring Utf8ToWide(std::string_view utf8);

/// True when the bytes are well-formed UTF-8: no stray or missing continuation byte, overlong
/// form, encoded surrogate or value above U+10FFFF. These are exactly the texts Utf8ToWide reads
/// without a U+FFFD of its own; the empty text is UTF-8.
FIELDKIT_API bool IsUtf8(std::string_view bytes) noexcept;

/// Encodes wide text as UTF-8. A high surrogate followed by a low surrogate (text that came from
/// UTF-16) is joined into one character; a lone surrogate or a value above U+10FFFF is written
/// as U+FFFD.
FIELDKIT_API std::string WideToUtf8(std::wstring_view wide);

/// Appends the UTF-8 form of one character (same rules as WideToUtf8 for a single unit).
FIELDKIT_API void AppendUtf8(std::string& out, char32_t ch);

namespace detail {
// WideToUtf8 a piece at a time, for callers that write into their own storage: converts the
// whole characters from wide[pos] on that fit into `size` bytes (at least 4) of `out`, moves
// `pos` past them and returns the number of bytes written.
std::size_t WideToUtf8Piece(std::wstring_view wide, std::size_t& pos, char* out, std::size_t size);

// UTF-16 bytes of the given byte order (without their byte-order mark) as UTF-8. A surrogate
// pair is one character; an unpaired surrogate, and an odd last byte, become U+FFFD each.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
}  // namespace detail

/// Decodes Windows-1252. The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
/// 0x9D) map to the control characters of the same value, as the handheld does.
FIELDKIT_API std::wstring AnsiToWide(std::string_view ansi);

/// Encodes wide text as Windows-1252; every character the code page lacks becomes '?'.
FIELDKIT_API std::string WideToAnsi(std::wstring_view wide);

/// The Windows-1252 byte of one character, or '?' when the code page lacks it.
FIELDKIT_API char WideCharToAnsi(wchar_t ch);

/// @}

}  // namespace fieldkit

/// @}
