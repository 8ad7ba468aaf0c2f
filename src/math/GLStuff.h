// The six planes of a view volume and the in-view tests on them. FRUSTUM is a value the
// scene computes from its camera; the global table and ExtractFrustum read the same
// planes back from the current OpenGL matrices for code that draws without a camera.
#pragma once

#include "math/NiftyMaths.h"

enum { FRUSTUM_RIGHT = 0, FRUSTUM_LEFT = 1, FRUSTUM_BOTTOM = 2, FRUSTUM_TOP = 3, FRUSTUM_FAR = 4, FRUSTUM_NEAR = 5 };

// Planes (a, b, c, d): a·x + b·y + c·z + d is the signed distance, positive inside.
struct FRUSTUM {
    float planes[6][4] = {};

    // From column-major projection and modelview matrices. Degenerate matrices give
    // all-zero planes, which reject everything (rather than NaNs that pass every test).
    static FRUSTUM FromMatrices(const float projection[16], const float modelview[16]);

    float Distance(int plane, VECTOR3D p) const;
    bool PointIn(VECTOR3D p) const;
    // In view unless wholly outside some plane (touching counts as outside). A negative
    // radius asks whether the sphere lies wholly inside.
    bool SphereIn(VECTOR3D centre, float radius) const;
    // Index of the first rejecting plane, or -1.
    int FirstRejecting(VECTOR3D centre, float radius) const;
};

extern float frustum[6][4];

// Needs a current GL context.
void ExtractFrustum();
// Same extraction from explicit column-major projection and modelview matrices.
void ExtractFrustumFromMatrices(const float projection[16], const float modelview[16]);

// The tests below read the global table.
bool PointInFrustum(VECTOR3D p);
bool SphereInFrustum(VECTOR3D centre, float radius);
int SphereInFrustum2(VECTOR3D centre, float radius);
bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D centre, float radius);
// Moves p onto the plane along one axis; (0, 0, 0) for a plane number outside 0..5.
VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p);
