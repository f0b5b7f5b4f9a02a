// Building, playing and skinning model instances.
#include "models/ONEMODEL.h"

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "models/Playback.h"

namespace {

bool SameVertex(const MODELVERTEX& v, const float position[3], const float normal[3], float s,
                float t, int8_t boneId) {
  return v.position.x == position[0] && v.position.y == position[1] &&
         v.position.z == position[2] && v.normal.x == normal[0] && v.normal.y == normal[1] &&
         v.normal.z == normal[2] && v.s == s && v.t == t && v.boneId == boneId;
}

// Key of a vertex for welding: its eight floats and its joint, with -0 made 0
// so that equal bits mean equal values. Vertices holding a NaN get no key:
// they never match anything.
struct WeldKey {
  uint32_t bits[8];
  int8_t boneId;
  bool operator==(const WeldKey& o) const {
    return std::memcmp(bits, o.bits, sizeof bits) == 0 && boneId == o.boneId;
  }
};

struct WeldKeyHash {
  size_t operator()(const WeldKey& k) const {
    uint64_t h = 1469598103934665603ull ^ static_cast<uint8_t>(k.boneId);
    for (uint32_t b : k.bits) h = (h ^ b) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};

bool MakeWeldKey(const float position[3], const float normal[3], float s, float t, int8_t boneId,
                 WeldKey* key) {
  const float values[8] = {position[0], position[1], position[2], normal[0],
                           normal[1],   normal[2],   s,           t};
  for (int i = 0; i < 8; ++i) {
    if (std::isnan(values[i])) return false;
    const float v = values[i] == 0.0f ? 0.0f : values[i];
    std::memcpy(&key->bits[i], &v, sizeof v);
  }
  key->boneId = boneId;
  return true;
}

// The template may be shared by instances of many models; it must match this
// one and keep the invariants playback relies on.
bool TemplateFits(const ANIMATIONTEMPLATE& tmpl, const MS3D& model) {
  if (tmpl.numJoints < 0 || tmpl.joints.size() != static_cast<size_t>(tmpl.numJoints) ||
      tmpl.joints.size() > 0xFFFF)
    return false;
  for (size_t i = 0; i < tmpl.joints.size(); ++i) {
    const ANIMJOINT& j = tmpl.joints[i];
    if (j.parent >= static_cast<int32_t>(i) || j.rotQuats.size() != j.rotKeys.size())
      return false;
  }
  for (const MS3D_VERTEX& v : model.vertices)
    if (v.boneId >= 0 && static_cast<size_t>(v.boneId) >= tmpl.joints.size()) return false;
  return true;
}

}  // namespace

bool ONEMODEL::Setup(const ANIMATIONTEMPLATE* tmpl, const MS3D* model, const uint32_t* texture) {
  if (!tmpl || !model || !model->Validate() || !TemplateFits(*tmpl, *model)) return false;

  size_t triangleCount = 0;
  for (const MS3D_GROUP& g : model->groups) triangleCount += g.triangleIndices.size();
  if (triangleCount > 0xFFFF) return false;

  ONEMODEL built;
  built.animTemplate = tmpl;
  built.numJoints = static_cast<uint16_t>(tmpl->joints.size());
  built.joints.resize(tmpl->joints.size());
  for (size_t i = 0; i < built.joints.size(); ++i) {
    built.joints[i].flags = tmpl->joints[i].flags;
    built.joints[i].parent = tmpl->joints[i].parent;
  }
  // Playback and placement start from their initial values; the cross-fade
  // settings are kept, as on an instance that is set up again.
  built.blending = blending;
  built.blendFactor = blendFactor;
  built.blendSpeed = blendSpeed;

  built.numMaterials = model->numMaterials;
  built.materials.resize(model->materials.size());
  for (size_t m = 0; m < built.materials.size(); ++m) {
    const MS3D_MATERIAL& source = model->materials[m];
    MODELMATERIAL& mat = built.materials[m];
    mat.mode = source.mode;
    mat.transparency = source.transparency;
    for (int c = 0; c < 3; ++c) mat.ambient[c] = source.ambient[c];
    mat.texId = texture ? *texture : 0;
  }

  built.numGroups = model->numGroups;
  built.groups.resize(model->groups.size());
  built.numTriangles = static_cast<uint16_t>(triangleCount);
  built.indices.resize(3 * triangleCount);

  // Welding looks entries up by value; the result equals AddVertToBuffer's
  // first-match search, which would be quadratic in a hostile model.
  std::unordered_map<WeldKey, uint16_t, WeldKeyHash> welded;
  welded.reserve(3 * triangleCount);
  size_t n = 0;
  for (size_t g = 0; g < model->groups.size(); ++g) {
    const MS3D_GROUP& source = model->groups[g];
    MODELGROUP& group = built.groups[g];
    group.firstIndex = static_cast<uint32_t>(n);
    group.materialIndex = source.materialIndex;
    group.numTriangles = source.numTriangles;
    for (uint16_t triangle : source.triangleIndices) {
      const MS3D_TRIANGLE& tri = model->triangles[triangle];
      for (int c = 0; c < 3; ++c) {
        const MS3D_VERTEX& v = model->vertices[tri.vertexIndices[c]];
        const float flippedT = 1.0f - tri.t[c];
        WeldKey key;
        const bool keyed =
            MakeWeldKey(v.vertex, tri.vertexNormals[c], tri.s[c], flippedT, v.boneId, &key);
        if (keyed) {
          const auto found = welded.find(key);
          if (found != welded.end()) {
            built.indices[n + c] = found->second;
            continue;
          }
        }
        if (built.vertexBuffer.size() >= kBufferFull) return false;
        const uint16_t index =
            built.AddVertToBufferUnchecked(v.vertex, tri.vertexNormals[c], tri.s[c], flippedT,
                                           v.boneId);
        if (keyed) welded.emplace(key, index);
        built.indices[n + c] = index;
      }
      n += 3;
    }
  }

  *this = std::move(built);
  return true;
}

uint16_t ONEMODEL::AddVertToBufferUnchecked(const float position[3], const float normal[3],
                                            float s, float t, int8_t boneId) {
  MODELVERTEX v;
  v.position = {position[0], position[1], position[2]};
  v.normal = {normal[0], normal[1], normal[2]};
  v.s = s;
  v.t = t;
  v.boneId = boneId;
  vertexBuffer.push_back(v);
  numVerts = static_cast<uint16_t>(vertexBuffer.size());
  return static_cast<uint16_t>(vertexBuffer.size() - 1);
}

uint16_t ONEMODEL::AddVertToBuffer(const float position[3], const float normal[3], float s,
                                   float t, int8_t boneId) {
  for (size_t i = 0; i < vertexBuffer.size(); ++i)
    if (SameVertex(vertexBuffer[i], position, normal, s, t, boneId))
      return static_cast<uint16_t>(i);
  if (vertexBuffer.size() >= kBufferFull) return kBufferFull;
  return AddVertToBufferUnchecked(position, normal, s, t, boneId);
}
