// Display scaling for a screen that is not 96 dots per inch, the two handheld screen models
// that need special treatment, and free memory.
#pragma once

#include "fieldkit/ui/gdi.h"

bool IsHalvaneDevice();
bool IsArcher2Device();
bool IsDPIDepends();
int GetDPIDependValue(int value);
int GetDPIDependValueX(int value);
int GetDPIDependValueY(int value);
void ChangeBitmapByDPI(CBitmap& bitmap);

namespace MemoryFuncs {
unsigned long GetFreeSliderMemory();
unsigned long GetFreeVirtMemory();
}  // namespace MemoryFuncs
