// Reading, validating and scaling MilkShape 3D models.
#include "models/MS3D.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "models/Playback.h"
#include "util/CString.h"
#include "util/RegularFile.h"
#include "util/Diagnostics.h"
#include "util/StreamReader.h"

namespace {

constexpr char kId[10] = {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0'};

// Smallest size of each record in the file; a count is checked against the
// bytes left with these before anything is allocated.
constexpr uint64_t kVertexBytes = 15;
constexpr uint64_t kTriangleBytes = 70;
constexpr uint64_t kGroupBytes = 36;      // plus 2 per triangle index
constexpr uint64_t kMaterialBytes = 361;
constexpr uint64_t kJointBytes = 93;      // plus 16 per key
constexpr uint64_t kKeyBytes = 16;

void ReadFloats(StreamReader& r, float* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] = r.F32();
}

// A fixed-width name that may lack a terminator, into a buffer one longer.
template <size_t N>
void ReadName(StreamReader& r, char (&dst)[N]) {
  char raw[N - 1];
  r.Bytes(raw, sizeof raw);
  CopyCString(dst, raw, sizeof raw);
}

bool ReadVertices(StreamReader& r, MS3D& m) {
  m.numVertices = r.U16();
  if (!r.Require(m.numVertices, kVertexBytes)) return false;
  m.vertices.resize(m.numVertices);
  for (MS3D_VERTEX& v : m.vertices) {
    v.flags = r.U8();
    ReadFloats(r, v.vertex, 3);
    v.boneId = r.I8();
    v.referenceCount = r.U8();
  }
  return r.ok();
}

bool ReadTriangles(StreamReader& r, MS3D& m) {
  m.numTriangles = r.U16();
  if (!r.Require(m.numTriangles, kTriangleBytes)) return false;
  m.triangles.resize(m.numTriangles);
  for (MS3D_TRIANGLE& t : m.triangles) {
    t.flags = r.U16();
    for (uint16_t& index : t.vertexIndices) index = r.U16();
    for (float(&normal)[3] : t.vertexNormals) ReadFloats(r, normal, 3);
    ReadFloats(r, t.s, 3);
    ReadFloats(r, t.t, 3);
    t.smoothingGroup = r.U8();
    t.groupIndex = r.U8();
  }
  return r.ok();
}

bool ReadGroups(StreamReader& r, MS3D& m) {
  m.numGroups = r.U16();
  if (!r.Require(m.numGroups, kGroupBytes)) return false;
  m.groups.resize(m.numGroups);
  for (MS3D_GROUP& g : m.groups) {
    g.flags = r.U8();
    ReadName(r, g.name);
    g.numTriangles = r.U16();
    if (!r.Require(g.numTriangles, 2)) return false;
    g.triangleIndices.resize(g.numTriangles);
    for (uint16_t& index : g.triangleIndices) index = r.U16();
    g.materialIndex = r.I8();
    if (!r.ok()) return false;
  }
  return true;
}

bool ReadMaterials(StreamReader& r, MS3D& m) {
  m.numMaterials = r.U16();
  if (!r.Require(m.numMaterials, kMaterialBytes)) return false;
  m.materials.resize(m.numMaterials);
  for (MS3D_MATERIAL& mat : m.materials) {
    ReadName(r, mat.name);
    ReadFloats(r, mat.ambient, 4);
    ReadFloats(r, mat.diffuse, 4);
    ReadFloats(r, mat.specular, 4);
    ReadFloats(r, mat.emissive, 4);
    mat.shininess = r.F32();
    mat.transparency = r.F32();
    mat.mode = r.I8();
    ReadName(r, mat.texture);
    ReadName(r, mat.alphamap);
  }
  return r.ok();
}

bool ReadKeys(StreamReader& r, uint16_t count, std::vector<MS3D_KEYFRAME>& keys) {
  if (!r.Require(count, kKeyBytes)) return false;
  keys.resize(count);
  for (MS3D_KEYFRAME& k : keys) {
    k.time = r.F32();
    ReadFloats(r, k.parameter, 3);
  }
  return r.ok();
}

bool ReadJoints(StreamReader& r, MS3D& m) {
  m.numJoints = r.U16();
  if (!r.Require(m.numJoints, kJointBytes)) return false;
  m.joints.resize(m.numJoints);
  for (MS3D_JOINT& j : m.joints) {
    j.flags = r.U8();
    ReadName(r, j.name);
    ReadName(r, j.parentName);
    ReadFloats(r, j.rotation, 3);
    ReadFloats(r, j.position, 3);
    j.numKeyFramesRot = r.U16();
    j.numKeyFramesTrans = r.U16();
    if (!ReadKeys(r, j.numKeyFramesRot, j.keyFramesRot)) return false;
    if (!ReadKeys(r, j.numKeyFramesTrans, j.keyFramesTrans)) return false;
  }
  return r.ok();
}

bool ReadModel(std::istream* stream, MS3D& m) {
  StreamReader r(stream);
  char id[sizeof kId];
  r.Bytes(id, sizeof id);
  const int32_t version = r.I32();
  if (!r.ok() || std::memcmp(id, kId, sizeof kId) != 0 || (version != 3 && version != 4))
    return false;
  if (!ReadVertices(r, m) || !ReadTriangles(r, m) || !ReadGroups(r, m) ||
      !ReadMaterials(r, m))
    return false;
  m.animationFPS = r.F32();
  r.F32();  // the modeller's current time: not used
  m.totalFrames = r.I32();
  if (!r.ok() || !ReadJoints(r, m)) return false;
  m.totalTime = m.Frame(m.totalFrames);
  return m.Validate();
}

// Key times must not fall (equal times are allowed: playback takes the later
// key); a NaN time has no place in the order and is refused too.
bool TimesRise(const std::vector<MS3D_KEYFRAME>& keys) {
  for (size_t k = 0; k < keys.size(); ++k) {
    if (!std::isfinite(keys[k].time)) return false;
    for (float p : keys[k].parameter)
      if (!std::isfinite(p)) return false;
    if (k > 0 && keys[k].time < keys[k - 1].time) return false;
  }
  return true;
}

}  // namespace

bool MS3D::LoadFromFStream(std::istream* stream) {
  MS3D model;
  // The arrays grow with the file's counts; memory that runs out is a
  // failure of this load, not an exception out of the loader.
  bool read = false;
  try {
    read = ReadModel(stream, model);
  } catch (const std::bad_alloc&) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  if (!read) {
    ERRORCLOSE("Not a valid MS3D file!");
    return false;
  }
  *this = std::move(model);
  return true;
}

bool MS3D::Load(const char* path) {
  std::ifstream file;
  if (!OpenRegularFile(file, path)) {
    ERRORCLOSE("Coun't open the damn MS3D file!");
    return false;
  }
  return LoadFromFStream(&file);
}

std::vector<int> MS3D::FindParents() const {
  // The first joint of a name wins, as a scan from index 0 would find it.
  std::unordered_map<std::string_view, int> byName;
  byName.reserve(joints.size());
  for (size_t i = 0; i < joints.size(); ++i)
    byName.emplace(std::string_view(joints[i].name, BoundedLength(joints[i].name, kMS3DNameBytes)),
                   static_cast<int>(i));
  std::vector<int> parents(joints.size(), -1);
  for (size_t i = 0; i < joints.size(); ++i) {
    const char* parent = joints[i].parentName;
    const size_t length = BoundedLength(parent, kMS3DNameBytes);
    if (length == 0) continue;
    const auto found = byName.find(std::string_view(parent, length));
    if (found != byName.end()) parents[i] = found->second;
  }
  return parents;
}

bool MS3D::Validate() const {
  if (vertices.size() != numVertices || triangles.size() != numTriangles ||
      groups.size() != numGroups || materials.size() != numMaterials ||
      joints.size() != numJoints)
    return false;
  // Infinite or NaN geometry and animation data would spread through every
  // skinning and flight step (an infinite vertex makes an infinite landing
  // radius; NaN bones draw nothing); the frame rate divides key times.
  const auto finite = [](const float* values, int n) {
    for (int i = 0; i < n; ++i)
      if (!std::isfinite(values[i])) return false;
    return true;
  };
  if (!std::isfinite(animationFPS)) return false;
  for (const MS3D_VERTEX& v : vertices)
    if (v.boneId < -1 || v.boneId >= numJoints || !finite(v.vertex, 3)) return false;
  for (const MS3D_TRIANGLE& t : triangles)
    for (uint16_t index : t.vertexIndices)
      if (index >= numVertices) return false;
  for (const MS3D_GROUP& g : groups) {
    if (g.triangleIndices.size() != g.numTriangles) return false;
    for (uint16_t index : g.triangleIndices)
      if (index >= numTriangles) return false;
    if (g.materialIndex < -1 || g.materialIndex >= numMaterials) return false;
  }
  for (const MS3D_JOINT& j : joints) {
    if (j.keyFramesRot.size() != j.numKeyFramesRot ||
        j.keyFramesTrans.size() != j.numKeyFramesTrans)
      return false;
    if (!TimesRise(j.keyFramesRot) || !TimesRise(j.keyFramesTrans)) return false;
    if (!finite(j.rotation, 3) || !finite(j.position, 3)) return false;
  }
  // Parents first: the skeleton pass reads each parent's matrix as already
  // computed in the same pass.
  const std::vector<int> parents = FindParents();
  for (size_t i = 0; i < parents.size(); ++i)
    if (parents[i] >= static_cast<int>(i)) return false;
  return true;
}

void MS3D::Scale(float factor) {
  for (MS3D_VERTEX& v : vertices)
    for (float& c : v.vertex) c *= factor;
  for (MS3D_JOINT& j : joints) {
    for (float& c : j.position) c *= factor;
    for (MS3D_KEYFRAME& k : j.keyFramesTrans)
      for (float& c : k.parameter) c *= factor;
  }
}

float MS3D::Frame(int frame) const { return FrameToMilliseconds(frame, animationFPS); }
