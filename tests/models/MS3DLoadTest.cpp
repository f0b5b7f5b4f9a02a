#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include "models/MS3D.h"
#include "tests/models/ModelTestSupport.h"
#include "util/MemoryStream.h"

namespace {

constexpr const char* kInvalid = "Not a valid MS3D file!";
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST(MS3DLoad, ReadsEveryFieldAndStopsAfterTheLastJoint) {
  MS3DWriter w = ArmModel();
  w.vertices[2].flags = 7;
  w.vertices[2].referenceCount = 3;
  w.triangles[1].flags = 0x0102;
  w.triangles[1].smoothingGroup = 9;
  w.groups[1].flags = 5;
  MS3DWriter::Material& skin = w.materials[0];
  skin.ambient = {0.1f, 0.2f, 0.3f, 0.4f};
  skin.emissive = {0.5f, 0.6f, 0.7f, 0.8f};
  skin.shininess = 12;
  skin.transparency = 0.75f;
  skin.mode = -128;
  skin.texture = "wing.tga";
  skin.alphamap = std::string(128, 'a');  // fills the field, no terminator
  w.joints[1].flags = 8;
  w.trailer = "extension sections";
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    w.version = version;
    const std::string bytes = w.Bytes();
    MemoryStream in(bytes.data(), bytes.size());
    MS3D m;
    ASSERT_TRUE(m.LoadFromFStream(&in));
    EXPECT_EQ(static_cast<size_t>(in.tellg()), bytes.size() - w.trailer.size());

    ASSERT_TRUE(m.numVertices == 7 && m.numTriangles == 3 && m.numGroups == 2 && m.numMaterials == 1 &&
                m.numJoints == 2);
    const MS3D_VERTEX& v = m.vertices[2];
    const MS3D_TRIANGLE& t = m.triangles[1];
    const MS3D_GROUP& g = m.groups[0];
    const MS3D_MATERIAL& mat = m.materials[0];
    const MS3D_JOINT& elbow = m.joints[1];
    const std::pair<double, double> fields[] = {  // as read, as written
        {v.flags, 7}, {v.referenceCount, 3}, {v.boneId, 1}, {m.vertices[4].boneId, -1},
        {m.vertices[3].vertex[2], 1}, {t.flags, 0x0102}, {t.vertexIndices[0], 1}, {t.vertexIndices[1], 3},
        {t.vertexIndices[2], 2}, {t.s[1], 1}, {t.t[0], 0.25}, {t.t[1], 0.5}, {t.smoothingGroup, 9},
        {t.vertexNormals[2][2], t.vertexNormals[0][2]}, {m.triangles[2].groupIndex, 1},
        {g.numTriangles, 2}, {g.triangleIndices[1], 1}, {m.groups[1].flags, 5}, {m.groups[1].materialIndex, -1},
        {mat.ambient[3], 0.4f}, {mat.emissive[0], 0.5f}, {mat.diffuse[0], 0.8f},
        {mat.shininess, 12}, {mat.transparency, 0.75}, {mat.mode, -128}, {std::strlen(mat.alphamap), 128},
        {m.animationFPS, 30}, {m.totalFrames, 30}, {m.totalTime, 1000}, {elbow.flags, 8},
        {elbow.position[0], 2}, {elbow.numKeyFramesRot, 2}, {elbow.numKeyFramesTrans, 0},
        {elbow.keyFramesRot[0].time, 0.5},  // seconds, as read
        {elbow.keyFramesRot[1].parameter[0], static_cast<float>(kPi / 2)}, {m.joints[0].numKeyFramesTrans, 2},
        {m.joints[0].keyFramesTrans[1].parameter[1], 2},
        {m.joints[0].rotation[2], static_cast<float>(kPi / 2)},  // still radians
    };
    for (size_t i = 0; i < std::size(fields); ++i) EXPECT_EQ(fields[i].first, fields[i].second) << i;
    EXPECT_STREQ(g.name, "arm");
    EXPECT_STREQ(mat.name, "skin");
    EXPECT_STREQ(mat.texture, "wing.tga");
    EXPECT_STREQ(elbow.name, "elbow");
    EXPECT_STREQ(elbow.parentName, "shoulder");
  }
}

TEST(MS3DLoad, RefusesHostileFilesAndKeepsTheModelItHad) {
  using Spoil = std::function<void(MS3DWriter&)>;
  const struct {
    const char* what;
    Spoil spoil;
    bool accepted;
  } rows[] = {
      {"version 2", [](MS3DWriter& w) { w.version = 2; }, false},
      {"version 5", [](MS3DWriter& w) { w.version = 5; }, false},
      {"version -1", [](MS3DWriter& w) { w.version = -1; }, false},
      {"first id byte", [](MS3DWriter& w) { w.id[0] = 'x'; }, false},
      {"last id byte", [](MS3DWriter& w) { w.id[9] = 'x'; }, false},
      {"last vertex", [](MS3DWriter& w) { w.triangles[0].vertices[2] = 6; }, true},
      {"vertex index == count", [](MS3DWriter& w) { w.triangles[0].vertices[2] = 7; }, false},
      {"last triangle", [](MS3DWriter& w) { w.groups[1].triangles.push_back(2); }, true},
      {"triangle index == count", [](MS3DWriter& w) { w.groups[1].triangles.push_back(3); }, false},
      {"material index == count", [](MS3DWriter& w) { w.groups[1].material = 1; }, false},
      {"material index -2", [](MS3DWriter& w) { w.groups[1].material = -2; }, false},
      {"last joint", [](MS3DWriter& w) { w.vertices[4].boneId = 1; }, true},
      {"bone id == count", [](MS3DWriter& w) { w.vertices[4].boneId = 2; }, false},
      {"bone id -2", [](MS3DWriter& w) { w.vertices[4].boneId = -2; }, false},
      {"parent after child",
       [](MS3DWriter& w) {
         std::swap(w.joints[0], w.joints[1]);
         for (auto& v : w.vertices) v.boneId = -1;
       },
       false},
      {"own parent", [](MS3DWriter& w) { w.joints[1].parent = "elbow"; }, false},
      {"equal key times", [](MS3DWriter& w) { w.joints[1].rotationKeys[1].time = 0.5f; }, true},
      {"falling rotation times", [](MS3DWriter& w) { w.joints[1].rotationKeys[1].time = 0.25f; }, false},
      {"falling translation times", [](MS3DWriter& w) { w.joints[0].translationKeys[0].time = 2; }, false},
      {"NaN translation time", [](MS3DWriter& w) { w.joints[0].translationKeys[0].time = kNaN; }, false},
      // One infinite vertex keeps a butterfly from ever landing; NaN bone
      // data draws nothing.
      {"infinite vertex", [](MS3DWriter& w) { w.vertices[3].position.y = kInf; }, false},
      {"NaN joint rotation", [](MS3DWriter& w) { w.joints[1].rotation.x = kNaN; }, false},
      {"infinite joint position", [](MS3DWriter& w) { w.joints[0].position.z = -kInf; }, false},
      {"infinite key time", [](MS3DWriter& w) { w.joints[1].rotationKeys.back().time = kInf; }, false},
      {"NaN rotation key", [](MS3DWriter& w) { w.joints[0].rotationKeys[1].value.z = kNaN; }, false},
      {"infinite translation key", [](MS3DWriter& w) { w.joints[0].translationKeys[1].value.y = kInf; }, false},
      {"NaN frame rate", [](MS3DWriter& w) { w.fps = kNaN; }, false},
      {"infinite frame rate", [](MS3DWriter& w) { w.fps = kInf; }, false},
  };
  ReportRecorder reports;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    MS3DWriter w = ArmModel();
    row.spoil(w);
    MS3D model;
    ASSERT_TRUE(LoadBytes(&model, QuadModel(0, 0, 1, 1).Bytes()));
    reports.Clear();
    EXPECT_EQ(LoadBytes(&model, w.Bytes()), row.accepted);
    EXPECT_EQ(LastReport(), row.accepted ? "" : kInvalid);
    EXPECT_EQ(model.numVertices, row.accepted ? 7 : 4);
    EXPECT_EQ(model.vertices.size(), row.accepted ? 7u : 4u);
  }
  MS3DWriter boneless = QuadModel(0, 0, 1, 1);
  boneless.vertices[0].boneId = 0;  // no joints at all
  MS3D model;
  EXPECT_FALSE(LoadBytes(&model, boneless.Bytes()));
  EXPECT_FALSE(model.LoadFromFStream(nullptr));

  // Every truncation, down to nothing.
  const std::string bytes = ArmModel().Bytes();
  ASSERT_TRUE(LoadBytes(&model, QuadModel(0, 0, 1, 1).Bytes()));
  for (size_t length = 0; length < bytes.size(); ++length) {
    reports.Clear();
    ASSERT_FALSE(LoadBytes(&model, bytes.substr(0, length))) << length;
    ASSERT_EQ(LastReport(), kInvalid) << length;
    ASSERT_EQ(model.numVertices, 4) << length;
  }
}

TEST(MS3DLoad, ParentsAreMatchedByTheirFirst32Bytes) {
  // Names that fill all 32 bytes carry no terminator; they still match, and
  // the 33rd character of a longer name is not part of it. The first joint of
  // a name is the parent; an unmatched name makes a root.
  const std::string longName(32, 'w');
  MS3DWriter w = ArmModel();
  w.joints[0].name = longName;
  w.joints[1].parent = longName + "tail";
  w.AddJoint(longName, "elbow", {}, {});
  w.AddJoint("hand", longName, {}, {});
  w.AddJoint("thumb", "nobody", {}, {});
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
  EXPECT_EQ(std::string(m.joints[0].name), longName);
  EXPECT_TRUE(m.skeleton.empty());
  m.InitialSetup();
  ASSERT_EQ(m.skeleton.size(), 5u);
  for (int j = 0; j < 5; ++j) EXPECT_EQ(m.skeleton[j].parent, (std::vector<int>{-1, 0, 1, 0, -1})[j]) << j;
}

TEST(MS3DLoad, ScaleChangesLengthsOnly) {
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, ArmModel().Bytes()));
  m.Scale(2.0f);
  EXPECT_TRUE(Near(V(m.vertices[3].vertex), {4, 4, 2}, 0));
  EXPECT_TRUE(Near(V(m.joints[1].position), {4, 0, 0}, 0));
  EXPECT_EQ(m.joints[0].keyFramesTrans[1].parameter[1], 4.0f);
  EXPECT_EQ(m.joints[0].keyFramesTrans[1].time, 1.0f);
  EXPECT_FLOAT_EQ(m.joints[0].keyFramesRot[1].parameter[2], static_cast<float>(kPi / 2));
}
