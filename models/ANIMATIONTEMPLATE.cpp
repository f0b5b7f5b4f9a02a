#include "models/ANIMATIONTEMPLATE.h"

#include <utility>

bool ANIMATIONTEMPLATE::Setup(const MS3D* model) {
  if (!model || model->skeleton.size() != model->joints.size()) return false;
  ANIMATIONTEMPLATE built;
  built.numJoints = static_cast<int32_t>(model->joints.size());
  built.totalFrames = model->totalFrames;
  built.animationFPS = model->animationFPS;
  built.totalTime = model->totalTime;
  built.joints.resize(model->joints.size());
  for (size_t i = 0; i < built.joints.size(); ++i) {
    const SKELETON_JOINT& s = model->skeleton[i];
    const MS3D_JOINT& record = model->joints[i];
    ANIMJOINT& j = built.joints[i];
    j.flags = s.flags;
    // The skeleton pass reads a parent's matrix as already computed, so only
    // an earlier joint can be one.
    j.parent = s.parent < static_cast<int32_t>(i) ? s.parent : -1;
    j.relative = s.relative;
    j.absolute = s.absolute;
    j.currentRotation = s.currentRotation;
    j.currentTranslation = s.currentTranslation;
    j.rotation = s.rotation;
    j.position = s.position;
    j.bindQuat = RotationToQuat(j.rotation);
    j.bindMatrix = QuatToRotationMatrix(j.bindQuat);
    j.bindMatrix.SetTranslation(j.position);

    j.numRotKeys = static_cast<int32_t>(record.keyFramesRot.size());
    j.numTransKeys = static_cast<int32_t>(record.keyFramesTrans.size());
    j.rotKeys = record.keyFramesRot;
    j.transKeys = record.keyFramesTrans;
    j.rotQuats.resize(j.rotKeys.size());
    for (size_t k = 0; k < j.rotKeys.size(); ++k) {
      const float* p = j.rotKeys[k].parameter;
      j.rotQuats[k] = RotationToQuat(
          {p[0] * kMS3DRadToDeg, p[1] * kMS3DRadToDeg, p[2] * kMS3DRadToDeg});
      j.rotKeys[k].time *= 1000.0f;
    }
    for (MS3D_KEYFRAME& key : j.transKeys) key.time *= 1000.0f;
  }
  *this = std::move(built);
  return true;
}
