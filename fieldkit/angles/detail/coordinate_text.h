// The coordinate texts as their formats give them, which the library otherwise writes straight:
// the tests hold the two ways to the same characters.
#pragma once

#include "fieldkit/text/cstring.h"

namespace fieldkit::detail {

// LatitudeToDDDMMSSSString (or, with `latitude` false, LongitudeToDDDMMSSSString) made with the
// printf engine and the functions' formats alone. Throws std::bad_alloc when memory runs out.
CString CoordinateTextByFormats(double value, bool latitude, bool fiveDecimals);

}  // namespace fieldkit::detail
