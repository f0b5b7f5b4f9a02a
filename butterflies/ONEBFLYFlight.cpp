// The flight model of one butterfly: steering, keeping in view, landing,
// resting, taking off and the wing strokes, then the skeleton. No OpenGL.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"
#include "util/Frustum.h"

namespace {

// Steering limit of the flight model, degrees per second.
constexpr float kMaxTurnRate = 30.0f;
// Launched butterflies are set to fly this long before a new target.
constexpr float kTargetTime = 10.0f;  // s

// value += (goal - value) * rate * dt, with rate * dt limited to 1 so that a
// long frame stops at the goal rather than overshooting it (beyond 2 the
// rule would diverge).
float Approach(float value, float goal, float rate, float dt) {
  const float factor = std::min(rate * dt, 1.0f);
  return value + (goal - value) * factor;
}

VECTOR3D Approach(VECTOR3D value, VECTOR3D goal, float rate, float dt) {
  return {Approach(value.x, goal.x, rate, dt), Approach(value.y, goal.y, rate, dt),
          Approach(value.z, goal.z, rate, dt)};
}

// rand() reduced modulo `range` and divided by `divisor`, as a float.
float RandomValue(int range, float divisor) { return static_cast<float>(std::rand() % range) / divisor; }

// One wrap of a steering angle into -360..360.
float WrapOnce(float a) {
  if (a < -360.0f)
    a += 360.0f;
  else if (a > 360.0f)
    a -= 360.0f;
  return a;
}

// The pitch rate is cut near the limit of 45 degrees when it turns further
// from level.
float LimitPitchRate(float pitch, float rate) {
  if (!((pitch > 0 && rate > 0) || (pitch < 0 && rate < 0))) return rate;
  const float a = std::abs(pitch);
  if (a > 40.0f) return 0.0f;
  if (a > 35.0f) return rate * 0.25f;
  if (a > 30.0f) return rate * 0.5f;
  return rate;
}

}  // namespace

float ONEBFLY::SizeScale() const { return bflyData ? 0.5f * bflyData->size + 0.5f : 1.0f; }

float ONEBFLY::Radius() const { return bflyData ? bflyData->radius : 0.0f; }

void ONEBFLY::SetAction(int newAction) {
  action = newAction;
  if (newAction == kLanded) {
    targetTimer = RandomValue(100, 10.0f) + 1.0f;
    wingTimer = 0.0f;
    wingTarget = {0.0f, 0.0f, RandomValue(90, 1.0f)};
  } else if (newAction == kFlying) {
    targetTimer = kTargetTime;
    throttleTarget = RandomValue(200, 100.0f) + 0.5f;
    throttle = 1.0f;
    airSpeed = 0.0f;
  }
}

void ONEBFLY::Reset() {
  position = {0.0f, 0.0f, 0.0f};
  entered = false;
  action = kWaiting;
  airSpeed = 6.0f;
  SetAction(kWaiting);
}

bool ONEBFLY::CheckCollision(ONEBFLY*, long, float) const { return false; }

void ONEBFLY::Move(ONEBFLY*, long, float speedFactor, float dt) {
  throttle = Approach(throttle, throttleTarget, 1.0f, dt);
  airSpeed = Approach(airSpeed, targetAirSpeed, 1.0f, dt);

  if (action == kFlying)
    FlyingStep(speedFactor, dt);
  else if (action == kLanded)
    LandedStep(dt);

  // A landing or a take-off in this frame counts.
  if (action == kFlying || action == kLanded) MoveSkeleton(dt);
}

void ONEBFLY::FlyingStep(float speedFactor, float dt) {
  const float sizeScale = SizeScale();
  const float viewRadius = 2.0f * Radius();
  targetAirSpeed = throttle * speedFactor * sizeScale * 40.0f;

  const VECTOR3D before = position;
  position.x += direction.x * airSpeed * dt;
  position.y += direction.y * airSpeed * dt;
  position.z += direction.z * airSpeed * dt;
  position.y += lift * dt * speedFactor * sizeScale;

  // Once the doubled sphere has reached into the view, no move takes it out.
  if (!entered) {
    entered = SphereInFrustum(position, viewRadius);
  } else if (!SphereInFrustum(position, viewRadius)) {
    position = before;
    lift = 0.0f;
  }

  TurnToTarget(kMaxTurnRate, dt);

  landTimer -= dt;
  if (position.z < kBackLimit) {
    position.z = kBackLimit;
    if (landTimer < 0.0f) TryToLand(180.0f);
  }
  if (position.z > kFrontLimit) {
    position.z = kFrontLimit;
    if (landTimer < 0.0f) TryToLand(0.0f);
  }

  // Also right after a landing in this frame.
  targetTimer -= dt;
  const float near = 10.0f * sizeScale;
  if (targetTimer < 0.0f || DistanceBetweenVectors(position, target) < near * near ||
      !SphereInFrustum(position, 5.0f))
    ChooseTarget();
}

void ONEBFLY::TryToLand(float yaw) {
  // Only with the centre at least half a radius inside every plane.
  if (!SphereInFrustum(position, -0.5f * Radius())) {
    landTimer = static_cast<float>(std::rand() % 6 + 2);
    return;
  }
  SetAction(kLanded);
  landFrom = QuatFromMatrix(orientation);
  angles = {90.0f, yaw, static_cast<float>(std::rand() % 90 - 45)};
  landTo = QuatFromMatrix(MatrixFromAngle(angles));
  landBlend = 0.0f;
}

void ONEBFLY::ChooseTarget() {
  targetTimer = kTargetTime;
  const int r1 = std::rand();
  const int r2 = std::rand();
  const int r3 = std::rand();
  target = {static_cast<float>(r3 % 800) / 10.0f - 40.0f,
            static_cast<float>(r2 % 800) / 10.0f - 40.0f,
            static_cast<float>(r1 % 400) / 10.0f - 20.0f};
  throttleTarget = RandomValue(200, 100.0f) + 0.5f;
}

void ONEBFLY::LandedStep(float dt) {
  // The turn into the landing pose takes 0.1 s; the butterfly does not move.
  if (landBlend < 1.0f) {
    landBlend = std::min(1.0f, landBlend + 10.0f * dt);
    landQuat = QuatSlerp(&landFrom, &landTo, landBlend);
    orientation = QuatToRotationMatrix(landQuat);
  }

  targetTimer -= dt;
  if (targetTimer < 0.0f) {
    SetAction(kFlying);
    lift = 0.0f;
    wingTimer = 0.0f;
    wingTarget.z = kStrokeTop;
    // Away from the limit it sat on; x and y of the heading stay.
    if (position.z < 0.0f) direction.z = 1.0f;
    if (position.z > 0.0f) direction.z = -1.0f;
    landTimer = static_cast<float>(std::rand() % 20 + 5);
  }
}

void ONEBFLY::TurnToTarget(float maxTurnRate, float dt) {
  const VECTOR3D a = RelativeDest(target);
  desiredTurnRate.y = a.x > 0 ? -maxTurnRate : maxTurnRate;
  desiredTurnRate.x = a.y > 0 ? -maxTurnRate : maxTurnRate;
  // Target ahead: ease off when nearly lined up.
  if (a.z < 0) {
    if (std::abs(a.x) < 5.0f)
      desiredTurnRate.y = 0.0f;
    else if (std::abs(a.x) < 15.0f)
      desiredTurnRate.y *= 0.5f;
    if (std::abs(a.y) < 5.0f)
      desiredTurnRate.x = 0.0f;
    else if (std::abs(a.y) < 15.0f)
      desiredTurnRate.x *= 0.5f;
  }
  desiredTurnRate.x = LimitPitchRate(angles.x, desiredTurnRate.x);

  turnRate = Approach(turnRate, desiredTurnRate, 1.0f, dt);
  angles.x += turnRate.x * dt;
  angles.y += turnRate.y * dt;
  angles.z += turnRate.z * dt;
  angles = {WrapOnce(angles.x), WrapOnce(angles.y), WrapOnce(angles.z)};
  angles.x = std::clamp(angles.x, -45.0f, 45.0f);

  // Roll returns to level at 300 degrees per second.
  if (angles.z > 0.0f)
    angles.z = std::max(0.0f, angles.z - 300.0f * dt);
  else if (angles.z < 0.0f)
    angles.z = std::min(0.0f, angles.z + 300.0f * dt);

  orientation = MatrixFromAngle(angles);
  direction = MatrixPointMultiply(orientation, {0.0f, 0.0f, 1.0f});
}

VECTOR3D ONEBFLY::RelativeDest(VECTOR3D point) const {
  const VECTOR3D v = MatrixInverseRotatePoint(orientation, SubtractVectors(position, point));
  if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) return v;
  return ScaleVector(NormalizeVector(v), 100.0);
}

void ONEBFLY::MoveSkeleton(float dt) {
  RevertPoints(joints);
  Animate(dt);
  if (bflyData && bflyData->wingLeftJoint >= 1 && bflyData->wingRightJoint >= 1) {
    if (action == kFlying)
      FlyingWings(dt);
    else
      LandedWings(dt);
  }
  UpdateSkeleton();
  UpdatePoints(joints);
}

void ONEBFLY::FlyingWings(float dt) {
  wingTimer -= dt;
  // A new stroke once the pause is over and the wings are down; a sinking
  // butterfly pauses a quarter as long.
  if (wingTimer < 0.0f && wingAngles.z < 10.0f) {
    wingSpeed = RandomValue(500, 100.0f) + 10.0f;
    wingTimer = RandomValue(70, 100.0f);
    if (lift < -50.0f) wingTimer *= 0.25f;
    wingTarget = {0.0f, 0.0f, kStrokeTop};
  }

  // Lift builds while the wings rise and is lost (per frame) while they
  // fall or rest.
  if (wingAngles.z > 135.0f) {
    wingTarget = {0.0f, 0.0f, 0.0f};
    lift = std::max(lift - 30.0f, -75.0f);
  } else if (wingTarget.z <= 10.0f) {
    lift = std::max(lift - 30.0f, -75.0f);
  } else {
    lift = std::min(lift + 600.0f * dt + wingAngles.z * 0.025f * dt, 100.0f);
  }

  wingAngles = Approach(wingAngles, wingTarget, wingSpeed, dt);
  wingMatrix = MatrixFromAngle(wingAngles);
  SetWingJoints();
}

void ONEBFLY::LandedWings(float dt) {
  // Hold, move for 0.2 s towards a new opening, hold again.
  wingTimer -= dt;
  if (wingTimer < -0.2f) {
    wingTimer = RandomValue(200, 100.0f);
    wingTarget = {0.0f, 0.0f, RandomValue(90, 1.0f)};
  } else if (wingTimer < 0.0f) {
    wingAngles = Approach(wingAngles, wingTarget, 5.0f, dt);
    wingMatrix = MatrixFromAngle(wingAngles);
  }
  SetWingJoints();
}

void ONEBFLY::SetWingJoints() {
  const size_t left = static_cast<size_t>(bflyData->wingLeftJoint);
  const size_t right = static_cast<size_t>(bflyData->wingRightJoint);
  // The right wing mirrors the left one.
  if (left < joints.size()) joints[left].animMatrix = wingMatrix;
  if (right < joints.size()) joints[right].animMatrix = TransposeMatrix(wingMatrix);
}
