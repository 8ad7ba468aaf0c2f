// The water step against a plain point-by-point model written straight from the
// algorithm (in-place heights, wrap by masking, the named precisions), compared bit for
// bit after drops and many steps, so a faster Update cannot drift from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "water/Water.h"

namespace {

struct Model {
    int n = 0;
    float size = 64.0f;
    bool refraction = true;
    float waveSpeed = 1.0f;
    float mean = 0.0f;
    float radiusSq = 0.0f;
    std::vector<float> h, v;
    std::vector<WATERVERTEX> verts;
    std::vector<CAUSTICVERTEX> caustic;

    float& H(int r, int c) { return h[(r & (n - 1)) * n + (c & (n - 1))]; }

    static void Norm(float& x, float& y, float& z) {
        float len = std::sqrt(x * x + y * y + z * z);
        if (len != 0.0f) { x /= len; y /= len; z /= len; }
    }

    void Step(VECTOR3D eye, VECTOR3D light, bool caustics, float level) {
        float sum = 0.0f;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                float vel = v[r * n + c];
                if (vel > 0.01f || vel < -0.01f) vel = vel * 0.99f;
                float diag = (H(r - 1, c - 1) + H(r - 1, c + 1) + H(r + 1, c - 1) + H(r + 1, c + 1)) * 0.083333336f;
                float edge = (H(r - 1, c) + H(r, c - 1) + H(r, c + 1) + H(r + 1, c)) * 0.16666667f;
                vel = (waveSpeed * 0.25f) * (diag + edge - H(r, c)) + vel;
                v[r * n + c] = vel;
                sum += H(r, c) + vel;
            }
        mean = sum / float(n * n);
        if (refraction) radiusSq = 2500.0f;

        const float step = size / float(n - 1);
        const float inv = 1.0f / size;
        float z = -0.5f * size;
        for (int r = 0; r < n; ++r) {
            float x = -0.5f * size;
            for (int c = 0; c < n; ++c) {
                float hh = H(r, c) + v[r * n + c] - mean;
                H(r, c) = hh;
                VECTOR3D P{x, 5.0f * hh, z};
                float nx = (H(r - 1, c - 1) - H(r + 1, c + 1)) - (H(r - 1, c + 1) - H(r + 1, c - 1)) +
                           (H(r, c - 1) - H(r, c + 1));
                float nz = (H(r - 1, c - 1) - H(r + 1, c + 1)) + (H(r - 1, c) - H(r + 1, c)) +
                           (H(r - 1, c + 1) - H(r + 1, c - 1));
                float ny = 1.0f;
                Norm(nx, ny, nz);
                VECTOR3D E{eye.x - P.x, eye.y - P.y, eye.z - P.z};
                Norm(E.x, E.y, E.z);
                WATERVERTEX& out = verts[r * n + c];
                out.x = P.x; out.y = P.y; out.z = P.z;
                out.nx = nx; out.ny = ny; out.nz = nz;
                VECTOR3D Q{P.x, P.y - 20.0f, P.z};
                float d = radiusSq;
                if (refraction) d = float(double(Q.x * Q.x + Q.y * Q.y + Q.z * Q.z) - radiusSq);
                if (d < 0.0f) {
                    const REFRACTENTRY e = WATERCLASS::Refract[10];
                    VECTOR3D R{e.b * (e.a * nx + E.x), e.b * (e.a * ny + E.y), e.b * (e.a * nz + E.z)};
                    float beta = float(2.0 * double(R.x * Q.x + R.y * Q.y + R.z * Q.z));
                    float t = float((std::sqrt(double(beta * beta) + d * -4.0) - beta) * 0.5);
                    out.s = (R.x * t + x) * inv + 0.5f;
                    out.t = (R.z * t + z) * inv + level + 0.5f;
                } else {
                    out.s = x * inv + 0.5f;
                    out.t = z * inv + level + 0.5f;
                }
                x += step;
            }
            z += step;
        }
        if (!caustics) return;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                const WATERVERTEX& V = verts[r * n + c];
                int i = int(255.0 * V.ny);
                const REFRACTENTRY e = WATERCLASS::Refract[i];
                VECTOR3D Q{V.x, V.y - 20.0f, V.z};
                float d = float(double(Q.x * Q.x + Q.y * Q.y + Q.z * Q.z) - 2500.0);
                CAUSTICVERTEX& p = caustic[r * n + c];
                if (d < 0.0f) {
                    VECTOR3D R{e.b * (e.a * V.nx + light.x), e.b * (e.a * V.ny + light.y), e.b * (e.a * V.nz + light.z)};
                    float beta = float(2.0 * double(R.x * Q.x + R.y * Q.y + R.z * Q.z));
                    float t = float((std::sqrt(double(beta * beta) - 4.0 * d) - beta) * 0.5);
                    p.x = V.x + R.x * t; p.y = 0.0f; p.z = V.z + R.z * t;
                } else {
                    p.x = V.x; p.y = 0.0f; p.z = V.z;
                }
                if (r >= 1 && c >= 1) {
                    const CAUSTICVERTEX& p1 = caustic[(r - 1) * n + c - 1];
                    const CAUSTICVERTEX& p2 = caustic[(r - 1) * n + c];
                    float area = std::fabs((p1.x - p.x) * (p2.z - p.z) - (p1.z - p.z) * (p2.x - p.x));
                    if (n <= 32) area = float(area * 0.3);
                    double q = double(area * area) * 4.0;
                    p.intensity = q < 8.0 ? WATERCLASS::Table[int(q)] : 0u;
                }
            }
            caustic[r * n].intensity = caustic[r * n + n - 1].intensity;
        }
        for (int c = 0; c < n; ++c) caustic[c].intensity = caustic[(n - 1) * n + c].intensity;
    }
};

void ExpectSame(const WATERCLASS& w, const Model& m, int stepNo) {
    for (uint32_t i = 0; i < w.numVerts; ++i) {
        ASSERT_TRUE(w.cells[i].height == m.h[i] && w.cells[i].velocity == m.v[i]) << "step " << stepNo << " point " << i;
        const WATERVERTEX &a = w.vertices[i], &b = m.verts[i];
        const float got[] = {a.x, a.y, a.z, a.nx, a.ny, a.nz, a.s, a.t};
        const float want[] = {b.x, b.y, b.z, b.nx, b.ny, b.nz, b.s, b.t};
        for (int k = 0; k < 8; ++k) ASSERT_EQ(got[k], want[k]) << "step " << stepNo << " point " << i << " field " << k;
        const CAUSTICVERTEX &p = w.causticVerts[i], &q = m.caustic[i];
        ASSERT_TRUE(p.x == q.x && p.y == q.y && p.z == q.z && p.intensity == q.intensity)
            << "step " << stepNo << " caustic point " << i << ": " << p.x << "," << p.z << " " << p.intensity << " vs "
            << q.x << "," << q.z << " " << q.intensity;
    }
    ASSERT_EQ(w.meanHeight, m.mean);
}

void RunComparison(unsigned short res, bool refraction, float waveSpeed, bool pointByPoint) {
    WATERCLASS w;
    w.pointByPoint = pointByPoint;
    ASSERT_TRUE(w.Initialize(res, 64.0f, refraction, waveSpeed));
    WATERCLASS::FillTable();
    Model m;
    m.n = 1 << w.shift;
    m.refraction = refraction;
    m.waveSpeed = waveSpeed;
    m.h.assign(w.numVerts, 0.0f);
    m.v.assign(w.numVerts, 0.0f);
    m.verts.assign(w.numVerts, WATERVERTEX{});
    m.caustic.assign(w.numVerts, CAUSTICVERTEX{});
    VECTOR3D eye{0.0f, 0.0f, 60.0f};
    VECTOR3D light{0.0f, 1.0f, 0.0f};
    const int spots[][2] = {{0, 0}, {5, m.n - 1}, {m.n - 1, 9}, {m.n / 2, m.n / 3}};
    for (int s = 0; s < 60; ++s) {
        if (s % 15 == 0) {
            const auto& spot = spots[(s / 15) % 4];
            const float strength = 0.5f + 0.37f * float(s / 15);
            w.DropAt(spot[0], spot[1], strength);
            // The model takes the same velocities straight from the instance.
            for (uint32_t i = 0; i < w.numVerts; ++i) m.v[i] = w.cells[i].velocity;
        }
        const bool caustics = s % 3 != 1;
        const float level = 0.01f * float(s);
        ASSERT_TRUE(w.Update(eye, light, caustics, 0.016, level));
        m.Step(eye, light, caustics, level);
        ExpectSame(w, m, s);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace

TEST(WaterReference, MatchesThePlainModelBitForBit) {
    // Both the packed passes and the point-by-point ones (used where SSE2 is missing).
    for (bool plain : {false, true}) {
        for (unsigned short res : {4, 5, 6, 8}) {
            SCOPED_TRACE(testing::Message() << "resolution " << res << (plain ? " point by point" : " packed"));
            RunComparison(res, true, 1.0f, plain);
            if (::testing::Test::HasFatalFailure()) return;
        }
        SCOPED_TRACE("no refraction, slower waves");
        RunComparison(6, false, 0.7f, plain);
        if (::testing::Test::HasFatalFailure()) return;
    }
}
