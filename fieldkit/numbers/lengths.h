/// @file
/// Heights and grid coordinates as text, in decimal numbers or in feet and inches, and
/// conversions between metres, US survey feet and international feet.
///
/// Feet-and-inches text: an optional "-", whole feet and a foot mark ('), whole inches, a blank
/// and a fraction n/d, the inch part closed by an inch mark ("). Only non-zero pieces are
/// written; zero is 0'0". Examples: 5', 5'6", 5'6 1/4", 5'1/4", 6", 1/4", -5'6".
///
/// The packed feet-and-inches number ("FFFII") holds whole feet in its integer part, inches
/// (00 to 11) in its first two decimals and eighths of an inch in the third: 5 ft 6 3/8 in is
/// 5.063. All functions are stateless.
///
/// @ingroup numbers
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup numbers
/// @{

/// DoubleToString(value, decimals): "%3.*lf".
FIELDKIT_API CString HeightToDecimalString(double value, int decimals);

/// Decimal feet as feet-and-inches text, the inches rounded to the nearest 1/denominator inch.
/// A denominator of 1 rounds to whole inches; 0 or less drops the fraction. The fraction is
/// written in lowest terms (any denominator, not only powers of two).
FIELDKIT_API CString HeightToFeetAndInchesString(double feet, int denominator);

/// A plain number as it stands, or feet-and-inches text as decimal feet; 0 when there is no
/// number. Missing pieces count as 0 and a fraction over 0 counts as over 1. Blanks around the
/// marks and the slash do not matter ("5' 6 1/4 \"" reads as 5'6 1/4"), and inches typed
/// without their mark count ("5'6" is 5.5 ft; "5'" is 5 ft).
FIELDKIT_API double StringToHeight(CString text);

/// Northings and eastings are always written as decimal numbers: both are
/// HeightToDecimalString(value, decimals).
///@{
FIELDKIT_API CString NorEToDecimalString(double value, int decimals);
FIELDKIT_API CString NorEToFeetAndInchesString(double value, int decimals);
///@}
/// StringToHeight(text).
FIELDKIT_API double StringToNorE(CString text);

/// Feet to metres, unrounded.
///@{
FIELDKIT_API double USFeet2Meter(double feet);
FIELDKIT_API double IFeet2Meter(double feet);
///@}
/// Metres to feet, rounded to 0.00001 ft (halves away from zero).
///@{
FIELDKIT_API double Meter2USFeet(double metres);
FIELDKIT_API double Meter2IFeet(double metres);
///@}

/// Packed feet-and-inches value to metres (US survey foot when usFeet, else international).
FIELDKIT_API double FFFII2Meter(double packed, bool usFeet);
/// Metres to a packed feet-and-inches value, to the nearest eighth of an inch.
FIELDKIT_API double Meter2FFFII(double metres, bool usFeet);

/// @}
