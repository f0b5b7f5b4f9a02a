// The arithmetic the flight model and skinning rest on: float rounding where
// it is relied on, conventions of turns, and the branches of the quaternion
// conversions. Plain matrix products are pinned by the model tests.
#include "util/Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void ExpectVectorNear(VECTOR3D v, VECTOR3D want, float tol = 1e-6f) {
  EXPECT_NEAR(v.x, want.x, tol);
  EXPECT_NEAR(v.y, want.y, tol);
  EXPECT_NEAR(v.z, want.z, tol);
}

void ExpectNear(const double* a, const double* b, int n, double tol) {
  for (int i = 0; i < n; ++i) EXPECT_NEAR(a[i], b[i], tol) << "element " << i;
}

void ExpectMatrixNear(const MATRIX& a, const MATRIX& b) { ExpectNear(a.m, b.m, 16, 1e-12); }

void ExpectQuatNear(QUAT q, QUAT want, double tol = 1e-12) {
  const double got[4] = {q.x, q.y, q.z, q.w}, wanted[4] = {want.x, want.y, want.z, want.w};
  ExpectNear(got, wanted, 4, tol);
}

double Dot(QUAT a, QUAT b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

}  // namespace

TEST(Math, VectorsKeepSinglePrecision) {
  EXPECT_EQ(DistanceBetweenVectors({0, 0, 0}, {3, 4, 0}), 25.0);
  // 1 + 1e-8 is 1 in float: the squared sums are not widened before adding.
  EXPECT_EQ(DistanceBetweenVectors({0, 0, 0}, {1, 1e-4f, 0}), 1.0);
  EXPECT_EQ(VectorLength({1, 1e-4f, 0}), 1.0);
  // Scaled in double and rounded once: 3 * 0.3 gives 0.9f.
  EXPECT_EQ(ScaleVector({3, 0, 0}, 0.3).x, 0.9f);
  ExpectVectorNear(NormalizeVector({3, 0, 4}), {0.6f, 0, 0.8f});
  // (a - b) x (b - c), in that order.
  ExpectVectorNear(CalculateNormal({0, 0, 0}, {1, 0, 0}, {1, 1, 0}), {0, 0, 1});
}

TEST(Math, ClampWrapsByWholeSteps) {
  const double inf = std::numeric_limits<double>::infinity();
  const double max = std::numeric_limits<double>::max();
  // value, low, high, result. The step is `high`, not high - low; far beyond
  // where adding 360 changes anything, the exact remainder; input the loops
  // could never finish comes back as it is.
  const double rows[][4] = {
      {-30, 0, 360, 330}, {360, 0, 360, 0}, {725, 0, 360, 5}, {-725, 0, 360, 355},
      {359.5, 0, 360, 359.5}, {5, 10, 360, 5}, {370, 10, 360, 10}, {1e20, 0, 360, 280},
      {-1e20, 0, 360, 80}, {360.0 * (1 << 22) + 17.25, 0, 360, 17.25}, {inf, 0, 360, inf},
      {-inf, 0, 360, -inf}, {500, 0, 0, 500}, {500, 0, -360, 500}, {5, inf, 360, 5}};
  for (const auto& r : rows) EXPECT_EQ(clamp(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[1];
  EXPECT_FALSE(std::signbit(clamp(-720, 0, 360)));
  EXPECT_FALSE(std::signbit(clamp(-360.0 * (1 << 22), 0, 360)));
  for (double v : {1e300, -1e300, max, -max}) {
    const double r = clamp(v, 0, 360);
    EXPECT_TRUE(r >= 0.0 && r < 360.0) << v;
  }
  EXPECT_TRUE(std::isnan(clamp(std::nan(""), 0, 360)));
  EXPECT_TRUE(std::isfinite(clamp(0, 1e300, 1)));  // ends; the result is meaningless
}

TEST(Math, MatricesApplyTheRightOperandFirstAndSumInDouble) {
  MATRIX move;
  move.SetTranslation({1, 2, 3});
  const MATRIX turn = MatrixFromAngle({0, 0, 90});
  ExpectVectorNear(MatrixPointMultiply(MultiplyMatrix(move, turn), {1, 0, 0}), {1, 1, 3});
  ExpectVectorNear(MatrixPointMultiply(MultiplyMatrix(turn, move), {1, 0, 0}), {2, -2, 3});
  {
    // A sum of four negative zeros stays negative.
    MATRIX a, zero;
    a.m[0] = a.m[4] = a.m[8] = a.m[12] = -1;
    zero.Zero();
    EXPECT_TRUE(std::signbit(MultiplyMatrix(a, zero).m[0]));
  }

  MATRIX m = MatrixFromAngle({30, 45, 60});
  m.SetTranslation({1, 2, 3});
  m.m[3] = m.m[7] = m.m[11] = 7;  // the bottom row is ignored: no w divide
  const VECTOR3D p{0.5f, -2, 4};
  const VECTOR3D turned = MatrixRotatePoint(m, p);
  ExpectVectorNear(MatrixPointMultiply(m, p), {turned.x + 1, turned.y + 2, turned.z + 3}, 1e-5f);
  ExpectVectorNear(MatrixTranslatePoint(m, p), {1.5f, 0, 7});
  ExpectVectorNear(MatrixInverseTranslatePoint(m, p), {-0.5f, -4, 1});
  EXPECT_EQ(TransposeMatrix(m).m[12], 7);

  // 0.1 + 2/3 summed in double and rounded once, not as float terms.
  MATRIX s;
  s.m[0] = 0.1;
  s.m[12] = 2.0 / 3.0;
  EXPECT_EQ(MatrixPointMultiply(s, {1, 0, 0}).x, static_cast<float>(0.1 + 2.0 / 3.0));
}

// The flight model's matrices and the animation's quaternions turn X and Z the
// opposite way; both conventions are relied on.
TEST(Math, EulerConventionsOfMatrixAndQuaternionDiffer) {
  auto quatTurn = [](VECTOR3D a) { return QuatToRotationMatrix(RotationToQuat(a)); };
  ExpectVectorNear(MatrixPointMultiply(MatrixFromAngle({0, 0, 90}), {1, 0, 0}), {0, -1, 0});
  ExpectVectorNear(MatrixPointMultiply(quatTurn({0, 0, 90}), {1, 0, 0}), {0, 1, 0});
  ExpectVectorNear(MatrixPointMultiply(MatrixFromAngle({90, 0, 0}), {0, 1, 0}), {0, 0, -1});
  ExpectVectorNear(MatrixPointMultiply(quatTurn({90, 0, 0}), {0, 1, 0}), {0, 0, 1});

  // MatrixFromAngle(x, y, z) = Rz(-z) Ry(y) Rx(-x); RotationToQuat(x, y, z) =
  // Rz(z) Ry(y) Rx(x).
  const VECTOR3D a{25, -50, 110};
  auto inTurns = [](MATRIX (*turn)(VECTOR3D), VECTOR3D a) {
    return MultiplyMatrix(turn({0, 0, a.z}), MultiplyMatrix(turn({0, a.y, 0}), turn({a.x, 0, 0})));
  };
  ExpectMatrixNear(MatrixFromAngle(a), inTurns(MatrixFromAngle, a));
  ExpectMatrixNear(quatTurn(a), inTurns(quatTurn, a));

  // Degrees become radians as (degrees * pi) / 180: for 6 degrees one ulp
  // below 6 * (pi / 180), and the sine shows it.
  EXPECT_EQ(MatrixFromAngle({0, 6, 0}).m[2], -0.10452846326765346);
  EXPECT_EQ(RotationToQuat({12, 0, 0}).x, std::sin(0.20943951023931953 * 0.5));
}

TEST(Math, QuatFromMatrixBranches) {
  ExpectQuatNear(QuatFromMatrix(MATRIX()), {0, 0, 0, 1}, 0);
  // Half turns have a trace of -1 and take the largest diagonal element; ties
  // keep the lower index (visible only on a block that is no rotation).
  const double h = std::sqrt(3.0) / 2;
  const double rows[][7] = {  // diagonal, quaternion
      {1, -1, -1, 1, 0, 0, 0}, {-1, 1, -1, 0, 1, 0, 0}, {-1, -1, 1, 0, 0, 1, 0},
      {-1, -1, -2, h, 0, 0, 0}, {-2, -1, -1, 0, h, 0, 0}};
  for (const auto& r : rows) {
    MATRIX m;
    m.m[0] = r[0];
    m.m[5] = r[1];
    m.m[10] = r[2];
    ExpectQuatNear(QuatFromMatrix(m), {r[3], r[4], r[5], r[6]});
  }
  // Round trips give q or -q: in the trace branch, and for turns above 120
  // degrees about several axes (each the largest) in the diagonal one.
  for (QUAT q : {RotationToQuat({20, -35, 50}), QUAT{0.9, 0.3, -0.3, 0.1},
                 QUAT{0.3, 0.9, 0.1, -0.3}, QUAT{-0.1, 0.3, 0.9, 0.3}, QUAT{0.5, 0.5, 0.7, 0.1}}) {
    const QUAT r = QuatFromMatrix(QuatToRotationMatrix(q));
    const double sign = Dot(r, q) < 0 ? -1 : 1;
    ExpectQuatNear(r, {sign * q.x, sign * q.y, sign * q.z, sign * q.w}, 1e-9);
  }
}

TEST(Math, QuatSlerpEndsAndBranches) {
  const QUAT a = RotationToQuat({10, 20, 30});
  const QUAT b = RotationToQuat({-40, 80, 5});
  ASSERT_GT(Dot(a, b), 0);
  ExpectQuatNear(QuatSlerp(&a, &b, 0), a);
  ExpectQuatNear(QuatSlerp(&a, &b, 1), b);
  // The shorter arc: a negative dot product turns b into -b.
  const QUAT nb{-b.x, -b.y, -b.z, -b.w};
  ExpectQuatNear(QuatSlerp(&a, &nb, 1), b);
  // A dot product of exactly 0 keeps b; equal ends take the linear branch.
  const QUAT x{1, 0, 0, 0}, y{0, 1, 0, 0};
  ExpectQuatNear(QuatSlerp(&x, &y, 1), y);
  ExpectQuatNear(QuatSlerp(&a, &a, 0.3), a);
  // Around the threshold 1 - cos = 1e-5: just above it the spherical formula,
  // whose midpoint is longer by 1 / cos(omega / 2); just below it the blend.
  const double above = 0.99998999999999993;
  const double below = std::nextafter(above, 2.0);
  ASSERT_TRUE(1.0 - above > 1e-5 && 1.0 - below < 1e-5);
  const QUAT one{0, 0, 0, 1};
  const QUAT spherical{std::sqrt(1 - above * above), 0, 0, above};
  const QUAT linear{std::sqrt(1 - below * below), 0, 0, below};
  EXPECT_GT(QuatSlerp(&one, &spherical, 0.5).w, 0.5 * (1 + above) * (1 + 1e-6));
  EXPECT_EQ(QuatSlerp(&one, &linear, 0.5).w, 0.5 * 1 + 0.5 * below);
}
