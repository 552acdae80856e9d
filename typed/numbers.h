// The range limits of the values the tool and the Python module take, each written once, and
// the readers of numbers typed as text: the whole text one plain decimal within a range, or
// the reason it is not. A typed double is checked against the same limits, so a value given
// as text to the tool and as a number to the module is refused alike.
//
// Every function here is thread-safe, touches no process state and allocates only for the
// text it answers (a reason, a quoted text, a formatted number).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fieldkit::typed {

struct Range {
    double lo;
    double hi;
};

constexpr Range kLatitude = {-90, 90};
// East longitudes are often counted 0 to 360.
constexpr Range kLongitude = {-360, 360};
// Large enough for any survey value, small enough that the library's 32-bit degree and
// station counts cannot saturate.
constexpr Range kAnyValue = {-1e9, 1e9};
// An azimuth or a turn, either way.
constexpr Range kTurn = {-360, 360};
constexpr Range kEllipsoidHeight = {-100000, 100000};
// GPS seconds up to some 31,000 years after 1980.
constexpr Range kGpsSeconds = {-1e12, 1e12};
constexpr Range kStationInterval = {0.001, 1e6};
// Digits after the decimal point of a printed number.
constexpr Range kDecimals = {0, 15};
// Feet and inches to the nearest 1/N inch; 0 drops the fraction.
constexpr Range kFeetInchDenominator = {0, 65536};
// The decimals of the seconds a packed D.MMSS number keeps: from whole seconds (4) to the
// last digit a double still carries at 360 degrees (15).
constexpr Range kDmsPrecision = {4, 15};
// The handheld counts stations and date minutes in 32-bit signed integers.
constexpr double kMax32 = 2147483647.0;

// The blanks of the "C" locale, spelled out so that nothing here depends on the locale.
bool IsBlank(wchar_t c);
std::wstring Trim(const std::wstring& text);
// True when nothing but blanks follows position `from`.
bool OnlyBlanksFrom(std::wstring_view text, std::size_t from);

// The text in quotes for a message, its first `limit` characters and "..." when there are more,
// with control characters shown as \xHH.
std::string Quote(std::wstring_view text, std::size_t limit = 60);
// UTF-8 text with the control characters (the line feed too unless `lines`) and the bytes
// outside valid UTF-8 as \xHH (a C1 control by its code point).
std::string Printable(std::string_view text, bool lines);

// "%.*f" without a minus sign on a value that prints as zero.
std::string Fixed(double value, int decimals);

// The number of a text that is one plain decimal (blanks, an optional sign, digits with an
// optional '.' fraction and exponent, blanks: no hexadecimal, infinity or NaN), read in one
// pass; false when the text is not one. The value is the library's scanner's reading of the
// same text, to the last bit.
bool ReadPlainDecimal(std::wstring_view text, double& value);

// Such a number within the range; else false, and `why` is "not a number: '<text>'" or
// "out of range (<lo> to <hi>): '<text>'".
bool ReadNumber(const std::wstring& text, Range range, double& value, std::string& why);
// The same for a whole number (digits only); `why` is "not a whole number: '<text>'" or the
// range as whole numbers.
bool ReadWhole(const std::wstring& text, Range range, long long& value, std::string& why);

// Why a typed value cannot be taken, or empty when it can: "not a number" for NaN and the
// infinities, "out of range (<lo> to <hi>)" beyond the range (the same words ReadNumber uses,
// without the text).
std::string ValueProblem(double value, Range range);
// The same for a whole number, the range written as whole numbers (ReadWhole's words).
std::string WholeProblem(long long value, Range range);

}  // namespace fieldkit::typed
