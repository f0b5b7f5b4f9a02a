#pragma once
// One posable copy of a model type. It points to the type's shared
// ANIMATIONTEMPLATE and owns what differs between copies: its joints, its
// playback clock, its placement and a welded, interleaved vertex buffer with
// an index buffer grouped by material, ready for OpenGL vertex arrays.
//
// Each frame the owner runs RevertPoints(joints), Animate(dt), its own joint
// adjustments (animMatrix), UpdateSkeleton and UpdatePoints(joints), so the
// buffer is in model space between frames and is always reverted with the
// matrices it was skinned with. None of these call OpenGL and none allocates;
// only Draw and DrawGroup issue GL calls.
//
// Instances are plain values: copying one copies its buffers and joints and
// shares the template and the texture names.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "util/Math.h"

// Per-instance state of one template joint.
struct BASICJOINT {
  int32_t parent = -1;          // lower index than this joint, or -1 for a root
  uint8_t flags = 0;
  VECTOR3D currentTranslation;  // animated, on top of the bind pose
  MATRIX relative;              // template bindMatrix times animated local transform
  MATRIX absolute;              // model space, used for skinning
  int32_t currentTransKey = 0;  // forward-only cursors into the template's tracks
  int32_t currentRotKey = 0;
  int32_t lastTransKey = -1;    // cursors after the previous evaluation
  int32_t lastRotKey = -1;
  QUAT currentQuat;             // animated rotation
  MATRIX animMatrix;            // rotation of the animated rotation; owners may
                                // overwrite it between Animate and UpdateSkeleton
  QUAT blendQuat;               // pose captured when a cross-fade starts
  VECTOR3D blendTranslation;
};

// One entry of the interleaved vertex array, read by OpenGL with a 36-byte
// stride: position at 0, normal at 12, texture coordinates at 24.
struct MODELVERTEX {
  VECTOR3D position;        // model units
  VECTOR3D normal;
  float s = 0;
  float t = 0;              // already flipped: 1 - t of the file
  uint8_t unused0[2] = {0, 0};
  int8_t boneId = -1;       // joint index; -1 for none
  uint8_t unused1 = 0;
};
static_assert(sizeof(MODELVERTEX) == 36, "OpenGL reads the vertex buffer with a 36-byte stride");
static_assert(offsetof(MODELVERTEX, position) == 0);
static_assert(offsetof(MODELVERTEX, normal) == 12);
static_assert(offsetof(MODELVERTEX, s) == 24);
static_assert(offsetof(MODELVERTEX, t) == 28);
static_assert(offsetof(MODELVERTEX, boneId) == 34);

// A material refers to a GL texture name; it never deletes it. The names
// belong to the butterfly type's Texture records, which alone delete them,
// because every instance of the type and its prototype share them.
struct MODELMATERIAL {
  uint32_t texId = 0;          // OpenGL texture name, owned elsewhere
  int8_t mode = 0;             // negative (bit 7 set): generated texture coordinates
  float transparency = 1.0f;
  float ambient[3] = {0, 0, 0};  // RGB
};

struct MODELGROUP {
  int8_t materialIndex = -1;   // into ONEMODEL::materials; -1 for none
  uint16_t numTriangles = 0;
  uint32_t firstIndex = 0;     // first entry of the group in ONEMODEL::indices
};

class ONEMODEL {
 public:
  // Returned by AddVertToBuffer when the buffer holds 65535 entries and the
  // vertex matches none: 16-bit indices cannot name another.
  static constexpr uint16_t kBufferFull = 0xFFFF;

  const ANIMATIONTEMPLATE* animTemplate = nullptr;  // shared, not owned
  uint16_t numJoints = 0;                 // each count equals its array's size
  std::vector<BASICJOINT> joints;
  uint16_t numMaterials = 0;
  std::vector<MODELMATERIAL> materials;
  uint16_t numGroups = 0;
  std::vector<MODELGROUP> groups;
  uint16_t numTriangles = 0;              // all groups together
  std::vector<uint16_t> indices;          // 3 * numTriangles, group after group
  uint16_t numVerts = 0;
  std::vector<MODELVERTEX> vertexBuffer;
  float currentTime = 0;       // playback clock, ms
  bool loop = false;           // wrap at endTime
  float speed = 1000.0f;       // ms of animation per unit of dt
  float startTime = 0;         // playback range, ms
  float endTime = 0;
  bool blending = false;       // cross-fade running
  float blendFactor = 0;       // cross-fade progress, 0 to 1
  float blendSpeed = 4.0f;     // cross-fade progress per unit of dt
  VECTOR3D position;           // world position
  VECTOR3D direction;          // heading used by the owner's movement
  VECTOR3D angles;             // Euler degrees the owner builds orientation from
  MATRIX orientation;          // rotation applied when drawing
  QUAT orientationQuat;        // orientation as a quaternion, kept by the owner

  // Builds this instance from a model on which InitialSetup has run and the
  // template made from it; every material refers to the texture name
  // `*texture` (0 when null). The mesh is welded: corners that agree in
  // position, normal, texture coordinates and joint share one buffer entry.
  // False, leaving the instance as it was, when the template or model is
  // missing or inconsistent (a bone the template lacks, an index out of
  // range, a parent after its child), or when the triangles of all groups or
  // the welded entries do not fit in 16 bits.
  bool Setup(const ANIMATIONTEMPLATE* animTemplate, const MS3D* model, const uint32_t* texture);
  // The index of the first buffer entry equal to the given vertex (a NaN
  // never matches), appending one when none is; kBufferFull when there is no
  // room for another.
  uint16_t AddVertToBuffer(const float position[3], const float normal[3], float s, float t,
                           int8_t boneId);

  // Playback of the template's tracks; the rules are those of MS3D, except
  // that rotations come precomputed from the template and a cross-fade
  // advances by blendSpeed * dt. A negative or NaN speed, blendSpeed or dt
  // leaves the clock and the cross-fade where they are.
  void RestartAnim();
  void SetAnimation(double startFrame, double endFrame, double speed, bool loop, bool blend);
  void Animate(double dt);
  void UpdateSkeleton();
  // Skin and unskin the buffer with the absolute matrices of the given
  // joints; entries whose joint is not in the list stay as they are.
  void UpdatePoints(std::span<const BASICJOINT> joints);
  void RevertPoints(std::span<const BASICJOINT> joints);
  // One whole frame with this instance's own joints.
  void Update(double dt);

  // Draws at `position` and `orientation` with vertex arrays, binding each
  // group's material texture. Needs a current OpenGL context.
  void Draw() const;
  void DrawGroup(int group) const;

 private:
  // Appends without searching; the caller has checked for room.
  uint16_t AddVertToBufferUnchecked(const float position[3], const float normal[3], float s,
                                    float t, int8_t boneId);
};
