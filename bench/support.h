// What every benchmark program shares: the scratch folder its workloads are generated into,
// the smoke switch that shrinks them, and a few file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CINIFile;

namespace fieldkit::bench {

// True when FIELDKIT_BENCH_SMOKE is set to anything but "" or "0". CI runs every benchmark
// once on tiny workloads so that the programs keep building and running.
bool Smoke();
// `full` normally, `smoke` under the smoke switch.
std::size_t Size(std::size_t full, std::size_t smoke);

// A fresh host folder for this run, removed when the program ends.
const std::string& WorkDir();
std::string WorkPath(const std::string& name);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
std::uint64_t FileSize(const std::string& path);

// The number of keys in every section of a loaded settings file: a loader that came back
// without every key has not done the work it is timed for.
std::size_t CountKeys(CINIFile& ini);

// The seed of every generated workload, so that reruns time the same input.
constexpr std::uint64_t kSeed = 20240601;

}  // namespace fieldkit::bench
