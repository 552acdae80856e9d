/// @file
/// Angles, latitudes and longitudes as the texts surveyors read: degrees-minutes-seconds with
/// the degree sign (U+00B0), the apostrophe for minutes and the quotation mark for seconds,
/// hemisphere letters N, S, E, W, quadrant bearings, and decimal degrees.
///
/// The degrees-minutes-seconds forms split a magnitude into whole degrees and minutes (both
/// truncated) and seconds, then apply the seconds carry: seconds above 59.99999 print as 0 of
/// the next minute, so no text ever shows 60 seconds. Values are never reduced into one turn
/// (359.99999999999 prints with 360 degrees). Every function is stateless.
///
/// @ingroup angles
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup angles
/// @{

/// "%02d°%02d'%08.5f\"%c" (fiveDecimals) or "%02d°%02d'%03.1f\"%c" with the seconds cut (not
/// rounded) to tenths; N for values >= 0 (negative zero included), else S.
FIELDKIT_API CString LatitudeToDDDMMSSSString(double latitude, bool fiveDecimals);
/// As the latitude form with "%d" degrees (no padding) and E or W.
FIELDKIT_API CString LongitudeToDDDMMSSSString(double longitude, bool fiveDecimals);

/// Signed decimal text: "%02.7lf" / "%02.5lf" for a latitude, "%.8lf" / "%.6lf" for a longitude.
///@{
FIELDKIT_API CString LatitudeToDDDDString(double latitude, bool sevenDecimals);
FIELDKIT_API CString LongitudeToDDDDString(double longitude, bool eightDecimals);
///@}

/// "%3d°%02d'%6.4f\"" with every blank removed and "-" in front of a negative angle unless all
/// its parts are (nearly) zero. The flag does not change the text.
FIELDKIT_API CString AngleToDDDMMSSSString(double angle, bool flag);
/// The same with six decimals of seconds ("%3d°%02d'%6.6f\"").
FIELDKIT_API CString AngleToDDDMMSSSSSString(double angle);

/// Quadrant bearing: N or S, the angle from that line towards the chosen side as
/// AngleToDDDMMSSSString prints it, then E or W. The letters are the caller's choice and are not
/// checked against the azimuth.
FIELDKIT_API CString AngleToDDDMMSSSStringWithRoombs(double azimuth, bool north, bool east,
                                                     bool flag);

/// DoubleToString with ten decimals (tenDecimals) or five.
FIELDKIT_API CString AngleToDDDDString(double angle, bool tenDecimals);

/// "%03d°%02d'%d\"" with whole seconds; a negative angle is the text of its magnitude with a
/// leading "-".
FIELDKIT_API CString ShortAngleToString(double angle);

/// The whole-number DDDMMSS form (degrees * 10000 + minutes * 100 + seconds) as
/// "%3d°%2d'%2d\"", without carry or rounding; a negative value is the text of its magnitude
/// with a leading "-".
FIELDKIT_API CString DDDMMSS2String(double dddmmss);

/// @}
