// Reading MilkShape 3D models: written by the writer, spoiled on purpose,
// and as saved by the modeller itself.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "models/MS3D.h"
#include "tests/models/ModelTestSupport.h"
#include "tests/support/ReadFile.h"

namespace {

using W = MS3DWriter;
constexpr const char* kInvalid = "Not a valid MS3D file!";
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST(MS3DLoad, ReadsEveryFieldStopsAfterTheLastJointAndScales) {
  MS3DWriter w = ArmModel();
  MS3DWriter::Material& skin = w.materials[0];
  skin.ambient = {0.1f, 0.2f, 0.3f, 0.4f};
  skin.transparency = 0.75f;
  skin.mode = -128;
  skin.texture = "wing.tga";
  skin.alphamap = std::string(128, 'a');  // fills the field, no terminator
  w.joints[1].flags = 8;
  w.trailer = "extension sections";
  w.version = 3;  // the oldest version read; the writer's own is 4
  const std::string bytes = w.Bytes();
  MemoryStream in(bytes.data(), bytes.size());
  MS3D m;
  ASSERT_TRUE(m.LoadFromFStream(&in));
  EXPECT_EQ(static_cast<size_t>(in.tellg()), bytes.size() - w.trailer.size());

  ASSERT_TRUE(m.numVertices == 7 && m.numTriangles == 3 && m.numGroups == 2 &&
              m.numMaterials == 1 && m.numJoints == 2);
  const MS3D_TRIANGLE& t = m.triangles[1];
  const MS3D_GROUP& g = m.groups[0];
  const MS3D_MATERIAL& mat = m.materials[0];
  const MS3D_JOINT& elbow = m.joints[1];
  const std::pair<double, double> fields[] = {  // as read, as written
      {m.vertices[2].boneId, 1}, {m.vertices[4].boneId, -1}, {m.vertices[3].vertex[2], 1},
      {t.vertexIndices[0], 1}, {t.vertexIndices[1], 3}, {t.vertexIndices[2], 2}, {t.s[1], 1},
      {t.t[0], 0.25}, {t.t[1], 0.5}, {t.vertexNormals[2][2], t.vertexNormals[0][2]},
      {m.triangles[2].groupIndex, 1}, {g.numTriangles, 2}, {g.triangleIndices[1], 1},
      {m.groups[1].materialIndex, -1}, {mat.ambient[3], 0.4f}, {mat.diffuse[0], 0.8f},
      {mat.transparency, 0.75}, {mat.mode, -128}, {std::strlen(mat.alphamap), 128},
      {m.animationFPS, 30}, {m.totalFrames, 30}, {m.totalTime, 1000}, {elbow.flags, 8},
      {elbow.position[0], 2}, {elbow.numKeyFramesRot, 2}, {elbow.numKeyFramesTrans, 0},
      {elbow.keyFramesRot[0].time, 0.5},  // seconds, as read
      {elbow.keyFramesRot[1].parameter[0], static_cast<float>(kPi / 2)},
      {m.joints[0].numKeyFramesTrans, 2}, {m.joints[0].keyFramesTrans[1].parameter[1], 2},
      {m.joints[0].rotation[2], static_cast<float>(kPi / 2)},  // still radians
  };
  for (size_t i = 0; i < std::size(fields); ++i)
    EXPECT_EQ(fields[i].first, fields[i].second) << i;
  EXPECT_EQ((std::vector<std::string>{g.name, mat.name, mat.texture, elbow.parentName}),
            (std::vector<std::string>{"arm", "skin", "wing.tga", "shoulder"}));

  // Scaling changes lengths only: not key times, not rotations.
  m.Scale(2.0f);
  EXPECT_TRUE(Near(V(m.vertices[3].vertex), {4, 4, 2}, 0));
  EXPECT_TRUE(Near(V(elbow.position), {4, 0, 0}, 0));
  EXPECT_EQ(m.joints[0].keyFramesTrans[1].parameter[1], 4.0f);
  EXPECT_EQ(m.joints[0].keyFramesTrans[1].time, 1.0f);
  EXPECT_EQ(elbow.keyFramesRot[1].parameter[0], static_cast<float>(kPi / 2));
}

TEST(MS3DLoad, RefusesHostileFilesAndKeepsTheModelItHad) {
  const struct {
    const char* what;
    void (*spoil)(W&);
    bool accepted;
  } rows[] = {
      {"version 2", [](W& w) { w.version = 2; }, false},
      {"version 5", [](W& w) { w.version = 5; }, false},
      {"last id byte", [](W& w) { w.id[9] = 'x'; }, false},
      {"last vertex", [](W& w) { w.triangles[0].vertices[2] = 6; }, true},
      {"vertex index == count", [](W& w) { w.triangles[0].vertices[2] = 7; }, false},
      {"last triangle", [](W& w) { w.groups[1].triangles.push_back(2); }, true},
      {"triangle index == count", [](W& w) { w.groups[1].triangles.push_back(3); }, false},
      {"material index == count", [](W& w) { w.groups[1].material = 1; }, false},
      {"material index -2", [](W& w) { w.groups[1].material = -2; }, false},
      {"last joint", [](W& w) { w.vertices[4].boneId = 1; }, true},
      {"bone id == count", [](W& w) { w.vertices[4].boneId = 2; }, false},
      {"bone id -2", [](W& w) { w.vertices[4].boneId = -2; }, false},
      {"own parent", [](W& w) { w.joints[1].parent = "elbow"; }, false},
      {"parent after child", [](W& w) { w.joints[0].parent = "elbow"; }, false},
      {"equal key times", [](W& w) { w.joints[1].rotationKeys[1].time = 0.5f; }, true},
      {"falling rotation times", [](W& w) { w.joints[1].rotationKeys[1].time = 0.25f; }, false},
      {"falling translation times", [](W& w) { w.joints[0].translationKeys[0].time = 2; }, false},
      // One infinite vertex keeps a butterfly from ever landing; NaN bone
      // data draws nothing.
      {"infinite vertex", [](W& w) { w.vertices[3].position.y = kInf; }, false},
      {"NaN joint rotation", [](W& w) { w.joints[1].rotation.x = kNaN; }, false},
      {"infinite joint position", [](W& w) { w.joints[0].position.z = -kInf; }, false},
      {"infinite key time", [](W& w) { w.joints[1].rotationKeys.back().time = kInf; }, false},
      {"NaN rotation key", [](W& w) { w.joints[0].rotationKeys[1].value.z = kNaN; }, false},
      {"NaN frame rate", [](W& w) { w.fps = kNaN; }, false},
  };
  ReportRecorder reports;
  const auto expectKept = [&](const std::string& bytes, bool accepted) {
    MS3D model;
    ASSERT_TRUE(LoadBytes(&model, QuadModel(0, 0, 1, 1).Bytes()));
    reports.Clear();
    EXPECT_EQ(LoadBytes(&model, bytes), accepted);
    EXPECT_EQ(LastReport(), accepted ? "" : kInvalid);
    const size_t vertices = accepted ? 7 : 4;
    EXPECT_TRUE(model.numVertices == vertices && model.vertices.size() == vertices);
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    MS3DWriter w = ArmModel();
    row.spoil(w);
    expectKept(w.Bytes(), row.accepted);
  }
  // Every truncation, down to nothing.
  const std::string bytes = ArmModel().Bytes();
  for (size_t length = 0; length < bytes.size() && !HasFailure(); ++length) {
    SCOPED_TRACE(length);
    expectKept(bytes.substr(0, length), false);
  }
  EXPECT_FALSE(MS3D().LoadFromFStream(nullptr));
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
  std::vector<int> parents;
  for (const auto& joint : m.skeleton) parents.push_back(joint.parent);
  EXPECT_EQ(parents, (std::vector<int>{-1, 0, 1, 0, -1}));
}

// Skipped when the shared test data is absent.
TEST(MS3DLoad, ReadsModelsAsSavedByTheModeller) {
  const std::string folder = std::string(WINGDRIFT_TESTDATA) + "/ms3d/";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no shared test data at " << folder;
  const struct {
    const char* file;
    std::vector<int> counts;  // vertices, triangles, groups, materials, frames, joints, keys
    float fps;
    size_t classicBytes;  // where the reader stops: after the last joint
  } models[] = {
      {"dwarf1.ms3d", {979, 1896, 4, 2, 400, 46, 14148}, 30, 382745},
      {"jeep1.ms3d", {1190, 2032, 7, 1, 1, 0, 0}, 1, 164803},
      {"twospheres.ms3d", {124, 240, 2, 0, 30, 0, 0}, 24, 19248},
      {"twospheres_withmats.ms3d", {124, 240, 2, 2, 30, 0, 0}, 24, 19970},
  };
  for (const auto& expected : models) {
    SCOPED_TRACE(expected.file);
    const std::string bytes = ReadFile(folder + expected.file);
    MemoryStream in(bytes.data(), bytes.size());
    MS3D m;
    ASSERT_TRUE(m.LoadFromFStream(&in));
    EXPECT_EQ(static_cast<size_t>(in.tellg()), expected.classicBytes);
    int keys = 0;
    for (const MS3D_JOINT& j : m.joints) keys += j.numKeyFramesRot + j.numKeyFramesTrans;
    EXPECT_EQ((std::vector<int>{m.numVertices, m.numTriangles, m.numGroups, m.numMaterials,
                                m.totalFrames, m.numJoints, keys}),
              expected.counts);
    EXPECT_EQ(m.animationFPS, expected.fps);
  }
}
