// Lets GoogleTest print CString values as text instead of pointers.
#pragma once

#include <ostream>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/cstring.h"

inline void PrintTo(const CString& s, std::ostream* os) {
    *os << '"' << fieldkit::WideToUtf8(s.GetStdString()) << '"';
}
