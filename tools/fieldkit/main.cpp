// fieldkit: survey and GNSS conversions on the command line (see 'fieldkit --help').
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "cli.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/codepage.h"

namespace {

// Far more than any coordinate file; stops a stray device from filling memory.
constexpr std::size_t kMaxInput = std::size_t{256} << 20;

bool ReadStandardInput(std::string& all, std::string& error) {
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        all.append(buffer, got);
        if (all.size() > kMaxInput) {
            error = "standard input is larger than 256 MiB";
            return false;
        }
        if (got < sizeof buffer) break;
    }
    if (std::ferror(stdin)) {
        error = "cannot read standard input";
        return false;
    }
    return true;
}

int Main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(fieldkit::Utf8ToWide(argv[i]));
    // The library's application log (the angle readers trace into it) is written only when
    // asked for: a command-line tool must not leave a log file beside itself.
    fieldkit::host::SetApplicationLog(false);
    if (args.size() >= 2 && args[0] == L"--log") {
        std::error_code ec;
        const std::string file = std::filesystem::absolute(argv[2], ec).string();
        fieldkit::host::SetApplicationLog(true, fieldkit::host::FromHostPath(file));
        args.erase(args.begin(), args.begin() + 2);
    }
    const fieldkit::tool::Outcome o = fieldkit::tool::Run(args, ReadStandardInput);
    FinishLogging();  // closes the log with "Program finished." when --log opened one
    std::fwrite(o.out.data(), 1, o.out.size(), stdout);
    std::fwrite(o.err.data(), 1, o.err.size(), stderr);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("fieldkit: cannot write to standard output\n", stderr);
        return 1;
    }
    return o.status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fieldkit: %s\n", e.what());
    } catch (...) {
        std::fputs("fieldkit: unexpected failure\n", stderr);
    }
    return 1;
}
