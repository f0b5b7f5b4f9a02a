#pragma once
// Vector, matrix and quaternion math: plain values, no allocation, no state,
// no OpenGL.
//
// Precision: per-component vector arithmetic, dot products, squared lengths
// and cross products are single precision. ScaleVector, NormalizeVector,
// VectorLength and the matrix-by-point functions widen to double and round each
// result component to float. Matrices and quaternions are double throughout.
// Angles are degrees unless a name says otherwise.

struct VECTOR3D {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

struct point2d {
  float x = 0.0f;
  float y = 0.0f;
};

// r, g, b, a in that order.
struct COLOUR4F {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;
};

// 4x4, column-major as OpenGL takes it: row r, column c is m[c * 4 + r].
// Rotation in the upper-left 3x3 block, translation in m[12..14]. Points are
// column vectors (M * p).
struct MATRIX {
  double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  void Identity();
  void Zero();
  void SetTranslation(VECTOR3D t);  // m[12..14] only
};

// (x, y, z) vector part, w scalar part.
struct QUAT {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double w = 1.0;

  void Identity() { x = y = z = 0.0; w = 1.0; }
  bool IsEqualTo(QUAT q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
};

inline constexpr double kPi = 3.141592653589793;

// Vectors.
VECTOR3D MakePoint(float x, float y, float z);
point2d Make2DPoint(float x, float y);
COLOUR4F MakeColour(float r, float g, float b, float a);
VECTOR3D AddVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D SubtractVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D MultiplyVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D DivideVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D ScaleVector(VECTOR3D v, double s);
// Squared distance; no square root (callers compare with squared thresholds).
double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D VectorCrossProduct(VECTOR3D a, VECTOR3D b);
double VectorDotProduct(VECTOR3D a, VECTOR3D b);
// Exact equality; NaN compares unequal, 0 and -0 equal.
bool CompareVectors(VECTOR3D a, VECTOR3D b);
double VectorLength(VECTOR3D v);
double VectorLengthNOSQRT(VECTOR3D v);
// The caller must not pass a zero vector.
VECTOR3D NormalizeVector(VECTOR3D v);
// (a - b) x (b - c), not normalised.
VECTOR3D CalculateNormal(VECTOR3D a, VECTOR3D b, VECTOR3D c);
// Turns v in place about X, then Y, then Z (degrees).
void Rotate(VECTOR3D* v, float ax, float ay, float az);
// Wraps rather than clamps: adds `high` while v < low, then subtracts it while
// v >= high (the step is `high`, not high - low; used with 0 and 360). A value,
// bound or step that is not finite, or a step that is not positive, returns v
// unchanged; any finite value ends in the range however large it is.
double clamp(double v, double low, double high);

// Matrices.
MATRIX MultiplyMatrix(MATRIX a, MATRIX b);  // a * b: b applies first
MATRIX AddMatrix(MATRIX a, MATRIX b);
MATRIX SubtractMatrix(MATRIX a, MATRIX b);
MATRIX TransposeMatrix(MATRIX m);
VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p);        // affine, no w divide
VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p);          // 3x3 block only
VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p);   // transpose of 3x3
VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p);
// Rz(-z) * Ry(y) * Rx(-x) from Euler angles in degrees (the flight model's
// convention; opposite X and Z sense to RotationToQuat).
MATRIX MatrixFromAngle(VECTOR3D angles);
VECTOR3D AngleFromMatrix(MATRIX m);
MATRIX MatrixAngleBetweenVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D AngleBetweenVectors(VECTOR3D a, VECTOR3D b);

// Quaternions.
MATRIX QuatToRotationMatrix(QUAT q);
QUAT QuatFromMatrix(MATRIX m);
// From *a (t = 0) to *b (t = 1) along the shorter arc; not renormalised.
QUAT QuatSlerp(const QUAT* a, const QUAT* b, double t);
// Rz(z) * Ry(y) * Rx(x) from Euler angles in degrees (the animation's
// convention).
QUAT RotationToQuat(VECTOR3D angles);
QUAT InverseQuat(QUAT q);
QUAT MultiplyQuats(QUAT a, QUAT b);
// `angle` in radians; the axis is not normalised.
QUAT AxisAndAngleToQuat(VECTOR3D axis, double angle);
