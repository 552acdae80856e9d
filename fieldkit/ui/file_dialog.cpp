#include "fieldkit/ui/file_dialog.h"

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/ui/detail/ui_state.h"

namespace {

BOOL RunDialog(OPENFILENAMEW* dialog) {
    if (dialog == nullptr) return FALSE;
    // A handler that throws cancels the dialog.
    return fieldkit::detail::NoThrow(FALSE, [&] {
        const auto handler = fieldkit::detail::FileDialogHandler();
        return handler && handler(*dialog) ? TRUE : FALSE;
    });
}

}  // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* dialog) {
    return RunDialog(dialog);
}
BOOL GetSaveFileNameW(OPENFILENAMEW* dialog) {
    return RunDialog(dialog);
}
