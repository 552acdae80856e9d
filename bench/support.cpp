#include "bench/support.h"

#include "fieldkit/settings/ini_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

#include "fieldkit/text/format.h"

namespace fieldkit::bench {

bool Smoke() {
    static const bool smoke = [] {
        const char* v = std::getenv("FIELDKIT_BENCH_SMOKE");
        return v != nullptr && *v != '\0' && std::string(v) != "0";
    }();
    return smoke;
}

std::size_t Size(std::size_t full, std::size_t smoke) {
    return Smoke() ? smoke : full;
}

namespace {

std::string MakeWorkDir() {
    namespace fs = std::filesystem;
    // No seeded generator here: two programs run side by side must not pick the same folder.
    std::random_device entropy;
    std::mt19937_64 rng(
        (static_cast<std::uint64_t>(entropy()) << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path dir =
            fs::temp_directory_path() / detail::FormatA("fieldkit-bench-%016llx", rng());
        std::error_code ec;
        if (fs::create_directory(dir, ec)) return dir.string();
    }
    throw std::runtime_error("cannot create a scratch folder under the temp directory");
}

}  // namespace

const std::string& WorkDir() {
    static const std::string dir = MakeWorkDir();
    return dir;
}

std::string WorkPath(const std::string& name) {
    return (std::filesystem::path(WorkDir()) / name).string();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

std::size_t CountKeys(CINIFile& ini) {
    std::size_t total = 0;
    POSITION pos = nullptr;
    ini.SetFilePosOnStart(pos);
    CString section;
    while (pos != nullptr && ini.LookThroughFile(section, pos)) {
        int size = 0;
        ini.GetSectionSize(section, size);
        total += static_cast<std::size_t>(size);
    }
    return total;
}

}  // namespace fieldkit::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("fieldkit_workloads", fieldkit::bench::Smoke() ? "smoke" : "full");
    int status = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark stopped: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(fieldkit::bench::WorkDir(), ignored);
    return status;
}
