// Water height field: grid sizing, the flat still state, drops, damping, mean removal,
// the strip, caustic buckets and re-initialisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "water/Water.h"

namespace {

void Step(WATERCLASS& w, bool caustics, float level = 0.5f) {
    VECTOR3D eye{0.0f, 0.0f, 60.0f}, light{0.0f, 1.0f, 0.0f};
    ASSERT_TRUE(w.Update(eye, light, caustics, 1.0 / 60.0, level));
}

int Side(const WATERCLASS& w) { return 1 << w.shift; }

}  // namespace

TEST(WaterGrid, ResolutionIsClampedArraysSizedAndReinitialised) {
    const uint32_t cases[][2] = {{0, 16}, {3, 16}, {4, 16}, {5, 32}, {6, 64}, {8, 256}, {9, 256}, {200, 256}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(static_cast<unsigned short>(c[0]), 64.0f, true, 1.0f));
        EXPECT_EQ(static_cast<uint32_t>(Side(w)), c[1]);
        EXPECT_EQ(w.numVerts, c[1] * c[1]);
        EXPECT_EQ(w.numIndices, 2 * c[1] * c[1]);
    }
    // The same resolution again keeps the arrays and their contents.
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    WATERCELL* cells = w.cells;
    uint16_t* indices = w.indices;
    w.DropAt(3, 3, 1.0f);
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    EXPECT_TRUE(w.cells == cells && w.indices == indices);
    EXPECT_EQ(w.cells[3 * 32 + 3].velocity, -0.25f);
    // Another resolution resizes everything the step touches.
    ASSERT_TRUE(w.Initialize(7, 64.0f, true, 1.0f));
    EXPECT_EQ(w.numVerts, 128u * 128u);
    w.DropAt(127, 127, 1.0f);
    for (int i = 0; i < 3; ++i) Step(w, true);
    for (uint32_t i = 0; i < w.numIndices - 2; ++i) ASSERT_LT(w.indices[i], w.numVerts);
    EXPECT_NE(w.cells[127 * 128 + 127].height, 0.0f);
}

TEST(WaterSurface, UndisturbedGridStaysExactlyFlatWithPlainMapping) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(6, 64.0f, false, 1.0f));
    const int n = Side(w);
    const float level = 0.25f, step = 64.0f / 63.0f;
    for (int i = 0; i < 5; ++i) Step(w, true, level);
    EXPECT_EQ(w.sphereRadiusSq, 0.0f);
    EXPECT_EQ(w.meanHeight, 0.0f);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            ASSERT_EQ(w.cells[r * n + c].height, 0.0f);
            ASSERT_EQ(w.cells[r * n + c].velocity, 0.0f);
            const WATERVERTEX& v = w.vertices[r * n + c];
            ASSERT_TRUE(v.y == 0.0f && v.nx == 0.0f && v.ny == 1.0f && v.nz == 0.0f) << r << "," << c;
            ASSERT_NEAR(v.x, -32.0f + c * step, 1e-4f);
            ASSERT_NEAR(v.z, -32.0f + r * step, 1e-4f);
            ASSERT_EQ(v.s, v.x * w.invSize + 0.5f);
            ASSERT_EQ(v.t, v.z * w.invSize + level + 0.5f);
        }
    EXPECT_EQ(w.vertices[0].s, 0.0f);
    EXPECT_EQ(w.vertices[0].t, level);
    EXPECT_NEAR(w.vertices[n * n - 1].s, 1.0f, 1e-5f);
    EXPECT_NEAR(w.vertices[n * n - 1].t, level + 1.0f, 1e-5f);
}

TEST(WaterSurface, RefractionBendsOnlyTheSurfaceItIsAskedTo) {
    for (bool refraction : {false, true}) {
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(5, 64.0f, refraction, 1.0f));
        w.DropAt(10, 12, 1.5f);
        w.DropAt(20, 3, 1.0f);
        for (int i = 0; i < 20; ++i) Step(w, true, 0.0f);
        EXPECT_EQ(w.sphereRadiusSq, refraction ? 2500.0f : 0.0f);
        int bentSurface = 0, bentCaustic = 0;
        for (uint32_t i = 0; i < w.numVerts; ++i) {
            const WATERVERTEX& v = w.vertices[i];
            if (v.s != v.x * w.invSize + 0.5f || v.t != v.z * w.invSize + 0.0f + 0.5f) ++bentSurface;
            if (std::fabs(w.causticVerts[i].x - v.x) > 1e-4f) ++bentCaustic;
            ASSERT_EQ(w.causticVerts[i].y, 0.0f);
        }
        if (refraction)
            EXPECT_GT(bentSurface, 100);
        else
            EXPECT_EQ(bentSurface, 0);
        EXPECT_GT(bentCaustic, 100) << "the caustic mesh refracts either way";
    }
}

TEST(WaterDrop, WrapsAtEveryEdgeAndCarriesTheTotalImpulse) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(4, 64.0f, true, 1.0f));
    const int n = Side(w);
    const int spots[][2] = {{0, 0}, {0, n - 1}, {n - 1, 0}, {n - 1, n - 1}, {0, 7}, {7, 0}, {n - 1, 7}, {7, n - 1}};
    const float strength = 1.25f;
    for (const auto& spot : spots) {
        SCOPED_TRACE(testing::Message() << "drop at " << spot[0] << "," << spot[1]);
        std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
        w.DropAt(spot[0], spot[1], strength);
        double total = 0.0;
        int touched = 0;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const float v = w.cells[r * n + c].velocity;
                EXPECT_EQ(w.cells[r * n + c].height, 0.0f);
                total += v;
                if (v == 0.0f) continue;
                ++touched;
                const int dr = std::min((r - spot[0] + n) % n, (spot[0] - r + n) % n);
                const int dc = std::min((c - spot[1] + n) % n, (spot[1] - c + n) % n);
                ASSERT_LE(std::max(dr, dc), 1);
                EXPECT_EQ(v, strength * (dr + dc == 0 ? -0.25f : (dr + dc == 1 ? -0.125f : -0.0625f))) << r << "," << c;
            }
        EXPECT_EQ(touched, 9);
        EXPECT_DOUBLE_EQ(total, -1.0 * strength);
    }
    // Column from the first rand() call, row from the second.
    std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
    std::srand(4242);
    const int column = std::rand() & (n - 1), row = std::rand() & (n - 1);
    std::srand(4242);
    EXPECT_TRUE(w.Drop(2.0f));
    EXPECT_EQ(w.cells[row * n + column].velocity, -0.5f);
}

TEST(WaterStep, DampingThresholdAndMeanRemoval) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(4, 64.0f, true, 1.0f));
    for (float v0 : {0.01f, -0.01f, 0.0100001f, -0.0100001f, 0.005f, 0.5f}) {
        std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
        w.cells[5 * 16 + 5].velocity = v0;
        Step(w, false);
        EXPECT_EQ(w.cells[5 * 16 + 5].velocity, (v0 > 0.01f || v0 < -0.01f) ? v0 * 0.99f : v0) << v0;
    }

    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    std::srand(7);
    double magnitude = 0.0;
    for (int i = 0; i < 400; ++i) {
        if (i % 15 == 0) w.Drop(1.9f);
        Step(w, i % 2 == 0);
        double sum = 0.0;
        magnitude = 0.0;
        for (uint32_t k = 0; k < w.numVerts; ++k) {
            sum += w.cells[k].height;
            magnitude += std::fabs(w.cells[k].height);
        }
        ASSERT_LT(std::fabs(sum), 1e-3 + 1e-4 * magnitude) << "step " << i;
    }
    EXPECT_GT(magnitude, 0.1) << "drops must leave ripples";
}

TEST(WaterStrip, WindsOverEveryCellWithIndicesInRange) {
    for (unsigned short res : {4, 5, 8}) {
        SCOPED_TRACE(res);
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(res, 64.0f, true, 1.0f));
        const int n = Side(w);
        const uint32_t drawn = w.numIndices - 2;
        for (uint32_t i = 0; i < drawn; ++i) ASSERT_LT(w.indices[i], w.numVerts) << i;
        // Every non-degenerate triangle lies within one grid cell; together they cover
        // each of the (N-1)^2 cells exactly once (area 1 per cell, in grid units).
        std::vector<double> area(static_cast<size_t>(n) * n, 0.0);
        for (uint32_t i = 0; i + 2 < drawn; ++i) {
            const int a = w.indices[i], b = w.indices[i + 1], c = w.indices[i + 2];
            const int ar = a / n, ac = a % n, br = b / n, bc = b % n, cr = c / n, cc = c % n;
            const double twice = std::fabs(double(br - ar) * (cc - ac) - double(bc - ac) * (cr - ar));
            if (twice == 0.0) continue;
            const int rmin = std::min({ar, br, cr}), cmin = std::min({ac, bc, cc});
            ASSERT_EQ(std::max({ar, br, cr}) - rmin, 1) << "triangle " << i;
            ASSERT_EQ(std::max({ac, bc, cc}) - cmin, 1) << "triangle " << i;
            area[rmin * n + cmin] += twice / 2.0;
        }
        for (int r = 0; r + 1 < n; ++r)
            for (int c = 0; c + 1 < n; ++c) ASSERT_DOUBLE_EQ(area[r * n + c], 1.0) << "cell " << r << "," << c;
    }
}

TEST(WaterCaustics, BucketsFollowCellAreaWithSmallGridScale) {
    // A flat surface sends the light straight down: each caustic cell keeps the
    // lattice area (64 / (N - 1))^2, scaled by 0.3 for grids of 32 or fewer points.
    const uint32_t cases[][2] = {
        {4, 0u},         // area 18.2 x 0.3 -> bucket 119: dark (alpha 0)
        {5, 0x090909u},  // area 4.26 x 0.3 -> bucket 6
        {6, 0x0C0C0Cu},  // area 1.03 -> bucket 4 (0.3 would give bucket 0)
        {7, 0x404040u},  // area 0.254 -> bucket 0
    };
    for (const auto& c : cases) {
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(static_cast<unsigned short>(c[0]), 64.0f, true, 1.0f));
        Step(w, true);
        for (uint32_t i = 0; i < w.numVerts; ++i) {
            ASSERT_EQ(w.causticVerts[i].intensity, c[1]) << "res " << c[0] << " vertex " << i;
            ASSERT_FLOAT_EQ(w.causticVerts[i].x, w.vertices[i].x);
            ASSERT_FLOAT_EQ(w.causticVerts[i].z, w.vertices[i].z);
        }
    }
}

TEST(WaterCaustics, RowZeroAndColumnZeroCopyTheFarEdgeAndStepsWithoutCausticsKeepThem) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(6, 64.0f, true, 1.0f));
    const int n = Side(w);
    w.DropAt(0, 0, 1.9f);
    w.DropAt(30, 40, 1.9f);
    for (int i = 0; i < 30; ++i) Step(w, true);
    int distinct = 0;
    for (int r = 0; r < n; ++r) {
        EXPECT_EQ(w.causticVerts[r * n].intensity, w.causticVerts[r * n + n - 1].intensity) << r;
        EXPECT_EQ(w.causticVerts[r].intensity, w.causticVerts[(n - 1) * n + r].intensity) << r;
        for (int c = 1; c < n; ++c) distinct += w.causticVerts[r * n + c].intensity != w.causticVerts[r * n + 1].intensity;
    }
    EXPECT_GT(distinct, 0) << "ripples must vary the caustic brightness";

    std::vector<CAUSTICVERTEX> before(w.causticVerts, w.causticVerts + w.numVerts);
    Step(w, false);
    EXPECT_EQ(std::memcmp(before.data(), w.causticVerts, sizeof(CAUSTICVERTEX) * w.numVerts), 0);
}
