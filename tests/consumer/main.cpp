// Prints one latitude through the installed library; the install check compares the text.
#include <cstdio>

#include "fieldkit/fieldkit.h"
// The old name of fieldkit/platform/file_system.h, which programs may include for one release.
#include "fieldkit/platform/files.h"

int main() {
    const CString text = LatitudeToDDDMMSSSString(45.5, true);
    std::fputs(fieldkit::WideToUtf8(text.GetStdString()).c_str(), stdout);
    std::fputs("\n", stdout);
    return 0;
}
