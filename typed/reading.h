// Typed texts (angles, latitudes, longitudes, heights, stations) read in one of three modes,
// each answering a finite value or the reason there is none. The tool's commands and the
// Python module read through these, so both give the same values and the same reasons. Every
// reader is thread-safe and touches no process state.
//
// The library's own readers make a number of any text: "N/A" is 0, the "s" of "15.5s" is
// south. That is right for a field application, whose user sees the value at once; it is wrong
// for a file of a million lines, where a value that reads as something else corrupts the file
// silently. So the default here refuses whatever could be read as another number than the text
// means, and the library's reading is one mode among three.
#pragma once

#include <string>

namespace fieldkit::typed {

enum class Mode {
    // The default: what people type and export is read (degree, minute and second marks in
    // every common spelling, d/m/s letters, colons, a plain number with an exponent), and a
    // text is refused, with its reason, whenever its number could differ from what it means
    // to a surveyor: no digit, a value out of range, a letter that does not fit or could be
    // either a unit or a hemisphere, a decimal comma.
    kChecked,
    // Exactly the library's reading: every text gives a number, but for one too large for a
    // double, which the library reads as an infinity and which is refused.
    kLenient,
    // Only a text written the usual way: up to three numbers with their marks (in any common
    // spelling) or blanks or colons between them, a decimal fraction only on the last, minutes
    // and seconds below 60, the axis's letters where they belong. Every text it accepts reads
    // the same in checked mode.
    kStrict,
};

// The mode a name gives ("checked", "lenient", "strict"); false for any other name.
bool ModeNamed(const std::string& name, Mode& mode);

// A text read: its value, or why it has none (the value is then 0).
struct Reading {
    bool ok = false;
    double value = 0;
    std::string why;
};

// The message for a text a reading refused: its reason and the text, "<why>: '<text>'", as the
// tool and the Python module both give it.
std::string Refusal(const Reading& reading, const std::wstring& text);

enum class Axis { kAngle, kNorthSouth, kEastWest };

// An angle (or a quadrant bearing such as N30°E, as an azimuth), a latitude (south negative) or
// a longitude (west negative), in decimal degrees. Refusals name the offending character and
// its position in the text, counted from 1.
Reading ReadAngle(const std::wstring& text, Axis axis, Mode mode);

// Feet and inches (5'6 1/4") as decimal feet, or a plain number. Checked and strict read alike
// here: the form is fixed ([-] [F'] [I | I.I | I N/D | N/D] ["]), and a zero denominator,
// inches of 12 or more after feet and a fraction of a whole inch or more are refused.
Reading ReadHeight(const std::wstring& text, Mode mode);

// A station N+R (count of intervals, '+', remainder) or a plain chainage, as the chainage.
// Checked and strict read alike: a negative count with an unsigned remainder ("-12+34.50",
// which the library reads as -1165.5 where a surveyor means -1234.5) and a remainder of the
// interval or more are refused; the library's own form of a negative station, "-12+-34.50",
// is read.
Reading ReadStation(const std::wstring& text, double interval, Mode mode);

// Why a packed D.MMSS text fails the library's check CheckValidDMSVal with this maximum, or
// empty when it passes; the rules are the library's, one reason for each.
std::string DmsCheckProblem(const std::wstring& value, const std::wstring& maximum,
                            bool allowMaximum);

}  // namespace fieldkit::typed
