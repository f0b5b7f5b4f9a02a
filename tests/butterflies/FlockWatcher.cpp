#include "tests/butterflies/FlockWatcher.h"

#include <cmath>
#include <sstream>

#include "datafiles/BFLYDATA.h"
#include "util/Frustum.h"

namespace {

bool Finite(float v) { return std::isfinite(v); }
bool Finite(double v) { return std::isfinite(v); }
bool Finite(VECTOR3D v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }
bool Finite(const QUAT& q) { return Finite(q.x) && Finite(q.y) && Finite(q.z) && Finite(q.w); }
bool Finite(const MATRIX& m) {
  for (double v : m.m)
    if (!Finite(v)) return false;
  return true;
}

std::string Describe(const VECTOR3D& v) {
  std::ostringstream s;
  s << "(" << v.x << ", " << v.y << ", " << v.z << ")";
  return s.str();
}

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

}  // namespace

bool CheckButterflyState(const ONEBFLY& b, std::string* why, float depthStep) {
  const bool finite = Finite(b.position) && Finite(b.direction) && Finite(b.angles) &&
                      Finite(b.orientation) && Finite(b.target) && Finite(b.turnRate) &&
                      Finite(b.desiredTurnRate) && Finite(b.airSpeed) &&
                      Finite(b.targetAirSpeed) && Finite(b.throttle) &&
                      Finite(b.throttleTarget) && Finite(b.targetTimer) &&
                      Finite(b.wingTimer) && Finite(b.wingAngles) && Finite(b.wingTarget) &&
                      Finite(b.wingMatrix) && Finite(b.wingSpeed) && Finite(b.lift) &&
                      Finite(b.landTimer) && Finite(b.landBlend) && Finite(b.landFrom) &&
                      Finite(b.landTo) && Finite(b.landQuat);
  if (!finite) return Fail(why, "a flight value is not finite at " + Describe(b.position));
  for (const BASICJOINT& j : b.joints) {
    if (!Finite(j.animMatrix) || !Finite(j.relative) || !Finite(j.absolute))
      return Fail(why, "a joint matrix is not finite");
  }
  for (const MODELVERTEX& v : b.vertexBuffer) {
    if (!Finite(v.position) || !Finite(v.normal)) return Fail(why, "a skinned vertex is not finite");
  }
  if (b.action == ONEBFLY::kWaiting) return true;

  if (b.position.z < ONEBFLY::kBackLimit || b.position.z > ONEBFLY::kFrontLimit)
    return Fail(why, "z beyond the depth limits at " + Describe(b.position));
  if (b.wingAngles.x != 0.0f || b.wingAngles.y != 0.0f || b.wingAngles.z < 0.0f ||
      b.wingAngles.z > ONEBFLY::kStrokeTop)
    return Fail(why, "wing angles out of range: " + Describe(b.wingAngles));
  if (b.lift < -100.0f || b.lift > 100.0f) return Fail(why, "lift out of range");
  for (float rate : {b.turnRate.x, b.turnRate.y, b.turnRate.z}) {
    if (std::fabs(rate) > 30.0f) return Fail(why, "turn rate above 30: " + Describe(b.turnRate));
  }
  // The depth limits clamp z after the view test of the move, and the view
  // narrows towards the camera: a butterfly clamped there may stand beyond
  // the planes by up to the depth step, and stays there until a move brings
  // it back.
  if (b.entered && b.bflyData && !SphereInFrustum(b.position, 2.0f * b.bflyData->radius)) {
    const bool atLimit = b.position.z == ONEBFLY::kBackLimit || b.position.z == ONEBFLY::kFrontLimit;
    if (!atLimit || !SphereInFrustum(b.position, 2.0f * b.bflyData->radius + depthStep))
      return Fail(why, "an entered butterfly left the view at " + Describe(b.position));
  }
  return true;
}

bool FlockWatcher::Check(const AQUARIUM& aquarium, float dt, std::string* why) {
  ++counts.frames;
  if (!aquarium.bflys) return true;
  const size_t count = static_cast<size_t>(aquarium.numBFlys);
  if (tracks_.size() != count) tracks_.assign(count, Track{});

  for (size_t i = 0; i < count; ++i) {
    const ONEBFLY& b = aquarium.bflys[i];
    Track& t = tracks_[i];
    std::string problem;
    const auto fail = [&](const std::string& text) {
      std::ostringstream s;
      s << "frame " << counts.frames << ", butterfly " << i << ": " << text;
      return Fail(why, s.str());
    };
    if (!CheckButterflyState(b, &problem, FrameStep(dt))) return fail(problem);
    const float radius = b.bflyData ? b.bflyData->radius : 0.0f;

    if (t.action == ONEBFLY::kWaiting && b.action != ONEBFLY::kWaiting) {
      ++counts.launches;
      if (b.action != ONEBFLY::kFlying) return fail("launched into another action than flying");
      if (PointInFrustum(b.position)) return fail("launched from inside the view");
    }
    if (t.action != ONEBFLY::kWaiting && b.action == ONEBFLY::kWaiting)
      return fail("went back to waiting");

    if (b.action == ONEBFLY::kLanded) {
      if (t.action == ONEBFLY::kFlying) {
        ++counts.landings;
        if (b.position.z != ONEBFLY::kBackLimit && b.position.z != ONEBFLY::kFrontLimit)
          return fail("landed away from the depth limits at " + Describe(b.position));
        if (!(b.landTimer < 0.0f)) return fail("landed before landTimer ran out");
        if (!SphereInFrustum(b.position, -0.5f * radius))
          return fail("landed with its centre less than half a radius inside the view");
        // The rest drawn at landing, less this frame's target step (or a
        // fresh target time when the target was replaced in the same frame).
        if (!(b.targetTimer >= 1.0f - dt && b.targetTimer <= 10.9f + 1e-4f))
          return fail("rest time out of range");
        t.landedAt = b.position;
      } else if (t.action == ONEBFLY::kLanded) {
        if (!CompareVectors(b.position, t.landedAt)) return fail("moved while landed");
        if (std::fabs(b.targetTimer - (t.targetTimer - dt)) > 1e-4f)
          return fail("rest timer does not run down with the frames");
        if (b.targetTimer < 0.0f) return fail("still landed after its rest time");
      }
    } else if (b.action == ONEBFLY::kFlying && t.action == ONEBFLY::kLanded) {
      ++counts.takeOffs;
      if (!(t.targetTimer - dt < 0.0f)) return fail("took off before its rest time was over");
      if (b.landTimer < 5.0f || b.landTimer > 24.0f) return fail("landTimer after take-off out of range");
    }
    // The landing pitch of 90 lasts until the first flying frame clamps it.
    if (b.action == ONEBFLY::kFlying && t.action == ONEBFLY::kFlying && std::fabs(b.angles.x) > 45.0f)
      return fail("pitch beyond 45 in flight");
    const bool wingTop = b.wingTarget.z == ONEBFLY::kStrokeTop;
    if (b.action == ONEBFLY::kFlying && t.action == ONEBFLY::kFlying && wingTop && !t.wingTop) ++counts.strokes;
    t.action = b.action;
    t.targetTimer = b.targetTimer;
    t.wingTop = wingTop;
  }
  return true;
}
