// Vector, matrix and quaternion operations. Vector work stays in single precision
// except where a result is documented as double; matrix and quaternion work is double.
#include "math/NiftyMaths.h"

#include <cmath>
#include <cstdio>

#include "math/Misc.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kRadToDeg = 57.29577951308232;

double Radians(double degrees) { return degrees * kPi / 180.0; }

// asin/acos arguments drift just past ±1 through rounding; keep them in the domain.
double UnitClamp(double v) { return v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : v); }
}  // namespace

// --- VECTOR3D members -------------------------------------------------------------

void VECTOR3D::Normalize() {
    float len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0f) return;
    x /= len;
    y /= len;
    z /= len;
}

VECTOR3D VECTOR3D::operator/(float s) const { return {x / s, y / s, z / s}; }

VECTOR3D& VECTOR3D::operator/=(float s) {
    x /= s;
    y /= s;
    z /= s;
    return *this;
}

// --- MATRIX members ---------------------------------------------------------------

void MATRIX::Zero() {
    for (double& e : m) e = 0.0;
}

void MATRIX::Identity() {
    Zero();
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

void MATRIX::SetTranslation(VECTOR3D v) {
    m[12] = v.x;
    m[13] = v.y;
    m[14] = v.z;
}

// --- Vectors ----------------------------------------------------------------------

VECTOR3D AddVectors(VECTOR3D a, VECTOR3D b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
VECTOR3D SubtractVectors(VECTOR3D a, VECTOR3D b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
VECTOR3D MultiplyVectors(VECTOR3D a, VECTOR3D b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
VECTOR3D DivideVectors(VECTOR3D a, VECTOR3D b) { return {a.x / b.x, a.y / b.y, a.z / b.z}; }

VECTOR3D ScaleVector(VECTOR3D v, double s) {
    return {static_cast<float>(v.x * s), static_cast<float>(v.y * s), static_cast<float>(v.z * s)};
}

double VectorDotProduct(VECTOR3D a, VECTOR3D b) {
    float d = a.x * b.x + a.y * b.y + a.z * b.z;
    return d;
}

VECTOR3D VectorCrossProduct(VECTOR3D a, VECTOR3D b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double VectorLength(VECTOR3D v) {
    float sum = v.x * v.x + v.y * v.y + v.z * v.z;
    return std::sqrt(static_cast<double>(sum));
}

double VectorLengthNOSQRT(VECTOR3D v) {
    float sum = v.x * v.x + v.y * v.y + v.z * v.z;
    return sum;
}

double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b) {
    float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    float sum = dx * dx + dy * dy + dz * dz;
    return sum;
}

VECTOR3D NormalizeVector(VECTOR3D v) {
    float sum = v.x * v.x + v.y * v.y + v.z * v.z;
    double len = std::sqrt(static_cast<double>(sum));
    if (len == 0.0) return {0.0f, 0.0f, 0.0f};
    return {static_cast<float>(v.x / len), static_cast<float>(v.y / len), static_cast<float>(v.z / len)};
}

bool CompareVectors(VECTOR3D a, VECTOR3D b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// --- Matrices ---------------------------------------------------------------------

MATRIX MultiplyMatrix(MATRIX a, MATRIX b) {
    MATRIX r;
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            r.m[4 * c + row] = a.m[row] * b.m[4 * c] + a.m[4 + row] * b.m[4 * c + 1] + a.m[8 + row] * b.m[4 * c + 2] +
                               a.m[12 + row] * b.m[4 * c + 3];
        }
    }
    return r;
}

MATRIX TransposeMatrix(MATRIX a) {
    MATRIX r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) r.m[4 * row + c] = a.m[4 * c + row];
    return r;
}

MATRIX AddMatrix(MATRIX a, MATRIX b) {
    MATRIX r;
    for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] + b.m[i];
    return r;
}

MATRIX SubtractMatrix(MATRIX a, MATRIX b) {
    MATRIX r;
    for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] - b.m[i];
    return r;
}

VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p) {
    const double* e = m.m;
    return {static_cast<float>(p.x * e[0] + p.y * e[4] + p.z * e[8]),
            static_cast<float>(p.x * e[1] + p.y * e[5] + p.z * e[9]),
            static_cast<float>(p.x * e[2] + p.y * e[6] + p.z * e[10])};
}

VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p) {
    const double* e = m.m;
    return {static_cast<float>(p.x * e[0] + p.y * e[1] + p.z * e[2]),
            static_cast<float>(p.x * e[4] + p.y * e[5] + p.z * e[6]),
            static_cast<float>(p.x * e[8] + p.y * e[9] + p.z * e[10])};
}

VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p) {
    return {static_cast<float>(p.x + m.m[12]), static_cast<float>(p.y + m.m[13]), static_cast<float>(p.z + m.m[14])};
}

VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p) {
    return {static_cast<float>(p.x - m.m[12]), static_cast<float>(p.y - m.m[13]), static_cast<float>(p.z - m.m[14])};
}

VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p) {
    const double* e = m.m;
    return {static_cast<float>(p.x * e[0] + p.y * e[4] + p.z * e[8] + e[12]),
            static_cast<float>(p.x * e[1] + p.y * e[5] + p.z * e[9] + e[13]),
            static_cast<float>(p.x * e[2] + p.y * e[6] + p.z * e[10] + e[14])};
}

MATRIX MatrixFromAngle(VECTOR3D angles) {
    double x = Radians(angles.x), y = Radians(angles.y), z = Radians(angles.z);
    double cx = std::cos(x), sx = std::sin(x);
    double cy = std::cos(y), sy = std::sin(y);
    double cz = std::cos(z), sz = std::sin(z);
    MATRIX r;  // identity: bottom row and translation already right
    r.m[0] = cy * cz;
    r.m[1] = -cy * sz;
    r.m[2] = -sy;
    r.m[4] = cx * sz - sx * sy * cz;
    r.m[5] = sx * sy * sz + cx * cz;
    r.m[6] = -sx * cy;
    r.m[8] = cx * sy * cz + sx * sz;
    r.m[9] = sx * cz - cx * sy * sz;
    r.m[10] = cx * cy;
    return r;
}

VECTOR3D AngleFromMatrix(MATRIX m) {
    const double* e = m.m;
    float y = static_cast<float>(-std::asin(UnitClamp(e[2])));
    double c = std::cos(static_cast<double>(y));
    float x, z;
    if (std::fabs(c) > 0.005) {
        x = static_cast<float>(std::atan2(-e[6] / c, e[10] / c) * kRadToDeg);
        z = static_cast<float>(std::atan2(-e[1] / c, e[0] / c) * kRadToDeg);
    } else {
        x = 0.0f;
        z = static_cast<float>(std::atan2(e[4], e[5]) * kRadToDeg);
    }
    float yd = static_cast<float>(y * kRadToDeg);
    return {static_cast<float>(clamp(x, 0.0, 360.0)), static_cast<float>(clamp(yd, 0.0, 360.0)),
            static_cast<float>(clamp(z, 0.0, 360.0))};
}

MATRIX MatrixAngleBetweenVectors(VECTOR3D from, VECTOR3D to) {
    MATRIX r;
    r.Zero();
    VECTOR3D d = SubtractVectors(from, to);
    if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) d.z += 1.0f;
    VECTOR3D f = NormalizeVector(d);
    VECTOR3D up = {0.0f, 1.0f, 0.0f};
    if (f.x == 0.0f && f.z == 0.0f) up = {-f.y, 0.0f, 0.0f};
    VECTOR3D s = NormalizeVector(VectorCrossProduct(up, f));
    VECTOR3D u = NormalizeVector(VectorCrossProduct(s, f));
    r.m[0] = s.x;
    r.m[1] = s.y;
    r.m[2] = s.z;
    r.m[4] = -u.x;
    r.m[5] = -u.y;
    r.m[6] = -u.z;
    r.m[8] = f.x;
    r.m[9] = f.y;
    r.m[10] = f.z;
    r.m[15] = 1.0;
    return r;
}

// --- Quaternions ------------------------------------------------------------------

QUAT MultiplyQuats(QUAT a, QUAT b) {
    QUAT r;
    r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    r.x = a.w * b.x + b.w * a.x + a.y * b.z - a.z * b.y;
    r.y = a.w * b.y + b.w * a.y + a.z * b.x - a.x * b.z;
    r.z = a.w * b.z + b.w * a.z + a.x * b.y - a.y * b.x;
    return r;
}

QUAT InverseQuat(QUAT q) { return {-q.x, -q.y, -q.z, q.w}; }

QUAT RotationToQuat(VECTOR3D angles) {
    double hx = Radians(angles.x) * 0.5, hy = Radians(angles.y) * 0.5, hz = Radians(angles.z) * 0.5;
    double sx = std::sin(hx), cx = std::cos(hx);
    double sy = std::sin(hy), cy = std::cos(hy);
    double sz = std::sin(hz), cz = std::cos(hz);
    return {sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz, cx * cy * sz - sx * sy * cz,
            cx * cy * cz + sx * sy * sz};
}

QUAT AxisAndAngleToQuat(VECTOR3D axis, double angle) {
    double s = std::sin(angle / 2.0);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2.0)};
}

MATRIX QuatToRotationMatrix(QUAT q) {
    MATRIX r;
    r.Zero();
    r.m[0] = (q.y * q.y + q.z * q.z) * -2.0 + 1.0;
    r.m[4] = 2.0 * (q.x * q.y - q.z * q.w);
    r.m[8] = 2.0 * (q.x * q.z + q.y * q.w);
    r.m[1] = 2.0 * (q.x * q.y + q.z * q.w);
    r.m[5] = (q.x * q.x + q.z * q.z) * -2.0 + 1.0;
    r.m[9] = 2.0 * (q.y * q.z - q.x * q.w);
    r.m[2] = 2.0 * (q.x * q.z - q.y * q.w);
    r.m[6] = 2.0 * (q.y * q.z + q.x * q.w);
    r.m[10] = (q.x * q.x + q.y * q.y) * -2.0 + 1.0;
    r.m[15] = 1.0;
    return r;
}

QUAT QuatFromMatrix(MATRIX m) {
    const double* e = m.m;
    QUAT q;
    double trace = e[0] + e[5] + e[10];
    if (trace > 0.0) {
        double s = std::sqrt(trace + 1.0);
        q.w = s / 2.0;
        s = 0.5 / s;
        q.x = (e[6] - e[9]) * s;
        q.y = (e[8] - e[2]) * s;
        q.z = (e[1] - e[4]) * s;
        return q;
    }
    static const int next[3] = {1, 2, 0};
    auto E = [e](int i, int j) { return e[4 * i + j]; };
    int i = 0;
    if (e[5] > e[0]) i = 1;
    if (e[10] > E(i, i)) i = 2;
    int j = next[i], k = next[j];
    double arg = E(i, i) - (E(j, j) + E(k, k)) + 1.0;
    double s = std::sqrt(arg > 0.0 ? arg : 0.0);  // non-rotations can dip below zero
    double comp[3];
    comp[i] = s / 2.0;
    if (s != 0.0) s = 0.5 / s;
    q.w = (E(j, k) - E(k, j)) * s;
    comp[j] = (E(i, j) + E(j, i)) * s;
    comp[k] = (E(i, k) + E(k, i)) * s;
    q.x = comp[0];
    q.y = comp[1];
    q.z = comp[2];
    return q;
}

QUAT QuatSlerp(QUAT* from, QUAT* to, double t) {
    QUAT a = *from, b = *to;
    double cosom = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (cosom < 0.0) {
        cosom = -cosom;
        b = {-b.x, -b.y, -b.z, -b.w};
    }
    double scale0, scale1;
    if (1.0 - cosom > 1e-5) {
        double omega = std::acos(cosom);
        double sinom = std::sin(omega);
        scale0 = std::sin((1.0 - t) * omega) / sinom;
        scale1 = std::sin(t * omega) / sinom;
    } else {
        scale0 = 1.0 - t;
        scale1 = t;
    }
    return {scale0 * a.x + scale1 * b.x, scale0 * a.y + scale1 * b.y, scale0 * a.z + scale1 * b.z,
            scale0 * a.w + scale1 * b.w};
}

VECTOR3D AngleBetweenVectors(VECTOR3D from, VECTOR3D to) {
    VECTOR3D d = SubtractVectors(to, from);
    if (std::fabs(d.x) < 1.0f) d.x = static_cast<float>(d.x + 0.1);
    if (CompareVectors(from, to)) d.z += 1.0f;
    double len = std::sqrt(static_cast<double>(d.x * d.x + d.y * d.y + d.z * d.z));
    if (len == 0.0) return {0.0f, 0.0f, 0.0f};
    VECTOR3D axis = {-d.y, d.x, 0.0f};
    double alen = std::sqrt(static_cast<double>(axis.x * axis.x + axis.y * axis.y));
    if (alen != 0.0) {
        axis.x = static_cast<float>(axis.x / alen);
        axis.y = static_cast<float>(axis.y / alen);
    }
    double angle = std::acos(UnitClamp(d.z / len)) * 180.0 / kPi;
    return {static_cast<float>(axis.x * angle), static_cast<float>(axis.y * angle), static_cast<float>(axis.z * angle)};
}

// --- Diagnostics ------------------------------------------------------------------

void SaveMatrix(MATRIX m) {
    char path[1024];
    if (!DiagnosticsPath("test.txt", path, sizeof path)) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    std::fputc('\n', f);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) std::fprintf(f, "%4.5f ", m.m[4 * r + c]);
        std::fputc('\n', f);
    }
    std::fclose(f);
}
