// The tank's camera for tests: the view's perspective (45 degrees, near 1, far 120) and
// the camera at (0, 0, 60) looking at the origin, as frustum planes or as GL matrices.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "math/GLStuff.h"

namespace fishtest {

inline void TankMatrices(float aspect, float projection[16], float modelview[16])
{
    const double f = 1.0 / std::tan(22.5 * 3.141592653589793 / 180.0);
    const double n = 1.0, fa = 120.0;
    for (int i = 0; i < 16; i++) projection[i] = modelview[i] = 0.0f;
    projection[0] = (float)(f / aspect);
    projection[5] = (float)f;
    projection[10] = (float)((fa + n) / (n - fa));
    projection[11] = -1.0f;
    projection[14] = (float)(2.0 * fa * n / (n - fa));
    modelview[0] = modelview[5] = modelview[10] = modelview[15] = 1.0f;
    modelview[14] = -60.0f;
}

// Loads the planes of the tank's view into the shared frustum table (no GL needed).
inline void SetTankFrustum(float aspect = 4.0f / 3.0f)
{
    float p[16], m[16];
    TankMatrices(aspect, p, m);
    ExtractFrustumFromMatrices(p, m);
}

// The same view as a value, for the movement calls.
inline FRUSTUM TankFrustum(float aspect = 4.0f / 3.0f)
{
    float p[16], m[16];
    TankMatrices(aspect, p, m);
    return FRUSTUM::FromMatrices(p, m);
}

// Loads the same view into the current GL context.
inline void LoadTankView(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)width / height, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
}

}  // namespace fishtest
