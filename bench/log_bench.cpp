// A file log that flushes every line: CLogFile (line number, seconds since start and level in
// front of each line) against spdlog's basic_file_sink_mt with flush_on(trace) and a pattern
// of the same shape, writing the same 100,000 lines from 1 thread and from 4 threads. Each
// iteration opens a fresh file, writes every line and closes it; reported as lines/s.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/support.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/format.h"

#ifdef FIELDKIT_BENCH_HAVE_SPDLOG
#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#endif

namespace {

constexpr long kLevel = 2;  // below the threshold of 3: every line is written

const std::vector<std::string>& Lines() {
    static const std::vector<std::string> lines = [] {
        const std::size_t n = fieldkit::bench::Size(100000, 1000);
        std::mt19937_64 rng(fieldkit::bench::kSeed);
        std::uniform_real_distribution<double> angle(0.0, 400.0), distance(1.0, 2500.0);
        std::uniform_int_distribution<int> point(1, 99999);
        std::vector<std::string> v;
        v.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            v.push_back(fieldkit::detail::FormatA(
                "Observation P%05d: Hz=%.4f V=%.4f SD=%.3f m, prism 0.000, face 1", point(rng),
                angle(rng), angle(rng), distance(rng)));
        // Host paths serve as device paths when the device root is "/".
        fieldkit::host::SetDeviceRoot("/");
        return v;
    }();
    return lines;
}

// Runs `write(first, last)` over the lines split evenly between `threads` threads.
template <class Write>
void Spread(int threads, const std::vector<std::string>& lines, Write write) {
    if (threads == 1) {
        write(std::size_t{0}, lines.size());
        return;
    }
    std::vector<std::thread> pool;
    const std::size_t share = lines.size() / static_cast<std::size_t>(threads);
    for (int t = 0; t < threads; ++t) {
        const std::size_t first = share * static_cast<std::size_t>(t);
        const std::size_t last = t + 1 == threads ? lines.size() : first + share;
        pool.emplace_back([&write, first, last] { write(first, last); });
    }
    for (std::thread& th : pool)
        th.join();
}

void Finish(benchmark::State& state, std::size_t lines) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(lines));
}

void LogFieldkit(benchmark::State& state, int threads) {
    const std::vector<std::string>& lines = Lines();
    const std::string path = fieldkit::bench::WorkPath("clogfile.log");
    for (auto _ : state) {
        CLogFile log;
        if (log.Start(path.c_str(), LOGMODE_FILE, LOGFMT_NUMBER | LOGFMT_SECONDS | LOGFMT_LEVEL,
                      3) != 0) {
            state.SkipWithError("CLogFile::Start failed");
            break;
        }
        Spread(threads, lines, [&log, &lines](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i)
                log.LogMessage(lines[i].c_str(), kLevel);
        });
        log.Stop();
    }
    Finish(state, lines.size());
}
BENCHMARK_CAPTURE(LogFieldkit, one, 1)
    ->Name("log/1_thread/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LogFieldkit, four, 4)
    ->Name("log/4_threads/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef FIELDKIT_BENCH_HAVE_SPDLOG

void LogSpdlog(benchmark::State& state, int threads) {
    const std::vector<std::string>& lines = Lines();
    const std::string path = fieldkit::bench::WorkPath("spdlog.log");
    for (auto _ : state) {
        // Not registered with spdlog's registry: the logger lives for this iteration only.
        spdlog::logger log("bench",
                           std::make_shared<spdlog::sinks::basic_file_sink_mt>(path, true));
        // A running count, the seconds and the level, like CLogFile's prefix.
        log.set_pattern("%6i - (%E.%e) - <%l> - %v");
        log.set_level(spdlog::level::trace);
        log.flush_on(spdlog::level::trace);
        Spread(threads, lines, [&log, &lines](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i)
                log.log(spdlog::level::debug, spdlog::string_view_t(lines[i]));
        });
    }
    Finish(state, lines.size());
}
BENCHMARK_CAPTURE(LogSpdlog, one, 1)
    ->Name("log/1_thread/spdlog")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LogSpdlog, four, 4)
    ->Name("log/4_threads/spdlog")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#endif

}  // namespace
