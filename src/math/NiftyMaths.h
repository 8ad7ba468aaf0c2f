// Vector, matrix and quaternion values shared by the whole scene, and the free
// functions on them. Matrices are column-major exactly as glMultMatrixd takes them;
// angles are degrees unless a name or comment says radians. Nothing here allocates.
#pragma once

// Three single-precision components; zero by default, brace-initialisable: {x, y, z}.
struct VECTOR3D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // In place; a zero-length vector stays as it is.
    void Normalize();
    VECTOR3D operator/(float s) const;
    VECTOR3D& operator/=(float s);

    // Conveniences in single precision.
    VECTOR3D operator+(const VECTOR3D& b) const { return {x + b.x, y + b.y, z + b.z}; }
    VECTOR3D operator-(const VECTOR3D& b) const { return {x - b.x, y - b.y, z - b.z}; }
    VECTOR3D operator*(float s) const { return {x * s, y * s, z * s}; }
    VECTOR3D operator-() const { return {-x, -y, -z}; }
    VECTOR3D& operator+=(const VECTOR3D& b) {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    VECTOR3D& operator-=(const VECTOR3D& b) {
        x -= b.x;
        y -= b.y;
        z -= b.z;
        return *this;
    }
    VECTOR3D& operator*=(float s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
};

struct point2d {
    float x = 0.0f;
    float y = 0.0f;
};

// Sixteen doubles, column-major: row r, column c is m[4c + r]; translation in m[12..14].
// Constructed as the identity.
struct MATRIX {
    double m[16];

    MATRIX() { Identity(); }
    void Zero();
    void Identity();
    void SetTranslation(VECTOR3D v);
};

// Quaternion, scalar part last; constructed as the identity rotation (0, 0, 0, 1).
struct QUAT {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double w = 1.0;

    QUAT() = default;
    QUAT(double qx, double qy, double qz, double qw) : x(qx), y(qy), z(qz), w(qw) {}
    void Identity() {
        x = 0.0;
        y = 0.0;
        z = 0.0;
        w = 1.0;
    }
    bool IsEqualTo(QUAT q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
};

// Vectors.
VECTOR3D AddVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D SubtractVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D MultiplyVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D DivideVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D ScaleVector(VECTOR3D v, double s);
double VectorDotProduct(VECTOR3D a, VECTOR3D b);
VECTOR3D VectorCrossProduct(VECTOR3D a, VECTOR3D b);
double VectorLength(VECTOR3D v);
double VectorLengthNOSQRT(VECTOR3D v);
// Squared distance: compare it with squared radii.
double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b);
// A zero vector comes back as (0, 0, 0).
VECTOR3D NormalizeVector(VECTOR3D v);
bool CompareVectors(VECTOR3D a, VECTOR3D b);

// Matrices. MultiplyMatrix(A, B) is A·B: applied to a point, B acts first.
MATRIX MultiplyMatrix(MATRIX a, MATRIX b);
MATRIX TransposeMatrix(MATRIX a);
MATRIX AddMatrix(MATRIX a, MATRIX b);
MATRIX SubtractMatrix(MATRIX a, MATRIX b);
VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p);
// Euler angles in degrees; the result is Rz(-z)·Ry(y)·Rx(-x).
MATRIX MatrixFromAngle(VECTOR3D angles);
// Inverse of MatrixFromAngle, each angle wrapped into [0, 360).
VECTOR3D AngleFromMatrix(MATRIX m);
// Columns: side, up and back axes of a viewer at `from` looking at `to`; transpose it
// for the view rotation.
MATRIX MatrixAngleBetweenVectors(VECTOR3D from, VECTOR3D to);

// Quaternions.
QUAT MultiplyQuats(QUAT a, QUAT b);
QUAT InverseQuat(QUAT q);
// Rz(z)·Ry(y)·Rx(x), degrees.
QUAT RotationToQuat(VECTOR3D angles);
// Angle in radians; the axis is used as given (not normalised).
QUAT AxisAndAngleToQuat(VECTOR3D axis, double angle);
MATRIX QuatToRotationMatrix(QUAT q);
QUAT QuatFromMatrix(MATRIX m);
// Shorter-arc spherical interpolation; neither argument is changed.
QUAT QuatSlerp(QUAT* from, QUAT* to, double t);

// Rotation vector (unit axis times degrees) turning +Z towards to - from.
VECTOR3D AngleBetweenVectors(VECTOR3D from, VECTOR3D to);

// Diagnostic: appends the matrix to the per-user file "test.txt" (see Misc.h).
void SaveMatrix(MATRIX m);
