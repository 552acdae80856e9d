// The hot paths of coordinate texts and geocentric conversions, on seeded generated input.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "fieldkit/fieldkit.h"

namespace {

std::vector<double> Latitudes(std::size_t n) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> d(-90, 90);
    std::vector<double> v(n);
    for (double& x : v)
        x = d(rng);
    return v;
}

void BM_LatitudeToText(benchmark::State& state) {
    const std::vector<double> lat = Latitudes(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LatitudeToDDDMMSSSString(lat[i++ & 4095], true));
    }
}
BENCHMARK(BM_LatitudeToText);

void BM_StringToDouble(benchmark::State& state) {
    std::vector<CString> texts;
    for (const double x : Latitudes(4096))
        texts.push_back(DoubleToString(x, 8));
    std::size_t i = 0;
    for (auto _ : state) {
        double v = 0;
        benchmark::DoNotOptimize(StringToDouble(texts[i++ & 4095].GetString(), v));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_StringToDouble);

void BM_GeocentricRoundTrip(benchmark::State& state) {
    const std::vector<double> lat = Latitudes(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        double x, y, z, b, l, h;
        const double rad = lat[i++ & 4095] * 0.017453292519943295;
        TBLH_To_XYZ(rad, rad * 0.5, 250, x, y, z);
        TXYZ_To_BLH(x, y, z, b, l, h);
        benchmark::DoNotOptimize(b + l + h);
    }
}
BENCHMARK(BM_GeocentricRoundTrip);

}  // namespace
