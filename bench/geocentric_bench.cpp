// Geodetic to geocentric and back on WGS 84: TBLH_To_XYZ / TXYZ_To_BLH against GeographicLib's
// Geocentric::Forward / Reverse, over the same seeded points (fieldkit in radians, GeographicLib
// in degrees, each converted before timing). The reverse benchmarks also report the round-trip
// error of forward + reverse over every point.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "bench/support.h"
#include "fieldkit/angles/angle_units.h"
#include "fieldkit/angles/geodetic.h"

#ifdef FIELDKIT_BENCH_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geocentric.hpp>
#endif

namespace {

using fieldkit::bench::Size;

using fieldkit::detail::kPi;
using fieldkit::detail::kRadToDeg;

struct Points {
    std::vector<double> lat, lon, h;     // radians, radians, metres
    std::vector<double> latDeg, lonDeg;  // the same in degrees, for GeographicLib
    std::vector<double> x, y, z;         // fieldkit's forward result, input of reverse
};

const Points& Workload() {
    static const Points points = [] {
        const std::size_t n = Size(1000000, 1000);
        Points p;
        std::mt19937_64 rng(fieldkit::bench::kSeed);
        // The whole range TBLH_To_XYZ accepts: |B| <= pi/2, any L, |H| <= 100 km.
        std::uniform_real_distribution<double> lat(-kPi / 2, kPi / 2), lon(-kPi, kPi),
            h(-100000.0, 100000.0);
        for (std::size_t i = 0; i < n; ++i) {
            p.lat.push_back(lat(rng));
            p.lon.push_back(lon(rng));
            p.h.push_back(h(rng));
            p.latDeg.push_back(p.lat.back() * kRadToDeg);
            p.lonDeg.push_back(p.lon.back() * kRadToDeg);
        }
        p.x.resize(n);
        p.y.resize(n);
        p.z.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            TBLH_To_XYZ(p.lat[i], p.lon[i], p.h[i], p.x[i], p.y[i], p.z[i]);
        return p;
    }();
    return points;
}

// The largest differences between the points and what came back, as counters.
struct RoundTripError {
    double lat = 0, lon = 0, h = 0;  // radians, radians, metres
    std::size_t failed = 0;

    void Add(const Points& p, std::size_t i, double lat2, double lon2, double h2) {
        double dlon = std::fabs(lon2 - p.lon[i]);
        if (dlon > kPi) dlon = 2 * kPi - dlon;  // -180 and +180 are the same meridian
        lat = std::max(lat, std::fabs(lat2 - p.lat[i]));
        lon = std::max(lon, dlon);
        h = std::max(h, std::fabs(h2 - p.h[i]));
    }
    void Report(benchmark::State& state) const {
        state.counters["max_dlat_rad"] = lat;
        state.counters["max_dlon_rad"] = lon;
        state.counters["max_dh_m"] = h;
        state.counters["failed"] = static_cast<double>(failed);
    }
};

void Finish(benchmark::State& state, std::size_t n) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(n));
    state.counters["points"] = static_cast<double>(n);
}

void ForwardFieldkit(benchmark::State& state) {
    const Points& p = Workload();
    const std::size_t n = p.lat.size();
    std::vector<double> x(n), y(n), z(n);
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i)
            TBLH_To_XYZ(p.lat[i], p.lon[i], p.h[i], x[i], y[i], z[i]);
        benchmark::DoNotOptimize(x.data());
        benchmark::ClobberMemory();
    }
    Finish(state, n);
}
BENCHMARK(ForwardFieldkit)->Name("geocentric/forward/fieldkit")->Unit(benchmark::kMillisecond);

void ReverseFieldkit(benchmark::State& state) {
    const Points& p = Workload();
    const std::size_t n = p.lat.size();
    std::vector<double> b(n), l(n), h(n);
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i)
            TXYZ_To_BLH(p.x[i], p.y[i], p.z[i], b[i], l[i], h[i]);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    // Measured once: the benchmark function runs several times per repetition.
    static const RoundTripError err = [&p, n] {
        RoundTripError e;
        for (std::size_t i = 0; i < n; ++i) {
            double x = 0, y = 0, z = 0, b2 = 0, l2 = 0, h2 = 0;
            if (!TBLH_To_XYZ(p.lat[i], p.lon[i], p.h[i], x, y, z) ||
                !TXYZ_To_BLH(x, y, z, b2, l2, h2)) {
                ++e.failed;
                continue;
            }
            e.Add(p, i, b2, l2, h2);
        }
        return e;
    }();
    err.Report(state);
    Finish(state, n);
}
BENCHMARK(ReverseFieldkit)->Name("geocentric/reverse/fieldkit")->Unit(benchmark::kMillisecond);

#ifdef FIELDKIT_BENCH_HAVE_GEOGRAPHICLIB

void ForwardGeographicLib(benchmark::State& state) {
    const Points& p = Workload();
    const GeographicLib::Geocentric& earth = GeographicLib::Geocentric::WGS84();
    const std::size_t n = p.lat.size();
    std::vector<double> x(n), y(n), z(n);
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i)
            earth.Forward(p.latDeg[i], p.lonDeg[i], p.h[i], x[i], y[i], z[i]);
        benchmark::DoNotOptimize(x.data());
        benchmark::ClobberMemory();
    }
    Finish(state, n);
}
BENCHMARK(ForwardGeographicLib)
    ->Name("geocentric/forward/geographiclib")
    ->Unit(benchmark::kMillisecond);

void ReverseGeographicLib(benchmark::State& state) {
    const Points& p = Workload();
    const GeographicLib::Geocentric& earth = GeographicLib::Geocentric::WGS84();
    const std::size_t n = p.lat.size();
    std::vector<double> b(n), l(n), h(n);
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i)
            earth.Reverse(p.x[i], p.y[i], p.z[i], b[i], l[i], h[i]);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    static const RoundTripError err = [&p, &earth, n] {
        RoundTripError e;
        for (std::size_t i = 0; i < n; ++i) {
            double x = 0, y = 0, z = 0, b2 = 0, l2 = 0, h2 = 0;
            earth.Forward(p.latDeg[i], p.lonDeg[i], p.h[i], x, y, z);
            earth.Reverse(x, y, z, b2, l2, h2);
            e.Add(p, i, b2 / kRadToDeg, l2 / kRadToDeg, h2);
        }
        return e;
    }();
    err.Report(state);
    Finish(state, n);
}
BENCHMARK(ReverseGeographicLib)
    ->Name("geocentric/reverse/geographiclib")
    ->Unit(benchmark::kMillisecond);

#endif

}  // namespace
