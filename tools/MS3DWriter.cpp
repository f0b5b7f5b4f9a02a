#include "tools/MS3DWriter.h"

#include <cstring>
#include <fstream>

namespace {

class Out {
 public:
  std::string bytes;

  void U8(uint8_t v) { bytes.push_back(static_cast<char>(v)); }
  void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) U8(static_cast<uint8_t>(v >> shift));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U32(bits);
  }
  void Vec(VECTOR3D v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
  }
  void Colour(COLOUR4F c) {
    F32(c.r);
    F32(c.g);
    F32(c.b);
    F32(c.a);
  }
  // Exactly `width` bytes: cut, or padded with zeros.
  void Fixed(const std::string& s, size_t width) {
    std::string field = s.substr(0, width);
    field.resize(width, '\0');
    bytes += field;
  }
};

constexpr size_t kName = 32;
constexpr size_t kFileName = 128;

bool Fits(size_t count) { return count <= 0xFFFF; }

void WriteKeys(Out& out, const std::vector<MS3DWriter::Key>& keys) {
  for (const MS3DWriter::Key& k : keys) {
    out.F32(k.time);
    out.Vec(k.value);
  }
}

}  // namespace

uint16_t MS3DWriter::AddVertex(VECTOR3D position, int8_t boneId) {
  Vertex v;
  v.position = position;
  v.boneId = boneId;
  vertices.push_back(v);
  return static_cast<uint16_t>(vertices.size() - 1);
}

uint16_t MS3DWriter::AddTriangle(int group, uint16_t a, uint16_t b, uint16_t c) {
  return AddTriangle(group, a, b, c, {}, {}, {});
}

uint16_t MS3DWriter::AddTriangle(int group, uint16_t a, uint16_t b, uint16_t c, point2d uvA,
                                 point2d uvB, point2d uvC) {
  Triangle t;
  t.vertices[0] = a;
  t.vertices[1] = b;
  t.vertices[2] = c;
  VECTOR3D normal;
  if (a < vertices.size() && b < vertices.size() && c < vertices.size()) {
    normal = CalculateNormal(vertices[a].position, vertices[b].position, vertices[c].position);
    if (VectorLength(normal) > 0.0) normal = NormalizeVector(normal);
  }
  for (VECTOR3D& n : t.normals) n = normal;
  t.uv[0] = uvA;
  t.uv[1] = uvB;
  t.uv[2] = uvC;
  t.group = static_cast<uint8_t>(group);
  triangles.push_back(t);
  const uint16_t index = static_cast<uint16_t>(triangles.size() - 1);
  if (group >= 0 && static_cast<size_t>(group) < groups.size())
    groups[group].triangles.push_back(index);
  return index;
}

int MS3DWriter::AddGroup(const std::string& name, int8_t material) {
  Group g;
  g.name = name;
  g.material = material;
  groups.push_back(g);
  return static_cast<int>(groups.size() - 1);
}

int MS3DWriter::AddMaterial(const std::string& name) {
  Material m;
  m.name = name;
  materials.push_back(m);
  return static_cast<int>(materials.size() - 1);
}

int MS3DWriter::AddJoint(const std::string& name, const std::string& parent, VECTOR3D rotation,
                         VECTOR3D position) {
  Joint j;
  j.name = name;
  j.parent = parent;
  j.rotation = rotation;
  j.position = position;
  joints.push_back(j);
  return static_cast<int>(joints.size() - 1);
}

std::string MS3DWriter::Bytes() const {
  if (!Fits(vertices.size()) || !Fits(triangles.size()) || !Fits(groups.size()) ||
      !Fits(materials.size()) || !Fits(joints.size()))
    return {};
  for (const Group& g : groups)
    if (!Fits(g.triangles.size())) return {};
  for (const Joint& j : joints)
    if (!Fits(j.rotationKeys.size()) || !Fits(j.translationKeys.size())) return {};

  Out out;
  out.Fixed(id, 10);
  out.I32(version);

  out.U16(static_cast<uint16_t>(vertices.size()));
  for (const Vertex& v : vertices) {
    out.U8(v.flags);
    out.Vec(v.position);
    out.I8(v.boneId);
    out.U8(v.referenceCount);
  }

  out.U16(static_cast<uint16_t>(triangles.size()));
  for (const Triangle& t : triangles) {
    out.U16(t.flags);
    for (uint16_t index : t.vertices) out.U16(index);
    for (const VECTOR3D& n : t.normals) out.Vec(n);
    for (const point2d& uv : t.uv) out.F32(uv.x);
    for (const point2d& uv : t.uv) out.F32(uv.y);
    out.U8(t.smoothingGroup);
    out.U8(t.group);
  }

  out.U16(static_cast<uint16_t>(groups.size()));
  for (const Group& g : groups) {
    out.U8(g.flags);
    out.Fixed(g.name, kName);
    out.U16(static_cast<uint16_t>(g.triangles.size()));
    for (uint16_t index : g.triangles) out.U16(index);
    out.I8(g.material);
  }

  out.U16(static_cast<uint16_t>(materials.size()));
  for (const Material& m : materials) {
    out.Fixed(m.name, kName);
    out.Colour(m.ambient);
    out.Colour(m.diffuse);
    out.Colour(m.specular);
    out.Colour(m.emissive);
    out.F32(m.shininess);
    out.F32(m.transparency);
    out.I8(m.mode);
    out.Fixed(m.texture, kFileName);
    out.Fixed(m.alphamap, kFileName);
  }

  out.F32(fps);
  out.F32(currentTime);
  out.I32(totalFrames);

  out.U16(static_cast<uint16_t>(joints.size()));
  for (const Joint& j : joints) {
    out.U8(j.flags);
    out.Fixed(j.name, kName);
    out.Fixed(j.parent, kName);
    out.Vec(j.rotation);
    out.Vec(j.position);
    out.U16(static_cast<uint16_t>(j.rotationKeys.size()));
    out.U16(static_cast<uint16_t>(j.translationKeys.size()));
    WriteKeys(out, j.rotationKeys);
    WriteKeys(out, j.translationKeys);
  }

  out.bytes += trailer;
  return out.bytes;
}

bool MS3DWriter::WriteFile(const std::string& path) const {
  const std::string bytes = Bytes();
  if (bytes.empty()) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}
