/// @file
/// Translation catalogs in the gettext .po format: a default catalog for the application's
/// texts and named catalogs, one per domain (the library's own texts use "utils_base").
/// ugettext answers the translation, or the text itself when there is none, so an application
/// without catalogs shows its texts as written.
///
/// Catalog files are UTF-8 (a leading byte-order mark is skipped; CR LF or LF line ends), read
/// as gettext writes them: an entry is a line beginning with msgid "..." and one beginning with
/// msgstr "...", each followed by any number of "..." continuation lines, with or without blank
/// lines between entries. Only \\r, \\n, \\t and \" are unescaped. Plural entries are dropped,
/// contexts, comments and obsolete (#~) entries ignored. The header entry (empty msgid) is kept
/// under "~". Keys match exactly; an empty msgstr counts as untranslated.
///
/// Attaching and freeing belong to start-up and shut-down. Look-ups only read and may run on
/// any thread; one that meets an attach or free waits for it rather than seeing it half done.
///
/// @ingroup i18n
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup i18n
/// @{

/// Loads a .po file into the default catalog, adding to what is there (a later file wins on
/// equal texts). False when the file cannot be opened or read (a folder, say); the store is set
/// up all the same and keeps what was read before an error, so look-ups behave as if the file
/// were empty or ended there. A file larger than 64 MiB is no catalog: nothing of it is kept.
FIELDKIT_API bool AttachTranslationFile(const wchar_t* fileName);
/// Gives the domain a new catalog holding this file (dropping its earlier one and moving the
/// domain to the end of the list). False when the file cannot be opened or read; the domain
/// still gets its new catalog, empty or holding what was read before an error.
FIELDKIT_API bool AttachTranslationFile(const CString& domain, const CString& fileName);
/// Drops every catalog. True.
FIELDKIT_API bool FreeTranslations();

/// The translation in the default catalog, or the text itself.
FIELDKIT_API CString ugettext(const wchar_t* text);
/// The translation in the domain's catalog, or the text itself (no fall-back to the default).
FIELDKIT_API CString ugettext(const CString& domain, const wchar_t* text);
/// String resource `id` of `module`, translated through the default catalog.
FIELDKIT_API CString GetTranslatedString(UINT id, HINSTANCE module);
/// "<none>" in the domain "utils_base".
FIELDKIT_API CString TAG_NONE();

namespace fieldkit::detail {
// Whether a store exists (a file was attached since start or the last FreeTranslations), for
// callers that skip their work entirely without catalogs.
bool HasTranslations();
}  // namespace fieldkit::detail

/// @}
