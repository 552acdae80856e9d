/// @file
/// The knobs of the emulated window system, for tests and embedding applications. Nothing in
/// the library itself calls these.
///
/// @ingroup ui
#pragma once

#include <functional>

#include "fieldkit/text/export.h"
#include "fieldkit/ui/file_dialog.h"

/// @addtogroup ui
/// @{

namespace fieldkit::host {

/// @addtogroup ui
/// @{

/// The emulated screen: pixels and dots per inch (default 480 x 640 at 96 dpi); without it
/// (available false) GetDC(NULL) answers NULL. Every character of the emulated font is
/// `pixels` wide (default 8).
///@{
FIELDKIT_API void SetScreen(int width, int height, int dpiX, int dpiY);
FIELDKIT_API void SetScreenAvailable(bool available);
FIELDKIT_API void SetCharWidth(int pixels);
///@}

/// Answers GetOpenFileNameW and GetSaveFileNameW; without a handler the dialogs are cancelled.
FIELDKIT_API void SetFileDialogHandler(std::function<bool(OPENFILENAMEW&)> handler);

/// @}

}  // namespace fieldkit::host

/// @}
