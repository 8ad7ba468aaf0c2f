// CAMERA: projection, view and view volume without a GL context; Load hands them to GL.
#include "math/Camera.h"

#include <GL/gl.h>

#include <cmath>

namespace {

void Identity(float m[16]) {
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// out = a·b, each element summed in the order a(i,0)b(0,j) + ... + a(i,3)b(3,j).
void Multiply(const float a[16], const float b[16], float out[16]) {
    float r[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r[4 * j + i] =
                a[i] * b[4 * j] + a[4 + i] * b[4 * j + 1] + a[8 + i] * b[4 * j + 2] + a[12 + i] * b[4 * j + 3];
    for (int i = 0; i < 16; ++i) out[i] = r[i];
}

void Normalize(float v[3]) {
    const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0.0f) return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void Cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void CAMERA::Projection(float out[16]) const {
    Identity(out);
    const double radians = fovY / 2.0 * 3.14159265358979323846 / 180.0;
    const double sine = std::sin(radians);
    const double depth = zFar - zNear;
    // A degenerate request leaves the identity, as gluPerspective leaves the matrix alone.
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0f) return;
    const double cotangent = std::cos(radians) / sine;
    out[0] = static_cast<float>(cotangent / static_cast<double>(aspect));
    out[5] = static_cast<float>(cotangent);
    out[10] = static_cast<float>(-(zFar + zNear) / depth);
    out[11] = -1.0f;
    out[14] = static_cast<float>(-2.0 * zNear * zFar / depth);
    out[15] = 0.0f;
}

void CAMERA::View(float out[16]) const {
    float forward[3] = {lookAt.x - eye.x, lookAt.y - eye.y, lookAt.z - eye.z};
    const float worldUp[3] = {0.0f, 1.0f, 0.0f};
    float side[3], up[3];
    Normalize(forward);
    Cross(forward, worldUp, side);
    Normalize(side);
    Cross(side, forward, up);
    float look[16];
    Identity(look);
    for (int k = 0; k < 3; ++k) {
        look[4 * k] = side[k];
        look[4 * k + 1] = up[k];
        look[4 * k + 2] = -forward[k];
    }
    // Then the translation by -eye, folded into the last column.
    const float x = -eye.x, y = -eye.y, z = -eye.z;
    for (int i = 0; i < 4; ++i) look[12 + i] = look[i] * x + look[4 + i] * y + look[8 + i] * z + look[12 + i];
    if (roll == 0.0f) {
        for (int i = 0; i < 16; ++i) out[i] = look[i];
        return;
    }
    // Sine and cosine in single precision of the angle rounded to float, as glRotatef.
    const float radians = static_cast<float>(static_cast<double>(-roll) * (3.14159265358979323846 / 180.0));
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    float turn[16];
    Identity(turn);
    turn[0] = c;
    turn[5] = c;
    turn[4] = -s;
    turn[1] = s;
    Multiply(look, turn, out);
}

FRUSTUM CAMERA::Frustum() const {
    float p[16], v[16];
    Projection(p);
    View(v);
    return FRUSTUM::FromMatrices(p, v);
}

void CAMERA::Load() const {
    float m[16];
    glMatrixMode(GL_PROJECTION);
    Projection(m);
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    View(m);
    glLoadMatrixf(m);
}
