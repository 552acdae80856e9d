/// @file
/// printf-style formatting that never depends on the process locale and never reads an argument
/// that was not passed.
///
/// The format strings are those of the C standard's printf, read in the "C" locale: a program
/// that calls setlocale(LC_ALL, "de_DE.UTF-8") still gets "1.500000" for "%f". Arguments are
/// passed as typed C++ values, not through C varargs, so the engine knows what it was given:
///
/// - The string conversions ("%s", "%S", "%ls", "%hs") accept narrow text (const char*,
///   std::string) and wide text (const wchar_t*, std::wstring, CString) alike and convert as
///   needed: narrow text is UTF-8, wide text put into narrow output is written as UTF-8. This
///   keeps the handheld's meaning of "%s"/"%S" (the string of the output's own width and of the
///   other width) working whichever width the caller passes. A null pointer prints "(null)".
/// - "%c" and "%C" print a character code; a char in wide output is read as Windows-1252, a
///   wchar_t in narrow output is written as UTF-8.
/// - An argument of the wrong kind for its conversion (text for "%d", a number for "%s"), or a
///   missing argument, makes the engine copy that conversion's text unchanged into the output,
///   so the mistake shows instead of turning into undefined behaviour.
/// - "%n" consumes its argument and writes nothing.
/// - Widths and precisions above kMaxFormatWidth are treated as kMaxFormatWidth.
/// - The Microsoft length prefixes "I", "I32" and "I64" are accepted as well as the C ones.
///
/// @ingroup text
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

#include "fieldkit/text/export.h"

namespace fieldkit {

/// @addtogroup text
/// @{

/// One argument of a formatting call, as the templates below hand it to the library's engine.
///
/// The templates are compiled into the calling program and the engine into the library, so this
/// struct's layout, the order and values of its Kind and the meaning of its members are part of
/// the shared library's binary interface: a program built against one release passes arrays of
/// it to the engine of another. Change any of them only with a new major version.
struct FormatArg {
    /// Which member of the union holds the value.
    enum class Kind : unsigned char {
        None,    ///< No value (the array's terminator; a conversion given it copies its text).
        Int,     ///< A signed integer, a bool, a char or a wchar_t, in `i`.
        Uint,    ///< An unsigned integer, in `u`.
        Double,  ///< A floating-point number, in `d`.
        Str,     ///< Narrow (UTF-8) text, in `s`; may be null.
        WStr,    ///< Wide text, in `ws`; may be null.
        Ptr      ///< A pointer printed by "%p", in `p`.
    };
    /// The kind of value held.
    Kind kind = Kind::None;
    /// For Int and Uint: 1 when the value came from a char, 4 from a wchar_t, else 0.
    unsigned char charWidth = 0;
    union {
        long long i;           ///< The value of an Int.
        unsigned long long u;  ///< The value of a Uint.
        double d;              ///< The value of a Double.
        const char* s;         ///< The text of a Str.
        const wchar_t* ws;     ///< The text of a WStr.
        const void* p;         ///< The pointer of a Ptr.
    };
    /// An argument of kind None.
    FormatArg() : i(0) {}
};

/// @}

}  // namespace fieldkit

namespace fieldkit::detail {

constexpr int kMaxFormatWidth = 65536;

template <class T, class = void>
struct HasGetString : std::false_type {};
template <class T>
struct HasGetString<T, std::void_t<decltype(std::declval<const T&>().GetString())>>
    : std::true_type {};

template <class T>
FormatArg MakeFormatArg(const T& v) {
    using D = std::decay_t<T>;
    FormatArg a;
    if constexpr (std::is_same_v<D, bool>) {
        a.kind = FormatArg::Kind::Int;
        a.i = v ? 1 : 0;
    } else if constexpr (std::is_same_v<D, char>) {
        a.kind = FormatArg::Kind::Int;
        a.charWidth = 1;
        a.i = v;  // promoted as C varargs would; "%c" takes the low byte
    } else if constexpr (std::is_same_v<D, wchar_t>) {
        a.kind = FormatArg::Kind::Int;
        a.charWidth = 4;
        a.i = static_cast<long long>(v);
    } else if constexpr (std::is_enum_v<D>) {
        return MakeFormatArg(static_cast<std::underlying_type_t<D>>(v));
    } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
        a.kind = FormatArg::Kind::Int;
        a.i = static_cast<long long>(v);
    } else if constexpr (std::is_integral_v<D>) {
        a.kind = FormatArg::Kind::Uint;
        a.u = static_cast<unsigned long long>(v);
    } else if constexpr (std::is_floating_point_v<D>) {
        a.kind = FormatArg::Kind::Double;
        a.d = static_cast<double>(v);
    } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
        a.kind = FormatArg::Kind::Str;
        a.s = v;
    } else if constexpr (std::is_same_v<D, const wchar_t*> || std::is_same_v<D, wchar_t*>) {
        a.kind = FormatArg::Kind::WStr;
        a.ws = v;
    } else if constexpr (std::is_same_v<D, std::string>) {
        a.kind = FormatArg::Kind::Str;
        a.s = v.c_str();
    } else if constexpr (std::is_same_v<D, std::wstring>) {
        a.kind = FormatArg::Kind::WStr;
        a.ws = v.c_str();
    } else if constexpr (HasGetString<D>::value) {
        a.kind = FormatArg::Kind::WStr;
        a.ws = v.GetString();
    } else if constexpr (std::is_null_pointer_v<D>) {
        a.kind = FormatArg::Kind::Ptr;
        a.p = nullptr;
    } else if constexpr (std::is_pointer_v<D>) {
        a.kind = FormatArg::Kind::Ptr;
        a.p = static_cast<const void*>(v);
    } else {
        static_assert(std::is_pointer_v<D>, "this type cannot be formatted");
    }
    return a;
}

}  // namespace fieldkit::detail

/// The engine's entry points, called by the templates below; exported, since those templates
/// are compiled into the application.
namespace fieldkit {

/// @addtogroup text
/// @{

/// Appends the formatted text to `out`. A null format appends nothing.
///@{
FIELDKIT_API void AppendFormatArgs(std::string& out, const char* fmt, const FormatArg* args,
                                   std::size_t count);
FIELDKIT_API void AppendFormatArgs(std::wstring& out, const wchar_t* fmt, const FormatArg* args,
                                   std::size_t count);
///@}

/// The same contract as CopyToBuffer, formatting straight into `buffer` (no intermediate text).
///@{
FIELDKIT_API std::size_t FormatArgsToBuffer(char* buffer, std::size_t size, const char* fmt,
                                            const FormatArg* args, std::size_t count);
FIELDKIT_API std::size_t FormatArgsToBuffer(wchar_t* buffer, std::size_t size, const wchar_t* fmt,
                                            const FormatArg* args, std::size_t count);
///@}

/// @}

}  // namespace fieldkit

namespace fieldkit::detail {

using fieldkit::AppendFormatArgs;
using fieldkit::FormatArgsToBuffer;

template <class Str, class Ch, class... A>
void AppendFormat(Str& out, const Ch* fmt, const A&... a) {
    const FormatArg args[sizeof...(A) + 1] = {MakeFormatArg(a)..., FormatArg()};
    AppendFormatArgs(out, fmt, args, sizeof...(A));
}

// snprintf-style: writes at most size - 1 units and a terminating NUL into `buffer` (nothing
// when size is 0) and returns the length of the whole formatted text, so a result >= size
// means the text was cut. A cut never splits a UTF-8 sequence in narrow output.
std::size_t CopyToBuffer(const std::string& text, char* buffer, std::size_t size);
std::size_t CopyToBuffer(const std::wstring& text, wchar_t* buffer, std::size_t size);

template <class Ch, class... A>
std::size_t FormatToBuffer(Ch* buffer, std::size_t size, const Ch* fmt, const A&... a) {
    const FormatArg args[sizeof...(A) + 1] = {MakeFormatArg(a)..., FormatArg()};
    return FormatArgsToBuffer(buffer, size, fmt, args, sizeof...(A));
}

}  // namespace fieldkit::detail

namespace fieldkit {

/// @addtogroup text
/// @{

/// The formatted text as a new narrow (UTF-8) string: FormatA("%.3f", 2.5) is "2.500" whatever
/// the process locale. The rules are those at the top of this file.
template <class... A>
std::string FormatA(const char* fmt, const A&... a) {
    std::string out;
    detail::AppendFormat(out, fmt, a...);
    return out;
}

/// The formatted text as a new wide string, by the same rules as FormatA.
template <class... A>
std::wstring FormatW(const wchar_t* fmt, const A&... a) {
    std::wstring out;
    detail::AppendFormat(out, fmt, a...);
    return out;
}

/// @}

}  // namespace fieldkit

namespace fieldkit::detail {

using fieldkit::FormatA;
using fieldkit::FormatW;

}  // namespace fieldkit::detail
