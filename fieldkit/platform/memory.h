/// @file
/// Memory figures.
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// Memory figures from the kernel: physical memory available without swapping, and the
/// process's free address space. Byte counts, not cut to 32 bits.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};
FIELDKIT_API void GlobalMemoryStatus(MEMORYSTATUS* status);
