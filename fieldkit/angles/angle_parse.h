/// @file
/// Angles, latitudes and longitudes typed by a user (or written by angle_text.h) read back
/// into decimal degrees, and the check of a typed packed D.MMSS value.
///
/// The reader accepts a plain decimal number ("123.4530" is 123.453 degrees, not packed D.MMSS)
/// or free-form degrees, minutes and seconds whose numbers are separated by anything that is
/// not a digit: "12°30'15.5\"", "12 30", "45'", "12°30.5'". Apostrophes mark minutes,
/// quotation marks seconds; a minus sign anywhere makes the value negative. Nothing reports an
/// error: text without digits reads as 0. Each reading logs its steps at level 2 through
/// LOGMESSAGE.
///
/// @ingroup angles
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup angles
/// @{

/// An angle, or a quadrant bearing such as N30°00'00"E (uppercase letters, more than three
/// characters) converted to an azimuth in [0, 360].
FIELDKIT_API double StringToAngle(CString text);
/// Negative when the text holds S or s (latitude) or W or w (longitude), on top of any minus.
///@{
FIELDKIT_API double StringToLatitude(CString text);
FIELDKIT_API double StringToLongitude(CString text);
///@}
/// Degrees, minutes and seconds given as three number texts, in radians; signs used as given.
FIELDKIT_API double AngleToRad(CString degrees, CString minutes, CString seconds);
/// Whether a typed packed D.MMSS text (degrees, ".", two digits of minutes, two of seconds,
/// more digits of seconds allowed) is acceptable against a maximum number of degrees given as
/// text; the maximum itself only with zero minutes and seconds, and only when allowed.
FIELDKIT_API bool CheckValidDMSVal(CString value, CString maxDegrees, bool allowMax);

namespace fieldkit::detail {
// The free-form reader behind the functions above.
double StringToAngle2(const CString& text);
}  // namespace fieldkit::detail

/// @}
