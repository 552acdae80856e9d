/// @file
/// Memory figures.
///
/// @ingroup platform
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// Memory figures from the kernel: physical memory available without swapping, and the
/// process's free address space. Byte counts, not cut to 32 bits.
struct MEMORYSTATUS {
    /// The Win32 fields: dwLength is the structure's size, dwMemoryLoad the percentage of
    /// physical memory in use.
    ///@{
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
    ///@}
};
/// Fills in the figures as they are now.
FIELDKIT_API void GlobalMemoryStatus(MEMORYSTATUS* status);

/// @}
