// The device file system under settings-heavy work: loading and saving a settings file,
// copying a 1,000-file job folder (into a fresh folder and onto an earlier copy), and opening
// a log for one line. Everything happens in a scratch device root made for the run, through
// device paths with blanks and several levels, as a field application uses them. The figures
// are meant for comparing two revisions of the library with bench/compare rather than for a
// peer: every path resolution, open, create and replace of the library is in the timing.
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#include "bench/support.h"
#include "fieldkit/files/directory_tree.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/settings/ini_file.h"

namespace {

using fieldkit::bench::CountKeys;

namespace fs = std::filesystem;

// Device paths. CopyDirectory creates its target folder but not the folders above it, so the
// two backup folders are made with the workspace.
const wchar_t* const kSettings = L"\\Survey Data\\Settings\\Survey.ini";
const wchar_t* const kJob = L"\\Survey Data\\Jobs\\Bridge North";
const wchar_t* const kFreshCopy = L"\\Backup\\Fresh\\Bridge North";
const wchar_t* const kReplacedCopy = L"\\Backup\\Replaced\\Bridge North";
const char* const kLog = "\\Survey Data\\Logs\\Survey.log";

// The job folder: counts per subfolder, full and under the smoke switch; 1,000 files in all.
struct JobPart {
    const char* folder;  // relative to the job, "" for the job itself
    const char* stem;
    const char* extension;
    std::size_t files, smokeFiles;
};
const JobPart kJobParts[] = {
    {"", "note", "txt", 40, 2},
    {"Raw", "obs", "raw", 320, 6},
    {"Points", "pt", "csv", 320, 6},
    {"Reports", "report", "txt", 200, 4},
    {"Reports/Archive", "report", "txt", 120, 2},
};

const char* const kSectionNames[] = {
    "General", "Units",   "Instrument", "Prism",  "Station",     "Stakeout", "Export",
    "Import",  "Display", "Codes",      "GNSS",   "Radio",       "Ntrip",    "Geoid",
    "Level",   "Road",    "Tolerances", "Backup", "Coordinates", "Sounds"};
const char* const kKeyNames[] = {"Height", "Offset",  "Enabled", "Count", "Name",
                                 "Path",   "Timeout", "Scale",   "Mode",  "Code"};
const char* const kWords[] = {"tree", "fence", "corner", "manhole", "kerb",  "wall",
                              "pole", "gate",  "ditch",  "bridge",  "north", "checked"};

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer)
        throw std::runtime_error("generated line too long");
    return std::string(buffer, static_cast<std::size_t>(n));
}

// A settings file of the kinds of values an application stores: reals as SetRealValue writes
// them, integers, flags, names and device paths.
std::string GenerateSettings(std::size_t sections, std::size_t keys) {
    std::mt19937_64 rng(fieldkit::bench::kSeed);
    std::uniform_real_distribution<double> real(-500.0, 5000.0);
    std::uniform_int_distribution<int> number(0, 9999), word(0, 11);
    const std::size_t names = sizeof kSectionNames / sizeof kSectionNames[0];
    const std::size_t kinds = sizeof kKeyNames / sizeof kKeyNames[0];
    std::string out;
    for (std::size_t s = 0; s < sections; ++s) {
        out += "[" + std::string(kSectionNames[s % names]);
        if (s >= names) out += std::to_string(s / names + 1);
        out += "]\n";
        for (std::size_t k = 0; k < keys; ++k) {
            const std::size_t kind = k % kinds;
            out += Printf("%s%02u=", kKeyNames[kind], static_cast<unsigned>(k));
            switch (kind) {
                case 0:
                case 1:
                case 7:
                    out += Printf("%.12f", real(rng));
                    break;
                case 2:
                    out += number(rng) % 2 != 0 ? "1" : "0";
                    break;
                case 4:
                case 9:
                    out += Printf("%s %s", kWords[word(rng)], kWords[word(rng)]);
                    break;
                case 5:
                    out += Printf("\\SD Card\\Survey Data\\Jobs\\Job%04d.job", number(rng));
                    break;
                default:
                    out += std::to_string(number(rng));
                    break;
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

// Text of point records, cut to `bytes`.
std::string GenerateJobFile(std::mt19937_64& rng, std::size_t bytes) {
    std::uniform_real_distribution<double> coordinate(0.0, 100000.0);
    std::uniform_int_distribution<int> point(1, 99999), word(0, 11);
    std::string out;
    while (out.size() < bytes)
        out += Printf("P%05d,%.3f,%.3f,%.3f,%s\n", point(rng), coordinate(rng), coordinate(rng),
                      coordinate(rng) * 0.01, kWords[word(rng)]);
    out.resize(bytes);
    return out;
}

// The device root of this run, with the folders the copies and the log go into. Each part of
// the workload below is made on first use, so that a run of a single benchmark (bench/compare
// runs them one at a time) pays for its own files only.
const std::string& Root() {
    static const std::string root = [] {
        const std::string r = fieldkit::bench::WorkPath("device");
        fs::create_directories(r + "/Survey Data/Settings");
        fs::create_directories(r + "/Survey Data/Logs");
        fs::create_directories(r + "/Backup/Fresh");
        fs::create_directories(r + "/Backup/Replaced");
        fieldkit::host::SetDeviceRoot(r);
        return r;
    }();
    return root;
}

template <class Char>
std::string HostPath(const Char* devicePath) {
    std::string out = Root();
    for (; *devicePath != 0; ++devicePath)  // the device paths above are ASCII
        out += *devicePath == '\\' ? '/' : static_cast<char>(*devicePath);
    return out;
}

struct Settings {
    std::size_t keys = 0;
    std::uint64_t bytes = 0;
};

const Settings& SettingsFile() {
    static const Settings settings = [] {
        Settings f;
        const std::size_t sections = fieldkit::bench::Size(40, 4);
        const std::size_t keys = fieldkit::bench::Size(25, 5);
        fieldkit::bench::WriteFile(HostPath(kSettings), GenerateSettings(sections, keys));
        // Saved once in the library's own order, so that every later save writes the same
        // bytes and the load reads the same file whichever benchmark ran first.
        CINIFile ini;
        if (!ini.LoadIni(kSettings) || !ini.SaveIni(kSettings))
            throw std::runtime_error("cannot prepare the settings file");
        f.keys = CountKeys(ini);
        if (f.keys != sections * keys) throw std::runtime_error("the settings file lost keys");
        f.bytes = fieldkit::bench::FileSize(HostPath(kSettings));
        return f;
    }();
    return settings;
}

struct Files {
    std::size_t count = 0;
    std::uint64_t bytes = 0;
};

// Regular files and their bytes in a host tree.
Files CountTree(const std::string& folder) {
    Files found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        ++found.count;
        found.bytes += it->file_size(ec);
    }
    return found;
}

const Files& JobFiles() {
    static const Files files = [] {
        Files f;
        std::mt19937_64 rng(fieldkit::bench::kSeed);
        std::uniform_int_distribution<std::size_t> size(200, 4096);
        const std::string job = HostPath(kJob);
        for (const JobPart& part : kJobParts) {
            const std::string folder = *part.folder != '\0' ? job + "/" + part.folder : job;
            fs::create_directories(folder);
            const std::size_t n = fieldkit::bench::Size(part.files, part.smokeFiles);
            for (std::size_t i = 0; i < n; ++i) {
                const std::string bytes = GenerateJobFile(rng, size(rng));
                fieldkit::bench::WriteFile(folder + "/" +
                                               Printf("%s%04u.%s", part.stem,
                                                      static_cast<unsigned>(i + 1), part.extension),
                                           bytes);
                ++f.count;
                f.bytes += bytes.size();
            }
        }
        return f;
    }();
    return files;
}

void LoadIni(benchmark::State& state) {
    const Settings& f = SettingsFile();
    for (auto _ : state) {
        CINIFile ini;
        if (!ini.LoadIni(kSettings)) {
            state.SkipWithError("LoadIni failed");
            break;
        }
        benchmark::DoNotOptimize(&ini);
    }
    CINIFile check;
    check.LoadIni(kSettings);
    if (CountKeys(check) != f.keys) state.SkipWithError("LoadIni did not read every key");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
    state.counters["keys"] = static_cast<double>(f.keys);
}
BENCHMARK(LoadIni)->Name("files/load_ini")->Unit(benchmark::kMicrosecond)->UseRealTime();

void SaveIni(benchmark::State& state) {
    const Settings& f = SettingsFile();
    CINIFile ini;
    if (!ini.LoadIni(kSettings)) {
        state.SkipWithError("LoadIni failed");
        return;
    }
    for (auto _ : state) {
        if (!ini.SaveIni(kSettings)) {
            state.SkipWithError("SaveIni failed");
            break;
        }
    }
    // The file is replaced by the same text every time: any other size is a broken save.
    if (fieldkit::bench::FileSize(HostPath(kSettings)) != f.bytes)
        state.SkipWithError("SaveIni changed the file");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
    state.counters["keys"] = static_cast<double>(f.keys);
}
BENCHMARK(SaveIni)->Name("files/save_ini")->Unit(benchmark::kMicrosecond)->UseRealTime();

// A fixed count rather than a minimum time: a copy takes about half a second on a disk, and
// the same number of copies keeps the write-back the kernel has pending alike on both sides of
// a comparison.
constexpr benchmark::IterationCount kCopyIterations = 2;

// True when the copy holds every file of the job with all its bytes.
bool CopyComplete(const Files& job, const wchar_t* copy) {
    const Files found = CountTree(HostPath(copy));
    return found.count == job.count && found.bytes == job.bytes;
}

void CopyCounters(benchmark::State& state, const Files& job) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(job.bytes));
    state.counters["files"] = static_cast<double>(job.count);
}

// Every iteration copies into a folder that does not exist yet; removing it again is not
// timed.
void CopyFresh(benchmark::State& state) {
    const Files& job = JobFiles();
    FileFuncsEx::RemoveDirectoryTree(kFreshCopy);  // left by an earlier run of this function
    bool checked = false;
    for (auto _ : state) {
        if (FileFuncsEx::CopyDirectory(kJob, kFreshCopy, 1) == 0) {
            state.SkipWithError("CopyDirectory failed");
            break;
        }
        state.PauseTiming();
        // The first copy of a run stands for the others: they copy the same files.
        const bool complete = checked || CopyComplete(job, kFreshCopy);
        checked = true;
        const bool removed = FileFuncsEx::RemoveDirectoryTree(kFreshCopy) != 0;
        state.ResumeTiming();
        if (!complete) {
            state.SkipWithError("the copy is not the whole job folder");
            break;
        }
        if (!removed) {
            state.SkipWithError("RemoveDirectoryTree failed");
            break;
        }
    }
    CopyCounters(state, job);
}
BENCHMARK(CopyFresh)
    ->Name("files/copy_directory_fresh")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kCopyIterations)
    ->UseRealTime();

// Every iteration copies onto a complete earlier copy, so every file is replaced.
void CopyReplace(benchmark::State& state) {
    const Files& job = JobFiles();
    if (!fs::exists(HostPath(kReplacedCopy)) &&
        FileFuncsEx::CopyDirectory(kJob, kReplacedCopy, 1) == 0) {
        state.SkipWithError("the first CopyDirectory failed");
        return;
    }
    for (auto _ : state) {
        if (FileFuncsEx::CopyDirectory(kJob, kReplacedCopy, 1) == 0) {
            state.SkipWithError("CopyDirectory failed");
            break;
        }
    }
    if (!CopyComplete(job, kReplacedCopy))
        state.SkipWithError("the copy is not the whole job folder");
    CopyCounters(state, job);
}
BENCHMARK(CopyReplace)
    ->Name("files/copy_directory_replace")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kCopyIterations)
    ->UseRealTime();

// What an application pays to open its log: the file is created afresh (truncated), one line
// is written and the file is closed.
void LogStartStop(benchmark::State& state) {
    Root();
    CLogFile log;
    for (auto _ : state) {
        if (log.Start(kLog, LOGMODE_FILE, LOGFMT_NUMBER | LOGFMT_SECONDS | LOGFMT_LEVEL, 3) != 0) {
            state.SkipWithError("CLogFile::Start failed");
            break;
        }
        log.LogMessage("Survey started: job Bridge North, instrument connected", 2);
        if (log.Stop() != 0) {
            state.SkipWithError("CLogFile::Stop failed");
            break;
        }
    }
    if (fieldkit::bench::FileSize(HostPath(kLog)) == 0)
        state.SkipWithError("the log holds no line");
}
BENCHMARK(LogStartStop)->Name("files/log_start_stop")->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
