#pragma once
// MilkShape 3D models (id "MS3D000000", versions 3 and 4): the records as the
// file lays them out, reading, scaling, skeleton preparation, keyframe
// playback, skinning and immediate-mode drawing.
//
// A model exists only while a butterfly type loads: it is read, scaled,
// prepared with InitialSetup and turned into an ANIMATIONTEMPLATE and a
// prototype ONEMODEL. Everything but drawing is free of OpenGL.
//
// Units: positions in model units; angles in the file are radians, in the
// skeleton degrees; key times in the file are seconds, in the skeleton and all
// playback clocks milliseconds.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <vector>

#include "util/Math.h"
#include "util/Texture.h"

// Width of every name in the file; names may fill it without a terminator.
inline constexpr size_t kMS3DNameBytes = 32;
// Width of the material's two file names.
inline constexpr size_t kMS3DFileNameBytes = 128;
// Converts the file's radians to degrees (the factor the format's own tools use).
inline constexpr float kMS3DRadToDeg = 57.29578f;

struct MS3D_VERTEX {
  uint8_t flags = 0;
  uint8_t referenceCount = 0;
  int8_t boneId = -1;              // joint that moves the vertex; -1 for none
  float vertex[3] = {0, 0, 0};     // position, model units
};

struct MS3D_TRIANGLE {
  uint16_t flags = 0;
  uint16_t vertexIndices[3] = {0, 0, 0};  // into MS3D::vertices
  float vertexNormals[3][3] = {};         // one normal per corner
  float s[3] = {0, 0, 0};                 // texture coordinates per corner,
  float t[3] = {0, 0, 0};                 // t as stored (drawing flips it)
  uint8_t smoothingGroup = 0;
  uint8_t groupIndex = 0;
};

struct MS3D_GROUP {
  uint8_t flags = 0;
  char name[kMS3DNameBytes + 1] = {};      // the file's 32 bytes, terminated
  uint16_t numTriangles = 0;
  std::vector<uint16_t> triangleIndices;   // numTriangles entries into MS3D::triangles
  int8_t materialIndex = -1;               // into MS3D::materials; -1 for none
};

struct MS3D_MATERIAL {
  char name[kMS3DNameBytes + 1] = {};
  float ambient[4] = {0, 0, 0, 0};   // RGBA
  float diffuse[4] = {0, 0, 0, 0};
  float specular[4] = {0, 0, 0, 0};
  float emissive[4] = {0, 0, 0, 0};
  float shininess = 0;
  float transparency = 0;
  // Negative (bit 7 set): drawn with generated texture coordinates.
  int8_t mode = 0;
  // Stored but never opened: textures come from the butterfly type file.
  char texture[kMS3DFileNameBytes + 1] = {};
  char alphamap[kMS3DFileNameBytes + 1] = {};
};

struct MS3D_KEYFRAME {
  float time = 0;                 // seconds in the file, milliseconds in copies
  float parameter[3] = {0, 0, 0}; // Euler radians (rotation) or translation
};

struct MS3D_JOINT {
  uint8_t flags = 0;
  char name[kMS3DNameBytes + 1] = {};
  char parentName[kMS3DNameBytes + 1] = {};  // empty for a root
  float rotation[3] = {0, 0, 0};  // Euler radians as read; degrees after SetupSkeleton
  float position[3] = {0, 0, 0};  // bind translation relative to the parent
  uint16_t numKeyFramesRot = 0;
  uint16_t numKeyFramesTrans = 0;
  std::vector<MS3D_KEYFRAME> keyFramesRot;    // numKeyFramesRot entries
  std::vector<MS3D_KEYFRAME> keyFramesTrans;  // numKeyFramesTrans entries
};

// One prepared joint: bind pose, key copies in milliseconds and the playback
// state of the model that owns it.
struct SKELETON_JOINT {
  int32_t parent = -1;  // lower index than this joint, or -1 for a root
  uint8_t flags = 0;
  VECTOR3D rotation;            // bind rotation, Euler degrees
  VECTOR3D position;            // bind translation relative to the parent
  VECTOR3D currentRotation;     // Euler degrees; written only for held keys
  VECTOR3D currentTranslation;  // animated, on top of the bind pose
  MATRIX relative;              // bind matrix times animated local transform
  MATRIX absolute;              // model space: parent's absolute times relative
  int32_t numRotKeys = 0;
  int32_t numTransKeys = 0;
  std::vector<MS3D_KEYFRAME> rotKeys;    // times in ms, angles in radians
  std::vector<MS3D_KEYFRAME> transKeys;  // times in ms
  int32_t currentTransKey = 0;  // forward-only cursors
  int32_t currentRotKey = 0;
  int32_t lastTransKey = -1;    // cursors after the previous evaluation
  int32_t lastRotKey = -1;
  QUAT currentQuat;             // animated rotation
  MATRIX animMatrix;            // rotation of currentQuat; translation ignored
  QUAT blendQuat;               // pose captured when a cross-fade starts
  VECTOR3D blendTranslation;
};

class MS3D {
 public:
  // Each count equals the size of its array.
  uint16_t numVertices = 0;
  std::vector<MS3D_VERTEX> vertices;
  uint16_t numTriangles = 0;
  std::vector<MS3D_TRIANGLE> triangles;
  uint16_t numGroups = 0;
  std::vector<MS3D_GROUP> groups;
  uint16_t numMaterials = 0;
  std::vector<MS3D_MATERIAL> materials;
  uint16_t numJoints = 0;
  std::vector<MS3D_JOINT> joints;       // the joint records as read
  std::vector<SKELETON_JOINT> skeleton; // numJoints entries after SetupSkeleton, else empty
  int32_t totalFrames = 0;
  float animationFPS = 0;    // frames per second
  float totalTime = 0;       // ms; 0 unless animationFPS is a positive number
  float currentTime = 0;     // playback clock, ms
  bool loop = true;          // wrap at endTime
  float speed = 1000.0f;     // ms of animation per unit of Animate's dt
  float startTime = 0;       // playback range, ms
  float endTime = 0;
  bool blending = false;     // cross-fade running
  float blendFactor = 0;     // cross-fade progress, 0 to 1

  // Reads one model from the stream's current position and leaves the stream
  // just after the last joint record (later extension sections stay unread).
  // "Unable to allocate memory!" through ERRORCLOSE when memory runs out.
  // The model is refused with "Not a valid MS3D file!" through ERRORCLOSE when
  // the id or version is wrong, the stream ends inside the model, a count
  // does not fit in the bytes left, an index is out of range (Validate), a
  // parent is not an earlier joint, or a key track's times fall. On refusal
  // this model is left as it was; on success it holds the new model with
  // playback fields at their initial values.
  bool LoadFromFStream(std::istream* stream);
  // Reads a standalone model file; "Coun't open the damn MS3D file!" when the
  // file cannot be opened, otherwise as LoadFromFStream.
  bool Load(const char* path);
  // True when every count matches its array, every vertex, triangle, material
  // and joint index is in range (-1 allowed for materials and bones), every
  // parent name that resolves names an earlier joint, no key track's times
  // fall (equal times are allowed), and every vertex, joint rotation and
  // position, key time and value and the frame rate is finite.
  bool Validate() const;
  // Multiplies vertex positions, joint positions and translation keys. Call
  // before InitialSetup, which copies the joint positions.
  void Scale(float factor);

  // Skeleton preparation, once per model: SetupSkeleton, UpdateSkeleton,
  // RevertPoints; nothing for a model without joints.
  void InitialSetup();
  // Builds `skeleton` from `joints`, converting each joint's rotation to
  // degrees in place (so it runs once per model) and key times to ms.
  void SetupSkeleton();
  void UpdateSkeleton();
  // Model space to joint-local space, vertices and corner normals, with each
  // joint's absolute matrix. Vertices without a joint stay.
  void RevertPoints();
  // The exact inverse of RevertPoints.
  void UpdatePoints();

  // Plays frames startFrame to endFrame; the pose shown now is captured as the
  // source of a cross-fade when `blend` is set.
  void SetAnimation(double startFrame, double endFrame, double speed, bool loop, bool blend);
  void RestartAnim();
  // Advances the clock by speed * dt (a cross-fade instead advances
  // blendFactor by 2 * dt) and evaluates every joint. A negative or NaN speed
  // or dt leaves the clock and the cross-fade where they are.
  void Animate(double dt);
  // Time of a frame in ms; 0 when animationFPS is not a positive number.
  float Frame(int frame) const;

  // Immediate-mode drawing with the coordinates currently stored. The texture
  // list is indexed by material number; groups without a material, or whose
  // material has no entry in the list, bind nothing. An empty list draws
  // untextured. A group index outside the groups draws nothing.
  void Render() const;
  void Render(std::span<const Texture> textures) const;
  void DrawGroup(int group) const;
  void DrawGroup(int group, std::span<const Texture> textures) const;

 private:
  // Index of each joint's parent: the first joint whose name equals its
  // parentName, or -1 for an empty or unmatched parentName.
  std::vector<int> FindParents() const;
  void DrawTriangles(const MS3D_GROUP& group) const;
};
