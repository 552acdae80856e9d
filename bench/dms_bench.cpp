// Degrees-minutes-seconds texts: LatitudeToDDDMMSSSString against GeographicLib's DMS::Encode
// at the same precision, and StringToLatitude against DMS::Decode, each reading the texts its
// own library writes. StringToLatitude runs twice, with the application log writing its trace
// lines and with the log stopped; a third benchmark writes those same trace lines with one
// fputs + fflush each, the yardstick for what one trace line may cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/support.h"
#include "fieldkit/angles/angle_parse.h"
#include "fieldkit/angles/angle_text.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/platform/host.h"

#ifdef FIELDKIT_BENCH_HAVE_GEOGRAPHICLIB
#include <GeographicLib/DMS.hpp>
#endif

namespace {

constexpr std::size_t kTexts = 4096;  // a power of two: the loops cycle with a mask
constexpr std::size_t kMask = kTexts - 1;

const std::vector<double>& Latitudes() {
    static const std::vector<double> lat = [] {
        std::mt19937_64 rng(fieldkit::bench::kSeed);
        std::uniform_real_distribution<double> d(-90.0, 90.0);
        std::vector<double> v(kTexts);
        for (double& x : v)
            x = d(rng);
        return v;
    }();
    return lat;
}

const std::vector<CString>& FieldkitTexts() {
    static const std::vector<CString> texts = [] {
        std::vector<CString> v;
        for (const double lat : Latitudes())
            v.push_back(LatitudeToDDDMMSSSString(lat, true));
        return v;
    }();
    return texts;
}

// The application log lands in the scratch folder: the program is \FieldBench.exe there.
const char kLogName[] = "FieldBench.log";

void UseScratchLog() {
    static const bool done = [] {
        fieldkit::host::SetDeviceRoot(fieldkit::bench::WorkDir());
        fieldkit::host::SetModuleFileName(L"\\FieldBench.exe");
        return true;
    }();
    (void)done;
}

// The trace lines StringToLatitude writes, as the log writes them, taken from a real run.
struct Traces {
    std::vector<std::string> lines;  // each with its line feed
    double perCall = 0;
};

const Traces& TraceLines() {
    static const Traces traces = [] {
        UseScratchLog();
        constexpr std::size_t calls = 64;
        InitLogging();
        for (std::size_t i = 0; i < calls; ++i)
            benchmark::DoNotOptimize(StringToLatitude(FieldkitTexts()[i]));
        FinishLogging();
        Traces t;
        const std::string log = fieldkit::bench::ReadFile(fieldkit::bench::WorkPath(kLogName));
        for (std::size_t start = 0; start < log.size();) {
            std::size_t end = log.find('\n', start);
            end = end == std::string::npos ? log.size() : end + 1;
            const std::string line = log.substr(start, end - start);
            if (line.find("StringToAngle2:") != std::string::npos) t.lines.push_back(line);
            start = end;
        }
        t.perCall = static_cast<double>(t.lines.size()) / calls;
        return t;
    }();
    return traces;
}

void EncodeFieldkit(benchmark::State& state) {
    const std::vector<double>& lat = Latitudes();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(LatitudeToDDDMMSSSString(lat[i++ & kMask], true));
}
BENCHMARK(EncodeFieldkit)->Name("dms/encode/fieldkit");

void DecodeFieldkitLogStopped(benchmark::State& state) {
    UseScratchLog();
    InitLogging();
    FinishLogging();  // from here on every trace line is dropped
    const std::vector<CString>& texts = FieldkitTexts();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(StringToLatitude(texts[i++ & kMask]));
    // The texts carry five decimals of seconds: anything near 1.4e-9 degrees reads them back.
    static const double worst = [&texts] {
        double w = 0;
        for (std::size_t k = 0; k < kTexts; ++k)
            w = std::max(w, std::fabs(StringToLatitude(texts[k]) - Latitudes()[k]));
        return w;
    }();
    state.counters["max_error_deg"] = worst;
}
BENCHMARK(DecodeFieldkitLogStopped)->Name("dms/decode/fieldkit_log_stopped");

void DecodeFieldkitLogRunning(benchmark::State& state) {
    const Traces& traces = TraceLines();
    if (traces.lines.empty()) {
        state.SkipWithError("the application log wrote no trace lines");
        return;
    }
    InitLogging();  // a fresh, empty log each run: it is opened for writing, not appending
    const std::vector<CString>& texts = FieldkitTexts();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(StringToLatitude(texts[i++ & kMask]));
    FinishLogging();
    state.counters["trace_lines_per_call"] = traces.perCall;
}
BENCHMARK(DecodeFieldkitLogRunning)->Name("dms/decode/fieldkit_log_running")->UseRealTime();

// One write of one trace line: fputs and fflush, as a log that flushes every line must do.
void TraceLineWrite(benchmark::State& state) {
    const Traces& traces = TraceLines();
    if (traces.lines.empty()) {
        state.SkipWithError("the application log wrote no trace lines");
        return;
    }
    const std::string path = fieldkit::bench::WorkPath("trace-writes.log");
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        state.SkipWithError("cannot open the file for the trace writes");
        return;
    }
    const std::size_t n = traces.lines.size();
    std::size_t i = 0;
    for (auto _ : state) {
        std::fputs(traces.lines[i].c_str(), file);
        std::fflush(file);
        i = i + 1 == n ? 0 : i + 1;
    }
    std::fclose(file);
    std::remove(path.c_str());
}
BENCHMARK(TraceLineWrite)->Name("dms/trace_line/fputs_fflush")->UseRealTime();

#ifdef FIELDKIT_BENCH_HAVE_GEOGRAPHICLIB

const std::vector<std::string>& GeographicLibTexts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> v;
        for (const double lat : Latitudes())
            v.push_back(GeographicLib::DMS::Encode(lat, GeographicLib::DMS::SECOND, 5,
                                                   GeographicLib::DMS::LATITUDE));
        return v;
    }();
    return texts;
}

void EncodeGeographicLib(benchmark::State& state) {
    const std::vector<double>& lat = Latitudes();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(GeographicLib::DMS::Encode(
            lat[i++ & kMask], GeographicLib::DMS::SECOND, 5, GeographicLib::DMS::LATITUDE));
}
BENCHMARK(EncodeGeographicLib)->Name("dms/encode/geographiclib");

void DecodeGeographicLib(benchmark::State& state) {
    const std::vector<std::string>& texts = GeographicLibTexts();
    std::size_t i = 0;
    for (auto _ : state) {
        GeographicLib::DMS::flag ind = GeographicLib::DMS::NONE;
        benchmark::DoNotOptimize(GeographicLib::DMS::Decode(texts[i++ & kMask], ind));
        benchmark::DoNotOptimize(ind);
    }
    static const double worst = [&texts] {
        double w = 0;
        for (std::size_t k = 0; k < kTexts; ++k) {
            GeographicLib::DMS::flag ind = GeographicLib::DMS::NONE;
            w = std::max(w, std::fabs(GeographicLib::DMS::Decode(texts[k], ind) - Latitudes()[k]));
        }
        return w;
    }();
    state.counters["max_error_deg"] = worst;
}
BENCHMARK(DecodeGeographicLib)->Name("dms/decode/geographiclib");

#endif

}  // namespace
