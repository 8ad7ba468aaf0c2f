// Water step at every grid size, with and without the caustic mesh; drops; the
// background wobble step. Ripples are seeded first so the work is not the flat case.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "water/Background.h"
#include "water/Water.h"

namespace {

void Seed(WATERCLASS& w) {
    std::srand(11);
    VECTOR3D eye{0.0f, 0.0f, 60.0f};
    VECTOR3D light{0.0f, 1.0f, 0.0f};
    for (int i = 0; i < 120; ++i) {
        if (i % 10 == 0) w.Drop(1.5f);
        w.Update(eye, light, true, 1.0 / 60.0, 0.5f);
    }
}

void BM_WaterUpdate(benchmark::State& state) {
    WATERCLASS w;
    w.Initialize(static_cast<unsigned short>(state.range(0)), 64.0f, true, 1.0f);
    Seed(w);
    const bool caustics = state.range(1) != 0;
    VECTOR3D eye{0.0f, 0.0f, 60.0f};
    VECTOR3D light{0.0f, 1.0f, 0.0f};
    for (auto _ : state) {
        w.Update(eye, light, caustics, 1.0 / 60.0, 0.5f);
        benchmark::DoNotOptimize(w.vertices);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * w.numVerts);
    state.counters["ns_per_point"] = benchmark::Counter(
        static_cast<double>(w.numVerts), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WaterUpdate)
    ->ArgNames({"shift", "caustics"})
    ->ArgsProduct({{5, 6, 7, 8}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The point-by-point passes, for comparison with the packed ones above.
void BM_WaterUpdatePointByPoint(benchmark::State& state) {
    WATERCLASS w;
    w.pointByPoint = true;
    w.Initialize(static_cast<unsigned short>(state.range(0)), 64.0f, true, 1.0f);
    Seed(w);
    VECTOR3D eye{0.0f, 0.0f, 60.0f};
    VECTOR3D light{0.0f, 1.0f, 0.0f};
    for (auto _ : state) {
        w.Update(eye, light, true, 1.0 / 60.0, 0.5f);
        benchmark::DoNotOptimize(w.vertices);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * w.numVerts);
}
BENCHMARK(BM_WaterUpdatePointByPoint)->ArgName("shift")->Arg(6)->Arg(8)->Unit(benchmark::kMicrosecond);

void BM_WaterDrop(benchmark::State& state) {
    WATERCLASS w;
    w.Initialize(6, 64.0f, true, 1.0f);
    for (auto _ : state) {
        w.Drop(1.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WaterDrop);

void BM_RelaxWobble(benchmark::State& state) {
    BACKGROUND b;
    b.InitWobble();
    for (auto _ : state) {
        b.RelaxWobble(0.01666666753590107);
        benchmark::DoNotOptimize(b.points);
    }
}
BENCHMARK(BM_RelaxWobble);

}  // namespace
