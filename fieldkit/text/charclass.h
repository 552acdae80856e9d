/// @file
/// Character classes and case mapping of wide characters, the same in every process locale.
///
/// The C library's isw* and tow* functions follow LC_CTYPE; the library's texts must not, so
/// these small tables stand in for them.
///
/// @ingroup text
#pragma once

#include "fieldkit/text/export.h"

/// @addtogroup text
/// @{

namespace fieldkit {

/// @addtogroup text
/// @{

/// White space: the ASCII controls tab to carriage return, the blank, and the Unicode space
/// separators (no-break space, the spaces U+2000 to U+200A, U+1680, U+202F, U+205F, U+3000)
/// and line/paragraph separators (U+0085, U+2028, U+2029).
FIELDKIT_API bool IsWideSpace(wchar_t c);

/// Printable and not a space: not a control character (below U+0020, U+007F to U+009F), not
/// white space as above, and not a surrogate or a value beyond U+10FFFF.
FIELDKIT_API bool IsWideGraph(wchar_t c);

/// Upper and lower case of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters; every
/// other character maps to itself.
///@{
FIELDKIT_API wchar_t ToWideUpper(wchar_t c);
FIELDKIT_API wchar_t ToWideLower(wchar_t c);
///@}

/// @}

}  // namespace fieldkit

/// @}
