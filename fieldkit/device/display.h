/// @file
/// Display scaling for a screen that is not 96 dots per inch, the two handheld screen models
/// that need special treatment, and free memory.
///
/// The layouts were drawn for 96 dpi. The scale factors are the screen's LOGPIXELSX and
/// LOGPIXELSY over 96 (1.2 and 1.7 on the 800 x 480 model, whatever it reports), measured on
/// first use and kept until ResetProcessState. Until a screen has been measured (GetDC(NULL)
/// answers NULL while there is none), values pass unscaled.
///
/// @ingroup device
#pragma once

#include "fieldkit/text/export.h"
#include "fieldkit/ui/gdi.h"

/// @addtogroup device
/// @{

/// True when the screen is 800 x 480 pixels (GetSystemMetrics, asked on every call).
FIELDKIT_API bool IsHalvaneDevice();
/// True when the screen is 480 x 800 pixels.
FIELDKIT_API bool IsArcher2Device();
/// True when layouts must be scaled: a factor is not 1, or no screen could be measured yet.
/// Always false on the 800 x 480 model.
FIELDKIT_API bool IsDPIDepends();
/// The value times the larger factor, truncated toward zero (saturating at the int range).
FIELDKIT_API int GetDPIDependValue(int value);
/// The value times the horizontal factor, truncated likewise.
FIELDKIT_API int GetDPIDependValueX(int value);
/// The value times the vertical factor, truncated likewise.
FIELDKIT_API int GetDPIDependValueY(int value);
/// When IsDPIDepends and there is a screen, replaces the bitmap by a 32-bit copy stretched
/// (nearest neighbour) to GetDPIDependValueX(width) x GetDPIDependValueY(height). A bitmap
/// holding nothing, a size that scales to nothing, or any failure leaves the bitmap as it was.
FIELDKIT_API void ChangeBitmapByDPI(CBitmap& bitmap);

namespace MemoryFuncs {

/// @addtogroup device
/// @{

/// Physical memory available without swapping (the kernel's MemAvailable), in bytes.
FIELDKIT_API unsigned long GetFreeSliderMemory();
/// The smaller of the process's free address space and GetFreeSliderMemory(), in bytes.
FIELDKIT_API unsigned long GetFreeVirtMemory();

/// @}

}  // namespace MemoryFuncs

/// @}
