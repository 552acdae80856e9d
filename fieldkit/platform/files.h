/// @file
/// The former name of fieldkit/platform/file_system.h, kept for one release so that programs
/// that include it still build; it will go then: include fieldkit/platform/file_system.h.
///
/// @ingroup platform
// fieldkit: forwarding header
#pragma once

#include "fieldkit/platform/file_system.h"
