// The scene's camera as a value: a perspective projection, a look-at view turned by the
// tank's roll, and the view volume both give. Computed in single precision in the order
// the fixed-function pipeline builds the same matrices (gluPerspective, gluLookAt,
// glRotatef about z), so loading them or reading GL back gives the same planes.
#pragma once

#include "math/GLStuff.h"
#include "math/NiftyMaths.h"

struct CAMERA {
    VECTOR3D eye{0.0f, 0.0f, 60.0f};
    VECTOR3D lookAt{0.0f, 0.0f, 0.0f};  // up is +y
    double fovY = 45.0;                 // degrees
    float aspect = 4.0f / 3.0f;         // width / height of the view
    double zNear = 1.0;
    double zFar = 120.0;
    float roll = 0.0f;  // degrees; the world turns by -roll about the view axis

    // Column-major, as glLoadMatrixf takes them.
    void Projection(float out[16]) const;
    void View(float out[16]) const;
    // Both into the current GL context; the modelview matrix is left current.
    void Load() const;
    FRUSTUM Frustum() const;
};
