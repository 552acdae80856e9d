// The demo's walk through a field application's start-up: identity, directory layout, the
// application log, a latitude typed and shown back, and shut-down, all in a temporary device
// root that is removed afterwards.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli.h"
#include "fieldkit/fieldkit.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/format.h"

namespace fieldkit::tool {

using fieldkit::FormatA;

namespace {

std::string Text(const CString& s) {
    return WideToUtf8(s.GetStdString());
}

// Restores the process-wide device state when the walk ends, however it ends.
class TemporaryDevice {
  public:
    TemporaryDevice() : previousRoot_(host::GetDeviceRoot()) {
        std::error_code ec;
        std::string pattern =
            (std::filesystem::temp_directory_path(ec) / "fieldkit-demo-XXXXXX").string();
        if (!ec && mkdtemp(pattern.data()) != nullptr) root_ = pattern;
        if (root_.empty()) return;
        host::SetDeviceRoot(root_);
        host::ResetProcessState();
        host::SetApplicationLog(true);  // beside the program, as a field application has it
    }
    ~TemporaryDevice() {
        host::ResetProcessState();
        host::SetApplicationLog(false);
        host::SetModuleFileName(L"");
        host::SetDeviceRoot(previousRoot_);
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }
    TemporaryDevice(const TemporaryDevice&) = delete;
    TemporaryDevice& operator=(const TemporaryDevice&) = delete;

    bool Ready() const { return !root_.empty(); }
    const std::string& Root() const { return root_; }

    // Every file under the root, as device paths with their sizes.
    std::string Files() const {
        std::string list;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_regular_file(ec)) continue;
            list += FormatA("     %s (%ju bytes)\n", host::FromHostPath(it->path().string()),
                            static_cast<std::uintmax_t>(it->file_size(ec)));
        }
        return list;
    }

  private:
    std::string previousRoot_;
    std::string root_;
};

}  // namespace

bool ApplicationRoad(std::string& out) {
    TemporaryDevice device;
    if (!device.Ready()) {
        out += "  (no temporary folder could be made)\n";
        return false;
    }
    out += "  device root: " + device.Root() + "\n";
    host::SetModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    FileFuncs::CreateDir(L"\\SD Card\\Survey");

    SetAPPInfo(L"Survey", L"Survey field software", 1, TVersionInfo());
    out += FormatA("  1. SetAPPInfo(\"Survey\"): program folder %s, data folder %s\n", GetExeDir(),
                   GetDataDir());

    InitLogging();
    out += FormatA("  2. InitLogging: the log is %s.log\n",
                   FileFuncs::CutExtFromFileName(GetApplicationPath()));

    const CString typed = L"45\u00B030'15.5\" S";
    const double latitude = StringToLatitude(typed);
    const CString shown = LatitudeToDDDMMSSSString(latitude, true);
    out += FormatA("  3. the user types %s: StringToLatitude gives %.9f, shown back as %s\n", typed,
                   latitude, shown);

    LOGMESSAGE(1, "Latitude entered: %S", shown);
    FinishLogging();
    out += "  4. FinishLogging. Files on the device:\n" + device.Files();

    std::ifstream in(host::ToHostPath(L"\\SD Card\\Survey\\Survey.log"));
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    out += "  5. the log (number, seconds since start, level, text):\n";
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t end = log.find('\n', start);
        out += "     " + log.substr(start, end - start) + "\n";
        start = end == std::string::npos ? log.size() : end + 1;
    }
    return Text(shown) ==
               "45\xC2\xB0"
               "30'15.50000\"S" &&
           log.find("Program finished.") != std::string::npos;
}

}  // namespace fieldkit::tool
