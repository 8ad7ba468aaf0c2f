// The maths helpers against their definitions (matrices as 16 elements, quaternions as
// x, y, z, w), frustum planes from real GL matrices, the wrapping clamp and the error hooks.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "math/GLStuff.h"
#include "math/Misc.h"
#include "math/NiftyMaths.h"
#include "test_support.h"

namespace {

using Vals = std::vector<double>;
Vals V(VECTOR3D v) { return {v.x, v.y, v.z}; }
Vals M(const MATRIX& m) { return Vals(m.m, m.m + 16); }
Vals Q(QUAT q) { return {q.x, q.y, q.z, q.w}; }
VECTOR3D P(float x, float y, float z) { return MakePoint(x, y, z); }

MATRIX T(float x, float y, float z) {
    MATRIX t;
    t.SetTranslation(P(x, y, z));
    return t;
}
// Right-handed turns of a column vector about x, y, z (degrees).
VECTOR3D R(VECTOR3D v, double deg, int axis) {
    const double a = deg * M_PI / 180, c = std::cos(a), s = std::sin(a);
    if (axis == 0) return P(v.x, c * v.y - s * v.z, s * v.y + c * v.z);
    if (axis == 1) return P(c * v.x + s * v.z, v.y, -s * v.x + c * v.z);
    return P(c * v.x - s * v.y, s * v.x + c * v.y, v.z);
}
double Dot(QUAT a, QUAT b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

}  // namespace

TEST(Maths, EveryHelperAgainstItsDefinition) {
    const VECTOR3D a = P(1, 2, 3), b = P(4, -5, 6), p = P(0.5f, 2, -3);
    MATRIX r = MatrixFromAngle(P(25, -40, 70));
    r.SetTranslation(P(1, -2, 3));
    const MATRIX rz90 = MatrixFromAngle(P(0, 0, -90));  // = Rz(+90)
    const QUAT qa = RotationToQuat(P(20, -35, 110)), qb = RotationToQuat(P(-60, 15, 5));
    const QUAT from = RotationToQuat(P(0, 0, 10)), to = RotationToQuat(P(0, 0, 100)), mid = RotationToQuat(P(0, 0, 55));
    QUAT f = from, t = to, negTo(-to.x, -to.y, -to.z, -to.w), near0(0, 0, 0, 1), near1(0.001, 0, 0, 1);
    VECTOR3D rotated = P(1, 2, 3), unit = P(0, -2, 0);
    unit.Normalize();
    Rotate(&rotated, 30, 45, 60);
    Rotate(nullptr, 1, 2, 3);
    const MATRIX look = MatrixAngleBetweenVectors(P(20, 30, 40), P(-5, 0, 2));
    const VECTOR3D gaze = NormalizeVector(SubtractVectors(P(-5, 0, 2), P(20, 30, 40)));
    MATRIX tr = T(5, 6, 7);
    const struct {
        const char* what;
        Vals got, want;
        double tol;
    } rows[] = {
        {"add", V(AddVectors(a, b)), {5, -3, 9}, 0},
        {"subtract", V(SubtractVectors(a, b)), {-3, 7, -3}, 0},
        {"scale", V(ScaleVector(a, 0.5)), {0.5, 1, 1.5}, 0},
        {"dot", {VectorDotProduct(a, b)}, {12}, 0},
        {"cross, right-handed", V(VectorCrossProduct(a, b)), {27, 6, -13}, 0},
        {"lengths and squared distance",
         {VectorLength(P(3, 4, 0)), VectorLengthNOSQRT(P(3, 4, 0)), DistanceBetweenVectors(P(0, 0, 0), P(3, 4, 0))},
         {5, 25, 25},
         0},
        {"normalise", V(NormalizeVector(P(0, 3, 4))), {0, 0.6, 0.8}, 1e-7},
        {"normalise zero", V(NormalizeVector(P(0, 0, 0))), {0, 0, 0}, 0},
        {"normalise in place", V(unit), {0, -1, 0}, 0},
        {"T·R rotates first", V(MatrixPointMultiply(MultiplyMatrix(T(10, 0, 0), rz90), P(1, 0, 0))), {10, 1, 0}, 1e-6},
        {"translation in 12..14", M(tr), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1}, 0},
        {"transpose", M(TransposeMatrix(tr)), {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1}, 0},
        {"MatrixFromAngle = Rz(-z)·Ry(y)·Rx(-x)", V(MatrixRotatePoint(MatrixFromAngle(P(30, 45, 60)), a)),
         V(R(R(R(a, -30, 0), 45, 1), -60, 2)), 1e-5},
        {"RotationToQuat = Rz(z)·Ry(y)·Rx(x)",
         V(MatrixRotatePoint(QuatToRotationMatrix(RotationToQuat(P(30, 45, 60))), a)),
         V(R(R(R(a, 30, 0), 45, 1), 60, 2)), 1e-5},
        {"Rotate as RotationToQuat", V(rotated), V(R(R(R(a, 30, 0), 45, 1), 60, 2)), 1e-5},
        {"inverse rotation", V(MatrixInverseRotatePoint(r, MatrixRotatePoint(r, p))), V(p), 1e-5},
        {"point multiply = rotate then translate", V(MatrixPointMultiply(r, p)),
         V(MatrixTranslatePoint(r, MatrixRotatePoint(r, p))), 1e-5},
        {"look at itself", M(MatrixAngleBetweenVectors(P(3, 3, 3), P(3, 3, 3))), M(MATRIX()), 1e-7},
        {"look: orthonormal", M(MultiplyMatrix(TransposeMatrix(look), look)), M(MATRIX()), 1e-6},
        {"look: gaze onto -z", V(MatrixRotatePoint(TransposeMatrix(look), gaze)), {0, 0, -1}, 1e-6},
        {"look: no roll", {MatrixRotatePoint(TransposeMatrix(look), P(0, 1, 0)).x}, {0}, 1e-6},
        {"look straight down: back axis up", {MatrixAngleBetweenVectors(P(0, 50, 0), P(0, 0, 0)).m[9]}, {1}, 1e-7},
        {"q·q⁻¹ = 1", Q(MultiplyQuats(qa, InverseQuat(qa))), {0, 0, 0, 1}, 1e-12},
        {"product composes", M(QuatToRotationMatrix(MultiplyQuats(qa, qb))),
         M(MultiplyMatrix(QuatToRotationMatrix(qa), QuatToRotationMatrix(qb))), 1e-12},
        {"slerp ends and middle",
         {Dot(QuatSlerp(&f, &t, 0), from), Dot(QuatSlerp(&f, &t, 1), to), Dot(QuatSlerp(&f, &t, 0.5), mid)},
         {1, 1, 1},
         1e-9},
        {"slerp takes the short arc", Q(QuatSlerp(&f, &negTo, 1.0)), Q(to), 1e-12},
        {"slerp leaves its input", Q(negTo), {-to.x, -to.y, -to.z, -to.w}, 0},
        {"nearly equal: linear", Q(QuatSlerp(&near0, &near1, 0.25)), {0.00025, 0, 0, 1}, 1e-15},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(row.got.size(), row.want.size()) << row.what;
        for (size_t i = 0; i < row.got.size(); ++i)
            EXPECT_NEAR(row.got[i], row.want[i], row.tol) << row.what << ", element " << i;
    }
    // Matrix to quaternion gives q or -q through every branch: positive trace and each
    // of x, y, z dominant.
    for (const QUAT& s :
         {RotationToQuat(P(10, 20, 30)), AxisAndAngleToQuat(P(1, 0, 0), M_PI),
          AxisAndAngleToQuat(P(0, 1, 0), M_PI * 0.95), AxisAndAngleToQuat(P(0, 0.6f, 0.8f), M_PI), QUAT(0, 0, 0, -1)})
        EXPECT_NEAR(std::fabs(Dot(QuatFromMatrix(QuatToRotationMatrix(s)), s)), 1.0, 1e-6) << s.x << s.y << s.z << s.w;
}

// The scene's camera (45° field, eye at (0, 0, 60) on the origin, near 1, far 100):
// the planes read back from GL's own matrices.
TEST(Frustum, ExtractedPlanesOfTheScenesCamera) {
    EGLCONTEXT ctx;
    ASSERT_TRUE(ctx.Create(64, 64));
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
    // An axis-aligned box |x| < 1, |y| < 2, |z| < 3 in the plane order right, left,
    // bottom, top, far, near.
    const float box[6][4] = {{-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 2}, {0, -1, 0, 2}, {0, 0, 1, 3}, {0, 0, -1, 3}};
    std::memcpy(frustum, box, sizeof box);
    const struct {
        float x, y, z, r;
        int plane;  // SphereInFrustum2: the first plane the sphere lies wholly outside, -1 none
    } spheres[] = {
        {2, 0, 0, 1.5f, -1},  // straddling the right plane counts as in view
        {3, 0, 0, 2, 0},      // touching it from outside does not
        {-3, 0, 0, 1, 1},
        {0, -5, 0, 1, 2},
        {0, 5, 0, 1, 3},
        {0, 0, -3.5f, 0.2f, 4},
        {0, 0, 3.5f, 0.2f, 5},  // behind the near plane
        // A negative radius must lie that far inside.
        {0, 0, 0, 0, -1},
        {0.5f, 0, 0, -0.4f, -1},
        {0.6f, 0, 0, -0.5f, 0},
    };
    for (const auto& s : spheres) {
        SCOPED_TRACE(testing::Message() << s.x << "," << s.y << "," << s.z << " r " << s.r);
        EXPECT_EQ(SphereInFrustum(P(s.x, s.y, s.z), s.r), s.plane < 0);
        EXPECT_EQ(SphereInFrustum2(P(s.x, s.y, s.z), s.r), s.plane);
    }
    EXPECT_TRUE(PointInFrustum(MakePoint(0.9f, 1.9f, 2.9f)));
    EXPECT_FALSE(PointInFrustum(MakePoint(1, 0, 0)));  // on a plane is outside
}

TEST(Misc, ClampWrapsIntoTheRange) {
    const double cases[][2] = {{-30, 330}, {725, 5}, {360, 0}, {359.5, 359.5}, {-720, 0}};
    for (auto& c : cases) EXPECT_DOUBLE_EQ(clamp(c[0], 0, 360), c[1]) << c[0];
    for (double far : {1e12 + 90, -1e15}) {  // no endless loop one period at a time
        double v = clamp(far, 0, 360);
        EXPECT_TRUE(v >= 0 && v < 360) << far << " -> " << v;
    }
    EXPECT_TRUE(std::isinf(clamp(INFINITY, 0, 360)));
    EXPECT_TRUE(std::isnan(clamp(NAN, 0, 360)));
    EXPECT_DOUBLE_EQ(clamp(5, 0, 0), 5);
}

TEST(Misc, HooksAreQuietUnlessAskedAndTextIsNeverAFormat) {
    testsupport::ScopedEnv quiet{{{"REEFMERE_DEBUG", ""}}};
    testing::internal::CaptureStderr();
    ERRORCLOSE("cannot open model");
    ERRORCLOSE(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    {
        testsupport::ScopedEnv debug{{{"REEFMERE_DEBUG", "1"}}};
        testing::internal::CaptureStderr();
        ERRORCLOSE("cannot open model");
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("cannot open model"), std::string::npos);
        EXPECT_EQ(err.find('\n'), err.size() - 1);
    }
    testing::internal::CaptureStderr();
    MessageBox(nullptr, "bad header %s %n", "TGA", 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TGA"), std::string::npos);
    EXPECT_NE(err.find("bad header %s %n"), std::string::npos);
    EXPECT_EQ(err.find('\n'), err.size() - 1);
}
