// View-frustum planes: extraction from real GL matrices (headless EGL) checked against
// what GL rasterises, and the sphere, point and edge tests at their boundaries.
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
// what the planes call visible is what GL draws.
TEST(Frustum, ExtractedPlanesAgreeWithRasterisedPoints) {
    EglContext ctx;
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
    // Between the near plane and the eye: in no view, though every side plane holds it.
    EXPECT_FALSE(SphereInFrustum(MakePoint(0, 0, 59.5f), 0.2f));
    EXPECT_EQ(SphereInFrustum2(MakePoint(0, 0, 59.5f), 0.2f), 5);
    EXPECT_FALSE(SphereInFrustum(MakePoint(0, 0, 62), 0.5f));  // behind the eye
    EXPECT_TRUE(SphereInFrustum(MakePoint(-10, 8, 20), 3));

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    const float points[][3] = {{0, 0, 0},    {20, 0, 0},    {30, 0, 0},    {-30, 5, 0}, {0, 22, 5},  {0, -28, -5},
                               {10, 10, 58}, {0, 0, 59.5f}, {0, 0, -35},   {0, 0, -45}, {50, 40, -30}, {-60, 0, 30}};
    for (auto& pt : points) {
        VECTOR3D p = MakePoint(pt[0], pt[1], pt[2]);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glBegin(GL_POINTS);
        glVertex3f(p.x, p.y, p.z);
        glEnd();
        auto px = ctx.ReadPixels();
        bool lit = false;
        for (size_t i = 0; i < px.size(); i += 4) lit = lit || px[i] > 128;
        EXPECT_EQ(lit, PointInFrustum(p)) << p.x << "," << p.y << "," << p.z;
    }

    // The same planes from the matrices read back; degenerate ones give no plane, not NaN.
    float P[16], M[16], saved[6][4];
    glGetFloatv(GL_PROJECTION_MATRIX, P);
    glGetFloatv(GL_MODELVIEW_MATRIX, M);
    std::memcpy(saved, frustum, sizeof saved);
    ExtractFrustumFromMatrices(P, M);
    EXPECT_EQ(std::memcmp(saved, frustum, sizeof saved), 0);
    float zero[16] = {};
    ExtractFrustumFromMatrices(zero, zero);
    for (auto& pl : frustum)
        for (float v : pl) EXPECT_EQ(v, 0.0f);
    EXPECT_FALSE(PointInFrustum(MakePoint(0, 0, 0)));

    // Matrices are laid out as GL's: a product and a turn agree with the GL stack.
    MATRIX a = MatrixFromAngle(MakePoint(15, 25, 35)), b = QuatToRotationMatrix(RotationToQuat(MakePoint(-40, 10, 70)));
    a.SetTranslation(MakePoint(1, 2, 3));
    b.SetTranslation(MakePoint(-4, 5, 0.5f));
    glLoadMatrixd(a.m);
    glMultMatrixd(b.m);
    glRotated(30, 0, 0, 1);  // Rz(30) = MatrixFromAngle(0, 0, -30)
    float gl[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    MATRIX ab = MultiplyMatrix(MultiplyMatrix(a, b), MatrixFromAngle(MakePoint(0, 0, -30)));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gl[i], ab.m[i], 1e-5) << i;
}

TEST(Frustum, SpherePointAndEdgeBoundaries) {
    SetBoxPlanes();
    const struct {
        float x, y, z, r;
        int plane;  // SphereInFrustum2: the first plane the sphere lies wholly outside, -1 none
    } spheres[] = {
        {2, 0, 0, 1.5f, -1},    // straddling the right plane counts as in view
        {3, 0, 0, 2, 0},        // touching it from outside does not
        {-3, 0, 0, 1, 1},       {0, -5, 0, 1, 2}, {0, 5, 0, 1, 3}, {0, 0, -3.5f, 0.2f, 4},
        {0, 0, 3.5f, 0.2f, 5},  // behind the near plane
        {0, 0, 0, 0, -1},       {0.5f, 0, 0, -0.4f, -1},
        {0.6f, 0, 0, -0.5f, 0},  // a negative radius must lie that far inside
    };
    for (const auto& s : spheres) {
        VECTOR3D c = MakePoint(s.x, s.y, s.z);
        EXPECT_EQ(SphereInFrustum(c, s.r), s.plane < 0) << s.x << "," << s.y << "," << s.z << " r " << s.r;
        EXPECT_EQ(SphereInFrustum2(c, s.r), s.plane) << s.x << "," << s.y << "," << s.z << " r " << s.r;
    }
    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(0, MakePoint(1.5f, 0, 0), 1.0f));
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(0, MakePoint(2, 0, 0), 1.0f));
    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(1, MakePoint(2, 0, 0), 1.0f));
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(6, MakePoint(0, 0, 0), 1.0f));
    EXPECT_TRUE(PointInFrustum(MakePoint(0.9f, 1.9f, 2.9f)));
    EXPECT_FALSE(PointInFrustum(MakePoint(1, 0, 0)));  // on a plane is outside

    // The point moved along one axis onto each plane; planes outside the table give 0.
    VECTOR3D p = MakePoint(0.25f, 0.5f, -1);
    const float want[8][3] = {{1, 0.5f, -1}, {-1, 0.5f, -1}, {0.25f, -2, -1}, {0.25f, 2, -1},
                              {0.25f, 0.5f, -3}, {0.25f, 0.5f, 3}, {0, 0, 0}, {0, 0, 0}};
    const int plane[8] = {0, 1, 2, 3, 4, 5, 6, -1};
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(plane[i], p), MakePoint(want[i][0], want[i][1], want[i][2])))
            << "plane " << plane[i];
}
