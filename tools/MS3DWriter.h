#pragma once
// Writes MilkShape 3D models (id "MS3D000000", versions 3 and 4) in the
// classic layout: vertices, triangles, groups, materials, the animation block
// and the joints with their key tracks, little-endian throughout. Used to
// author the shipped butterfly bodies and by tests and fuzz seeders.
//
// Fill the public description, directly or with the Add helpers, then take
// Bytes() or WriteFile(). Values are written as given: the writer does not
// check indices or key order, so tests can write broken models on purpose.
// Names are cut to 32 bytes (a 32-byte name is written without terminator),
// material file names to 128.
//
// Units as in the file: positions in model units, joint and key rotations
// as Euler angles in radians, key times in seconds.
#include <cstdint>
#include <string>
#include <vector>

#include "util/Math.h"

class MS3DWriter {
 public:
  struct Vertex {
    VECTOR3D position;
    int8_t boneId = -1;  // joint index; -1 for none
    uint8_t flags = 0;
    uint8_t referenceCount = 0;
  };

  struct Triangle {
    uint16_t vertices[3] = {0, 0, 0};
    VECTOR3D normals[3];      // per corner
    point2d uv[3];            // s, t per corner; t as the file stores it (0 at the top)
    uint8_t group = 0;        // written as the triangle's group index
    uint8_t smoothingGroup = 1;
    uint16_t flags = 0;
  };

  struct Group {
    std::string name;
    std::vector<uint16_t> triangles;  // indices into `triangles`
    int8_t material = -1;             // -1 for none
    uint8_t flags = 0;
  };

  struct Material {
    std::string name;
    COLOUR4F ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    COLOUR4F diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
    COLOUR4F specular = {0.0f, 0.0f, 0.0f, 1.0f};
    COLOUR4F emissive = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
    float transparency = 1.0f;
    int8_t mode = 0;       // negative: generated texture coordinates when drawn
    std::string texture;   // file names, stored only
    std::string alphamap;
  };

  struct Key {
    float time = 0.0f;  // seconds
    VECTOR3D value;     // Euler radians (rotation key) or translation
  };

  struct Joint {
    std::string name;
    std::string parent;  // empty for a root
    VECTOR3D rotation;   // bind rotation, Euler radians
    VECTOR3D position;   // bind translation relative to the parent
    std::vector<Key> rotationKeys;
    std::vector<Key> translationKeys;
    uint8_t flags = 0;
  };

  std::string id = "MS3D000000";  // written as exactly 10 bytes
  int32_t version = 4;
  std::vector<Vertex> vertices;
  std::vector<Triangle> triangles;
  std::vector<Group> groups;
  std::vector<Material> materials;
  float fps = 24.0f;         // frames per second
  float currentTime = 0.0f;  // the modeller's playback position, seconds
  int32_t totalFrames = 0;
  std::vector<Joint> joints;
  // Bytes written after the last joint, where the modeller puts its later
  // extension sections; readers of the classic layout leave them unread.
  std::string trailer;

  // Each returns the index of what it added.
  uint16_t AddVertex(VECTOR3D position, int8_t boneId = -1);
  // Adds a triangle with counter-clockwise corners a, b, c to group `group`
  // (which must exist) with the flat normal of its corners at every corner
  // and the given texture coordinates (zero when omitted).
  uint16_t AddTriangle(int group, uint16_t a, uint16_t b, uint16_t c);
  uint16_t AddTriangle(int group, uint16_t a, uint16_t b, uint16_t c, point2d uvA, point2d uvB,
                       point2d uvC);
  int AddGroup(const std::string& name, int8_t material = -1);
  int AddMaterial(const std::string& name);
  int AddJoint(const std::string& name, const std::string& parent, VECTOR3D rotation,
               VECTOR3D position);

  // The whole file; empty when a count does not fit in 16 bits.
  std::string Bytes() const;
  // Writes Bytes() to `path`; false when there is nothing to write or the
  // file cannot be written.
  bool WriteFile(const std::string& path) const;
};
