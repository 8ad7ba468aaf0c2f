// The water of the tank: a periodic height field on an N x N torus (N = 2^shift), its
// refracting surface mesh and its caustic mesh, both drawn as one indexed triangle strip
// from interleaved client-side arrays. Leans on math/NiftyMaths.h (VECTOR3D).
#pragma once

#include <cstdint>

#include "math/NiftyMaths.h"

struct WATERCELL {
    float height;
    float velocity;
};

// Interleaved surface vertex, 48 bytes: position, normal, 16 unused bytes, s/t.
struct WATERVERTEX {
    float x, y, z;
    float nx, ny, nz;
    float unused[4];
    float s, t;
};

// Interleaved caustic vertex, 44 bytes: position, 12 unused bytes, packed grey
// intensity (0x00RRGGBB, one of the Table values or 0), colour r, g, b, a.
struct CAUSTICVERTEX {
    float x, y, z;
    float unused[3];
    uint32_t intensity;
    float r, g, b, a;
};

// Snell coefficients for one cosine of incidence (index / 256).
struct REFRACTENTRY {
    float a;
    float b;
};

static_assert(sizeof(WATERCELL) == 8, "WATERCELL layout");
static_assert(sizeof(WATERVERTEX) == 48, "WATERVERTEX layout");
static_assert(sizeof(CAUSTICVERTEX) == 44, "CAUSTICVERTEX layout");

class WATERCLASS {
public:
    WATERCLASS() = default;
    ~WATERCLASS();
    WATERCLASS(const WATERCLASS&) = delete;
    WATERCLASS& operator=(const WATERCLASS&) = delete;

    // resolution: log2 of the grid side, clamped to 4..8. size: world edge length.
    // Arrays that already exist are kept. False when an allocation failed.
    bool Initialize(unsigned short resolution, float size, bool refraction, float waveSpeed);
    // One simulation step, then the surface mesh and (caustics) the caustic mesh.
    // elapsed is not used: the step is fixed. level shifts the surface texture in t.
    bool Update(VECTOR3D& eye, VECTOR3D& light, bool caustics, double elapsed, float level);
    // Disturbs the velocities around a random grid point; total impulse -strength.
    bool Drop(float strength);
    // Same disturbance at a chosen point (row, column wrap around).
    void DropAt(int row, int column, float strength);
    bool DrawSurface();
    // The caustic mesh's triangles that lighten anything: the strip's triangles in their
    // order, less those whose three corners are dark (alpha 0 blends to no change).
    bool DrawCaustics();

    float size = 0.0f;
    float invSize = 1.0f;
    float meanHeight = 0.0f;
    float sphereRadiusSq = 0.0f;
    uint32_t numIndices = 0;
    uint32_t numVerts = 0;
    WATERCELL* cells = nullptr;             // owned, numVerts, row-major
    const REFRACTENTRY* refract = nullptr;  // the shared table
    uint16_t* indices = nullptr;            // owned, numIndices
    WATERVERTEX* vertices = nullptr;        // owned, numVerts
    CAUSTICVERTEX* causticVerts = nullptr;  // owned, numVerts
    // Triangles of the caustic strip with a lit corner, three indices each (owned,
    // capacity 3 (numIndices - 2)); set with the caustic mesh's colours by Update.
    uint16_t* litTriangles = nullptr;
    uint32_t numLitIndices = 0;
    bool refraction = true;
    float waveSpeed = 1.0f;
    uint16_t shift = 6;
    // Run the point-by-point passes even where the packed ones exist (same results;
    // for comparison in tests and benchmarks).
    bool pointByPoint = false;

    // Shared by every instance, filled on first use.
    static REFRACTENTRY Refract[256];
    static uint32_t Table[8];
    static void FillTable();

private:
    void FreeArrays();
    void VelocityPass();
    // Point-by-point passes, for targets without SSE2.
    void SurfacePass(const VECTOR3D& eye, float level);
    void CausticPass(const VECTOR3D& light);
    // Pass 1, and passes 2 and 3 fused row by row, four points at a time
    // (WaterRows.cpp); the same results bit for bit.
    void SurfaceAndCausticRows(const VECTOR3D& eye, const VECTOR3D& light, bool caustics, float level);
    void VelocityRows();
    void BuildStrip();
    // Colours from the intensities and the lit triangles (part of Update with caustics).
    void ShadeCaustics();

    // Per-row working arrays for the fused passes (16 N + 8 floats), owned.
    float* scratch = nullptr;
};
