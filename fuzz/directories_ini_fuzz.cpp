// Puts arbitrary bytes where directories.ini lives and works the directory layout out again
// for each input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/environment/directories.h"
#include "fuzz/fuzz_support.h"

namespace {

// The layout is worked out once per record; forgetting the record makes the next getter read
// the file again.
void Relayout() {
    fieldkit::host::ResetProcessState();
    SetAPPInfo(L"Survey", L"Survey", 1, TVersionInfo());
}

// The file ends at its first NUL byte, so no value holds one.
void CheckPath(const CString& path) {
    FUZZ_CHECK(path.GetStdString().find(L'\0') == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        fuzz::DeviceRoot::Get();
        fieldkit::host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
        return true;
    }();
    (void)ready;
    fuzz::DeviceRoot::Get().Write("\\SD Card\\directories.ini", fuzz::Bytes(data, size));

    Relayout();
    CheckPath(GetDataDir());
    CheckPath(GetCommonDir());
    CheckPath(GetRootDir());
    CheckPath(GetBackgroundDir());
    CheckPath(GetImagesDir_BtnsSmall());
    GetGeoidDir();
    GetCoordinateSystemDataBaseFileName();
    // Where the file is looked for never follows what it says.
    FUZZ_CHECK(DetectRootStorageDir() == L"\\SD Card");
    FUZZ_CHECK(GetRootStorageFileName() == L"\\SD Card\\directories.ini");
    FUZZ_CHECK(GetApplicationPath() == L"\\SD Card\\Survey\\Survey.exe");
    return 0;
}
