// fieldkit: survey and GNSS conversions on the command line (see 'fieldkit --help').
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <ios>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/platform/host.h"

namespace {

constexpr std::size_t kOutputBlock = std::size_t{64} << 10;

// Messages come from Run() already safe for a terminal (control characters and bytes that are
// not UTF-8 shown as \xHH), whatever text from the input they show.
void WriteError(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// The process's standard streams. Output is kept back until a block is full or the tool would
// wait for input, so bulk conversion writes large blocks while a program that feeds one line at
// a time gets each result at once. Input goes through std::cin's buffer, which can tell how much
// is there to read without waiting.
class ProcessStreams final : public fieldkit::tool::Streams {
  public:
    ProcessStreams() {
        std::ios::sync_with_stdio(false);          // std::cin reads the descriptor in blocks
        std::setvbuf(stdout, nullptr, _IONBF, 0);  // the blocks are made here
    }

    long Read(char* buffer, std::size_t size) override {
        std::streambuf& in = *std::cin.rdbuf();
        try {
            if (in.in_avail() <= 0) Flush();  // the read may wait
            if (in.sgetc() == std::char_traits<char>::eof()) return 0;
            // Then whatever is there without waiting.
            std::size_t got = 0;
            for (std::streamsize ready; got < size && (ready = in.in_avail()) > 0;) {
                const auto want =
                    std::min<std::streamsize>(ready, static_cast<std::streamsize>(size - got));
                got += static_cast<std::size_t>(in.sgetn(buffer + got, want));
            }
            return static_cast<long>(got);
        } catch (const std::ios_base::failure&) {
            return -1;  // the descriptor could not be read
        }
    }

    bool Write(std::string_view text) override {
        if (failed_) return false;
        kept_ += text;
        return kept_.size() < kOutputBlock || Flush();
    }

    bool Flush() override {
        if (!failed_ && !kept_.empty())
            failed_ = std::fwrite(kept_.data(), 1, kept_.size(), stdout) != kept_.size();
        kept_.clear();
        return !failed_;
    }

    void Error(std::string_view line) override {
        Flush();
        WriteError(line);
    }

    bool Failed() const { return failed_; }

  private:
    std::string kept_;
    bool failed_ = false;
};

// The library's log goes to `file`, a host path from the current folder whatever the device
// root. The log names its file by device path: it is opened while the root is "/", and stays
// open when the root is put back.
bool OpenLog(const std::string& file) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(file, ec).lexically_normal();
    // Emptied here as the log would empty it; so the log's first line shows that it opened.
    std::FILE* probe = ec ? nullptr : std::fopen(path.c_str(), "w");
    if (probe == nullptr) return false;
    std::fclose(probe);
    const std::string root = fieldkit::host::GetDeviceRoot();
    fieldkit::host::SetDeviceRoot("/");
    fieldkit::host::SetApplicationLog(true, fieldkit::host::FromHostPath(path.string()));
    InitLogging();
    fieldkit::host::SetDeviceRoot(root);
    const bool open = std::filesystem::file_size(path, ec) > 0 && !ec;
    if (!open) fieldkit::host::SetApplicationLog(false);
    return open;
}

int Main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(fieldkit::tool::DecodeArgument(argv[i]));
    // The library's application log (the angle readers trace into it) is written only when
    // asked for: a command-line tool must not leave a log file beside itself.
    fieldkit::host::SetApplicationLog(false);
    if (args.size() >= 2 && args[0] == L"--log") {
        if (!OpenLog(argv[2])) {
            WriteError("fieldkit: --log: cannot open " + fieldkit::tool::Quote(args[1]) + "\n");
            return fieldkit::tool::kExitBadInput;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    ProcessStreams io;
    const fieldkit::tool::Outcome o = fieldkit::tool::Run(args, io);
    FinishLogging();  // closes the log with "Program finished." when --log opened one
    io.Write(o.out);
    io.Flush();
    if (!o.err.empty()) io.Error(o.err);
    if (io.Failed()) {
        WriteError("fieldkit: cannot write to standard output\n");
        return fieldkit::tool::kExitCannotWrite;
    }
    return o.status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        // Byte by byte, as nothing may be allocated here: anything but printable ASCII as \xHH.
        std::fputs("fieldkit: ", stderr);
        for (const char* p = e.what(); *p != '\0'; ++p) {
            const auto b = static_cast<unsigned char>(*p);
            if (b >= 0x20 && b < 0x7F)
                std::fputc(b, stderr);
            else
                std::fprintf(stderr, "\\x%02X", static_cast<unsigned>(b));
        }
        std::fputc('\n', stderr);
    } catch (...) {
        std::fputs("fieldkit: unexpected failure\n", stderr);
    }
    return 1;
}
