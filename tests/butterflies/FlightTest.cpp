// One butterfly's flight, frame by frame, in the scene's 16:9 view (set
// without OpenGL): steering, keeping in view, landing, resting, taking off,
// targets, and the order of the random draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/SceneView.h"
#include "util/Frustum.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;

// The first n values rand() gives after srand(seed), leaving the generator
// seeded with `seed` again.
std::vector<int> Draws(unsigned seed, int n) {
  std::srand(seed);
  std::vector<int> r(n);
  for (int& v : r) v = std::rand();
  std::srand(seed);
  return r;
}

void ExpectMatrixNear(const MATRIX& a, const MATRIX& b, double tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << i;
}

// A type as far as the flight model reads it: size and radius, no wing
// joints.
BFLYDATA* FlightType(float size, float radius) {
  static BFLYDATA data;
  data.size = size;
  data.radius = radius;
  return &data;
}

// A butterfly flying straight ahead along `yaw` (degrees) at a steady speed
// with no lift, far from needing a new target, in the scene's 16:9 view.
ONEBFLY Cruising(VECTOR3D at, float yaw, float size = 1.0f, float radius = 2.0f) {
  SetSceneFrustum(1920, 1080);
  ONEBFLY b;
  b.bflyData = FlightType(size, radius);
  b.action = ONEBFLY::kFlying;
  b.position = at;
  b.angles = {0, yaw, 0};
  b.orientation = MatrixFromAngle(b.angles);
  b.direction = MatrixPointMultiply(b.orientation, {0, 0, 1});
  b.throttle = b.throttleTarget = 1.5f;
  b.airSpeed = b.targetAirSpeed = 1.5f * (0.5f * size + 0.5f) * 40.0f;  // speed factor 1
  b.lift = 0.0f;
  b.targetTimer = 10.0f;
  b.landTimer = 5.0f;
  b.target = AddVectors(at, ScaleVector(b.direction, 30.0));
  return b;
}

}  // namespace

TEST(Flight, SteersTowardsItsTarget) {
  // At the target (no offset at all): +30 on both axes. Ahead and nearly
  // lined up: no turn; a little off: half the rate; behind: the full rate
  // whatever the offset. Pitching further from level is cut near the limit,
  // back towards level never.
  struct Row {
    float pitch;
    VECTOR3D target;
    float yawRate, pitchRate;
  };
  for (const Row& row : {Row{0, {0, 0, 0}, 30, 30}, Row{0, {-2, 0, 50}, 0, 0},
                         Row{0, {-6, 12, 50}, -15, 30}, Row{0, {-1, 0, -50}, -30, 30},
                         Row{32, {0, 100, 0}, 0, 15}, Row{37, {0, 100, 0}, 0, 7.5f},
                         Row{42, {0, 100, 0}, 0, 0}, Row{-42, {0, 100, 0}, 30, 30}}) {
    SCOPED_TRACE(testing::Message() << row.pitch << " " << row.target.x << " " << row.target.y);
    ONEBFLY b;
    b.angles = {row.pitch, 0, 0};
    b.orientation = MatrixFromAngle(b.angles);
    b.target = row.target;
    b.TurnToTarget(30, kDt);
    EXPECT_EQ(b.desiredTurnRate.y, row.yawRate);
    EXPECT_EQ(b.desiredTurnRate.x, row.pitchRate);
    if (row.yawRate >= 0) {
      EXPECT_FLOAT_EQ(b.angles.y, row.yawRate * kDt * kDt);
    }
  }
  {
    // Angles wrap once past 360; pitch is held within 45; roll levels out
    // at 300 degrees per second.
    ONEBFLY b;
    b.angles = {90, 365, 2};
    b.TurnToTarget(30, kDt);
    EXPECT_EQ(b.angles.x, 45.0f);
    EXPECT_NEAR(b.angles.y, 5.0f, 0.01f);
    EXPECT_EQ(b.angles.z, 0.0f);
    b.angles.z = -10.0f;
    b.TurnToTarget(30, kDt);
    EXPECT_NEAR(b.angles.z, -5.0f, 1e-4f);
  }
}

TEST(Flight, FlyingKeepsInView) {
  {
    // One frame: throttle and speed approach their goals, then the move
    // along the heading and the lift.
    ONEBFLY b = Cruising({0, 0, 0}, 0);
    b.throttleTarget = 2.0f;
    b.airSpeed = 10.0f;
    b.lift = 50.0f;
    b.Move(nullptr, 0, 0.5f, kDt);
    const float throttle = 1.5f + (2.0f - 1.5f) * kDt;
    const float speed = 10.0f + (60.0f - 10.0f) * kDt;
    EXPECT_FLOAT_EQ(b.throttle, throttle);
    EXPECT_FLOAT_EQ(b.airSpeed, speed);
    EXPECT_FLOAT_EQ(b.targetAirSpeed, throttle * 0.5f * 1.0f * 40.0f);
    EXPECT_FLOAT_EQ(b.position.z, speed * kDt);
    EXPECT_FLOAT_EQ(b.position.y, 50.0f * kDt * 0.5f);
    EXPECT_TRUE(b.entered);
    EXPECT_FLOAT_EQ(b.landTimer, 5.0f - kDt);
  }
  {
    // Entered: a move that would take the doubled sphere out is not made,
    // and the lift is lost.
    ONEBFLY b = Cruising({0, 0, 0}, 90);
    b.entered = true;
    b.lift = 80.0f;
    // Just inside the right plane at z = 0: x = 60 tan 22.5 * 16/9.
    const float edge = 60.0f * std::tan(22.5f * static_cast<float>(kPi) / 180) * 16 / 9;
    const float cosine = std::cos(std::atan(edge / 60.0f));
    b.position = {edge + 4.0f / cosine - 0.05f, 0, 0};
    const VECTOR3D before = b.position;
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_TRUE(CompareVectors(b.position, before));
    EXPECT_EQ(b.lift, 0.0f);
  }
}

TEST(Flight, DepthLimitsAndLanding) {
  {
    // Lands on the back limit: rest, wing opening and roll drawn in that
    // order; the pose faces the camera; the turn into it starts.
    ONEBFLY b = Cruising({0, 5, -39.9f}, 180);
    b.landTimer = kDt / 2;
    b.target = {0, 5, -20};
    const std::vector<int> r = Draws(21, 4);
    b.Move(nullptr, 0, 1.0f, kDt);
    ASSERT_EQ(b.action, ONEBFLY::kLanded);
    EXPECT_EQ(b.position.z, -40.0f);
    EXPECT_FLOAT_EQ(b.targetTimer, (r[0] % 100) / 10.0f + 1.0f - kDt);
    EXPECT_EQ(b.wingTarget.z, static_cast<float>(r[1] % 90));
    EXPECT_EQ(b.angles.x, 90.0f);
    EXPECT_EQ(b.angles.y, 180.0f);
    EXPECT_EQ(b.angles.z, static_cast<float>(r[2] % 90 - 45));
    EXPECT_EQ(b.landBlend, 0.0f);
    const QUAT pose = QuatFromMatrix(MatrixFromAngle(b.angles));
    EXPECT_TRUE(b.landTo.IsEqualTo(pose));
    // Turned from the orientation it flew with in this frame.
    EXPECT_TRUE(b.landFrom.IsEqualTo(QuatFromMatrix(b.orientation)));
    EXPECT_EQ(std::rand(), r[3]) << "no new target in the landing frame";
  }
  {
    // The front limit lands facing away from the camera.
    ONEBFLY b = Cruising({0, 0, 31.9f}, 0);
    b.landTimer = -1.0f;
    b.target = {0, 0, 0};
    b.Move(nullptr, 0, 1.0f, kDt);
    ASSERT_EQ(b.action, ONEBFLY::kLanded);
    EXPECT_EQ(b.position.z, 32.0f);
    EXPECT_EQ(b.angles.y, 0.0f);
  }
  {
    // Near the edge of the view (centre less than half a radius inside):
    // no landing, another try 2 to 7 s later.
    const float edge = 100.0f * std::tan(22.5f * static_cast<float>(kPi) / 180) * 16 / 9;
    ONEBFLY b = Cruising({edge - 1.0f, 0, -39.9f}, 180, 1.0f, 10.0f);
    b.landTimer = -1.0f;
    b.target = {edge - 1.0f, 0, -20};
    const std::vector<int> r = Draws(22, 1);
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.action, ONEBFLY::kFlying);
    EXPECT_EQ(b.position.z, -40.0f);
    EXPECT_EQ(b.landTimer, static_cast<float>(r[0] % 6 + 2));
  }
}

TEST(Flight, NewTargets) {
  {
    // Draws r1, r2, r3 go to z, y, x; then the effort goal.
    ONEBFLY b = Cruising({0, 0, 0}, 0);
    b.targetTimer = kDt / 2;
    const std::vector<int> r = Draws(31, 5);
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f);
    EXPECT_FLOAT_EQ(b.target.z, (r[0] % 400) / 10.0f - 20.0f);
    EXPECT_FLOAT_EQ(b.target.y, (r[1] % 800) / 10.0f - 40.0f);
    EXPECT_FLOAT_EQ(b.target.x, (r[2] % 800) / 10.0f - 40.0f);
    EXPECT_FLOAT_EQ(b.throttleTarget, (r[3] % 200) / 100.0f + 0.5f);
    EXPECT_EQ(std::rand(), r[4]);
  }
  {
    // Within 10 * sizeScale of the target: a new one at once (size 0.7:
    // 8.5 units).
    ONEBFLY b = Cruising({0, 0, 0}, 0, 0.7f);
    b.target = {0, 0, 10.0f};
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f - kDt);
    b.target = {0, 0, b.position.z + 8.4f};
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f);
  }
  {
    // Out of sight (a sphere of 5 does not reach in): a new target every
    // frame.
    ONEBFLY b = Cruising({200, 0, 0}, 0);
    b.targetTimer = 5.0f;
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f);
  }
}

TEST(Flight, RestsAndTakesOff) {
  ONEBFLY b = Cruising({3, 4, -40}, 180);
  b.landTimer = -1.0f;
  b.target = {3, 4, -20};
  b.Move(nullptr, 0, 1.0f, kDt);
  ASSERT_EQ(b.action, ONEBFLY::kLanded);
  const VECTOR3D seat = b.position;
  const QUAT from = b.landFrom, to = b.landTo;

  // The turn into the pose takes 0.1 s; the butterfly does not move.
  float blend = 0.0f;
  for (int i = 0; i < 6; ++i) {
    b.Move(nullptr, 0, 1.0f, kDt);
    blend = std::min(1.0f, blend + 10.0f * kDt);
    EXPECT_EQ(b.landBlend, blend);
    ExpectMatrixNear(b.orientation, QuatToRotationMatrix(QuatSlerp(&from, &to, blend)), 1e-12);
    EXPECT_TRUE(CompareVectors(b.position, seat));
  }
  EXPECT_EQ(b.landBlend, 1.0f);
  ExpectMatrixNear(b.orientation, MatrixFromAngle(b.angles), 1e-9);

  // Take-off when the rest is over: effort goal first, then the landing
  // delay; from a standstill at the throttle of 1, away from the back limit.
  b.targetTimer = kDt / 2;
  b.direction = {0.25f, 0.5f, -0.8f};
  const std::vector<int> r = Draws(41, 3);
  b.Move(nullptr, 0, 1.0f, kDt);
  ASSERT_EQ(b.action, ONEBFLY::kFlying);
  EXPECT_FLOAT_EQ(b.throttleTarget, (r[0] % 200) / 100.0f + 0.5f);
  EXPECT_EQ(b.landTimer, static_cast<float>(r[1] % 20 + 5));
  EXPECT_EQ(std::rand(), r[2]) << "exactly two draws";
  EXPECT_EQ(b.throttle, 1.0f);
  EXPECT_EQ(b.targetTimer, 10.0f);
  EXPECT_EQ(b.lift, 0.0f);
  EXPECT_EQ(b.wingTimer, 0.0f);
  EXPECT_EQ(b.wingTarget.z, 140.0f);
  EXPECT_EQ(b.airSpeed, 0.0f);
  EXPECT_TRUE(CompareVectors(b.direction, {0.25f, 0.5f, 1.0f}));
  EXPECT_TRUE(CompareVectors(b.position, seat));
  EXPECT_EQ(b.angles.x, 90.0f);
  // The landing pitch is clamped in the first frame of flight.
  b.Move(nullptr, 0, 1.0f, kDt);
  EXPECT_EQ(b.angles.x, 45.0f);
  EXPECT_GT(b.position.z, -40.0f);
}
