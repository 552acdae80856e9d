/// @file
/// FIELDKIT_API: marks what the library exports.
///
/// @ingroup text

/// @def FIELDKIT_API
/// Marks a function or class as part of the library's interface.
///
/// The shared library is built with hidden visibility, so only the functions and classes marked
/// here are part of its interface; internal helpers stay private to it and cannot clash with an
/// application's own symbols. A static library ignores the mark on Linux. On Windows a DLL build
/// defines FIELDKIT_BUILDING_DLL and its users FIELDKIT_DLL (the CMake package and pkg-config
/// file do that); a static build defines neither.
#pragma once

/// @addtogroup text
/// @{

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(FIELDKIT_BUILDING_DLL)
#define FIELDKIT_API __declspec(dllexport)
#elif defined(FIELDKIT_DLL)
#define FIELDKIT_API __declspec(dllimport)
#else
#define FIELDKIT_API
#endif
#elif defined(__GNUC__)
#define FIELDKIT_API __attribute__((visibility("default")))
#else
#define FIELDKIT_API
#endif

/// @}
