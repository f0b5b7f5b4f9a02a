// Keyframe playback and skinning of model instances. Per frame: one pass over
// the joints to animate, one to rebuild the skeleton, two over the buffer.
// Nothing here allocates or calls OpenGL.
#include "models/ONEMODEL.h"

#include "models/Playback.h"

namespace {

// Moves the cursor forward past every key before `now`. A cursor outside the
// track (only a caller writing it can put it there) starts again at 0.
int ScanForward(const std::vector<MS3D_KEYFRAME>& keys, int cursor, float now) {
  const int n = static_cast<int>(keys.size());
  int k = (cursor >= 0 && cursor <= n) ? cursor : 0;
  while (k < n && keys[k].time < now) ++k;
  return k;
}

// Index of the first key at or after `now`, or of the last key; the track is
// not empty.
size_t KeyAtOrAfter(const std::vector<MS3D_KEYFRAME>& keys, float now) {
  for (size_t k = 0; k < keys.size(); ++k)
    if (keys[k].time >= now) return k;
  return keys.size() - 1;
}

void EvaluateTranslation(const ANIMJOINT& tj, BASICJOINT& j, float now) {
  const std::vector<MS3D_KEYFRAME>& keys = tj.transKeys;
  const int n = static_cast<int>(keys.size());
  const int k = ScanForward(keys, j.currentTransKey, now);
  j.currentTransKey = k;
  if (k == 0 || k == n) {
    // Held before the first key and after the last.
    const float* p = keys[k == 0 ? 0 : n - 1].parameter;
    j.currentTranslation = {p[0], p[1], p[2]};
  } else {
    const float* p0 = keys[k - 1].parameter;
    const float* p1 = keys[k].parameter;
    const float f = KeyFraction(now, keys[k - 1].time, keys[k].time);
    j.currentTranslation = {p0[0] + (p1[0] - p0[0]) * f, p0[1] + (p1[1] - p0[1]) * f,
                            p0[2] + (p1[2] - p0[2]) * f};
  }
  j.lastTransKey = j.currentTransKey;
}

void EvaluateRotation(const ANIMJOINT& tj, BASICJOINT& j, float now) {
  const std::vector<MS3D_KEYFRAME>& keys = tj.rotKeys;
  const int n = static_cast<int>(keys.size());
  const int k = ScanForward(keys, j.currentRotKey, now);
  j.currentRotKey = k;
  if (k == 0) {
    // A held key is converted only when the cursor arrives at it.
    if (j.lastRotKey != 0) {
      j.currentQuat = tj.rotQuats[0];
      j.animMatrix = QuatToRotationMatrix(j.currentQuat);
    }
  } else if (k < n) {
    const float f = KeyFraction(now, keys[k - 1].time, keys[k].time);
    j.currentQuat = QuatSlerp(&tj.rotQuats[k - 1], &tj.rotQuats[k], f);
    j.animMatrix = QuatToRotationMatrix(j.currentQuat);
  } else if (k != j.lastRotKey) {
    j.currentQuat = tj.rotQuats[n - 1];
    j.animMatrix = QuatToRotationMatrix(j.currentQuat);
  }
  j.lastRotKey = j.currentRotKey;
}

// The template's joints when they match this instance's, else none.
bool Matches(const ANIMATIONTEMPLATE* tmpl, const std::vector<BASICJOINT>& joints) {
  return tmpl && tmpl->joints.size() == joints.size();
}

}  // namespace

void ONEMODEL::RestartAnim() {
  currentTime = startTime;
  for (BASICJOINT& j : joints) {
    j.currentTransKey = 0;
    j.currentRotKey = 0;
  }
}

void ONEMODEL::SetAnimation(double startFrame, double endFrame, double playSpeed, bool looping,
                            bool blend) {
  const float fps = animTemplate ? animTemplate->animationFPS : 0.0f;
  startTime = FrameToMilliseconds(startFrame, fps);
  endTime = FrameToMilliseconds(endFrame, fps);
  speed = static_cast<float>(playSpeed);
  loop = looping;
  currentTime = startTime;
  for (BASICJOINT& j : joints) {
    j.currentTransKey = 0;
    j.currentRotKey = 0;
    j.blendQuat = j.currentQuat;
    j.blendTranslation = j.currentTranslation;
  }
  blending = blend;
  blendFactor = 0.0f;
}

void ONEMODEL::Animate(double dt) {
  if (!Matches(animTemplate, joints)) return;
  const std::vector<ANIMJOINT>& tjoints = animTemplate->joints;

  if (blending) {
    // Cross-fade from the captured pose towards the keys at the range start;
    // the clock stands still meanwhile.
    blendFactor = static_cast<float>(blendFactor + ClockStep(blendSpeed, dt));
    if (blendFactor >= 1.0f) {
      blending = false;
      blendFactor = 1.0f;
    }
    for (size_t i = 0; i < joints.size(); ++i) {
      const ANIMJOINT& tj = tjoints[i];
      BASICJOINT& j = joints[i];
      if (!tj.rotKeys.empty()) {
        const QUAT& target = tj.rotQuats[KeyAtOrAfter(tj.rotKeys, currentTime)];
        j.currentQuat = QuatSlerp(&j.blendQuat, &target, blendFactor);
        j.animMatrix = QuatToRotationMatrix(j.currentQuat);
      }
      if (!tj.transKeys.empty()) {
        const float* p = tj.transKeys[KeyAtOrAfter(tj.transKeys, currentTime)].parameter;
        const VECTOR3D b = j.blendTranslation;
        j.currentTranslation = {b.x + (p[0] - b.x) * blendFactor, b.y + (p[1] - b.y) * blendFactor,
                                b.z + (p[2] - b.z) * blendFactor};
      }
    }
    return;
  }

  // A finished range that does not loop holds its last pose.
  if (currentTime >= endTime) return;
  currentTime = static_cast<float>(currentTime + ClockStep(speed, dt));
  if (currentTime >= endTime) {
    if (loop)
      RestartAnim();
    else
      currentTime = endTime;
  }
  for (size_t i = 0; i < joints.size(); ++i) {
    const ANIMJOINT& tj = tjoints[i];
    if (!tj.transKeys.empty()) EvaluateTranslation(tj, joints[i], currentTime);
    if (!tj.rotKeys.empty()) EvaluateRotation(tj, joints[i], currentTime);
  }
}

void ONEMODEL::UpdateSkeleton() {
  if (!Matches(animTemplate, joints)) return;
  const std::vector<ANIMJOINT>& tjoints = animTemplate->joints;
  for (size_t i = 0; i < joints.size(); ++i) {
    BASICJOINT& j = joints[i];
    MATRIX local = j.animMatrix;
    local.SetTranslation(j.currentTranslation);
    j.relative = MultiplyMatrix(tjoints[i].bindMatrix, local);
    if (j.parent >= 0 && static_cast<size_t>(j.parent) < i)
      j.absolute = MultiplyMatrix(joints[j.parent].absolute, j.relative);
    else
      j.absolute = j.relative;
  }
}

void ONEMODEL::UpdatePoints(std::span<const BASICJOINT> with) {
  for (MODELVERTEX& v : vertexBuffer) {
    if (v.boneId < 0 || static_cast<size_t>(v.boneId) >= with.size()) continue;
    const MATRIX& m = with[v.boneId].absolute;
    v.position = SkinPoint(m, v.position);
    v.normal = SkinNormal(m, v.normal);
  }
}

void ONEMODEL::RevertPoints(std::span<const BASICJOINT> with) {
  for (MODELVERTEX& v : vertexBuffer) {
    if (v.boneId < 0 || static_cast<size_t>(v.boneId) >= with.size()) continue;
    const MATRIX& m = with[v.boneId].absolute;
    v.position = UnskinPoint(m, v.position);
    v.normal = UnskinNormal(m, v.normal);
  }
}

void ONEMODEL::Update(double dt) {
  RevertPoints(joints);
  Animate(dt);
  UpdateSkeleton();
  UpdatePoints(joints);
}
