// The fieldkit tool as a batch converter: 1,000,000 lines through `fieldkit lat -`,
// `fieldkit parse-lat -` and `fieldkit xyz --fields 2,3,4 -`, each against its floor,
// fieldkit_tool_floor (tool_floor.cpp): a plain loop over the library that reads the same file
// line by line and writes the same bytes. Both are child processes with the same redirections
// (standard input from the file, standard output and error to files); every iteration runs
// the pair, the order turning each time. The outputs are compared once per case, so the two
// are known to do the same work.
//
// The time reported is the tool's wall time, from fork to wait4. Counters: "ratio" (tool /
// floor wall time), "tool_rss_mib" and "floor_rss_mib" (wait4's ru_maxrss of each child).
// Targets: a ratio of at most 1.3 and a peak resident set of at most 16 MiB (bench/report.py).
//
// A forked child starts with the parent's anonymous pages counted in its resident set, so this
// program keeps none to speak of: the input is written and the outputs compared in small
// blocks.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/support.h"
#include "fieldkit/text/format.h"

namespace {

using fieldkit::detail::FormatA;

struct Child {
    bool started = false;
    int status = -1;     // the exit status, or -1 when the child did not exit by itself
    double seconds = 0;  // wall time from fork to wait4
    double rssMib = 0;   // peak resident set
};

// Runs `program` with `args`, standard input from `in`, output and errors to `out` and `err`.
Child Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& in,
            const std::string& out, const std::string& err) {
    Child child;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int fds[3] = {open(in.c_str(), O_RDONLY | O_CLOEXEC),
                        open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644),
                        open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (fds[0] >= 0 && fds[1] >= 0 && fds[2] >= 0) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0; i < 3; ++i)
                dup2(fds[i], i);
            execv(argv[0], argv.data());
            _exit(127);
        }
        rusage usage{};
        int status = 0;
        if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
            const auto end = std::chrono::steady_clock::now();
            child.started = true;
            child.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            child.seconds = std::chrono::duration<double>(end - start).count();
            child.rssMib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
        }
    }
    for (const int fd : fds) {
        if (fd >= 0) close(fd);
    }
    return child;
}

// FNV-1a over the file, read in blocks; the size too, so that an empty file stands out.
struct Digest {
    std::uint64_t hash = 14695981039346656037ull;
    std::uint64_t size = 0;
    bool operator==(const Digest& o) const { return hash == o.hash && size == o.size; }
};

Digest DigestOf(const std::string& path) {
    Digest d;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return d;
    unsigned char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;) {
        for (std::size_t i = 0; i < got; ++i)
            d.hash = (d.hash ^ block[i]) * 1099511628211ull;
        d.size += got;
    }
    std::fclose(f);
    return d;
}

std::string FirstLine(const std::string& path) {
    std::string text = fieldkit::bench::ReadFile(path);
    return text.substr(0, text.find('\n'));
}

// ---- Workloads -------------------------------------------------------------------------------

using Rng = std::mt19937_64;

std::string DecimalLatitude(Rng& rng, std::size_t) {
    return FormatA("%.6f", std::uniform_real_distribution<double>(-90, 90)(rng));
}

// Latitudes as surveyors type them: with degree, minute and second marks, with blanks, packed
// as decimal degrees, north or south.
std::string TypedLatitude(Rng& rng, std::size_t) {
    const int d = std::uniform_int_distribution<int>(0, 89)(rng);
    const int m = std::uniform_int_distribution<int>(0, 59)(rng);
    const double s = std::uniform_real_distribution<double>(0, 59.99)(rng);
    const char hemisphere = std::uniform_int_distribution<int>(0, 1)(rng) ? 'N' : 'S';
    switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
        case 0:
            return FormatA("%d\xC2\xB0%02d'%07.4f\"%c", d, m, s, hemisphere);
        case 1:
            return FormatA("%d %d %.3f %c", d, m, s, hemisphere);
        default:
            return FormatA("%.7f", (hemisphere == 'S' ? -1 : 1) * (d + m / 60.0 + s / 3600.0));
    }
}

// A controller's export: point ID, latitude, longitude, ellipsoidal height, code.
std::string SurveyPoint(Rng& rng, std::size_t index) {
    static const char* const kCodes[] = {"CP", "TOPO", "BM", "FENCE", "TREE"};
    std::uniform_real_distribution<double> jitter(-0.05, 0.05);
    return FormatA("PT%zu %.6f %.6f %.3f %s", 101 + index, 45.12 + jitter(rng),
                   -122.65 + jitter(rng), std::uniform_real_distribution<double>(80, 180)(rng),
                   kCodes[std::uniform_int_distribution<int>(0, 4)(rng)]);
}

struct Case {
    const char* name;  // file names and the benchmark's name
    std::vector<std::string> toolArgs;
    std::vector<std::string> floorArgs;
    std::string (*line)(Rng&, std::size_t index);
};

const Case kLat{"lat", {"lat", "-"}, {"lat"}, DecimalLatitude};
const Case kParseLat{"parse_lat", {"parse-lat", "-"}, {"parse-lat"}, TypedLatitude};
const Case kXyzFields{"xyz_fields", {"xyz", "--fields", "2,3,4", "-"}, {"xyz-fields"}, SurveyPoint};

// The case's input file, written on first use.
std::string Input(const Case& c) {
    const std::string path = fieldkit::bench::WorkPath(std::string(c.name) + ".in");
    if (fieldkit::bench::FileSize(path) > 0) return path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return path;
    Rng rng(fieldkit::bench::kSeed);
    const std::size_t lines = fieldkit::bench::Size(1000000, 1000);
    std::string block;
    for (std::size_t i = 0; i < lines; ++i) {
        block += c.line(rng, i);
        block += '\n';
        if (block.size() > 60000 || i + 1 == lines) {
            std::fwrite(block.data(), 1, block.size(), f);
            block.clear();
        }
    }
    std::fclose(f);
    return path;
}

std::string Shown(const std::vector<std::string>& args) {
    std::string text = "fieldkit";
    for (const std::string& a : args)
        text += " " + a;
    return text;
}

void ToolVsFloor(benchmark::State& state, const Case& c) {
    const std::string in = Input(c);
    const std::string base = fieldkit::bench::WorkPath(c.name);
    const std::string toolOut = base + ".tool", floorOut = base + ".floor";
    const std::string toolErr = base + ".tool.err", floorErr = base + ".floor.err";
    // Per case, across repetitions: the pairs run so far (their order turns each time) and
    // whether the outputs have been compared.
    static std::map<const Case*, std::uint64_t> rounds;
    static std::map<const Case*, bool> compared;
    double toolSeconds = 0, floorSeconds = 0, toolRss = 0, floorRss = 0;
    for (auto _ : state) {
        Child tool, floor;
        const auto runTool = [&] {
            tool = Spawn(FIELDKIT_TOOL_PATH, c.toolArgs, in, toolOut, toolErr);
        };
        const auto runFloor = [&] {
            floor = Spawn(FIELDKIT_TOOL_FLOOR_PATH, c.floorArgs, in, floorOut, floorErr);
        };
        if (rounds[&c]++ % 2 == 0) {
            runFloor();
            runTool();
        } else {
            runTool();
            runFloor();
        }
        if (floor.status != 0) {
            state.SkipWithError(
                FormatA("the floor failed (status %d): %s", floor.status, FirstLine(floorErr))
                    .c_str());
            break;
        }
        if (tool.status != 0) {
            // An option this build of the tool does not have yet is a case to come, not a
            // failure; bench/run reports it without failing.
            const std::string why = FirstLine(toolErr);
            const bool missing = why.find("unknown option") != std::string::npos;
            state.SkipWithError(FormatA("%s%s failed (status %d): %s", missing ? "skipped: " : "",
                                        Shown(c.toolArgs), tool.status, why)
                                    .c_str());
            break;
        }
        if (!compared[&c]) {
            if (!(DigestOf(toolOut) == DigestOf(floorOut))) {
                state.SkipWithError(("the tool and the floor wrote different bytes: compare " +
                                     toolOut + " with " + floorOut)
                                        .c_str());
                break;
            }
            compared[&c] = true;
        }
        state.SetIterationTime(tool.seconds);
        toolSeconds += tool.seconds;
        floorSeconds += floor.seconds;
        toolRss = std::max(toolRss, tool.rssMib);
        floorRss = std::max(floorRss, floor.rssMib);
    }
    if (floorSeconds > 0) {
        state.counters["ratio"] = toolSeconds / floorSeconds;
        state.counters["floor_s"] = floorSeconds / static_cast<double>(state.iterations());
        state.counters["tool_rss_mib"] = toolRss;
        state.counters["floor_rss_mib"] = floorRss;
    }
    const auto runs = static_cast<std::int64_t>(state.iterations());
    state.SetItemsProcessed(runs * static_cast<std::int64_t>(fieldkit::bench::Size(1000000, 1000)));
    state.SetBytesProcessed(runs * static_cast<std::int64_t>(fieldkit::bench::FileSize(in)));
}

BENCHMARK_CAPTURE(ToolVsFloor, lat, kLat)
    ->Name("tool/lat")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToolVsFloor, parse_lat, kParseLat)
    ->Name("tool/parse_lat")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToolVsFloor, xyz_fields, kXyzFields)
    ->Name("tool/xyz_fields")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
