// View-frustum planes from real GL matrices, and the sphere and point tests.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "math/GLStuff.h"
#include "math/Misc.h"
#include "math/NiftyMaths.h"
#include "test_support.h"

namespace {

// An axis-aligned box |x| < 1, |y| < 2, |z| < 3 in the plane order right, left,
// bottom, top, far, near.
void SetBoxPlanes() {
    const float box[6][4] = {{-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 2}, {0, -1, 0, 2}, {0, 0, 1, 3}, {0, 0, -1, 3}};
    std::memcpy(frustum, box, sizeof box);
}

}  // namespace

// The scene's camera (45° field, eye at (0, 0, 60) on the origin, near 1, far 100):
// the planes read back from GL's own matrices.
TEST(Frustum, ExtractedPlanesOfTheScenesCamera) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(64, 64));
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
    ExtractFrustum();
    // Side planes through the eye leaning in by half the field; far 100 and near 1 ahead.
    const float c = std::cos(22.5 * M_PI / 180), s = std::sin(22.5 * M_PI / 180);
    const float want[6][4] = {{-c, 0, -s, 60 * s}, {c, 0, -s, 60 * s}, {0, c, -s, 60 * s},
                              {0, -c, -s, 60 * s}, {0, 0, 1, 40},      {0, 0, -1, 59}};
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(frustum[i][k], want[i][k], 2e-4) << "plane " << i << " coef " << k;
    float zero[16] = {};
    ExtractFrustumFromMatrices(zero, zero);  // degenerate: planes that reject everything, not NaN
    EXPECT_FALSE(PointInFrustum(MakePoint(0, 0, 0)));
}

TEST(Frustum, SpherePointAndEdgeBoundaries) {
    SetBoxPlanes();
    const struct {
        float x, y, z, r;
        int plane;  // SphereInFrustum2: the first plane the sphere lies wholly outside, -1 none
    } spheres[] = {
        {2, 0, 0, 1.5f, -1},  // straddling the right plane counts as in view
        {3, 0, 0, 2, 0},      // touching it from outside does not
        {-3, 0, 0, 1, 1},       {0, -5, 0, 1, 2},        {0, 5, 0, 1, 3},
        {0, 0, -3.5f, 0.2f, 4}, {0, 0, 3.5f, 0.2f, 5},                            // behind the near plane
        {0, 0, 0, 0, -1},       {0.5f, 0, 0, -0.4f, -1}, {0.6f, 0, 0, -0.5f, 0},  // a negative radius must lie that far
                                                                                  // inside
    };
    for (const auto& s : spheres) {
        VECTOR3D c = MakePoint(s.x, s.y, s.z);
        EXPECT_EQ(SphereInFrustum(c, s.r), s.plane < 0) << s.x << "," << s.y << "," << s.z << " r " << s.r;
        EXPECT_EQ(SphereInFrustum2(c, s.r), s.plane) << s.x << "," << s.y << "," << s.z << " r " << s.r;
    }
    EXPECT_TRUE(PointInFrustum(MakePoint(0.9f, 1.9f, 2.9f)));
    EXPECT_FALSE(PointInFrustum(MakePoint(1, 0, 0)));  // on a plane is outside
}
