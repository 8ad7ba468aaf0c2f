// View-frustum planes: extraction from real GL matrices (headless EGL), the plane order
// and orientation, and the sphere and point tests at their boundaries.
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

// The scene's camera: 45° vertical field, square view, eye at (0, 0, 60) on the origin.
void SetSceneCamera() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
}

// An axis-aligned box |x| < 1, |y| < 2, -3 < z < 3 in the plane order right, left,
// bottom, top, far, near.
void SetBoxPlanes() {
    const float box[6][4] = {{-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 2}, {0, -1, 0, 2}, {0, 0, 1, 3}, {0, 0, -1, 3}};
    std::memcpy(frustum, box, sizeof box);
}

}  // namespace

// The table as it is before the first extraction: every plane (0, 0, 0, 0).
TEST(Frustum, ZeroPlanesBeforeFirstExtraction) {
    std::memset(frustum, 0, sizeof frustum);
    VECTOR3D o = MakePoint(0, 0, 0);
    EXPECT_FALSE(PointInFrustum(o));
    EXPECT_TRUE(SphereInFrustum(o, 1.0f));
    EXPECT_FALSE(SphereInFrustum(o, 0.0f));
}

TEST(Frustum, ExtractsPlanesOfTheSceneCamera) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(32, 32));
    SetSceneCamera();
    ExtractFrustum();

    const double half = 22.5 * M_PI / 180.0;
    const float c = std::cos(half), s = std::sin(half);
    // Side planes pass through the eye (0, 0, 60) and lean inwards by the half angle.
    const float expected[6][4] = {
        {-c, 0, -s, 60 * s},  // right
        {c, 0, -s, 60 * s},   // left
        {0, c, -s, 60 * s},   // bottom
        {0, -c, -s, 60 * s},  // top
        {0, 0, 1, 40},        // far: 100 in front of the eye
        {0, 0, -1, 59},       // near: 1 in front of the eye
    };
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(frustum[i][k], expected[i][k], 2e-4) << "plane " << i << " coef " << k;

    // The same planes from the matrices read back by hand.
    float P[16], M[16], saved[6][4];
    glGetFloatv(GL_PROJECTION_MATRIX, P);
    glGetFloatv(GL_MODELVIEW_MATRIX, M);
    std::memcpy(saved, frustum, sizeof saved);
    std::memset(frustum, 0, sizeof frustum);
    ExtractFrustumFromMatrices(P, M);
    EXPECT_EQ(std::memcmp(saved, frustum, sizeof saved), 0);

    // Fish positions in the tank are in view; one far to the right or behind the eye is not.
    EXPECT_TRUE(SphereInFrustum(MakePoint(0, 0, 0), 3));
    EXPECT_TRUE(SphereInFrustum(MakePoint(-10, 8, 20), 3));
    EXPECT_FALSE(SphereInFrustum(MakePoint(80, 0, 0), 3));
    EXPECT_EQ(SphereInFrustum2(MakePoint(80, 0, 0), 3), 0);
    EXPECT_EQ(SphereInFrustum2(MakePoint(0, 0, 59.5f), 0.2f), 5);
    EXPECT_EQ(SphereInFrustum2(MakePoint(0, 0, -50), 3), 4);
    EXPECT_EQ(SphereInFrustum2(MakePoint(0, 0, 0), 3), -1);

    // Degenerate matrices give an empty table, not NaNs.
    float zero[16] = {};
    ExtractFrustumFromMatrices(zero, zero);
    for (auto& p : frustum)
        for (float v : p) EXPECT_EQ(v, 0.0f);
}

// What the planes call visible must match what GL actually rasterises.
TEST(Frustum, AgreesWithRasterisedPoints) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(64, 64));
    glViewport(0, 0, 64, 64);
    SetSceneCamera();
    ExtractFrustum();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glPointSize(1.0f);

    const float points[][3] = {{0, 0, 0},    {20, 0, 0},   {30, 0, 0},   {-30, 5, 0},
                               {0, 22, 5},   {0, -28, -5}, {10, 10, 58}, {0, 0, 61},
                               {0, 0, -35},  {0, 0, -45},  {50, 40, -30}, {-60, 0, 30}};
    for (auto& pt : points) {
        VECTOR3D p = MakePoint(pt[0], pt[1], pt[2]);
        // Skip points within a hair of a plane; the rasteriser's rounding decides those.
        bool nearEdge = false;
        for (auto& pl : frustum)
            if (std::fabs(pl[0] * p.x + pl[1] * p.y + pl[2] * p.z + pl[3]) < 0.5f) nearEdge = true;
        if (nearEdge) continue;

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
}

TEST(Frustum, SphereBoundariesAndNegativeRadius) {
    SetBoxPlanes();
    // Straddling the right plane counts as in view; exactly touching from outside does not.
    EXPECT_TRUE(SphereInFrustum(MakePoint(2, 0, 0), 1.5f));
    EXPECT_FALSE(SphereInFrustum(MakePoint(3, 0, 0), 2.0f));
    EXPECT_EQ(SphereInFrustum2(MakePoint(3, 0, 0), 2.0f), 0);
    EXPECT_EQ(SphereInFrustum2(MakePoint(0, -5, 0), 1.0f), 2);
    EXPECT_EQ(SphereInFrustum2(MakePoint(0, 0, 0.5f), 0.1f), -1);
    EXPECT_TRUE(SphereInFrustum(MakePoint(0, 0, 0), 0.0f));
    EXPECT_FALSE(SphereInFrustum(MakePoint(5, 5, 5), 1.0f));

    // Negative radius: true only when the whole sphere lies more than R inside.
    EXPECT_TRUE(SphereInFrustum(MakePoint(0, 0, 0), -0.5f));
    EXPECT_FALSE(SphereInFrustum(MakePoint(0.6f, 0, 0), -0.5f));  // reaches past x = 1
    EXPECT_FALSE(SphereInFrustum(MakePoint(0, 0, 0), -1.0f));     // exactly 1 from the sides

    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(0, MakePoint(1.5f, 0, 0), 1.0f));
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(0, MakePoint(2, 0, 0), 1.0f));
    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(1, MakePoint(2, 0, 0), 1.0f));
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(7, MakePoint(0, 0, 0), 1.0f));

    EXPECT_TRUE(PointInFrustum(MakePoint(0.9f, 1.9f, 2.9f)));
    EXPECT_FALSE(PointInFrustum(MakePoint(1, 0, 0)));  // on the plane is outside
}

TEST(Frustum, PointAtEdgeMovesAlongOneAxis) {
    SetBoxPlanes();
    VECTOR3D p = MakePoint(0.25f, 0.5f, -1);
    // Planes 0..5, then indices outside the table give the origin.
    const float want[8][3] = {{1, 0.5f, -1},    {-1, 0.5f, -1},   {0.25f, -2, -1}, {0.25f, 2, -1},
                              {0.25f, 0.5f, -3}, {0.25f, 0.5f, 3}, {0, 0, 0},       {0, 0, 0}};
    const int plane[8] = {0, 1, 2, 3, 4, 5, 6, -1};
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(plane[i], p), MakePoint(want[i][0], want[i][1], want[i][2])))
            << "plane " << plane[i];
}

// The matrix layout is OpenGL's own: products and transforms agree with the GL stack.
TEST(Frustum, MatrixLayoutMatchesOpenGL) {
    EglContext ctx;
    ASSERT_TRUE(ctx.Create(8, 8));
    MATRIX a = MatrixFromAngle(MakePoint(15, 25, 35));
    a.SetTranslation(MakePoint(1, 2, 3));
    MATRIX b = QuatToRotationMatrix(RotationToQuat(MakePoint(-40, 10, 70)));
    b.SetTranslation(MakePoint(-4, 5, 0.5f));
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(a.m);
    glMultMatrixd(b.m);
    float gl[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    MATRIX ab = MultiplyMatrix(a, b);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gl[i], ab.m[i], 1e-5) << i;

    // glRotate(θ, 0, 0, 1) is Rz(θ) = MatrixFromAngle(0, 0, -θ).
    glLoadIdentity();
    glRotated(30, 0, 0, 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    MATRIX rz = MatrixFromAngle(MakePoint(0, 0, -30));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gl[i], rz.m[i], 1e-6) << i;
}
