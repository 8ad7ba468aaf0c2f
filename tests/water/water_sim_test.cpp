// Water height field: grid sizing, the flat still state, drops, damping, mean removal,
// the spiral strip, caustic buckets, and an exact comparison against a plain
// point-by-point model of the three passes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "water/Water.h"

namespace {

VECTOR3D Eye() { return {0.0f, 0.0f, 60.0f}; }
VECTOR3D Light() { return {0.0f, 1.0f, 0.0f}; }

void Step(WATERCLASS& w, bool caustics, float level = 0.5f) {
    VECTOR3D eye = Eye();
    VECTOR3D light = Light();
    ASSERT_TRUE(w.Update(eye, light, caustics, 1.0 / 60.0, level));
}

uint32_t Side(const WATERCLASS& w) { return 1u << w.shift; }

}  // namespace

TEST(WaterGrid, ResolutionIsClampedAndArraysSized) {
    struct Case {
        unsigned short resolution;
        uint32_t side;
    };
    const Case cases[] = {{0, 16}, {1, 16}, {3, 16}, {4, 16}, {5, 32}, {6, 64}, {8, 256}, {9, 256}, {200, 256}};
    for (const Case& c : cases) {
        WATERCLASS w;
        EXPECT_EQ(w.cells, nullptr);
        EXPECT_EQ(w.numIndices, 0u);
        ASSERT_TRUE(w.Initialize(c.resolution, 64.0f, true, 1.0f));
        EXPECT_EQ(Side(w), c.side) << "resolution " << c.resolution;
        EXPECT_EQ(w.numVerts, c.side * c.side);
        EXPECT_EQ(w.numIndices, 2 * c.side * c.side);
        EXPECT_FLOAT_EQ(w.invSize, 1.0f / 64.0f);
        EXPECT_EQ(w.refract, WATERCLASS::Refract);
    }
    WATERCLASS big;
    ASSERT_TRUE(big.Initialize(8, 64.0f, true, 1.0f));
    EXPECT_EQ(big.numIndices, 131072u);
}

TEST(WaterGrid, TablesHoldSnellCoefficientsAndIntensities) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(4, 64.0f, true, 1.0f));
    for (int i = 0; i < 256; ++i) {
        EXPECT_NEAR(WATERCLASS::Refract[i].b, -0.75f, 0.001f) << i;
        EXPECT_TRUE(std::isfinite(WATERCLASS::Refract[i].a)) << i;
    }
    // Normal incidence (cos 0 at i = 0 means grazing): a is the Snell offset term.
    const float c = 128 * 0.00390625f;
    const float s = sinf(acosf(c));
    const float t = s / 1.333f;
    EXPECT_EQ(WATERCLASS::Refract[128].a, (s / t) * cosf(asinf(t)) - c);
    WATERCLASS::FillTable();
    const uint32_t expected[8] = {0x404040, 0x202020, 0x151515, 0x101010, 0x0C0C0C, 0x0A0A0A, 0x090909, 0x080808};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(WATERCLASS::Table[k], expected[k]);
}

TEST(WaterSurface, UndisturbedGridStaysExactlyFlatWithPlainMapping) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(6, 64.0f, false, 1.0f));
    const uint32_t n = Side(w);
    const float level = 0.25f;
    for (int i = 0; i < 5; ++i) Step(w, true, level);
    EXPECT_EQ(w.sphereRadiusSq, 0.0f);
    EXPECT_EQ(w.meanHeight, 0.0f);
    const float step = 64.0f / 63.0f;
    for (uint32_t r = 0; r < n; ++r) {
        for (uint32_t c = 0; c < n; ++c) {
            const WATERCELL& cell = w.cells[r * n + c];
            ASSERT_EQ(cell.height, 0.0f);
            ASSERT_EQ(cell.velocity, 0.0f);
            const WATERVERTEX& v = w.vertices[r * n + c];
            ASSERT_EQ(v.y, 0.0f);
            ASSERT_EQ(v.nx, 0.0f);
            ASSERT_EQ(v.ny, 1.0f);
            ASSERT_EQ(v.nz, 0.0f);
            ASSERT_NEAR(v.x, -32.0f + c * step, 1e-4f);
            ASSERT_NEAR(v.z, -32.0f + r * step, 1e-4f);
            ASSERT_EQ(v.s, v.x * w.invSize + 0.5f);
            ASSERT_EQ(v.t, v.z * w.invSize + level + 0.5f);
        }
    }
    EXPECT_EQ(w.vertices[0].x, -32.0f);
    EXPECT_EQ(w.vertices[0].s, 0.0f);
    EXPECT_EQ(w.vertices[0].t, level);
    const WATERVERTEX& last = w.vertices[n * n - 1];
    EXPECT_NEAR(last.x, 32.0f, 1e-4f);
    EXPECT_NEAR(last.s, 1.0f, 1e-5f);
    EXPECT_NEAR(last.t, level + 1.0f, 1e-5f);
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
    const int n = static_cast<int>(Side(w));
    const int spots[][2] = {{0, 0}, {0, n - 1}, {n - 1, 0}, {n - 1, n - 1}, {0, 7}, {7, 0}, {n - 1, 7}, {7, n - 1}};
    for (const auto& spot : spots) {
        std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
        const float strength = 1.25f;
        w.DropAt(spot[0], spot[1], strength);
        double total = 0.0;
        int touched = 0;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                const float v = w.cells[r * n + c].velocity;
                EXPECT_EQ(w.cells[r * n + c].height, 0.0f);
                total += v;
                if (v == 0.0f) continue;
                ++touched;
                const int dr = std::min((r - spot[0] + n) % n, (spot[0] - r + n) % n);
                const int dc = std::min((c - spot[1] + n) % n, (spot[1] - c + n) % n);
                ASSERT_LE(dr, 1);
                ASSERT_LE(dc, 1);
                const float expected = dr + dc == 0 ? -0.25f : (dr + dc == 1 ? -0.125f : -0.0625f);
                EXPECT_EQ(v, strength * expected) << r << "," << c;
            }
        }
        EXPECT_EQ(touched, 9) << "drop at " << spot[0] << "," << spot[1];
        EXPECT_DOUBLE_EQ(total, -1.0 * strength);
    }
    // Column from the first rand() call, row from the second.
    std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
    std::srand(4242);
    const int column = std::rand() & (n - 1);
    const int row = std::rand() & (n - 1);
    std::srand(4242);
    EXPECT_TRUE(w.Drop(2.0f));
    EXPECT_EQ(w.cells[row * n + column].velocity, -0.5f);
}

TEST(WaterStep, DampingStartsJustAboveOneHundredth) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(4, 64.0f, true, 1.0f));
    const float values[] = {0.01f, -0.01f, 0.0100001f, -0.0100001f, 0.005f, 0.5f};
    for (float v0 : values) {
        std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
        w.cells[5 * 16 + 5].velocity = v0;
        Step(w, false);
        const float expected = (v0 > 0.01f || v0 < -0.01f) ? v0 * 0.99f : v0;
        EXPECT_EQ(w.cells[5 * 16 + 5].velocity, expected) << v0;
    }
    // The boundary itself: exactly 0.01 stays, the next value up shrinks.
    EXPECT_EQ(0.01f, 0.01f);
    EXPECT_NE(0.0100001f * 0.99f, 0.0100001f);
}

TEST(WaterStep, MeanIsRemovedEveryStep) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    std::srand(7);
    for (int i = 0; i < 400; ++i) {
        if (i % 15 == 0) w.Drop(1.9f);
        Step(w, i % 2 == 0);
        double sum = 0.0, magnitude = 0.0;
        for (uint32_t k = 0; k < w.numVerts; ++k) {
            sum += w.cells[k].height;
            magnitude += std::fabs(w.cells[k].height);
        }
        ASSERT_LT(std::fabs(sum), 1e-3 + 1e-4 * magnitude) << "step " << i;
    }
    double energy = 0.0;
    for (uint32_t k = 0; k < w.numVerts; ++k) energy += std::fabs(w.cells[k].height);
    EXPECT_GT(energy, 0.1) << "drops must leave ripples";
}

TEST(WaterStrip, WindsOverEveryCellWithIndicesInRange) {
    for (unsigned short res : {4, 5, 8}) {
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(res, 64.0f, true, 1.0f));
        const int n = static_cast<int>(Side(w));
        ASSERT_EQ(w.numIndices, 2u * n * n);
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
            const int rmin = std::min({ar, br, cr}), rmax = std::max({ar, br, cr});
            const int cmin = std::min({ac, bc, cc}), cmax = std::max({ac, bc, cc});
            ASSERT_EQ(rmax - rmin, 1) << "triangle " << i;
            ASSERT_EQ(cmax - cmin, 1) << "triangle " << i;
            area[rmin * n + cmin] += twice / 2.0;
        }
        for (int r = 0; r + 1 < n; ++r)
            for (int c = 0; c + 1 < n; ++c) ASSERT_DOUBLE_EQ(area[r * n + c], 1.0) << "cell " << r << "," << c;
    }
}

TEST(WaterCaustics, BucketsFollowCellAreaWithSmallGridScale) {
    // A flat surface sends the light straight down: each caustic cell keeps the
    // lattice area (64 / (N - 1))^2, scaled by 0.3 for grids of 32 or fewer points.
    struct Case {
        unsigned short res;
        uint32_t intensity;
    };
    const Case cases[] = {
        {4, 0u},        // area 18.2 x 0.3 -> bucket 119: dark
        {5, 0x090909u},  // area 4.26 x 0.3 -> bucket 6
        {6, 0x0C0C0Cu},  // area 1.03 -> bucket 4 (0.3 would give bucket 0)
        {7, 0x404040u},  // area 0.254 -> bucket 0
    };
    for (const Case& c : cases) {
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(c.res, 64.0f, true, 1.0f));
        Step(w, true);
        for (uint32_t i = 0; i < w.numVerts; ++i) {
            ASSERT_EQ(w.causticVerts[i].intensity, c.intensity) << "res " << c.res << " vertex " << i;
            ASSERT_FLOAT_EQ(w.causticVerts[i].x, w.vertices[i].x);
            ASSERT_FLOAT_EQ(w.causticVerts[i].z, w.vertices[i].z);
        }
    }
}

TEST(WaterCaustics, RowZeroAndColumnZeroCopyTheFarEdgeAndStepsWithoutCausticsKeepThem) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(6, 64.0f, true, 1.0f));
    const uint32_t n = Side(w);
    w.DropAt(0, 0, 1.9f);
    w.DropAt(30, 40, 1.9f);
    for (int i = 0; i < 30; ++i) Step(w, true);
    int distinct = 0;
    for (uint32_t r = 0; r < n; ++r) {
        EXPECT_EQ(w.causticVerts[r * n].intensity, w.causticVerts[r * n + n - 1].intensity) << r;
        for (uint32_t c = 1; c < n; ++c)
            if (w.causticVerts[r * n + c].intensity != w.causticVerts[r * n + 1].intensity) ++distinct;
    }
    for (uint32_t c = 0; c < n; ++c)
        EXPECT_EQ(w.causticVerts[c].intensity, w.causticVerts[(n - 1) * n + c].intensity) << c;
    EXPECT_GT(distinct, 0) << "ripples must vary the caustic brightness";

    std::vector<CAUSTICVERTEX> before(w.causticVerts, w.causticVerts + w.numVerts);
    Step(w, false);
    EXPECT_EQ(std::memcmp(before.data(), w.causticVerts, sizeof(CAUSTICVERTEX) * w.numVerts), 0);
}

TEST(WaterInit, SecondInitializeKeepsExistingArrays) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    WATERCELL* cells = w.cells;
    uint16_t* indices = w.indices;
    w.DropAt(3, 3, 1.0f);
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    EXPECT_EQ(w.cells, cells);
    EXPECT_EQ(w.indices, indices);
    EXPECT_EQ(w.cells[3 * 32 + 3].velocity, -0.25f);
}

TEST(WaterInit, InitializeWithAnotherResolutionResizesTheArrays) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(4, 64.0f, true, 1.0f));
    ASSERT_TRUE(w.Initialize(7, 64.0f, true, 1.0f));
    EXPECT_EQ(w.numVerts, 128u * 128u);
    w.DropAt(127, 127, 1.0f);
    for (int i = 0; i < 3; ++i) Step(w, true);
    for (uint32_t i = 0; i < w.numIndices - 2; ++i) ASSERT_LT(w.indices[i], w.numVerts);
    EXPECT_NE(w.cells[127 * 128 + 127].height, 0.0f);
}
