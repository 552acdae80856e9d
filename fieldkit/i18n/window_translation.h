/// @file
/// Whole menus, windows and command bars translated in place through the catalogs.
///
/// @ingroup i18n
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/ui/commandbar.h"
#include "fieldkit/ui/menu.h"
#include "fieldkit/ui/window.h"

/// @addtogroup i18n
/// @{

// None of these change anything while no catalog is attached. Translated menu items and
// captions are ordinary text afterwards; a second call looks them up again.

/// Replaces the text of each command item of the menu and its submenus by its translation in
/// the default catalog. A replaced item keeps its position, identifier and state (greyed,
/// disabled, checked); separators and the captions of items that open submenus stay as they are.
FIELDKIT_API void TranslateMenu(CMenu& menu);
/// Translates the caption of the window and the texts of its direct children through the
/// default catalog. Edit fields, list and combo boxes and icon or bitmap statics keep their text.
FIELDKIT_API void TranslateWnd(CWnd& wnd);
/// The same through the catalog of the domain only.
FIELDKIT_API void TranslateWnd(const CString& domain, CWnd& wnd);
/// Captions each button of the bar with the translation of the text of the menu item at the
/// same position, without "&" marks. False without catalogs, for a menu without a valid handle,
/// or when an item had no text or its button could not be captioned (the others still are).
FIELDKIT_API bool TranslateMenuBar(CCommandBar& bar, CMenu& menu);

/// @}
