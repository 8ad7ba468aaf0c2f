// Cost of the build-time content (reefpack build-assets runs in every build): each
// bundled species, the resource archive, the sound and the fallback picture.
#include <benchmark/benchmark.h>

#include "Assets.h"
#include "Species.h"
#include "SpeciesArchive.h"

static void BM_SpeciesArchive(benchmark::State& state) {
    const reefpack::SpeciesDesc& d = reefpack::BundledSpecies()[static_cast<size_t>(state.range(0))];
    state.SetLabel(d.key);
    for (auto _ : state) benchmark::DoNotOptimize(reefpack::BuildSpeciesArchive(d));
}
BENCHMARK(BM_SpeciesArchive)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

static void BM_ResourceArchive(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(reefpack::BuildResourceArchive());
}
BENCHMARK(BM_ResourceArchive)->Unit(benchmark::kMillisecond);

static void BM_AmbienceWav(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(reefpack::BuildAmbienceWav());
}
BENCHMARK(BM_AmbienceWav)->Unit(benchmark::kMillisecond);

static void BM_FallbackPicture(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(reefpack::BuildFallbackPicture());
}
BENCHMARK(BM_FallbackPicture)->Unit(benchmark::kMillisecond);
