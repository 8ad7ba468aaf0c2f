// Vectors, matrices and quaternions: layout, product order, Euler conventions,
// quaternion round trips and interpolation.
#include <gtest/gtest.h>

#include <cmath>

#include "math/Misc.h"
#include "math/NiftyMaths.h"

namespace {

MATRIX Translation(float x, float y, float z) {
    MATRIX t;
    t.SetTranslation(MakePoint(x, y, z));
    return t;
}

void ExpectMatrixNear(const MATRIX& a, const MATRIX& b, double tol) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

void ExpectVecNear(VECTOR3D a, VECTOR3D b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// Rx, Ry, Rz applied to a column vector, right-handed.
VECTOR3D ApplyRx(VECTOR3D v, double deg) {
    double a = deg * M_PI / 180, c = std::cos(a), s = std::sin(a);
    return MakePoint(v.x, c * v.y - s * v.z, s * v.y + c * v.z);
}
VECTOR3D ApplyRy(VECTOR3D v, double deg) {
    double a = deg * M_PI / 180, c = std::cos(a), s = std::sin(a);
    return MakePoint(c * v.x + s * v.z, v.y, -s * v.x + c * v.z);
}
VECTOR3D ApplyRz(VECTOR3D v, double deg) {
    double a = deg * M_PI / 180, c = std::cos(a), s = std::sin(a);
    return MakePoint(c * v.x - s * v.y, s * v.x + c * v.y, v.z);
}

double QuatDot(QUAT a, QUAT b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

}  // namespace

TEST(Vectors, ArithmeticLengthsAndNormalising) {
    VECTOR3D a = MakePoint(1, 2, 3), b = MakePoint(4, -5, 6);
    EXPECT_TRUE(CompareVectors(AddVectors(a, b), MakePoint(5, -3, 9)));
    EXPECT_TRUE(CompareVectors(SubtractVectors(a, b), MakePoint(-3, 7, -3)));
    EXPECT_TRUE(CompareVectors(MultiplyVectors(a, b), MakePoint(4, -10, 18)));
    EXPECT_TRUE(CompareVectors(DivideVectors(b, a), MakePoint(4, -2.5f, 2)));
    EXPECT_TRUE(CompareVectors(ScaleVector(a, 0.5), MakePoint(0.5f, 1, 1.5f)));
    EXPECT_DOUBLE_EQ(VectorDotProduct(a, b), 4 - 10 + 18);
    // Right-handed: x × y = z, and the cross product is perpendicular to both inputs.
    EXPECT_TRUE(CompareVectors(VectorCrossProduct(MakePoint(1, 0, 0), MakePoint(0, 1, 0)),
                               MakePoint(0, 0, 1)));
    VECTOR3D c = VectorCrossProduct(a, b);
    EXPECT_DOUBLE_EQ(VectorDotProduct(c, a), 0.0);
    EXPECT_DOUBLE_EQ(VectorDotProduct(c, b), 0.0);
    // (a − b) × (b − c) for a counter-clockwise triangle in the xy plane points +z.
    EXPECT_TRUE(CompareVectors(CalculateNormal(MakePoint(0, 0, 0), MakePoint(1, 0, 0), MakePoint(0, 1, 0)),
                               MakePoint(0, 0, 1)));

    EXPECT_DOUBLE_EQ(VectorLength(MakePoint(3, 4, 0)), 5.0);
    EXPECT_DOUBLE_EQ(VectorLengthNOSQRT(MakePoint(3, 4, 0)), 25.0);
    // Squared distance, for comparing with squared radii.
    EXPECT_DOUBLE_EQ(DistanceBetweenVectors(MakePoint(0, 0, 0), MakePoint(3, 4, 0)), 25.0);

    VECTOR3D n = NormalizeVector(MakePoint(0, 3, 4));
    ExpectVecNear(n, MakePoint(0, 0.6f, 0.8f), 1e-7);
    EXPECT_TRUE(CompareVectors(NormalizeVector(MakePoint(0, 0, 0)), MakePoint(0, 0, 0)));

    VECTOR3D z = MakePoint(0, 0, 0);
    z.Normalize();
    EXPECT_TRUE(CompareVectors(z, MakePoint(0, 0, 0)));
    VECTOR3D v = MakePoint(0, -2, 0);
    v.Normalize();
    EXPECT_TRUE(CompareVectors(v, MakePoint(0, -1, 0)));

    VECTOR3D d = MakePoint(2, 4, 8);
    EXPECT_TRUE(CompareVectors(d / 2.0f, MakePoint(1, 2, 4)));
    VECTOR3D& same = (d /= 4.0f);
    EXPECT_EQ(&same, &d);
    EXPECT_TRUE(CompareVectors(d, MakePoint(0.5f, 1, 2)));
    EXPECT_FALSE(CompareVectors(MakePoint(1, 2, 3), MakePoint(1, 2, 3.0001f)));
}

TEST(Matrices, LayoutIdentityAndProductOrder) {
    MATRIX id;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(id.m[i], (i % 5 == 0) ? 1.0 : 0.0);
    MATRIX z;
    z.Zero();
    for (double e : z.m) EXPECT_EQ(e, 0.0);
    z.Identity();
    ExpectMatrixNear(z, id, 0);

    // Translation lives in elements 12..14 and nothing else changes.
    MATRIX t = Translation(1, 2, 3), moved = id;
    moved.m[12] = 1, moved.m[13] = 2, moved.m[14] = 3;
    ExpectMatrixNear(t, moved, 0);

    MATRIX a;
    for (int i = 0; i < 16; ++i) a.m[i] = i * 0.5 - 3;
    ExpectMatrixNear(MultiplyMatrix(a, id), a, 0);
    ExpectMatrixNear(MultiplyMatrix(id, a), a, 0);

    // Element (r, c) = Σk A(r, k)·B(k, c) with (r, c) at m[4c + r].
    MATRIX b;
    for (int i = 0; i < 16; ++i) b.m[i] = (i * 7 % 11) - 4;
    MATRIX ab = MultiplyMatrix(a, b);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[4 * k + r] * b.m[4 * c + k];
            EXPECT_DOUBLE_EQ(ab.m[4 * c + r], s);
        }

    // T·R: the rotation acts first, then the translation.
    MATRIX rz = MatrixFromAngle(MakePoint(0, 0, -90));  // = Rz(+90)
    MATRIX tr = MultiplyMatrix(Translation(10, 0, 0), rz);
    ExpectVecNear(MatrixPointMultiply(tr, MakePoint(1, 0, 0)), MakePoint(10, 1, 0), 1e-6);
    MATRIX rt = MultiplyMatrix(rz, Translation(10, 0, 0));
    ExpectVecNear(MatrixPointMultiply(rt, MakePoint(1, 0, 0)), MakePoint(0, 11, 0), 1e-5);

    MATRIX sum = AddMatrix(a, b), diff = SubtractMatrix(a, b);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(sum.m[i], a.m[i] + b.m[i]);
        EXPECT_EQ(diff.m[i], a.m[i] - b.m[i]);
    }
}

TEST(Matrices, TransposeAndPointTransforms) {
    MATRIX m = MultiplyMatrix(Translation(5, 6, 7), MatrixFromAngle(MakePoint(10, 20, 30)));
    m.m[3] = 0.25;
    m.m[7] = 0.5;
    m.m[11] = 0.75;
    MATRIX t = TransposeMatrix(m);
    EXPECT_EQ(t.m[3], 5.0);  // the translation moves to the bottom row
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m[4 * r + c], m.m[4 * c + r]);
    ExpectMatrixNear(TransposeMatrix(t), m, 0);

    MATRIX r = MatrixFromAngle(MakePoint(25, -40, 70));
    r.SetTranslation(MakePoint(1, -2, 3));
    VECTOR3D p = MakePoint(0.5f, 2, -3);
    VECTOR3D rot = MatrixRotatePoint(r, p);
    // Inverse rotation undoes the rotation of an orthonormal matrix.
    ExpectVecNear(MatrixInverseRotatePoint(r, rot), p, 1e-5);
    EXPECT_NEAR(VectorLength(rot), VectorLength(p), 1e-5);
    VECTOR3D full = MatrixPointMultiply(r, p);
    ExpectVecNear(full, MatrixTranslatePoint(r, rot), 1e-5);
    ExpectVecNear(MatrixInverseTranslatePoint(r, full), rot, 1e-5);
    ExpectVecNear(MatrixTranslatePoint(r, MakePoint(0, 0, 0)), MakePoint(1, -2, 3), 0);
}

TEST(Matrices, EulerConventionsAndRoundTrip) {
    // MatrixFromAngle(x, y, z) = Rz(-z)·Ry(y)·Rx(-x).
    VECTOR3D angles = MakePoint(30, 45, 60);
    MATRIX m = MatrixFromAngle(angles);
    VECTOR3D p = MakePoint(1, 2, 3);
    VECTOR3D expect = ApplyRz(ApplyRy(ApplyRx(p, -30), 45), -60);
    ExpectVecNear(MatrixRotatePoint(m, p), expect, 1e-5);
    ExpectMatrixNear(m, QuatToRotationMatrix(RotationToQuat(MakePoint(-30, 45, -60))), 1e-12);

    // RotationToQuat(x, y, z) = Rz(z)·Ry(y)·Rx(x), the same as Rotate.
    MATRIX q = QuatToRotationMatrix(RotationToQuat(angles));
    VECTOR3D viaQuat = MatrixRotatePoint(q, p);
    ExpectVecNear(viaQuat, ApplyRz(ApplyRy(ApplyRx(p, 30), 45), 60), 1e-5);
    VECTOR3D rotated = p;
    Rotate(&rotated, 30, 45, 60);
    ExpectVecNear(rotated, viaQuat, 1e-5);
    rotated = MakePoint(0.1f, -0.2f, 0.3f);
    Rotate(&rotated, 0, 0, 0);
    EXPECT_TRUE(CompareVectors(rotated, MakePoint(0.1f, -0.2f, 0.3f)));
    Rotate(nullptr, 1, 2, 3);  // no crash

    // Round trip inside [0, 360) away from y = ±90; negatives come back + 360.
    const float cases[][3] = {{30, 45, 60}, {10, 300, 200}, {350, 0, 5}, {123, 80, 271}, {0, 0, 0}};
    for (auto& c : cases) {
        VECTOR3D back = AngleFromMatrix(MatrixFromAngle(MakePoint(c[0], c[1], c[2])));
        ExpectVecNear(back, MakePoint(c[0], c[1], c[2]), 1e-3);
    }
    VECTOR3D neg = AngleFromMatrix(MatrixFromAngle(MakePoint(-30, -20, -10)));
    ExpectVecNear(neg, MakePoint(330, 340, 350), 1e-3);
    for (float v : {neg.x, neg.y, neg.z}) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LT(v, 360.0f);
    }

    // Gimbal lock: x comes back 0 and the remaining turn lands in z.
    VECTOR3D lock = AngleFromMatrix(MatrixFromAngle(MakePoint(40, 90, 10)));
    EXPECT_EQ(lock.x, 0.0f);
    EXPECT_NEAR(lock.y, 90, 1e-3);
    ExpectMatrixNear(MatrixFromAngle(lock), MatrixFromAngle(MakePoint(40, 90, 10)), 1e-5);

    // A rounded rotation matrix with |m[2]| a hair above 1 must not produce NaN.
    MATRIX over = MatrixFromAngle(MakePoint(0, -90, 0));
    over.m[2] = 1.0000001;
    VECTOR3D o = AngleFromMatrix(over);
    EXPECT_FALSE(std::isnan(o.x) || std::isnan(o.y) || std::isnan(o.z));
    EXPECT_NEAR(o.y, 270, 1e-3);
}

TEST(Quaternions, ProductsInverseAndMatrixRoundTrip) {
    QUAT id;
    EXPECT_TRUE(id.IsEqualTo(QUAT(0, 0, 0, 1)));
    QUAT q(1, 2, 3, 4);
    q.Identity();
    EXPECT_TRUE(q.IsEqualTo(QUAT(0, 0, 0, 1)));
    EXPECT_FALSE(q.IsEqualTo(QUAT(0, 0, 0, -1)));

    // Hamilton product: i·j = k, and q·q⁻¹ = 1 for a unit q.
    QUAT k = MultiplyQuats(QUAT(1, 0, 0, 0), QUAT(0, 1, 0, 0));
    EXPECT_TRUE(k.IsEqualTo(QUAT(0, 0, 1, 0)));
    QUAT a = RotationToQuat(MakePoint(20, -35, 110));
    QUAT one = MultiplyQuats(a, InverseQuat(a));
    EXPECT_NEAR(one.w, 1, 1e-12);
    EXPECT_NEAR(std::fabs(one.x) + std::fabs(one.y) + std::fabs(one.z), 0, 1e-12);
    EXPECT_TRUE(InverseQuat(QUAT(1, 2, 3, 4)).IsEqualTo(QUAT(-1, -2, -3, 4)));

    // The product composes rotations: matrix of a⊗b is matrix(a)·matrix(b).
    QUAT b = RotationToQuat(MakePoint(-60, 15, 5));
    ExpectMatrixNear(QuatToRotationMatrix(MultiplyQuats(a, b)),
                     MultiplyMatrix(QuatToRotationMatrix(a), QuatToRotationMatrix(b)), 1e-12);

    // Axis and angle (radians): a quarter turn about z takes x to y.
    QUAT qz = AxisAndAngleToQuat(MakePoint(0, 0, 1), M_PI / 2);
    ExpectVecNear(MatrixRotatePoint(QuatToRotationMatrix(qz), MakePoint(1, 0, 0)),
                  MakePoint(0, 1, 0), 1e-7);
    QUAT unnorm = AxisAndAngleToQuat(MakePoint(0, 0, 2), M_PI);
    EXPECT_NEAR(unnorm.z, 2, 1e-12);

    // Matrix round trip returns q or -q, through every branch of the extraction:
    // positive trace, and each of x, y, z dominant (180° turns).
    const QUAT samples[] = {RotationToQuat(MakePoint(10, 20, 30)),
                            AxisAndAngleToQuat(MakePoint(1, 0, 0), M_PI),
                            AxisAndAngleToQuat(MakePoint(0, 1, 0), M_PI * 0.95),
                            AxisAndAngleToQuat(MakePoint(0, 0.6f, 0.8f), M_PI),
                            RotationToQuat(MakePoint(170, -160, 100)),
                            QUAT(0, 0, 0, -1)};
    for (const QUAT& s : samples) {
        QUAT back = QuatFromMatrix(QuatToRotationMatrix(s));
        EXPECT_NEAR(std::fabs(QuatDot(back, s)), 1.0, 1e-6)
            << s.x << " " << s.y << " " << s.z << " " << s.w;
    }
}

TEST(Quaternions, SlerpEndsShortArcAndLinearBlend) {
    QUAT from = RotationToQuat(MakePoint(0, 0, 10));
    QUAT to = RotationToQuat(MakePoint(0, 0, 100));
    QUAT r0 = QuatSlerp(&from, &to, 0.0);
    QUAT r1 = QuatSlerp(&from, &to, 1.0);
    EXPECT_NEAR(QuatDot(r0, from), 1, 1e-12);
    EXPECT_NEAR(QuatDot(r1, to), 1, 1e-12);
    // Halfway is the 55° rotation and still unit length.
    QUAT half = QuatSlerp(&from, &to, 0.5);
    QUAT mid = RotationToQuat(MakePoint(0, 0, 55));
    EXPECT_NEAR(QuatDot(half, mid), 1, 1e-9);

    // Opposite hemispheres: the result goes the short way, ending at -to, and the
    // caller's quaternion is untouched.
    QUAT negTo(-to.x, -to.y, -to.z, -to.w);
    QUAT keep = negTo;
    QUAT end = QuatSlerp(&from, &negTo, 1.0);
    EXPECT_TRUE(negTo.IsEqualTo(keep));
    EXPECT_NEAR(end.x, to.x, 1e-12);
    EXPECT_NEAR(end.w, to.w, 1e-12);
    QUAT shortHalf = QuatSlerp(&from, &negTo, 0.5);
    EXPECT_NEAR(std::fabs(QuatDot(shortHalf, mid)), 1, 1e-9);
    EXPECT_GT(QuatDot(shortHalf, from), 0.0);

    // Nearly equal: a plain linear blend, not renormalised.
    QUAT a(0, 0, 0, 1), b(0.001, 0, 0, 1);
    QUAT lin = QuatSlerp(&a, &b, 0.25);
    EXPECT_DOUBLE_EQ(lin.x, 0.25 * 0.001);
    EXPECT_DOUBLE_EQ(lin.w, 1.0);
}

TEST(Matrices, LookAtRotationAndAngleBetweenVectors) {
    // Eye at (0, 0, 60) looking at the origin: transposed, the view rotation is identity.
    MATRIX look = MatrixAngleBetweenVectors(MakePoint(0, 0, 60), MakePoint(0, 0, 0));
    ExpectMatrixNear(TransposeMatrix(look), MATRIX(), 1e-7);

    auto expectOrthonormal = [](const MATRIX& m) {
        MATRIX p = MultiplyMatrix(TransposeMatrix(m), m);
        ExpectMatrixNear(p, MATRIX(), 1e-6);
        for (double e : m.m) EXPECT_FALSE(std::isnan(e));
    };
    // Same point: treated as looking down -z.
    MATRIX same = MatrixAngleBetweenVectors(MakePoint(3, 3, 3), MakePoint(3, 3, 3));
    ExpectMatrixNear(same, MATRIX(), 1e-7);
    // Straight above: the substitute up vector still gives a rotation.
    MATRIX above = MatrixAngleBetweenVectors(MakePoint(0, 50, 0), MakePoint(0, 0, 0));
    expectOrthonormal(above);
    EXPECT_NEAR(above.m[9], 1, 1e-7);  // back axis points up towards the eye
    MATRIX below = MatrixAngleBetweenVectors(MakePoint(0, -5, 0), MakePoint(0, 0, 0));
    expectOrthonormal(below);
    // An oblique eye: the view rotation takes the gaze direction onto -z.
    VECTOR3D eye = MakePoint(20, 30, 40), target = MakePoint(-5, 0, 2);
    MATRIX ob = MatrixAngleBetweenVectors(eye, target);
    expectOrthonormal(ob);
    VECTOR3D gaze = NormalizeVector(SubtractVectors(target, eye));
    ExpectVecNear(MatrixRotatePoint(TransposeMatrix(ob), gaze), MakePoint(0, 0, -1), 1e-6);
    // ... with +Y kept upright (no roll): world up maps into the y-z plane, upwards.
    VECTOR3D up = MatrixRotatePoint(TransposeMatrix(ob), MakePoint(0, 1, 0));
    EXPECT_NEAR(up.x, 0, 1e-6);
    EXPECT_GT(up.y, 0);

    // +Z towards a target straight ahead is (almost) no turn; the 0.1 nudge of x is kept.
    VECTOR3D ahead = AngleBetweenVectors(MakePoint(0, 0, 0), MakePoint(0, 0, 10));
    EXPECT_NEAR(VectorLength(ahead), std::atan2(0.1, 10) * 180 / M_PI, 1e-4);
    // A quarter turn towards +x: axis +y, 90 degrees.
    VECTOR3D side = AngleBetweenVectors(MakePoint(0, 0, 0), MakePoint(10, 0, 0));
    ExpectVecNear(side, MakePoint(0, 90, 0), 1e-4);
    VECTOR3D same2 = AngleBetweenVectors(MakePoint(1, 1, 1), MakePoint(1, 1, 1));
    EXPECT_FALSE(std::isnan(same2.x) || std::isnan(same2.y) || std::isnan(same2.z));
}
