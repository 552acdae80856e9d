// Lets GoogleTest print CString values as text instead of pointers, in its own value output
// and in failure messages streamed with <<.
#pragma once

#include <ostream>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/cstring.h"

inline void PrintTo(const CString& s, std::ostream* os) {
    *os << '"' << fieldkit::WideToUtf8(s.GetStdString()) << '"';
}

inline std::ostream& operator<<(std::ostream& os, const CString& s) {
    return os << fieldkit::WideToUtf8(s.GetStdString());
}
