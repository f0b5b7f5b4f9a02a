#include "tests/butterflies/FlockWatcher.h"

#include <cmath>
#include <sstream>

#include "datafiles/BFLYDATA.h"
#include "util/Frustum.h"

namespace {

bool Finite(VECTOR3D v) { return std::isfinite(v.x + v.y + v.z); }
bool Finite(const MATRIX& m) {
  double sum = 0.0;
  for (double v : m.m) sum += v;
  return std::isfinite(sum);
}

// False with `text` and the position `at` in `why`.
bool Fail(std::string* why, const std::string& text, VECTOR3D at) {
  std::ostringstream s;
  s << text << " at (" << at.x << ", " << at.y << ", " << at.z << ")";
  if (why) *why = s.str();
  return false;
}

bool AtDepthLimit(const ONEBFLY& b) {
  return b.position.z == ONEBFLY::kBackLimit || b.position.z == ONEBFLY::kFrontLimit;
}

}  // namespace

bool CheckButterflyState(const ONEBFLY& b, std::string* why, float depthStep) {
  bool finite = Finite(b.position) && Finite(b.direction) && Finite(b.angles) &&
                Finite(b.target) && Finite(b.turnRate) && Finite(b.wingAngles) &&
                Finite(b.orientation) && Finite(b.wingMatrix) &&
                std::isfinite(b.airSpeed + b.throttle + b.lift + b.targetTimer + b.wingTimer +
                              b.landTimer + b.landBlend);
  for (const BASICJOINT& j : b.joints) finite = finite && Finite(j.absolute);
  for (const MODELVERTEX& v : b.vertexBuffer)
    finite = finite && Finite(v.position) && Finite(v.normal);
  if (!finite) return Fail(why, "a flight value, joint or vertex is not finite", b.position);
  if (b.action == ONEBFLY::kWaiting) return true;

  if (b.position.z < ONEBFLY::kBackLimit || b.position.z > ONEBFLY::kFrontLimit)
    return Fail(why, "z beyond the depth limits", b.position);
  if (b.wingAngles.x != 0.0f || b.wingAngles.y != 0.0f || b.wingAngles.z < 0.0f ||
      b.wingAngles.z > ONEBFLY::kStrokeTop)
    return Fail(why, "wing angles out of range", b.wingAngles);
  if (b.lift < -100.0f || b.lift > 100.0f) return Fail(why, "lift out of range", b.position);
  for (float rate : {b.turnRate.x, b.turnRate.y, b.turnRate.z}) {
    if (std::fabs(rate) > 30.0f) return Fail(why, "turn rate above 30", b.turnRate);
  }
  // The depth limits clamp z after the view test of the move, and the view
  // narrows towards the camera: a butterfly clamped there may stand beyond
  // the planes by up to the depth step, and stays there until a move brings
  // it back.
  const float viewRadius = b.bflyData ? 2.0f * b.bflyData->radius : 0.0f;
  if (b.entered && b.bflyData && !SphereInFrustum(b.position, viewRadius) &&
      (!AtDepthLimit(b) || !SphereInFrustum(b.position, viewRadius + depthStep)))
    return Fail(why, "an entered butterfly left the view", b.position);
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
      if (problem.empty()) Fail(&problem, text, b.position);
      *why = "frame " + std::to_string(counts.frames) + ", butterfly " + std::to_string(i) +
             ": " + problem;
      return false;
    };
    if (!CheckButterflyState(b, &problem, FrameStep(dt))) return fail(problem);
    const bool flying = b.action == ONEBFLY::kFlying, wasFlying = t.action == ONEBFLY::kFlying;

    if (t.action == ONEBFLY::kWaiting && b.action != ONEBFLY::kWaiting) {
      ++counts.launches;
      if (!flying) return fail("launched into another action than flying");
      if (PointInFrustum(b.position)) return fail("launched from inside the view");
    }
    if (t.action != ONEBFLY::kWaiting && b.action == ONEBFLY::kWaiting)
      return fail("went back to waiting");
    if (b.action == ONEBFLY::kLanded && wasFlying) {
      ++counts.landings;
      if (!AtDepthLimit(b)) return fail("landed away from the depth limits");
      t.landedAt = b.position;
    } else if (b.action == ONEBFLY::kLanded && !CompareVectors(b.position, t.landedAt)) {
      return fail("moved while landed");
    }
    if (flying && t.action == ONEBFLY::kLanded) ++counts.takeOffs;
    // The landing pitch of 90 lasts until the first flying frame clamps it.
    if (flying && wasFlying && std::fabs(b.angles.x) > 45.0f)
      return fail("pitch beyond 45 in flight");
    const bool wingTop = b.wingTarget.z == ONEBFLY::kStrokeTop;
    if (flying && wasFlying && wingTop && !t.wingTop) ++counts.strokes;
    t.action = b.action;
    t.wingTop = wingTop;
  }
  return true;
}
