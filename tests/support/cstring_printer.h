// Lets GoogleTest print CString values as text instead of pointers.
#pragma once

#include <ostream>

#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/cstring.h"

inline void PrintTo(const CString& s, std::ostream* os) {
    *os << '"' << fieldkit::WideToUtf8(s.GetStdString()) << '"';
}
