// INI files of 1 MB and 10 MB: CINIFile::LoadIni / SaveIni against SimpleIni (CSimpleIniA
// LoadFile / SaveFile) and inih (ini_parse filling nested std::maps). Every loader starts from
// an empty object each iteration and frees it inside the timing, and each must come back with
// every key of the file.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/support.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

#ifdef FIELDKIT_BENCH_HAVE_SIMPLEINI
// Header-only, as upstream ships it: Debian's header keeps the template bodies behind
// SI_IMPLEMENTATION, and its default converter needs a source file the package does not ship
// (the 8-bit class converts nothing anyway).
#define SI_IMPLEMENTATION
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#endif
#ifdef FIELDKIT_BENCH_HAVE_INIH
#include <ini.h>
#endif

namespace {

using fieldkit::bench::CountKeys;

using fieldkit::detail::AppendFormat;

struct IniWorkload {
    const char* tag;
    std::size_t sections, keys;            // full size
    std::size_t smokeSections, smokeKeys;  // under FIELDKIT_BENCH_SMOKE
};
const IniWorkload k1MB{"1mb", 200, 250, 4, 25};
const IniWorkload k10MB{"10mb", 2000, 250, 8, 25};

struct IniFile {
    std::string path;
    std::size_t keys = 0;
    std::uint64_t bytes = 0;
};

const char* const kKeyNames[] = {
    "InstrumentHeight", "TargetHeight", "PointName", "Code",    "Easting", "Northing",
    "Elevation",        "Description",  "Date",      "Enabled", "Prism",   "ExportPath"};
const char* const kWords[] = {"tree", "fence", "corner", "manhole", "kerb",  "wall",
                              "pole", "gate",  "ditch",  "bridge",  "north", "checked"};

// Realistic settings lines: names with a running number, values of every kind an application
// stores (reals, integers, words, dates, flags, paths). No ";" anywhere and no blanks at either
// end of a value, so that every library reads the same pairs.
std::string Generate(std::size_t sections, std::size_t keys) {
    std::mt19937_64 rng(fieldkit::bench::kSeed + sections);
    std::uniform_real_distribution<double> coordinate(-1000.0, 100000.0);
    std::uniform_int_distribution<int> small(0, 9999), word(0, 11), month(1, 12), day(1, 28);
    std::string out;
    for (std::size_t s = 0; s < sections; ++s) {
        AppendFormat(out, "[Job%04u]\n", static_cast<unsigned>(s));
        for (std::size_t k = 0; k < keys; ++k) {
            const std::size_t kind = k % 12;
            AppendFormat(out, "%s%03u=", kKeyNames[kind], static_cast<unsigned>(k));
            switch (kind) {
                case 0:
                case 1:
                case 4:
                case 5:
                case 6:
                    AppendFormat(out, "%.4f", coordinate(rng));
                    break;
                case 2:
                    AppendFormat(out, "P%05d", small(rng));
                    break;
                case 3:
                case 10:
                    AppendFormat(out, "%d", small(rng));
                    break;
                case 7:
                    AppendFormat(out, "%s %s %s", kWords[word(rng)], kWords[word(rng)],
                                 kWords[word(rng)]);
                    break;
                case 8:
                    AppendFormat(out, "2019-%02d-%02d 10:%02d", month(rng), day(rng),
                                 small(rng) % 60);
                    break;
                case 9:
                    out += small(rng) % 2 != 0 ? "1" : "0";
                    break;
                default:
                    AppendFormat(out, "\\Data\\Job%04u\\points_%u.csv", static_cast<unsigned>(s),
                                 static_cast<unsigned>(k));
                    break;
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

const IniFile& Workload(const IniWorkload& w) {
    static std::map<const IniWorkload*, IniFile> files;
    IniFile& f = files[&w];
    if (f.path.empty()) {
        const std::size_t sections = fieldkit::bench::Size(w.sections, w.smokeSections);
        const std::size_t keys = fieldkit::bench::Size(w.keys, w.smokeKeys);
        f.path = fieldkit::bench::WorkPath(std::string("settings-") + w.tag + ".ini");
        fieldkit::bench::WriteFile(f.path, Generate(sections, keys));
        f.keys = sections * keys;
        f.bytes = fieldkit::bench::FileSize(f.path);
        // Host paths serve as device paths when the device root is "/".
        fieldkit::host::SetDeviceRoot("/");
    }
    return f;
}

// The keys a loader reads from the file, counted on the first run only: the benchmark function
// runs several times per repetition, and a second load of 10 MB is not free.
template <class Count>
std::size_t KeysOnce(const std::string& what, Count count) {
    static std::map<std::string, std::size_t> seen;
    const auto it = seen.find(what);
    if (it != seen.end()) return it->second;
    return seen[what] = count();
}

std::wstring DevicePath(const std::string& hostPath) {
    return fieldkit::Utf8ToWide(hostPath);
}

// Records the size and checks that the loader found every key.
void Finish(benchmark::State& state, const IniFile& f, std::size_t keysRead) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(f.bytes));
    state.counters["keys"] = static_cast<double>(keysRead);
    if (keysRead != f.keys) state.SkipWithError("the loader did not read every key");
}

void LoadFieldkit(benchmark::State& state, const IniWorkload* w) {
    const IniFile& f = Workload(*w);
    const std::wstring path = DevicePath(f.path);
    for (auto _ : state) {
        CINIFile ini;
        if (!ini.LoadIni(path.c_str())) {
            state.SkipWithError("LoadIni failed");
            break;
        }
        benchmark::DoNotOptimize(&ini);
    }
    Finish(state, f, KeysOnce(f.path + "/fieldkit", [&path] {
               CINIFile check;
               check.LoadIni(path.c_str());
               return CountKeys(check);
           }));
}
BENCHMARK_CAPTURE(LoadFieldkit, 1mb, &k1MB)
    ->Name("ini/load_1mb/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LoadFieldkit, 10mb, &k10MB)
    ->Name("ini/load_10mb/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SaveFieldkit(benchmark::State& state, const IniWorkload* w) {
    const IniFile& f = Workload(*w);
    CINIFile ini;
    ini.LoadIni(DevicePath(f.path).c_str());
    const std::string out = fieldkit::bench::WorkPath(std::string("saved-fieldkit-") + w->tag);
    const std::wstring outPath = DevicePath(out);
    for (auto _ : state) {
        if (!ini.SaveIni(outPath.c_str())) {
            state.SkipWithError("SaveIni failed");
            break;
        }
    }
    Finish(state, f, CountKeys(ini));
}
BENCHMARK_CAPTURE(SaveFieldkit, 1mb, &k1MB)
    ->Name("ini/save_1mb/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef FIELDKIT_BENCH_HAVE_SIMPLEINI

std::size_t CountKeys(const CSimpleIniA& ini) {
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    std::size_t total = 0;
    for (const auto& s : sections)
        total += static_cast<std::size_t>(ini.GetSectionSize(s.pItem));
    return total;
}

void LoadSimpleIni(benchmark::State& state, const IniWorkload* w) {
    const IniFile& f = Workload(*w);
    for (auto _ : state) {
        CSimpleIniA ini;
        if (ini.LoadFile(f.path.c_str()) != SI_OK) {
            state.SkipWithError("LoadFile failed");
            break;
        }
        benchmark::DoNotOptimize(&ini);
    }
    Finish(state, f, KeysOnce(f.path + "/simpleini", [&f] {
               CSimpleIniA check;
               check.LoadFile(f.path.c_str());
               return CountKeys(check);
           }));
}
BENCHMARK_CAPTURE(LoadSimpleIni, 1mb, &k1MB)
    ->Name("ini/load_1mb/simpleini")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LoadSimpleIni, 10mb, &k10MB)
    ->Name("ini/load_10mb/simpleini")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SaveSimpleIni(benchmark::State& state, const IniWorkload* w) {
    const IniFile& f = Workload(*w);
    CSimpleIniA ini;
    ini.LoadFile(f.path.c_str());
    const std::string out = fieldkit::bench::WorkPath(std::string("saved-simpleini-") + w->tag);
    for (auto _ : state) {
        if (ini.SaveFile(out.c_str()) != SI_OK) {
            state.SkipWithError("SaveFile failed");
            break;
        }
    }
    Finish(state, f, CountKeys(ini));
}
BENCHMARK_CAPTURE(SaveSimpleIni, 1mb, &k1MB)
    ->Name("ini/save_1mb/simpleini")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#endif

#ifdef FIELDKIT_BENCH_HAVE_INIH

using IniMap = std::map<std::string, std::map<std::string, std::string>>;

int Store(void* user, const char* section, const char* name, const char* value) {
    (*static_cast<IniMap*>(user))[section][name] = value;
    return 1;
}

std::size_t CountKeys(const IniMap& ini) {
    std::size_t total = 0;
    for (const auto& section : ini)
        total += section.second.size();
    return total;
}

void LoadInih(benchmark::State& state, const IniWorkload* w) {
    const IniFile& f = Workload(*w);
    for (auto _ : state) {
        IniMap ini;
        if (ini_parse(f.path.c_str(), &Store, &ini) != 0) {
            state.SkipWithError("ini_parse failed");
            break;
        }
        benchmark::DoNotOptimize(&ini);
    }
    Finish(state, f, KeysOnce(f.path + "/inih", [&f] {
               IniMap check;
               ini_parse(f.path.c_str(), &Store, &check);
               return CountKeys(check);
           }));
}
BENCHMARK_CAPTURE(LoadInih, 1mb, &k1MB)
    ->Name("ini/load_1mb/inih")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LoadInih, 10mb, &k10MB)
    ->Name("ini/load_10mb/inih")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#endif

}  // namespace
