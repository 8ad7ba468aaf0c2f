// The water height field: velocity pass, height + surface-mesh pass with refraction
// against a sphere around the tank, caustic-mesh pass, random drops, and the two draws.
// Every neighbour lookup wraps with the mask N - 1 (the field is a torus). Nothing is
// allocated after Initialize.
#include "water/Water.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

REFRACTENTRY WATERCLASS::Refract[256];
uint32_t WATERCLASS::Table[8];

namespace {

// Relative refractive index of water against air.
constexpr float kIndexRatio = 1.333f;
// Refraction sphere: centre (0, 20, 0), radius 50 (world units).
constexpr float kSphereCentreY = 20.0f;
constexpr float kSphereRadiusSq = 2500.0f;
// Packed intensity of a caustic cell of alpha 1 (0x404040).
constexpr double kFullIntensity = 4210752.0;

// Length-normalisation in single precision, as VECTOR3D::Normalize does it (a zero
// vector stays as it is), kept inline for the per-point loops.
inline void NormalizeInPlace(float& x, float& y, float& z) {
    const float len = std::sqrt(x * x + y * y + z * z);
    if (len != 0.0f) {
        x = x / len;
        y = y / len;
        z = z / len;
    }
}

}  // namespace

void WATERCLASS::FillTable() {
    if (Table[0] != 0) return;
    for (uint32_t k = 0; k < 8; ++k) Table[k] = (64u / (k + 1)) * 0x010101u;
}

WATERCLASS::~WATERCLASS() { FreeArrays(); }

void WATERCLASS::FreeArrays() {
    delete[] indices;
    indices = nullptr;
    delete[] vertices;
    vertices = nullptr;
    delete[] causticVerts;
    causticVerts = nullptr;
    delete[] litTriangles;
    litTriangles = nullptr;
    numLitIndices = 0;
    delete[] cells;
    cells = nullptr;
    delete[] scratch;
    scratch = nullptr;
}

bool WATERCLASS::Initialize(unsigned short resolution, float newSize, bool newRefraction, float newWaveSpeed) {
    size = newSize;
    invSize = 1.0f / newSize;
    const uint16_t newShift = resolution < 4 ? 4 : (resolution > 8 ? 8 : resolution);
    // Arrays kept from an earlier Initialize must match the grid they will be read as.
    if (newShift != shift && (cells || indices || vertices || causticVerts || litTriangles)) FreeArrays();
    shift = newShift;
    refraction = newRefraction;
    waveSpeed = newWaveSpeed;
    const uint32_t n = 1u << shift;
    numVerts = n * n;
    numIndices = 2 * n * n;

    if (refract == nullptr) {
        refract = Refract;
        for (int i = 0; i < 256; ++i) {
            const float c = static_cast<float>(i) * 0.00390625f;
            const float s = sinf(acosf(c));
            const float t = s / kIndexRatio;
            Refract[i].a = (s / t) * cosf(asinf(t)) - c;
            Refract[i].b = -t / s;
        }
    }
    if (cells == nullptr) {
        cells = new (std::nothrow) WATERCELL[numVerts];
        if (cells == nullptr) return false;
        std::memset(cells, 0, sizeof(WATERCELL) * numVerts);
    }
    if (indices == nullptr) {
        indices = new (std::nothrow) uint16_t[numIndices];
        if (indices == nullptr) return false;
        BuildStrip();
    }
    if (vertices == nullptr) {
        vertices = new (std::nothrow) WATERVERTEX[numVerts];
        if (vertices == nullptr) return false;
        std::memset(vertices, 0, sizeof(WATERVERTEX) * numVerts);
    }
    if (scratch == nullptr) {
        const size_t count = 16 * static_cast<size_t>(n) + 8;
        scratch = new (std::nothrow) float[count];
        if (scratch == nullptr) return false;
        std::memset(scratch, 0, sizeof(float) * count);
    }
    if (causticVerts == nullptr) {
        causticVerts = new (std::nothrow) CAUSTICVERTEX[numVerts];
        if (causticVerts == nullptr) return false;
        std::memset(causticVerts, 0, sizeof(CAUSTICVERTEX) * numVerts);
    }
    if (litTriangles == nullptr) {
        litTriangles = new (std::nothrow) uint16_t[3 * static_cast<size_t>(numIndices - 2)];
        if (litTriangles == nullptr) return false;
        numLitIndices = 0;
    }
    return true;
}

// Inward spiral of rings; each ring adds 8(m - 1) indices for edge length m, all rings
// together 2 N^2. Consecutive rings join through degenerate triangles.
void WATERCLASS::BuildStrip() {
    const uint32_t n = 1u << shift;
    uint32_t w = 0;
    auto put = [&](uint32_t row, uint32_t col) {
        if (w < numIndices) indices[w++] = static_cast<uint16_t>(row * n + col);
    };
    for (uint32_t k = 0; n > 2 * k; ++k) {
        const uint32_t m = n - 2 * k;
        for (uint32_t c = k; c <= k + m - 1; ++c) {
            put(k, c);
            put(k + 1, c);
        }
        for (uint32_t r = k + 1; r <= n - 1 - k; ++r) {
            put(r, n - 1 - k);
            put(r, n - 2 - k);
        }
        for (int c = static_cast<int>(n - 2 - k); c >= static_cast<int>(k); --c) {
            put(n - 1 - k, c);
            put(n - 2 - k, c);
        }
        for (int r = static_cast<int>(n - 2 - k); r >= static_cast<int>(k + 1); --r) {
            put(r, k);
            put(r, k + 1);
        }
    }
    for (uint32_t i = 0; i < numIndices; ++i) {
        if (i >= w || indices[i] >= numVerts) indices[i] = 0;
    }
}

bool WATERCLASS::Update(VECTOR3D& eye, VECTOR3D& light, bool caustics, double /*elapsed*/, float level) {
    if (cells == nullptr || vertices == nullptr || causticVerts == nullptr || scratch == nullptr ||
        litTriangles == nullptr)
        return true;
#if defined(__SSE2__)
    if (!pointByPoint) {
        VelocityRows();
        if (refraction) sphereRadiusSq = kSphereRadiusSq;
        SurfaceAndCausticRows(eye, light, caustics, level);
        if (caustics) ShadeCaustics();
        return true;
    }
#endif
    VelocityPass();
    if (refraction) sphereRadiusSq = kSphereRadiusSq;
    SurfacePass(eye, level);
    if (caustics) {
        CausticPass(light);
        ShadeCaustics();
    }
    return true;
}

void WATERCLASS::ShadeCaustics() {
    for (uint32_t i = 0; i < numVerts; ++i) {
        CAUSTICVERTEX& v = causticVerts[i];
        v.r = 1.0f;
        v.g = 1.0f;
        v.b = 1.0f;
        v.a = static_cast<float>(static_cast<double>(v.intensity) / kFullIntensity);
    }
    // A triangle whose corners are all dark blends (src * 0 + dst * 1) to exactly what is
    // there, and on a software rasteriser each of these tiny triangles costs its setup
    // whether it changes a pixel or not; degenerate joins cost a little too. The rest keep
    // the strip's order, and so the blend order. The strip is drawn as numIndices - 2
    // indices (see DrawSurface).
    const uint32_t drawn = numIndices - 2;
    uint32_t w = 0;
    for (uint32_t i = 0; i + 2 < drawn; ++i) {
        uint16_t a = indices[i], b = indices[i + 1];
        const uint16_t c = indices[i + 2];
        if (a == b || b == c || a == c) continue;
        if (causticVerts[a].intensity == 0 && causticVerts[b].intensity == 0 && causticVerts[c].intensity == 0)
            continue;
        if (i & 1) {
            const uint16_t t = a;
            a = b;
            b = t;
        }
        litTriangles[w++] = a;
        litTriangles[w++] = b;
        litTriangles[w++] = c;
    }
    numLitIndices = w;
}

// Pass 1: damped velocities from the 3 x 3 neighbourhood (weights 1/12 diagonal, 1/6
// edge), and the running mean of height + velocity. Heights are only read.
void WATERCLASS::VelocityPass() {
    const uint32_t n = 1u << shift;
    const uint32_t mask = n - 1;
    const float speed = waveSpeed * 0.25f;
    WATERCELL* const field = cells;
    float sum = 0.0f;
    for (uint32_t r = 0; r < n; ++r) {
        const WATERCELL* up = field + ((r - 1) & mask) * n;
        WATERCELL* mid = field + r * n;
        const WATERCELL* dn = field + ((r + 1) & mask) * n;
        for (uint32_t c = 0; c < n; ++c) {
            const uint32_t cl = (c - 1) & mask;
            const uint32_t cr = (c + 1) & mask;
            float v = mid[c].velocity;
            if (v > 0.01f || v < -0.01f) v = v * 0.99f;
            const float h = mid[c].height;
            const float diagonal = (up[cl].height + up[cr].height + dn[cl].height + dn[cr].height) * 0.083333336f;
            const float edge = (up[c].height + mid[cl].height + mid[cr].height + dn[c].height) * 0.16666667f;
            v = speed * (diagonal + edge - h) + v;
            mid[c].velocity = v;
            sum += h + v;
        }
    }
    meanHeight = sum / static_cast<float>(numVerts);
}

// Pass 2: heights advance in place (row-major, so earlier neighbours already hold their
// new heights), then each point's vertex: position, normal, and texture coordinates
// bent by the refracted view ray where it leaves the sphere.
void WATERCLASS::SurfacePass(const VECTOR3D& eye, float level) {
    const uint32_t n = 1u << shift;
    const uint32_t mask = n - 1;
    const float step = size / static_cast<float>(n - 1);
    const float start = -0.5f * size;
    const float mean = meanHeight;
    const float radiusSq = sphereRadiusSq;
    const bool bend = refraction;
    const float ra = refract[10].a;
    const float rb = refract[10].b;
    const float inv = invSize;
    WATERCELL* const field = cells;
    WATERVERTEX* const out = vertices;

    float z = start;
    for (uint32_t r = 0; r < n; ++r) {
        WATERCELL* up = field + ((r - 1) & mask) * n;
        WATERCELL* mid = field + r * n;
        WATERCELL* dn = field + ((r + 1) & mask) * n;
        WATERVERTEX* row = out + r * n;
        float x = start;
        for (uint32_t c = 0; c < n; ++c) {
            const uint32_t cl = (c - 1) & mask;
            const uint32_t cr = (c + 1) & mask;
            const float h = mid[c].height + mid[c].velocity - mean;
            mid[c].height = h;
            const float px = x, py = 5.0f * h, pz = z;

            const float d1 = up[cl].height - dn[cr].height;
            const float d2 = up[cr].height - dn[cl].height;
            float nx = d1 - d2 + (mid[cl].height - mid[cr].height);
            float ny = 1.0f;
            float nz = d1 + (up[c].height - dn[c].height) + d2;
            NormalizeInPlace(nx, ny, nz);

            WATERVERTEX& v = row[c];
            v.x = px;
            v.y = py;
            v.z = pz;
            v.nx = nx;
            v.ny = ny;
            v.nz = nz;

            float d = radiusSq;
            const float qx = px, qy = py - kSphereCentreY, qz = pz;
            if (bend) d = static_cast<float>(static_cast<double>(qx * qx + qy * qy + qz * qz) - radiusSq);
            if (d < 0.0f) {
                float ex = eye.x - px, ey = eye.y - py, ez = eye.z - pz;
                NormalizeInPlace(ex, ey, ez);
                const float rx = rb * (ra * nx + ex);
                const float ry = rb * (ra * ny + ey);
                const float rz = rb * (ra * nz + ez);
                const float beta = 2.0f * (rx * qx + ry * qy + rz * qz);
                const float t = static_cast<float>(
                    (std::sqrt(static_cast<double>(beta * beta) + static_cast<double>(d) * -4.0) - beta) * 0.5);
                v.s = (rx * t + x) * inv + 0.5f;
                v.t = (rz * t + z) * inv + level + 0.5f;
            } else {
                v.s = x * inv + 0.5f;
                v.t = z * inv + level + 0.5f;
            }
            x += step;
        }
        z += step;
    }
}

// Pass 3: where light along `light`, refracted at each surface vertex, meets the floor
// of the sphere (flattened to y = 0), and how bright each cell is from how far its
// corners converge. Row 0 and column 0 copy their intensities from row / column N - 1.
void WATERCLASS::CausticPass(const VECTOR3D& light) {
    FillTable();
    const uint32_t n = 1u << shift;
    const bool smallGrid = shift <= 5;
    const float lx = light.x, ly = light.y, lz = light.z;
    const WATERVERTEX* const surf = vertices;
    CAUSTICVERTEX* const out = causticVerts;
    const REFRACTENTRY* const table = refract;

    for (uint32_t r = 0; r < n; ++r) {
        const WATERVERTEX* srow = surf + r * n;
        CAUSTICVERTEX* row = out + r * n;
        const CAUSTICVERTEX* prev = out + ((r - 1) & (n - 1)) * n;
        for (uint32_t c = 0; c < n; ++c) {
            const WATERVERTEX& v = srow[c];
            const int i = static_cast<int>(255.0 * v.ny);
            const REFRACTENTRY e = table[i < 0 ? 0 : (i > 255 ? 255 : i)];
            const float qx = v.x, qy = v.y - kSphereCentreY, qz = v.z;
            const float d = static_cast<float>(static_cast<double>(qx * qx + qy * qy + qz * qz) - 2500.0);
            float cx = v.x, cz = v.z;
            if (d < 0.0f) {
                const float rx = e.b * (e.a * v.nx + lx);
                const float ry = e.b * (e.a * v.ny + ly);
                const float rz = e.b * (e.a * v.nz + lz);
                const float beta = 2.0f * (rx * qx + ry * qy + rz * qz);
                const float t = static_cast<float>(
                    (std::sqrt(static_cast<double>(beta * beta) - 4.0 * static_cast<double>(d)) - beta) * 0.5);
                cx = v.x + rx * t;
                cz = v.z + rz * t;
            }
            CAUSTICVERTEX& p = row[c];
            p.x = cx;
            p.y = 0.0f;
            p.z = cz;
            if (r >= 1 && c >= 1) {
                const CAUSTICVERTEX& p1 = prev[c - 1];
                const CAUSTICVERTEX& p2 = prev[c];
                float area = std::fabs((p1.x - cx) * (p2.z - cz) - (p1.z - cz) * (p2.x - cx));
                if (smallGrid) area = static_cast<float>(area * 0.3);
                // Compare before truncating: a huge area must not overflow the integer.
                const double q = static_cast<double>(area * area) * 4.0;
                p.intensity = q < 8.0 ? Table[static_cast<int>(q)] : 0u;
            }
        }
        row[0].intensity = row[n - 1].intensity;
    }
    const CAUSTICVERTEX* last = out + (n - 1) * n;
    for (uint32_t c = 0; c < n; ++c) out[c].intensity = last[c].intensity;
}

void WATERCLASS::DropAt(int row, int column, float strength) {
    if (cells == nullptr) return;
    const int n = 1 << shift;
    const int mask = n - 1;
    auto at = [&](int r, int c) -> float& { return cells[(r & mask) * n + (c & mask)].velocity; };
    at(row, column) += strength * -0.25f;
    at(row, column - 1) += strength * -0.125f;
    at(row, column + 1) += strength * -0.125f;
    at(row - 1, column) += strength * -0.125f;
    at(row + 1, column) += strength * -0.125f;
    at(row - 1, column - 1) += strength * -0.0625f;
    at(row + 1, column + 1) += strength * -0.0625f;
    at(row - 1, column + 1) += strength * -0.0625f;
    at(row + 1, column - 1) += strength * -0.0625f;
}

bool WATERCLASS::Drop(float strength) {
    const int mask = (1 << shift) - 1;
    const int column = std::rand() & mask;
    const int row = std::rand() & mask;
    DropAt(row, column, strength);
    return true;
}

bool WATERCLASS::DrawSurface() {
    if (vertices == nullptr || indices == nullptr) return true;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const char* base = reinterpret_cast<const char*>(vertices);
    glVertexPointer(3, GL_FLOAT, sizeof(WATERVERTEX), base);
    glNormalPointer(GL_FLOAT, sizeof(WATERVERTEX), base + 12);
    glTexCoordPointer(2, GL_FLOAT, sizeof(WATERVERTEX), base + 40);
    glDrawElements(GL_TRIANGLE_STRIP, static_cast<GLsizei>(numIndices - 2), GL_UNSIGNED_SHORT, indices);
    return true;
}

bool WATERCLASS::DrawCaustics() {
    if (causticVerts == nullptr || litTriangles == nullptr) return true;
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    const char* base = reinterpret_cast<const char*>(causticVerts);
    glVertexPointer(3, GL_FLOAT, sizeof(CAUSTICVERTEX), base);
    glColorPointer(4, GL_FLOAT, sizeof(CAUSTICVERTEX), base + 28);
    if (numLitIndices > 0)
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(numLitIndices), GL_UNSIGNED_SHORT, litTriangles);
    glDisableClientState(GL_COLOR_ARRAY);
    return true;
}
