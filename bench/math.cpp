// Hot maths of the per-frame skinning and steering: matrix product, slerp, point transform.
#include <benchmark/benchmark.h>

#include <vector>

#include "math/GLStuff.h"
#include "math/Misc.h"
#include "math/NiftyMaths.h"

static void BM_MultiplyMatrix(benchmark::State& state) {
    MATRIX a = MatrixFromAngle(MakePoint(10, 20, 30));
    a.SetTranslation(MakePoint(1, 2, 3));
    MATRIX b = QuatToRotationMatrix(RotationToQuat(MakePoint(-5, 40, 15)));
    for (auto _ : state) {
        a = MultiplyMatrix(a, b);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_MultiplyMatrix);

static void BM_QuatSlerp(benchmark::State& state) {
    QUAT from = RotationToQuat(MakePoint(0, 10, 20));
    QUAT to = RotationToQuat(MakePoint(30, -40, 100));
    double t = 0.0;
    for (auto _ : state) {
        QUAT q = QuatSlerp(&from, &to, t);
        benchmark::DoNotOptimize(q);
        t = t < 1.0 ? t + 0.001 : 0.0;
    }
}
BENCHMARK(BM_QuatSlerp);

// One joint of keyframe skinning: slerp, to matrix, translate, chain with the parent.
static void BM_JointKeyframe(benchmark::State& state) {
    QUAT from = RotationToQuat(MakePoint(0, 10, 20));
    QUAT to = RotationToQuat(MakePoint(30, -40, 100));
    MATRIX parent = MatrixFromAngle(MakePoint(5, 6, 7));
    for (auto _ : state) {
        MATRIX local = QuatToRotationMatrix(QuatSlerp(&from, &to, 0.3));
        local.SetTranslation(MakePoint(0.5f, 1, 0));
        MATRIX world = MultiplyMatrix(parent, local);
        benchmark::DoNotOptimize(world);
    }
}
BENCHMARK(BM_JointKeyframe);

// A model's worth of vertices through MatrixPointMultiply.
static void BM_MatrixPointMultiply(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<VECTOR3D> in(n), out(n);
    for (int i = 0; i < n; ++i) in[i] = MakePoint(i * 0.01f, -i * 0.02f, 1.0f);
    MATRIX m = MatrixFromAngle(MakePoint(10, 20, 30));
    m.SetTranslation(MakePoint(1, 2, 3));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) out[i] = MatrixPointMultiply(m, in[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_MatrixPointMultiply)->Arg(1024);

static void BM_SphereInFrustum(benchmark::State& state) {
    float P[16] = {2.414f, 0, 0, 0, 0, 2.414f, 0, 0, 0, 0, -1.02f, -1, 0, 0, -2.02f, 0};
    float M[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -60, 1};
    ExtractFrustumFromMatrices(P, M);
    float x = -40.0f;
    for (auto _ : state) {
        bool in = SphereInFrustum(MakePoint(x, 0.0f, 0.0f), 3.0f);
        benchmark::DoNotOptimize(in);
        x = x < 40.0f ? x + 0.5f : -40.0f;
    }
}
BENCHMARK(BM_SphereInFrustum);
