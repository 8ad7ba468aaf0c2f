// Water height field: grid and strip, drops, packed rows against plain passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "water/Water.h"

namespace {

VECTOR3D kEye{0.0f, 0.0f, 60.0f}, kLight{0.0f, 1.0f, 0.0f};

void Step(WATERCLASS& w, bool caustics = true, float level = 0.5f) {
    ASSERT_TRUE(w.Update(kEye, kLight, caustics, 1.0 / 60.0, level));
}

}  // namespace

TEST(Water, GridIsClampedAndReinitialisedAndItsStripCoversEveryCell) {
    for (unsigned short res : {0, 4, 5, 8, 200}) {
        SCOPED_TRACE(res);
        WATERCLASS w;
        ASSERT_TRUE(w.Initialize(res, 64.0f, true, 1.0f));
        const int n = 1 << w.shift;
        EXPECT_EQ(n, res < 4 ? 16 : res > 8 ? 256 : 1 << res);
        EXPECT_EQ(w.numVerts, uint32_t(n * n));
        // Every non-degenerate triangle lies in one grid cell; together they cover each
        // cell once (area 1 in grid units).
        std::vector<double> area(size_t(n) * n, 0.0);
        for (uint32_t i = 0; i + 2 < w.numIndices - 2; ++i) {
            const int a = w.indices[i], b = w.indices[i + 1], c = w.indices[i + 2];
            ASSERT_TRUE(a < n * n && b < n * n && c < n * n);
            const double twice =
                std::fabs(double(b / n - a / n) * (c % n - a % n) - double(b % n - a % n) * (c / n - a / n));
            if (twice == 0.0) continue;
            const int r0 = std::min({a / n, b / n, c / n}), c0 = std::min({a % n, b % n, c % n});
            ASSERT_TRUE(std::max({a / n, b / n, c / n}) - r0 == 1 && std::max({a % n, b % n, c % n}) - c0 == 1) << i;
            area[r0 * n + c0] += twice / 2.0;
        }
        for (int r = 0; r + 1 < n; ++r)
            for (int c = 0; c + 1 < n; ++c) ASSERT_DOUBLE_EQ(area[r * n + c], 1.0) << r << "," << c;
    }
    // The same resolution keeps the arrays and what they hold; another resizes them all.
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    WATERCELL* cells = w.cells;
    w.DropAt(3, 3, 1.0f);
    ASSERT_TRUE(w.Initialize(5, 64.0f, true, 1.0f));
    EXPECT_TRUE(w.cells == cells && w.cells[3 * 32 + 3].velocity == -0.25f);
    ASSERT_TRUE(w.Initialize(7, 64.0f, true, 1.0f));
    w.DropAt(127, 127, 1.0f);
    for (int i = 0; i < 3; ++i) Step(w);
    EXPECT_NE(w.cells[127 * 128 + 127].height, 0.0f);
}

TEST(Water, DropsWrapAndCarryTheirImpulse) {
    WATERCLASS w;
    ASSERT_TRUE(w.Initialize(4, 64.0f, true, 1.0f));
    const int n = 1 << w.shift;
    for (auto spot : {std::pair<int, int>{0, 0}, {0, n - 1}, {n - 1, 0}, {n - 1, n - 1}, {7, 0}, {n - 1, 7}}) {
        std::memset(w.cells, 0, sizeof(WATERCELL) * w.numVerts);
        w.DropAt(spot.first, spot.second, 1.25f);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const int dr = std::min((r - spot.first + n) % n, (spot.first - r + n) % n);
                const int dc = std::min((c - spot.second + n) % n, (spot.second - c + n) % n);
                const float want = std::max(dr, dc) > 1 ? 0.0f
                                                        : 1.25f * (dr + dc == 0   ? -0.25f
                                                                   : dr + dc == 1 ? -0.125f
                                                                                  : -0.0625f);
                ASSERT_EQ(w.cells[r * n + c].velocity, want)
                    << spot.first << "," << spot.second << ": " << r << "," << c;
            }
    }
}

// The packed rows against the point-by-point passes, bit for bit, through drops,
// steps with and without caustics, both refraction settings and several grid sizes.
TEST(Water, PackedRowsMatchThePointByPointPasses) {
    const struct {
        unsigned short res;
        bool refraction;
        float speed;
    } cases[] = {{4, true, 1.0f}, {5, true, 1.0f}, {6, false, 0.7f}, {8, true, 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "resolution " << c.res << " refraction " << c.refraction);
        WATERCLASS packed, plain;
        plain.pointByPoint = true;
        ASSERT_TRUE(packed.Initialize(c.res, 64.0f, c.refraction, c.speed));
        ASSERT_TRUE(plain.Initialize(c.res, 64.0f, c.refraction, c.speed));
        const int n = 1 << packed.shift;
        const int spots[][2] = {{0, 0}, {5, n - 1}, {n - 1, 9}, {n / 2, n / 3}};
        for (int s = 0; s < 40; ++s) {
            if (s % 10 == 0)
                for (WATERCLASS* w : {&packed, &plain})
                    w->DropAt(spots[s / 10][0], spots[s / 10][1], 0.5f + 0.37f * s / 10);
            for (WATERCLASS* w : {&packed, &plain}) Step(*w, s % 3 != 1, 0.01f * s);
            ASSERT_EQ(0, std::memcmp(packed.cells, plain.cells, sizeof(WATERCELL) * packed.numVerts)) << "step " << s;
            for (uint32_t i = 0; i < packed.numVerts; ++i) {
                const WATERVERTEX &a = packed.vertices[i], &b = plain.vertices[i];
                const CAUSTICVERTEX &p = packed.causticVerts[i], &q = plain.causticVerts[i];
                ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.nx == b.nx && a.ny == b.ny && a.nz == b.nz &&
                            a.s == b.s && a.t == b.t)
                    << "step " << s << " point " << i;
                ASSERT_TRUE(p.x == q.x && p.y == q.y && p.z == q.z && p.intensity == q.intensity)
                    << "step " << s << " caustic point " << i;
            }
            ASSERT_EQ(packed.meanHeight, plain.meanHeight);
        }
        // Refraction bends the picture only when asked; the caustics bend either way.
        int bent = 0, moved = 0;
        for (uint32_t i = 0; i < packed.numVerts; ++i) {
            const WATERVERTEX& v = packed.vertices[i];
            bent += v.s != v.x * packed.invSize + 0.5f;
            moved += std::fabs(packed.causticVerts[i].x - v.x) > 1e-4f;
        }
        EXPECT_TRUE(c.refraction ? bent > 10 : bent == 0) << bent;
        EXPECT_GT(moved, 10);
    }
}
