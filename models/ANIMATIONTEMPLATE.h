#pragma once
// The read-only animation data of one butterfly type, shared by all its model
// instances: joint hierarchy, bind matrices and key tracks ready for playback
// (times in milliseconds, one precomputed quaternion per rotation key). All
// changing state lives in the instances (ONEMODEL), so many of them can play
// one template at once. A template must outlive every instance that points to
// it; nothing writes it after Setup.
#include <cstdint>
#include <vector>

#include "models/MS3D.h"
#include "util/Math.h"

// A template joint. Of the inherited fields, Setup fills parent, flags,
// rotation, position, relative, absolute, currentRotation,
// currentTranslation, the key counts and the key copies; the cursor, pose and
// blend fields keep their initial values.
struct ANIMJOINT : SKELETON_JOINT {
  std::vector<QUAT> rotQuats;  // entry k: rotation of rotation key k
  QUAT bindQuat;               // bind rotation
  MATRIX bindMatrix;           // rest transform relative to the parent
};

class ANIMATIONTEMPLATE {
 public:
  int32_t numJoints = 0;           // equals joints.size()
  std::vector<ANIMJOINT> joints;
  int32_t totalFrames = 0;
  float animationFPS = 0;          // frames per second
  float totalTime = 0;             // ms

  // Fills this template from a model on which InitialSetup has run. Key data
  // comes from the joint records as read (seconds, radians). False, leaving
  // the template as it was, for a null model or one with joints whose
  // skeleton has not been built.
  bool Setup(const MS3D* model);
};
