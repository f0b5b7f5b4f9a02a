#include "util/Math.h"

#include <cmath>

namespace {
constexpr double kRadToDeg = 57.29577951308232;

// Evaluated as (degrees * pi) / 180, not degrees * (pi / 180): the two differ
// in the last bit for some angles.
double Radians(double degrees) { return degrees * kPi / 180.0; }
}  // namespace

void MATRIX::Identity() {
  Zero();
  m[0] = m[5] = m[10] = m[15] = 1.0;
}

void MATRIX::Zero() {
  for (double& e : m) e = 0.0;
}

void MATRIX::SetTranslation(VECTOR3D t) {
  m[12] = t.x;
  m[13] = t.y;
  m[14] = t.z;
}

VECTOR3D MakePoint(float x, float y, float z) { return {x, y, z}; }
point2d Make2DPoint(float x, float y) { return {x, y}; }
COLOUR4F MakeColour(float r, float g, float b, float a) { return {r, g, b, a}; }

VECTOR3D AddVectors(VECTOR3D a, VECTOR3D b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
VECTOR3D SubtractVectors(VECTOR3D a, VECTOR3D b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
VECTOR3D MultiplyVectors(VECTOR3D a, VECTOR3D b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
VECTOR3D DivideVectors(VECTOR3D a, VECTOR3D b) { return {a.x / b.x, a.y / b.y, a.z / b.z}; }

VECTOR3D ScaleVector(VECTOR3D v, double s) {
  return {static_cast<float>(double(v.x) * s), static_cast<float>(double(v.y) * s),
          static_cast<float>(double(v.z) * s)};
}

double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b) {
  float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  float sum = dx * dx + dy * dy + dz * dz;
  return sum;
}

VECTOR3D VectorCrossProduct(VECTOR3D a, VECTOR3D b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double VectorDotProduct(VECTOR3D a, VECTOR3D b) {
  float dot = a.x * b.x + a.y * b.y + a.z * b.z;
  return dot;
}

bool CompareVectors(VECTOR3D a, VECTOR3D b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

double VectorLengthNOSQRT(VECTOR3D v) {
  float sum = v.x * v.x + v.y * v.y + v.z * v.z;
  return sum;
}

double VectorLength(VECTOR3D v) { return std::sqrt(VectorLengthNOSQRT(v)); }

VECTOR3D NormalizeVector(VECTOR3D v) {
  double len = VectorLength(v);
  return {static_cast<float>(double(v.x) / len), static_cast<float>(double(v.y) / len),
          static_cast<float>(double(v.z) / len)};
}

VECTOR3D CalculateNormal(VECTOR3D a, VECTOR3D b, VECTOR3D c) {
  return VectorCrossProduct(SubtractVectors(a, b), SubtractVectors(b, c));
}

void Rotate(VECTOR3D* v, float ax, float ay, float az) {
  if (ax == 0.0f && ay == 0.0f && az == 0.0f) return;
  const float rx = static_cast<float>(Radians(ax));
  const float ry = static_cast<float>(Radians(ay));
  const float rz = static_cast<float>(Radians(az));
  if (rx != 0.0f) {
    double c = std::cos(double(rx)), s = std::sin(double(rx));
    float y = static_cast<float>(c * v->y - s * v->z);
    float z = static_cast<float>(s * v->y + c * v->z);
    v->y = y;
    v->z = z;
  }
  if (ry != 0.0f) {
    double c = std::cos(double(ry)), s = std::sin(double(ry));
    float x = static_cast<float>(c * v->x + s * v->z);
    float z = static_cast<float>(c * v->z - s * v->x);
    v->x = x;
    v->z = z;
  }
  if (rz != 0.0f) {
    double c = std::cos(double(rz)), s = std::sin(double(rz));
    float x = static_cast<float>(c * v->x - s * v->y);
    float y = static_cast<float>(s * v->x + c * v->y);
    v->x = x;
    v->y = y;
  }
}

double clamp(double v, double low, double high) {
  // The plain loops would never end for a step that is not positive, for an
  // infinite value, or once v is so large that adding the step no longer
  // changes it. Input of the first two kinds comes back unchanged. A value more
  // than kFarTurns steps out is first reduced with fmod, which is exact; for a
  // whole-number step such as 360 each step of the loops is exact too wherever
  // they could finish, so the result is the same. The step counts are bounded
  // as well, for a `low` far from v.
  constexpr double kFarTurns = 1 << 20;
  constexpr int kMaxSteps = 1 << 22;
  if (!(high > 0.0) || !std::isfinite(v) || !std::isfinite(low) || !std::isfinite(high)) return v;
  if (std::fabs(v) > high * kFarTurns) {
    v = std::fmod(v, high);
    if (v == 0.0) v = 0.0;  // the loops reach +0, never -0
  }
  for (int n = 0; low > v && n < kMaxSteps; ++n) v += high;
  for (int n = 0; v >= high && n < kMaxSteps; ++n) v -= high;
  return v;
}

MATRIX MultiplyMatrix(MATRIX a, MATRIX b) {
  MATRIX r;
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      // Summed from the first product, not from 0.0, so that a sum of four
      // negative zeros stays -0.
      r.m[c * 4 + row] = a.m[row] * b.m[c * 4] + a.m[4 + row] * b.m[c * 4 + 1] +
                         a.m[8 + row] * b.m[c * 4 + 2] + a.m[12 + row] * b.m[c * 4 + 3];
    }
  }
  return r;
}

MATRIX AddMatrix(MATRIX a, MATRIX b) {
  for (int i = 0; i < 16; ++i) a.m[i] += b.m[i];
  return a;
}

MATRIX SubtractMatrix(MATRIX a, MATRIX b) {
  for (int i = 0; i < 16; ++i) a.m[i] -= b.m[i];
  return a;
}

MATRIX TransposeMatrix(MATRIX m) {
  MATRIX r;
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) r.m[row * 4 + c] = m.m[c * 4 + row];
  return r;
}

VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  return {static_cast<float>(m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12]),
          static_cast<float>(m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13]),
          static_cast<float>(m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14])};
}

VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  return {static_cast<float>(m.m[0] * x + m.m[4] * y + m.m[8] * z),
          static_cast<float>(m.m[1] * x + m.m[5] * y + m.m[9] * z),
          static_cast<float>(m.m[2] * x + m.m[6] * y + m.m[10] * z)};
}

VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  return {static_cast<float>(m.m[0] * x + m.m[1] * y + m.m[2] * z),
          static_cast<float>(m.m[4] * x + m.m[5] * y + m.m[6] * z),
          static_cast<float>(m.m[8] * x + m.m[9] * y + m.m[10] * z)};
}

VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p) {
  return {static_cast<float>(p.x + m.m[12]), static_cast<float>(p.y + m.m[13]),
          static_cast<float>(p.z + m.m[14])};
}

VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p) {
  return {static_cast<float>(p.x - m.m[12]), static_cast<float>(p.y - m.m[13]),
          static_cast<float>(p.z - m.m[14])};
}

MATRIX MatrixFromAngle(VECTOR3D angles) {
  const double cx = std::cos(Radians(angles.x)), sx = std::sin(Radians(angles.x));
  const double cy = std::cos(Radians(angles.y)), sy = std::sin(Radians(angles.y));
  const double cz = std::cos(Radians(angles.z)), sz = std::sin(Radians(angles.z));
  MATRIX r;
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
  double y = -std::asin(m.m[2]);
  const double c = std::cos(y);
  double x, z;
  if (std::fabs(c) > 0.005) {
    x = std::atan2(-m.m[6] / c, m.m[10] / c);
    z = std::atan2(-m.m[1] / c, m.m[0] / c);
  } else {
    x = 0.0;
    z = std::atan2(m.m[4], m.m[5]);
  }
  return {static_cast<float>(clamp(x * kRadToDeg, 0, 360)),
          static_cast<float>(clamp(y * kRadToDeg, 0, 360)),
          static_cast<float>(clamp(z * kRadToDeg, 0, 360))};
}

MATRIX MatrixAngleBetweenVectors(VECTOR3D a, VECTOR3D b) {
  VECTOR3D d = SubtractVectors(a, b);
  if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) d.z = 1.0f;
  const VECTOR3D n = NormalizeVector(d);
  VECTOR3D up = {0.0f, 1.0f, 0.0f};
  if (n.x == 0.0f && n.z == 0.0f) up = {-n.y, 0.0f, 0.0f};
  const VECTOR3D s = NormalizeVector(VectorCrossProduct(up, n));
  const VECTOR3D u = ScaleVector(NormalizeVector(VectorCrossProduct(s, n)), -1.0);
  MATRIX r;
  r.m[0] = s.x; r.m[1] = s.y; r.m[2] = s.z;
  r.m[4] = u.x; r.m[5] = u.y; r.m[6] = u.z;
  r.m[8] = n.x; r.m[9] = n.y; r.m[10] = n.z;
  return r;
}

VECTOR3D AngleBetweenVectors(VECTOR3D a, VECTOR3D b) {
  VECTOR3D d = SubtractVectors(b, a);
  if (std::fabs(b.x - a.x) < 1.0f) d.x += 0.1f;
  if (CompareVectors(a, b)) d.z += 1.0f;
  VECTOR3D axis = VectorCrossProduct({0.0f, 0.0f, 1.0f}, d);
  if (VectorLength(axis) != 0.0) axis = NormalizeVector(axis);
  const double angle = std::acos(d.z / VectorLength(d)) * 180.0 / kPi;
  return ScaleVector(axis, angle);
}

MATRIX QuatToRotationMatrix(QUAT q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  MATRIX r;
  r.m[0] = 1.0 - 2.0 * (y * y + z * z);
  r.m[1] = 2.0 * (x * y + z * w);
  r.m[2] = 2.0 * (x * z - y * w);
  r.m[4] = 2.0 * (x * y - z * w);
  r.m[5] = 1.0 - 2.0 * (x * x + z * z);
  r.m[6] = 2.0 * (y * z + x * w);
  r.m[8] = 2.0 * (x * z + y * w);
  r.m[9] = 2.0 * (y * z - x * w);
  r.m[10] = 1.0 - 2.0 * (x * x + y * y);
  return r;
}

QUAT QuatFromMatrix(MATRIX m) {
  QUAT q;
  const double trace = m.m[0] + m.m[5] + m.m[10];
  if (trace > 0.0) {
    double s = std::sqrt(trace + 1.0);
    q.w = s / 2.0;
    s = 0.5 / s;
    q.x = (m.m[6] - m.m[9]) * s;
    q.y = (m.m[8] - m.m[2]) * s;
    q.z = (m.m[1] - m.m[4]) * s;
    return q;
  }
  static constexpr int kNext[3] = {1, 2, 0};
  int i = 0;
  if (m.m[5] > m.m[0]) i = 1;
  if (m.m[10] > m.m[i * 5]) i = 2;
  const int j = kNext[i];
  const int k = kNext[j];
  double s = std::sqrt(m.m[i * 5] - (m.m[j * 5] + m.m[k * 5]) + 1.0);
  double v[3];
  v[i] = s / 2.0;
  if (s != 0.0) s = 0.5 / s;
  q.w = (m.m[j * 4 + k] - m.m[k * 4 + j]) * s;
  v[j] = (m.m[i * 4 + j] + m.m[j * 4 + i]) * s;
  v[k] = (m.m[i * 4 + k] + m.m[k * 4 + i]) * s;
  q.x = v[0];
  q.y = v[1];
  q.z = v[2];
  return q;
}

QUAT QuatSlerp(const QUAT* a, const QUAT* b, double t) {
  QUAT to = *b;
  double cosom = a->x * to.x + a->y * to.y + a->z * to.z + a->w * to.w;
  if (cosom < 0.0) {
    cosom = -cosom;
    to.x = -to.x;
    to.y = -to.y;
    to.z = -to.z;
    to.w = -to.w;
  }
  double scale0, scale1;
  if (1.0 - cosom > 1e-5) {
    const double omega = std::acos(cosom);
    const double sinom = std::sin(omega);
    scale0 = std::sin((1.0 - t) * omega) / sinom;
    scale1 = std::sin(t * omega) / sinom;
  } else {
    scale0 = 1.0 - t;
    scale1 = t;
  }
  QUAT r;
  r.x = scale0 * a->x + scale1 * to.x;
  r.y = scale0 * a->y + scale1 * to.y;
  r.z = scale0 * a->z + scale1 * to.z;
  r.w = scale0 * a->w + scale1 * to.w;
  return r;
}

QUAT RotationToQuat(VECTOR3D angles) {
  const double hx = Radians(angles.x) * 0.5;
  const double hy = Radians(angles.y) * 0.5;
  const double hz = Radians(angles.z) * 0.5;
  const double cx = std::cos(hx), sx = std::sin(hx);
  const double cy = std::cos(hy), sy = std::sin(hy);
  const double cz = std::cos(hz), sz = std::sin(hz);
  QUAT q;
  q.x = sx * cy * cz - cx * sy * sz;
  q.y = cx * sy * cz + sx * cy * sz;
  q.z = cx * cy * sz - sx * sy * cz;
  q.w = cx * cy * cz + sx * sy * sz;
  return q;
}

QUAT InverseQuat(QUAT q) {
  q.x = -q.x;
  q.y = -q.y;
  q.z = -q.z;
  return q;
}

QUAT MultiplyQuats(QUAT a, QUAT b) {
  QUAT r;
  r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
  r.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
  r.y = a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z;
  r.z = a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x;
  return r;
}

QUAT AxisAndAngleToQuat(VECTOR3D axis, double angle) {
  const double s = std::sin(angle / 2.0);
  QUAT q;
  q.x = axis.x * s;
  q.y = axis.y * s;
  q.z = axis.z * s;
  q.w = std::cos(angle / 2.0);
  return q;
}
