// The parent's own library, whose interface uses fieldkit's types.
#pragma once

#include "fieldkit/text/cstring.h"

CString ParentLatitude(double degrees);
