// View-volume planes from matrices (or the current OpenGL ones), and in-view tests on them.
#include "math/GLStuff.h"

#include <GL/gl.h>

#include <cmath>

float frustum[6][4] = {};

void ExtractFrustum() {
    float proj[16], modl[16];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    glGetFloatv(GL_MODELVIEW_MATRIX, modl);
    ExtractFrustumFromMatrices(proj, modl);
}

FRUSTUM FRUSTUM::FromMatrices(const float P[16], const float M[16]) {
    float K[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            K[4 * i + j] =
                M[4 * i] * P[j] + M[4 * i + 1] * P[4 + j] + M[4 * i + 2] * P[8 + j] + M[4 * i + 3] * P[12 + j];

    // Row 3 of the clip matrix plus or minus row k: (k, sign) per plane index.
    static const int row[6] = {0, 0, 1, 1, 2, 2};
    static const float sign[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
    FRUSTUM out;
    for (int p = 0; p < 6; ++p) {
        int k = row[p];
        float s = sign[p];
        float* f = out.planes[p];
        f[0] = K[3] + s * K[k];
        f[1] = K[7] + s * K[4 + k];
        f[2] = K[11] + s * K[8 + k];
        f[3] = K[15] + s * K[12 + k];
        float len = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
        if (len == 0.0f || !std::isfinite(len)) {
            f[0] = f[1] = f[2] = f[3] = 0.0f;
            continue;
        }
        for (int c = 0; c < 4; ++c) f[c] /= len;
    }
    return out;
}

float FRUSTUM::Distance(int plane, VECTOR3D p) const {
    const float* f = planes[plane];
    return f[0] * p.x + f[1] * p.y + f[2] * p.z + f[3];
}

bool FRUSTUM::PointIn(VECTOR3D p) const {
    for (int i = 0; i < 6; ++i)
        if (Distance(i, p) <= 0.0f) return false;
    return true;
}

bool FRUSTUM::SphereIn(VECTOR3D centre, float radius) const { return FirstRejecting(centre, radius) < 0; }

int FRUSTUM::FirstRejecting(VECTOR3D centre, float radius) const {
    for (int i = 0; i < 6; ++i)
        if (-radius >= Distance(i, centre)) return i;
    return -1;
}

namespace {
FRUSTUM GlobalTable() {
    FRUSTUM f;
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 4; ++c) f.planes[i][c] = frustum[i][c];
    return f;
}
}  // namespace

void ExtractFrustumFromMatrices(const float P[16], const float M[16]) {
    const FRUSTUM f = FRUSTUM::FromMatrices(P, M);
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 4; ++c) frustum[i][c] = f.planes[i][c];
}

bool PointInFrustum(VECTOR3D p) { return GlobalTable().PointIn(p); }

bool SphereInFrustum(VECTOR3D centre, float radius) { return GlobalTable().SphereIn(centre, radius); }

int SphereInFrustum2(VECTOR3D centre, float radius) { return GlobalTable().FirstRejecting(centre, radius); }

bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D centre, float radius) {
    if (plane < 0 || plane > 5) return false;
    return GlobalTable().Distance(plane, centre) > -radius;
}

VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p) {
    if (plane < 0 || plane > 5) return {0.0f, 0.0f, 0.0f};
    const float* f = frustum[plane];
    VECTOR3D r = p;
    if (plane <= 1)
        r.x = -(f[1] * p.y + f[3] + f[2] * p.z) / f[0];
    else if (plane <= 3)
        r.y = -(f[2] * p.z + f[3] + f[0] * p.x) / f[1];
    else
        r.z = -(f[1] * p.y + f[3] + f[0] * p.x) / f[2];
    return r;
}
