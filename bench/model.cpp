// Per-frame cost of one model instance (RevertPoints, Animate, UpdateSkeleton,
// UpdatePoints) on a fish-sized model: about 1000 vertices on a chain of 10 joints with
// 21 rotation and translation keys each. Also the one-off species costs: load and Setup.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "Ms3dWriter.h"
#include "model/ModelMain.h"

namespace {

constexpr int kRings = 40;     // along z
constexpr int kSegments = 25;  // around the body
constexpr int kJoints = 10;

reefpack::Ms3dModelDesc FishLikeModel() {
    reefpack::Ms3dModelDesc d;
    d.animationFPS = 20;
    d.totalFrames = 20;
    d.materials.push_back(reefpack::Ms3dMaterialDesc{});
    d.AddGroup("body", 0);
    for (int j = 0; j < kJoints; j++) {
        std::string name = "spine" + std::to_string(j);
        std::string parent = j ? "spine" + std::to_string(j - 1) : "";
        int id = d.AddJoint(name, parent, 0, 0, 0, 0, 0, j ? -1.0f : 0.0f);
        for (int k = 0; k <= 20; k++) {
            float time = k / 20.0f;
            float a = 0.3f * std::sin(6.2831853f * time + 0.4f * j);
            d.joints[id].rotKeys.push_back({time, {0, a, 0}});
            d.joints[id].transKeys.push_back({time, {0.05f * a, 0, 0}});
        }
    }
    for (int r = 0; r < kRings; r++)
        for (int s = 0; s < kSegments; s++) {
            float ang = 6.2831853f * s / kSegments;
            float z = -9.0f * r / (kRings - 1);
            int joint = static_cast<int>(-z);
            if (joint >= kJoints) joint = kJoints - 1;
            d.AddVertex(std::cos(ang), std::sin(ang), z, joint);
        }
    // Corners carry their vertex's own normal and texture coordinates, so they share.
    for (int r = 0; r + 1 < kRings; r++)
        for (int s = 0; s < kSegments; s++) {
            int a = r * kSegments + s, b = r * kSegments + (s + 1) % kSegments;
            int c = a + kSegments, e = b + kSegments;
            for (int tri = 0; tri < 2; tri++) {
                int corner[3] = {a, b, c};
                if (tri) corner[0] = b, corner[1] = e, corner[2] = c;
                int t = d.AddTriangle(corner[0], corner[1], corner[2], 0);
                for (int k = 0; k < 3; k++) {
                    int v = corner[k];
                    float ang = 6.2831853f * (v % kSegments) / kSegments;
                    d.triangles[t].normals[k][0] = std::cos(ang);
                    d.triangles[t].normals[k][1] = std::sin(ang);
                    d.triangles[t].normals[k][2] = 0;
                    d.triangles[t].s[k] = static_cast<float>(v % kSegments) / kSegments;
                    d.triangles[t].t[k] = static_cast<float>(v / kSegments) / kRings;
                }
            }
        }
    return d;
}

std::string ModelBytes() {
    std::vector<std::uint8_t> bytes;
    reefpack::WriteMs3d(FishLikeModel(), &bytes);
    return std::string(bytes.begin(), bytes.end());
}

struct Species {
    MS3D model;
    ANIMATIONTEMPLATE tmpl;
    ONEMODEL proto;
    unsigned texture = 0;
    bool ok = false;
    Species() {
        std::istringstream in(ModelBytes());
        ok = model.LoadFromFStream(&in);
        model.InitialSetup();
        ok = ok && tmpl.Setup(&model) && proto.Setup(&tmpl, &model, &texture);
    }
};

void BM_InstanceFrame(benchmark::State& state) {
    Species s;
    if (!s.ok) {
        state.SkipWithError("model did not load");
        return;
    }
    ONEMODEL& m = s.proto;
    m.SetAnimation(0, 20, 1000, true, false);
    m.Update(0);
    for (auto _ : state) {
        m.RevertPoints(m.joints);
        m.Animate(1.0 / 60.0);
        m.UpdateSkeleton();
        m.UpdatePoints(m.joints);
        benchmark::DoNotOptimize(m.vertexBuffer[0].position[0]);
    }
    state.counters["vertices"] = m.numVertices;
    state.counters["joints"] = m.numJoints;
}
BENCHMARK(BM_InstanceFrame)->Unit(benchmark::kMicrosecond);

void BM_LoadModel(benchmark::State& state) {
    std::string bytes = ModelBytes();
    for (auto _ : state) {
        std::istringstream in(bytes);
        MS3D m;
        benchmark::DoNotOptimize(m.LoadFromFStream(&in));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadModel)->Unit(benchmark::kMicrosecond);

void BM_SpeciesSetup(benchmark::State& state) {
    std::string bytes = ModelBytes();
    std::istringstream in(bytes);
    MS3D model;
    model.LoadFromFStream(&in);
    model.InitialSetup();
    ANIMATIONTEMPLATE tmpl;
    tmpl.Setup(&model);
    unsigned texture = 0;
    for (auto _ : state) {
        ONEMODEL m;
        benchmark::DoNotOptimize(m.Setup(&tmpl, &model, &texture));
    }
}
BENCHMARK(BM_SpeciesSetup)->Unit(benchmark::kMicrosecond);

}  // namespace
