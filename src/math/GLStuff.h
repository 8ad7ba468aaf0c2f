// The six planes of the current OpenGL view volume and the in-view tests on them.
// ExtractFrustum refreshes the table from the current projection and modelview matrices.
#pragma once

#include "math/NiftyMaths.h"

enum {
    FRUSTUM_RIGHT = 0,
    FRUSTUM_LEFT = 1,
    FRUSTUM_BOTTOM = 2,
    FRUSTUM_TOP = 3,
    FRUSTUM_FAR = 4,
    FRUSTUM_NEAR = 5
};

// Planes (a, b, c, d): a·x + b·y + c·z + d is the signed distance, positive inside.
extern float frustum[6][4];

// Needs a current GL context.
void ExtractFrustum();
// Same extraction from explicit column-major projection and modelview matrices.
void ExtractFrustumFromMatrices(const float projection[16], const float modelview[16]);

bool PointInFrustum(VECTOR3D p);
// In view unless wholly outside some plane (touching counts as outside). A negative
// radius asks whether the sphere lies wholly inside.
bool SphereInFrustum(VECTOR3D centre, float radius);
// Index of the first rejecting plane, or -1.
int SphereInFrustum2(VECTOR3D centre, float radius);
bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D centre, float radius);
// Moves p onto the plane along one axis; (0, 0, 0) for a plane number outside 0..5.
VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p);
