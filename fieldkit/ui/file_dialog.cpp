#include "fieldkit/ui/file_dialog.h"

#include "fieldkit/ui/detail/ui_state.h"

namespace {

BOOL RunDialog(OPENFILENAMEW* dialog) {
    if (dialog == nullptr) return FALSE;
    const auto handler = fieldkit::detail::FileDialogHandler();
    if (!handler) return FALSE;
    try {
        return handler(*dialog) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* dialog) {
    return RunDialog(dialog);
}
BOOL GetSaveFileNameW(OPENFILENAMEW* dialog) {
    return RunDialog(dialog);
}
