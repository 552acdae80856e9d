/// @file
/// Small stateless helpers for texts kept in lists and files: name checks, splitting a line into
/// values and joining them back, array look-ups, 8-bit conversions, reading a line from a file,
/// writing a text to a stream and replacing runs of characters.
///
/// Lengths count UTF-16 code units, as on the handheld: a character above U+FFFF counts (and is
/// written as) its surrogate pair.
///
/// @ingroup numbers
#pragma once

#include "fieldkit/platform/cfile.h"
#include "fieldkit/text/carray.h"
#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup numbers
/// @{

/// True for "_", the digits and the ASCII letters; nothing else (no blank, no accented letter).
FIELDKIT_API bool IsAdmisibleCharacter(wchar_t c);
/// 1 to 40 characters, all admissible.
FIELDKIT_API bool IsValidName(CString name);
/// The same test as IsValidName; the text is not changed.
FIELDKIT_API bool IsValidFilename(CString& name);
/// 1 to 32 characters, none a control character (below U+0020) or a double quote.
FIELDKIT_API bool IsValidPointName(CString name);

/// Splits `text` at `delimiter` and appends the values to `values` (not emptied first). Each
/// value loses white space at both ends and every CR and LF. Adjacent delimiters give an empty
/// value, a delimiter at the very end none, an empty text one empty value. A delimiter byte of
/// 0x80 or above stands for the character U+0080..U+00FF, as ReadLine reads it. False at the
/// first value holding a character of `forbidden`; the values before it stay appended.
FIELDKIT_API bool ParseValues(CString text, CArray<CString>& values, char delimiter,
                              CString forbidden);
/// The same split at any character of `delimiters`, without a forbidden set. True (false only
/// when memory runs out).
FIELDKIT_API bool ParseDelimitersValues(CString text, CArray<CString>& values, CString delimiters);
/// The values joined with "," (no blank, no quoting); empty for an empty array.
FIELDKIT_API const CString StringArrayToString(const CArray<CString>& values);
/// True when one value equals `text` exactly (case counts).
FIELDKIT_API bool IsStringInStringArray(const CArray<CString>& values, CString text);
/// True when one element equals `value` taken as an unsigned 32-bit word (-1 finds 0xFFFFFFFF).
FIELDKIT_API bool IsUIntInUIntArray(const CArray<unsigned int>& values, int value);

/// `out` = `text` decoded from UTF-8; empty for a null or empty text. Never fails: each invalid
/// byte sequence becomes U+FFFD.
FIELDKIT_API void ASCII2CString(const char* text, CString& out);
/// Writes the low byte of each of the first `size` code units of `text`, then a nul: the buffer
/// needs room for size + 1 bytes. Nothing is written for a null buffer or a negative size.
FIELDKIT_API void CString2ASCII(CString text, char* buffer, int size);
/// Reads the next line of bytes from `file`, each byte one character: ASCII as itself, 0x80 to
/// 0xFF as U+0080 to U+00FF (so WriteString and CString2ASCII give the same bytes back). A CR or
/// LF ends the line and the whole run of CRs and LFs after it is consumed (blank lines too). A
/// nul byte cuts the line there; a line of nothing but white space comes back empty, as does the
/// end of the file. A failed read counts as the end of the file.
FIELDKIT_API void ReadLine(CFile& file, CString& line);
/// Writes the low byte of each code unit of `text` to the FILE* `stream` with fputc, no line
/// end added. False at the first failed write (or for a null stream).
FIELDKIT_API bool WriteString(void* stream, CString text);
/// `out` = `text` with every run of characters from `chars` replaced by `replacement` (nothing
/// when it is null or empty); returns the number of runs. A null or empty `chars` replaces
/// nothing: `out` = `text`, result 0. A null `text` is taken as empty.
FIELDKIT_API int replaceChars(const wchar_t* text, const wchar_t* chars, const wchar_t* replacement,
                              CString& out);

/// @}
