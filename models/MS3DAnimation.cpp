// Skeleton preparation, keyframe playback and skinning of MilkShape 3D models.
#include "models/MS3D.h"

#include "models/Playback.h"

namespace {

VECTOR3D ToVector(const float v[3]) { return {v[0], v[1], v[2]}; }

void Store(float dst[3], VECTOR3D v) {
  dst[0] = v.x;
  dst[1] = v.y;
  dst[2] = v.z;
}

VECTOR3D Degrees(const float radians[3]) {
  return {radians[0] * kMS3DRadToDeg, radians[1] * kMS3DRadToDeg, radians[2] * kMS3DRadToDeg};
}

// A held first or last rotation key.
void HoldRotation(SKELETON_JOINT& j, const MS3D_KEYFRAME& key) {
  j.currentRotation = Degrees(key.parameter);
  j.currentQuat = RotationToQuat(j.currentRotation);
  j.animMatrix = QuatToRotationMatrix(j.currentQuat);
}

// Moves the cursor forward past every key before `now`. A cursor outside the
// track (only a caller writing it can put it there) starts again at 0.
int ScanForward(const std::vector<MS3D_KEYFRAME>& keys, int cursor, float now) {
  const int n = static_cast<int>(keys.size());
  int k = (cursor >= 0 && cursor <= n) ? cursor : 0;
  while (k < n && keys[k].time < now) ++k;
  return k;
}

// The first key at or after `now`, or the last key; the track is not empty.
const MS3D_KEYFRAME& KeyAtOrAfter(const std::vector<MS3D_KEYFRAME>& keys, float now) {
  for (const MS3D_KEYFRAME& key : keys)
    if (key.time >= now) return key;
  return keys.back();
}

void EvaluateTranslation(SKELETON_JOINT& j, float now) {
  const std::vector<MS3D_KEYFRAME>& keys = j.transKeys;
  const int n = static_cast<int>(keys.size());
  const int k = ScanForward(keys, j.currentTransKey, now);
  j.currentTransKey = k;
  if (k == 0) {
    j.currentTranslation = ToVector(keys[0].parameter);
  } else if (k == n) {
    j.currentTranslation = ToVector(keys[n - 1].parameter);
  } else {
    const float* p0 = keys[k - 1].parameter;
    const float* p1 = keys[k].parameter;
    const float f = KeyFraction(now, keys[k - 1].time, keys[k].time);
    j.currentTranslation = {p0[0] + (p1[0] - p0[0]) * f, p0[1] + (p1[1] - p0[1]) * f,
                            p0[2] + (p1[2] - p0[2]) * f};
  }
  j.lastTransKey = j.currentTransKey;
}

void EvaluateRotation(SKELETON_JOINT& j, float now) {
  const std::vector<MS3D_KEYFRAME>& keys = j.rotKeys;
  const int n = static_cast<int>(keys.size());
  const int k = ScanForward(keys, j.currentRotKey, now);
  j.currentRotKey = k;
  if (k == 0) {
    // A held key is converted only when the cursor arrives at it.
    if (j.lastRotKey != 0) HoldRotation(j, keys[0]);
  } else if (k < n) {
    const QUAT q1 = RotationToQuat(Degrees(keys[k - 1].parameter));
    const QUAT q2 = RotationToQuat(Degrees(keys[k].parameter));
    const float f = KeyFraction(now, keys[k - 1].time, keys[k].time);
    j.currentQuat = QuatSlerp(&q1, &q2, f);
    j.animMatrix = QuatToRotationMatrix(j.currentQuat);
  } else if (k != j.lastRotKey) {
    HoldRotation(j, keys[n - 1]);
  }
  j.lastRotKey = j.currentRotKey;
}

// Moves every vertex and every triangle corner's normal with its bone's
// absolute matrix; entries naming no bone, or one out of range, stay.
template <typename PointFn, typename NormalFn>
void MoveSkin(const std::vector<SKELETON_JOINT>& skeleton, std::vector<MS3D_VERTEX>* vertices,
              std::vector<MS3D_TRIANGLE>* triangles, PointFn point, NormalFn normal) {
  const size_t bones = skeleton.size();
  for (MS3D_VERTEX& v : *vertices) {
    if (v.boneId < 0 || static_cast<size_t>(v.boneId) >= bones) continue;
    Store(v.vertex, point(skeleton[v.boneId].absolute, ToVector(v.vertex)));
  }
  for (MS3D_TRIANGLE& t : *triangles) {
    for (int c = 0; c < 3; ++c) {
      if (t.vertexIndices[c] >= vertices->size()) continue;
      const int bone = (*vertices)[t.vertexIndices[c]].boneId;
      if (bone < 0 || static_cast<size_t>(bone) >= bones) continue;
      Store(t.vertexNormals[c], normal(skeleton[bone].absolute, ToVector(t.vertexNormals[c])));
    }
  }
}

}  // namespace

void MS3D::InitialSetup() {
  if (numJoints == 0) return;
  SetupSkeleton();
  UpdateSkeleton();
  RevertPoints();
}

void MS3D::SetupSkeleton() {
  const std::vector<int> parents = FindParents();
  skeleton.assign(joints.size(), SKELETON_JOINT{});
  for (size_t i = 0; i < joints.size(); ++i) {
    MS3D_JOINT& record = joints[i];
    SKELETON_JOINT& j = skeleton[i];
    for (float& angle : record.rotation) angle *= kMS3DRadToDeg;
    j.flags = record.flags;
    j.rotation = ToVector(record.rotation);
    j.position = ToVector(record.position);
    // Parents come first in a validated model; any other reference would
    // read a matrix not yet computed, so it leaves the joint a root.
    j.parent = parents[i] < static_cast<int>(i) ? parents[i] : -1;
    j.numRotKeys = static_cast<int32_t>(record.keyFramesRot.size());
    j.numTransKeys = static_cast<int32_t>(record.keyFramesTrans.size());
    j.rotKeys = record.keyFramesRot;
    j.transKeys = record.keyFramesTrans;
    for (MS3D_KEYFRAME& key : j.rotKeys) key.time *= 1000.0f;
    for (MS3D_KEYFRAME& key : j.transKeys) key.time *= 1000.0f;
  }
}

void MS3D::UpdateSkeleton() {
  for (size_t i = 0; i < skeleton.size(); ++i) {
    SKELETON_JOINT& j = skeleton[i];
    MATRIX bind = QuatToRotationMatrix(RotationToQuat(j.rotation));
    bind.SetTranslation(j.position);
    MATRIX local = j.animMatrix;
    local.SetTranslation(j.currentTranslation);
    j.relative = MultiplyMatrix(bind, local);
    if (j.parent >= 0 && static_cast<size_t>(j.parent) < i)
      j.absolute = MultiplyMatrix(skeleton[j.parent].absolute, j.relative);
    else
      j.absolute = j.relative;
  }
}

// Lambdas rather than function pointers, so that each pass inlines its own.
void MS3D::RevertPoints() {
  MoveSkin(
      skeleton, &vertices, &triangles,
      [](const MATRIX& m, VECTOR3D p) { return UnskinPoint(m, p); },
      [](const MATRIX& m, VECTOR3D n) { return UnskinNormal(m, n); });
}

void MS3D::UpdatePoints() {
  MoveSkin(
      skeleton, &vertices, &triangles,
      [](const MATRIX& m, VECTOR3D p) { return SkinPoint(m, p); },
      [](const MATRIX& m, VECTOR3D n) { return SkinNormal(m, n); });
}

void MS3D::SetAnimation(double startFrame, double endFrame, double playSpeed, bool looping,
                        bool blend) {
  startTime = FrameToMilliseconds(startFrame, animationFPS);
  endTime = FrameToMilliseconds(endFrame, animationFPS);
  speed = static_cast<float>(playSpeed);
  loop = looping;
  currentTime = startTime;
  for (SKELETON_JOINT& j : skeleton) {
    j.currentTransKey = 0;
    j.currentRotKey = 0;
    j.blendQuat = j.currentQuat;
    j.blendTranslation = j.currentTranslation;
  }
  blending = blend;
  blendFactor = 0.0f;
}

void MS3D::RestartAnim() {
  currentTime = startTime;
  for (SKELETON_JOINT& j : skeleton) {
    j.currentTransKey = 0;
    j.currentRotKey = 0;
  }
}

void MS3D::Animate(double dt) {
  if (blending) {
    // Cross-fade from the captured pose towards the keys at the range start;
    // the clock stands still meanwhile.
    blendFactor = static_cast<float>(blendFactor + ClockStep(2.0, dt));
    if (blendFactor >= 1.0f) {
      blending = false;
      blendFactor = 1.0f;
    }
    for (SKELETON_JOINT& j : skeleton) {
      if (!j.rotKeys.empty()) {
        const QUAT target = RotationToQuat(Degrees(KeyAtOrAfter(j.rotKeys, currentTime).parameter));
        j.currentQuat = QuatSlerp(&j.blendQuat, &target, blendFactor);
        j.animMatrix = QuatToRotationMatrix(j.currentQuat);
      }
      if (!j.transKeys.empty()) {
        const float* p = KeyAtOrAfter(j.transKeys, currentTime).parameter;
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
  for (SKELETON_JOINT& j : skeleton) {
    if (!j.transKeys.empty()) EvaluateTranslation(j, currentTime);
    if (!j.rotKeys.empty()) EvaluateRotation(j, currentTime);
  }
}
