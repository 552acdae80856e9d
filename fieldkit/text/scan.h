/// @file
/// scanf-style reading of numbers from text, independent of the process locale.
///
/// The conversions are those of the C standard's scanf, read in the "C" locale: white space in
/// the format matches any run of white space in the text (none included), other characters must
/// match exactly, and each numeric conversion skips leading white space and reads the longest
/// prefix that forms a number ("12abc" reads 12; "12e" reads 12 and leaves "e"). Results are
/// stored through typed pointers, and a pointer of the wrong type for its conversion (an int*
/// for "%ld", say) stops the scan there instead of writing a value of the wrong size.
///
/// Supported: \%d \%i \%u \%o \%x \%X with the length modifiers hh h l ll j z t; \%f \%e \%g \%a
/// (and their capitals) into float, with "l" into double and "L" into long double (read with a
/// double's precision); \%n; \%%; and
/// assignment suppression with "*". Text conversions (\%s \%c \%[) are not offered: they cannot be
/// bounded safely. A number too large for its target saturates at the target's range (an
/// unsigned conversion of a negative number wraps as strtoul does); a floating number beyond
/// the range of double reads as an infinity, one too small as zero.
///
/// @ingroup text
#pragma once

#include <cstddef>

#include "fieldkit/text/export.h"

namespace fieldkit {

/// @addtogroup text
/// @{

/// One target of a scanning call, as the template below hands it to the library's engine.
///
/// The template is compiled into the calling program and the engine into the library, so this
/// struct's layout and the order and values of its Kind are part of the shared library's binary
/// interface: a program built against one release passes arrays of it to the engine of another.
/// Change any of them only with a new major version.
struct ScanArg {
    /// The type that `p` points to.
    enum class Kind : unsigned char {
        SChar,      ///< signed char
        Short,      ///< short
        Int,        ///< int
        Long,       ///< long
        LongLong,   ///< long long
        UChar,      ///< unsigned char
        UShort,     ///< unsigned short
        UInt,       ///< unsigned int
        ULong,      ///< unsigned long
        ULongLong,  ///< unsigned long long
        Float,      ///< float
        Double,     ///< double
        LongDouble  ///< long double
    };
    /// The type of the target.
    Kind kind;
    /// Where the converted value is stored.
    void* p;
};

/// @}

}  // namespace fieldkit

namespace fieldkit::detail {

inline ScanArg MakeScanArg(signed char* p) {
    return {ScanArg::Kind::SChar, p};
}
inline ScanArg MakeScanArg(short* p) {
    return {ScanArg::Kind::Short, p};
}
inline ScanArg MakeScanArg(int* p) {
    return {ScanArg::Kind::Int, p};
}
inline ScanArg MakeScanArg(long* p) {
    return {ScanArg::Kind::Long, p};
}
inline ScanArg MakeScanArg(long long* p) {
    return {ScanArg::Kind::LongLong, p};
}
inline ScanArg MakeScanArg(unsigned char* p) {
    return {ScanArg::Kind::UChar, p};
}
inline ScanArg MakeScanArg(unsigned short* p) {
    return {ScanArg::Kind::UShort, p};
}
inline ScanArg MakeScanArg(unsigned int* p) {
    return {ScanArg::Kind::UInt, p};
}
inline ScanArg MakeScanArg(unsigned long* p) {
    return {ScanArg::Kind::ULong, p};
}
inline ScanArg MakeScanArg(unsigned long long* p) {
    return {ScanArg::Kind::ULongLong, p};
}
inline ScanArg MakeScanArg(float* p) {
    return {ScanArg::Kind::Float, p};
}
inline ScanArg MakeScanArg(double* p) {
    return {ScanArg::Kind::Double, p};
}
inline ScanArg MakeScanArg(long double* p) {
    return {ScanArg::Kind::LongDouble, p};
}

}  // namespace fieldkit::detail

/// The engine's entry points, called by the template below; exported, since the template is
/// compiled into the application.
namespace fieldkit {

/// @addtogroup text
/// @{

/// Returns the number of values stored, or -1 (EOF) when the text ends (or is null) before the
/// first conversion could start, as sscanf does.
///@{
FIELDKIT_API int ScanArgs(const char* text, const char* fmt, const ScanArg* args,
                          std::size_t count);
FIELDKIT_API int ScanArgs(const wchar_t* text, const wchar_t* fmt, const ScanArg* args,
                          std::size_t count);
///@}

/// @}

}  // namespace fieldkit

namespace fieldkit {

/// @addtogroup text
/// @{

/// sscanf over `text` with the C standard's scanf rules, in the "C" locale whatever the process
/// locale is: Scan(L"12.5 3", L"%lf %d", &value, &count) is 2. The targets are typed pointers,
/// checked against their conversions as the top of this file says. Returns what ScanArgs
/// returns.
template <class Ch, class... T>
int Scan(const Ch* text, const Ch* fmt, T*... out) {
    const ScanArg args[sizeof...(T) + 1] = {detail::MakeScanArg(out)..., ScanArg{}};
    return ScanArgs(text, fmt, args, sizeof...(T));
}

/// @}

}  // namespace fieldkit

namespace fieldkit::detail {

using fieldkit::Scan;
using fieldkit::ScanArgs;

}  // namespace fieldkit::detail
