#include "util/Math.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/GLTest.h"

namespace {

constexpr double kTol = 1e-12;
const double kHalfSqrt2 = std::sqrt(0.5);

void ExpectVectorNear(VECTOR3D v, float x, float y, float z, float tol = 1e-6f) {
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}

void ExpectMatrixNear(const MATRIX& a, const MATRIX& b, double tol = kTol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

void ExpectQuatNear(QUAT q, double x, double y, double z, double w, double tol = kTol) {
  EXPECT_NEAR(q.x, x, tol);
  EXPECT_NEAR(q.y, y, tol);
  EXPECT_NEAR(q.z, z, tol);
  EXPECT_NEAR(q.w, w, tol);
}

MATRIX Translation(float x, float y, float z) {
  MATRIX m;
  m.SetTranslation({x, y, z});
  return m;
}

}  // namespace

TEST(Math, VectorsKeepSinglePrecisionWhereTheyShould) {
  EXPECT_EQ(DistanceBetweenVectors({0, 0, 0}, {3, 4, 0}), 25.0);

  // 1 + 1e-8 is 1 in float: the squared sums are not widened before adding.
  EXPECT_EQ(DistanceBetweenVectors({0, 0, 0}, {1, 1e-4f, 0}), 1.0);
  EXPECT_EQ(VectorLengthNOSQRT({1, 1e-4f, 0}), 1.0);
  EXPECT_EQ(VectorLength({1, 1e-4f, 0}), 1.0);
  EXPECT_EQ(VectorDotProduct({1, 1e-4f, 0}, {1, 1e-4f, 0}), 1.0);

  // 4097 * 4097 rounds to 16785408 in float, so the cross product's x is 8193,
  // not the exact 8194.
  EXPECT_EQ(VectorCrossProduct({0, 4097, 4097}, {0, 4095, 4097}).x, 8193.0f);

  // ScaleVector multiplies in double and rounds once: 3 * 0.3 gives 0.9f,
  // while 3.0f * 0.3f would give the next float up.
  EXPECT_EQ(ScaleVector({3, 0, 0}, 0.3).x, 0.9f);

  {
    const VECTOR3D n = NormalizeVector({3, 0, 4});
    ExpectVectorNear(n, 0.6f, 0.0f, 0.8f);
    EXPECT_NEAR(VectorLength(n), 1.0, 1e-7);
  }

  // (a - b) x (b - c), in that order.
  ExpectVectorNear(CalculateNormal({0, 0, 0}, {1, 0, 0}, {1, 1, 0}), 0, 0, 1);

  EXPECT_TRUE(CompareVectors({0.0f, 1, 2}, {-0.0f, 1, 2}));
  EXPECT_FALSE(CompareVectors({1, 2, 3}, {1, 2, std::nextafter(3.0f, 4.0f)}));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(CompareVectors({nan, 0, 0}, {nan, 0, 0}));
}

TEST(Math, RotateTurnsAboutXThenYThenZ) {
  {
    VECTOR3D v{1, 2, 3};
    Rotate(&v, 0, 0, 0);
    EXPECT_TRUE(CompareVectors(v, {1, 2, 3}));
  }
  {
    VECTOR3D v{1, 0, 0};
    Rotate(&v, 0, 0, 90);
    ExpectVectorNear(v, 0, 1, 0);
  }
  {
    // X first takes (0, 1, 0) to (0, 0, 1), which the Z turn leaves alone.
    // Z first would give (-1, 0, 0).
    VECTOR3D v{0, 1, 0};
    Rotate(&v, 90, 0, 90);
    ExpectVectorNear(v, 0, 0, 1);
  }
  {
    VECTOR3D v{1, 0, 0};
    Rotate(&v, 0, 90, 0);
    ExpectVectorNear(v, 0, 0, -1);
  }
}

TEST(Math, ClampWrapsByWholeSteps) {
  EXPECT_EQ(clamp(-30, 0, 360), 330);
  EXPECT_EQ(clamp(360, 0, 360), 0);
  EXPECT_EQ(clamp(725, 0, 360), 5);
  EXPECT_EQ(clamp(-725, 0, 360), 355);
  EXPECT_EQ(clamp(359.5, 0, 360), 359.5);
  // The step is `high`, not high - low.
  EXPECT_EQ(clamp(5, 10, 360), 5);
  EXPECT_EQ(clamp(370, 10, 360), 10);
  EXPECT_FALSE(std::signbit(clamp(-720, 0, 360)));
  EXPECT_FALSE(std::signbit(clamp(-360.0 * (1 << 22), 0, 360)));

  // Values far beyond the point where adding 360 changes nothing still end in
  // range, with the remainder the exact arithmetic gives.
  EXPECT_EQ(clamp(1e20, 0, 360), 280);
  EXPECT_EQ(clamp(-1e20, 0, 360), 80);
  EXPECT_EQ(clamp(360.0 * (1 << 22) + 17.25, 0, 360), 17.25);
  for (double v :
       {1e300, -1e300, std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()}) {
    const double r = clamp(v, 0, 360);
    EXPECT_GE(r, 0.0) << v;
    EXPECT_LT(r, 360.0) << v;
  }

  // Input the loops could never finish comes back as it is.
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(clamp(inf, 0, 360), inf);
  EXPECT_EQ(clamp(-inf, 0, 360), -inf);
  EXPECT_TRUE(std::isnan(clamp(std::nan(""), 0, 360)));
  EXPECT_EQ(clamp(500, 0, 0), 500);
  EXPECT_EQ(clamp(500, 0, -360), 500);
  EXPECT_EQ(clamp(5, inf, 360), 5);
  // A lower bound far above the value ends too (the result is meaningless).
  EXPECT_TRUE(std::isfinite(clamp(0, 1e300, 1)));
}

TEST(Math, MatrixProductAppliesTheRightOperandFirst) {
  const MATRIX identity;
  const MATRIX turn = MatrixFromAngle({10, 20, 30});
  ExpectMatrixNear(MultiplyMatrix(identity, turn), turn, 0);
  ExpectMatrixNear(MultiplyMatrix(turn, identity), turn, 0);

  const MATRIX ab = MultiplyMatrix(Translation(1, 2, 3), MatrixFromAngle({0, 0, 90}));
  ExpectVectorNear(MatrixPointMultiply(ab, {1, 0, 0}), 1, 1, 3);
  const MATRIX ba = MultiplyMatrix(MatrixFromAngle({0, 0, 90}), Translation(1, 2, 3));
  ExpectVectorNear(MatrixPointMultiply(ba, {1, 0, 0}), 2, -2, 3);

  // A sum of four negative zeros stays negative.
  {
    MATRIX a;
    a.m[0] = a.m[4] = a.m[8] = a.m[12] = -1;
    MATRIX b;
    b.Zero();
    EXPECT_TRUE(std::signbit(MultiplyMatrix(a, b).m[0]));
  }

  MATRIX sum = AddMatrix(turn, identity);
  ExpectMatrixNear(SubtractMatrix(sum, identity), turn);
}

using MathGL = GLTest;

// The product is what OpenGL holds after loading a and multiplying by b.
TEST_F(MathGL, MatrixProductMatchesOpenGL) {
  MATRIX a = MatrixFromAngle({15, -40, 70});
  a.SetTranslation({4, -5, 6});
  MATRIX b = MatrixFromAngle({-25, 10, 135});
  b.SetTranslation({-1, 2, 0.5f});
  b.m[3] = 0.25;  // a bottom row off (0, 0, 0, 1) as in a projection
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(a.m);
  glMultMatrixd(b.m);
  MATRIX gl;
  glGetDoublev(GL_MODELVIEW_MATRIX, gl.m);
  glLoadIdentity();
  ExpectMatrixNear(MultiplyMatrix(a, b), gl, 1e-5);
}

TEST(Math, PointTransforms) {
  MATRIX m = MatrixFromAngle({30, 45, 60});
  m.SetTranslation({1, 2, 3});
  m.m[3] = m.m[7] = m.m[11] = 7;  // the bottom row is ignored: no w divide
  const VECTOR3D p{0.5f, -2, 4};

  const VECTOR3D turned = MatrixRotatePoint(m, p);
  const VECTOR3D moved = MatrixPointMultiply(m, p);
  ExpectVectorNear(moved, turned.x + 1, turned.y + 2, turned.z + 3, 1e-5f);
  ExpectVectorNear(MatrixTranslatePoint(m, p), 1.5f, 0, 7);
  ExpectVectorNear(MatrixInverseTranslatePoint(m, p), -0.5f, -4, 1);
  // For a pure rotation the transpose undoes the turn.
  ExpectVectorNear(MatrixInverseRotatePoint(m, turned), p.x, p.y, p.z, 1e-5f);

  // Summed in double and rounded once: 0.1 + 2/3 is not what float terms give.
  {
    MATRIX s;
    s.m[0] = 0.1;
    s.m[12] = 2.0 / 3.0;
    EXPECT_EQ(MatrixPointMultiply(s, {1, 0, 0}).x, static_cast<float>(0.1 + 2.0 / 3.0));
    EXPECT_NE(MatrixPointMultiply(s, {1, 0, 0}).x, 0.1f + static_cast<float>(2.0 / 3.0));
  }

  MATRIX t;
  for (int i = 0; i < 16; ++i) t.m[i] = i;
  t.m[11] = 5;
  const MATRIX tt = TransposeMatrix(t);
  EXPECT_EQ(tt.m[14], 5);
  EXPECT_EQ(tt.m[1], 4);
  ExpectMatrixNear(TransposeMatrix(tt), t, 0);
}

TEST(Math, MatrixBasics) {
  MATRIX m;
  ExpectMatrixNear(m, MatrixFromAngle({0, 0, 0}), 0);
  m.SetTranslation({1, 2, 3});
  EXPECT_EQ(m.m[12], 1);
  EXPECT_EQ(m.m[14], 3);
  EXPECT_EQ(m.m[0], 1);
  m.Zero();
  for (double e : m.m) EXPECT_EQ(e, 0);
  m.Identity();
  ExpectMatrixNear(m, MATRIX(), 0);
}

// The flight model's matrices and the animation's quaternions turn X and Z the
// opposite way; both conventions are relied on.
TEST(Math, EulerConventionsOfMatrixAndQuaternionDiffer) {
  const VECTOR3D x{1, 0, 0}, y{0, 1, 0};
  auto byMatrix = [](VECTOR3D angles, VECTOR3D p) {
    return MatrixPointMultiply(MatrixFromAngle(angles), p);
  };
  auto byQuat = [](VECTOR3D angles, VECTOR3D p) {
    return MatrixPointMultiply(QuatToRotationMatrix(RotationToQuat(angles)), p);
  };
  ExpectVectorNear(byMatrix({0, 0, 90}, x), 0, -1, 0);
  ExpectVectorNear(byQuat({0, 0, 90}, x), 0, 1, 0);
  ExpectVectorNear(byMatrix({90, 0, 0}, y), 0, 0, -1);
  ExpectVectorNear(byQuat({90, 0, 0}, y), 0, 0, 1);
  ExpectVectorNear(byMatrix({0, 90, 0}, x), 0, 0, -1);
  ExpectVectorNear(byQuat({0, 90, 0}, x), 0, 0, -1);

  ExpectQuatNear(RotationToQuat({90, 0, 0}), kHalfSqrt2, 0, 0, kHalfSqrt2);

  // Composition: MatrixFromAngle(x, y, z) = Rz(-z) Ry(y) Rx(-x), applied X
  // first; RotationToQuat(x, y, z) = Rz(z) Ry(y) Rx(x).
  const VECTOR3D a{25, -50, 110};
  ExpectMatrixNear(
      MatrixFromAngle(a),
      MultiplyMatrix(MatrixFromAngle({0, 0, a.z}),
                     MultiplyMatrix(MatrixFromAngle({0, a.y, 0}), MatrixFromAngle({a.x, 0, 0}))));
  const QUAT qx = RotationToQuat({a.x, 0, 0});
  const QUAT qy = RotationToQuat({0, a.y, 0});
  const QUAT qz = RotationToQuat({0, 0, a.z});
  const QUAT composed = MultiplyQuats(qz, MultiplyQuats(qy, qx));
  const QUAT direct = RotationToQuat(a);
  ExpectQuatNear(composed, direct.x, direct.y, direct.z, direct.w);
  // The Hamilton product matches the product of the matrices.
  ExpectMatrixNear(QuatToRotationMatrix(MultiplyQuats(qz, qx)),
                   MultiplyMatrix(QuatToRotationMatrix(qz), QuatToRotationMatrix(qx)));
  // The transpose of MatrixFromAngle is Rx(x) Ry(-y) Rz(z).
  ExpectMatrixNear(TransposeMatrix(MatrixFromAngle(a)),
                   MultiplyMatrix(QuatToRotationMatrix(qx),
                                  MultiplyMatrix(QuatToRotationMatrix(RotationToQuat({0, -a.y, 0})),
                                                 QuatToRotationMatrix(qz))));

  // Degrees become radians as (degrees * pi) / 180: for 6 degrees that is one
  // ulp below 6 * (pi / 180), and the sine shows it.
  EXPECT_EQ(MatrixFromAngle({0, 6, 0}).m[2], -0.10452846326765346);
  EXPECT_EQ(RotationToQuat({12, 0, 0}).x, std::sin(0.20943951023931953 * 0.5));

  ExpectQuatNear(AxisAndAngleToQuat({1, 0, 0}, kPi / 2), kHalfSqrt2, 0, 0, kHalfSqrt2);
  {
    const QUAT q = MultiplyQuats(direct, InverseQuat(direct));
    ExpectQuatNear(q, 0, 0, 0, 1);
  }
  EXPECT_TRUE(QUAT().IsEqualTo({0, 0, 0, 1}));
  EXPECT_FALSE(QUAT().IsEqualTo({0, 0, 0, -1}));
}

TEST(Math, AngleFromMatrixInvertsMatrixFromAngle) {
  {
    const VECTOR3D r = AngleFromMatrix(MatrixFromAngle({10, 20, 30}));
    ExpectVectorNear(r, 10, 20, 30, 1e-4f);
  }
  {
    // Negative angles come back wrapped into [0, 360).
    const VECTOR3D r = AngleFromMatrix(MatrixFromAngle({-10, -20, -30}));
    ExpectVectorNear(r, 350, 340, 330, 1e-4f);
  }
  {
    // Gimbal lock: x is taken as 0 and the whole turn lands in z.
    const MATRIX m = MatrixFromAngle({0, 90, 40});
    const VECTOR3D r = AngleFromMatrix(m);
    EXPECT_EQ(r.x, 0.0f);
    const VECTOR3D p{0.3f, 0.5f, 0.7f};
    const VECTOR3D expected = MatrixPointMultiply(m, p);
    ExpectVectorNear(MatrixPointMultiply(MatrixFromAngle(r), p), expected.x, expected.y, expected.z,
                     1e-4f);
  }
}

TEST(Math, FramesBetweenVectors) {
  {
    const MATRIX m = MatrixAngleBetweenVectors({1, 2, 3}, {4, 6, 3});
    // Third column: unit vector from b towards a.
    EXPECT_NEAR(m.m[8], -0.6, 1e-6);
    EXPECT_NEAR(m.m[9], -0.8, 1e-6);
    EXPECT_NEAR(m.m[10], 0, 1e-6);
    // Orthonormal.
    const MATRIX product = MultiplyMatrix(TransposeMatrix(m), m);
    ExpectMatrixNear(product, MATRIX(), 1e-6);
  }
  {
    // Straight up: the usual up vector is parallel, so another one is used.
    const MATRIX m = MatrixAngleBetweenVectors({0, 5, 0}, {0, 0, 0});
    EXPECT_EQ(m.m[9], 1);
    ExpectMatrixNear(MultiplyMatrix(TransposeMatrix(m), m), MATRIX(), 1e-6);
  }
  {
    // Equal points face +Z rather than dividing by zero.
    const MATRIX m = MatrixAngleBetweenVectors({1, 1, 1}, {1, 1, 1});
    EXPECT_EQ(m.m[10], 1);
  }

  ExpectVectorNear(AngleBetweenVectors({0, 0, 0}, {10, 0, 0}), 0, 90, 0, 1e-4f);
  {
    // Nearly straight along Z: x is nudged by 0.1 so that the axis exists.
    const VECTOR3D r = AngleBetweenVectors({0, 0, 0}, {0, 0, 10});
    ExpectVectorNear(r, 0, static_cast<float>(std::atan(0.01) * 180 / kPi), 0, 1e-4f);
  }
  {
    const VECTOR3D r = AngleBetweenVectors({2, 2, 2}, {2, 2, 2});
    EXPECT_FALSE(std::isnan(r.y));
    EXPECT_NEAR(r.y, std::atan(0.1) * 180 / kPi, 1e-4);
  }
}

TEST(Math, QuatFromMatrixBranches) {
  ExpectQuatNear(QuatFromMatrix(MATRIX()), 0, 0, 0, 1, 0);

  // Half turns have a trace of -1 and take the largest diagonal element.
  auto diagonal = [](double a, double b, double c) {
    MATRIX m;
    m.m[0] = a;
    m.m[5] = b;
    m.m[10] = c;
    return m;
  };
  ExpectQuatNear(QuatFromMatrix(diagonal(1, -1, -1)), 1, 0, 0, 0, 0);
  ExpectQuatNear(QuatFromMatrix(diagonal(-1, 1, -1)), 0, 1, 0, 0, 0);
  ExpectQuatNear(QuatFromMatrix(diagonal(-1, -1, 1)), 0, 0, 1, 0, 0);
  // Ties keep the lower index (visible only on a block that is no rotation).
  ExpectQuatNear(QuatFromMatrix(diagonal(-1, -1, -2)), std::sqrt(3.0) / 2, 0, 0, 0);
  ExpectQuatNear(QuatFromMatrix(diagonal(-2, -1, -1)), 0, std::sqrt(3.0) / 2, 0, 0);

  // Round trips: q itself in the trace branch (w > 0.5), q or -q with the
  // largest-diagonal component non-negative otherwise.
  {
    const QUAT q = RotationToQuat({20, -35, 50});
    ASSERT_GT(q.w, 0.5);
    ExpectQuatNear(QuatFromMatrix(QuatToRotationMatrix(q)), q.x, q.y, q.z, q.w);
  }
  for (VECTOR3D axis : {VECTOR3D{1, 0, 0}, VECTOR3D{0, 0.6f, 0.8f}, VECTOR3D{0.48f, -0.6f, 0.64f},
                        VECTOR3D{0, -1, 0}}) {
    const VECTOR3D unit = NormalizeVector(axis);
    const QUAT q = AxisAndAngleToQuat(unit, 170 * kPi / 180);
    const QUAT r = QuatFromMatrix(QuatToRotationMatrix(q));
    const double sign = (r.x * q.x + r.y * q.y + r.z * q.z + r.w * q.w) < 0 ? -1 : 1;
    ExpectQuatNear(r, sign * q.x, sign * q.y, sign * q.z, sign * q.w, 1e-9);
    // The component of the largest diagonal element (the largest axis
    // component, for a turn this large) comes out non-negative.
    const double ax = std::fabs(unit.x), ay = std::fabs(unit.y), az = std::fabs(unit.z);
    const double largest = (ax >= ay && ax >= az) ? r.x : (ay >= az ? r.y : r.z);
    EXPECT_GE(largest, 0.0);
  }
}

TEST(Math, QuatSlerpEndsAndBranches) {
  const QUAT a = RotationToQuat({10, 20, 30});
  const QUAT b = RotationToQuat({-40, 80, 5});
  ASSERT_GT(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w, 0);

  EXPECT_TRUE(QuatSlerp(&a, &b, 0).IsEqualTo(a));
  EXPECT_TRUE(QuatSlerp(&a, &b, 1).IsEqualTo(b));
  {
    // Halfway is a unit quaternion the same angle from both ends.
    const QUAT h = QuatSlerp(&a, &b, 0.5);
    EXPECT_NEAR(h.x * h.x + h.y * h.y + h.z * h.z + h.w * h.w, 1, 1e-12);
    EXPECT_NEAR(h.x * a.x + h.y * a.y + h.z * a.z + h.w * a.w,
                h.x * b.x + h.y * b.y + h.z * b.z + h.w * b.w, 1e-12);
  }
  {
    // The shorter arc: a negative dot product turns b into -b.
    const QUAT nb{-b.x, -b.y, -b.z, -b.w};
    const QUAT r = QuatSlerp(&a, &nb, 1);
    ExpectQuatNear(r, b.x, b.y, b.z, b.w);
    EXPECT_TRUE(nb.IsEqualTo({-b.x, -b.y, -b.z, -b.w}));  // inputs untouched
  }
  {
    // A dot product of exactly 0 keeps b as it is.
    const QUAT p{1, 0, 0, 0}, q{0, 1, 0, 0};
    ExpectQuatNear(QuatSlerp(&p, &q, 1), 0, 1, 0, 0);
  }
  {
    // Equal ends take the linear branch: no 0 / 0.
    const QUAT r = QuatSlerp(&a, &a, 0.3);
    ExpectQuatNear(r, a.x, a.y, a.z, a.w);
  }
  {
    // Around the threshold 1 - cos = 1e-5 (which no double cosine hits
    // exactly): just above it the spherical formula, whose midpoint is longer
    // by 1 / cos(omega / 2); just below it the linear blend.
    const double above = 0.99998999999999993;  // 1 - above = 1.0000000000065512e-05
    const double below = std::nextafter(above, 2.0);
    ASSERT_GT(1.0 - above, 1e-5);
    ASSERT_LT(1.0 - below, 1e-5);
    const QUAT p{0, 0, 0, 1};
    const QUAT spherical{std::sqrt(1 - above * above), 0, 0, above};
    const QUAT linear{std::sqrt(1 - below * below), 0, 0, below};
    EXPECT_GT(QuatSlerp(&p, &spherical, 0.5).w, 0.5 * (1 + above) * (1 + 1e-6));
    EXPECT_EQ(QuatSlerp(&p, &linear, 0.5).w, 0.5 * 1 + 0.5 * below);
  }
}
