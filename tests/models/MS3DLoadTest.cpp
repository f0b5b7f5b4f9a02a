#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <utility>
#include <limits>
#include <string>

#include "models/MS3D.h"
#include "tests/models/ModelTestSupport.h"
#include "tests/support/TempDir.h"
#include "util/MemoryStream.h"

namespace {

constexpr const char* kInvalid = "Not a valid MS3D file!";

// Expects `writer` to be refused with kInvalid, leaving a loaded model as it was.
void ExpectRefused(const MS3DWriter& writer, const char* what) {
  SCOPED_TRACE(what);
  MS3D model;
  ASSERT_TRUE(LoadBytes(&model, QuadModel(0, 0, 1, 1).Bytes()));
  ReportRecorder reports;
  EXPECT_FALSE(LoadBytes(&model, writer.Bytes()));
  EXPECT_EQ(reports.last(), kInvalid);
  EXPECT_EQ(model.numVertices, 4);
  EXPECT_EQ(model.vertices.size(), 4u);
  EXPECT_EQ(model.numGroups, 1);
}

void ExpectAccepted(const MS3DWriter& writer, const char* what) {
  SCOPED_TRACE(what);
  MS3D model;
  ReportRecorder reports;
  EXPECT_TRUE(LoadBytes(&model, writer.Bytes()));
  EXPECT_TRUE(reports.messages().empty());
}

}  // namespace

TEST(MS3DLoad, ReadsEveryFieldAndStopsAfterTheLastJoint) {
  MS3DWriter w = ArmModel();
  w.vertices[2].flags = 7;
  w.vertices[2].referenceCount = 3;
  w.triangles[1].flags = 0x0102;
  w.triangles[1].smoothingGroup = 9;
  w.groups[1].flags = 5;
  MS3DWriter::Material& mat = w.materials[0];
  mat.ambient = {0.1f, 0.2f, 0.3f, 0.4f};
  mat.emissive = {0.5f, 0.6f, 0.7f, 0.8f};
  mat.shininess = 12;
  mat.transparency = 0.75f;
  mat.mode = -128;
  mat.texture = "wing.tga";
  mat.alphamap = std::string(128, 'a');  // fills the field, no terminator
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

    ASSERT_EQ(m.numVertices, 7);
    EXPECT_EQ(m.vertices[2].flags, 7);
    EXPECT_EQ(m.vertices[2].referenceCount, 3);
    EXPECT_EQ(m.vertices[2].boneId, 1);
    EXPECT_EQ(m.vertices[4].boneId, -1);
    EXPECT_TRUE(Near(V(m.vertices[3].vertex), {2, 2, 1}, 0));

    ASSERT_EQ(m.numTriangles, 3);
    const MS3D_TRIANGLE& t = m.triangles[1];
    EXPECT_EQ(t.flags, 0x0102);
    EXPECT_EQ(t.vertexIndices[0], 1);
    EXPECT_EQ(t.vertexIndices[1], 3);
    EXPECT_EQ(t.vertexIndices[2], 2);
    EXPECT_EQ(t.s[1], 1.0f);
    EXPECT_EQ(t.t[0], 0.25f);
    EXPECT_EQ(t.t[1], 0.5f);
    EXPECT_TRUE(Near(V(t.vertexNormals[2]), V(t.vertexNormals[0]), 0));
    EXPECT_EQ(t.smoothingGroup, 9);
    EXPECT_EQ(m.triangles[2].groupIndex, 1);

    ASSERT_EQ(m.numGroups, 2);
    EXPECT_STREQ(m.groups[0].name, "arm");
    EXPECT_EQ(m.groups[0].numTriangles, 2);
    EXPECT_EQ(m.groups[0].triangleIndices[1], 1);
    EXPECT_EQ(m.groups[0].materialIndex, 0);
    EXPECT_EQ(m.groups[1].flags, 5);
    EXPECT_EQ(m.groups[1].materialIndex, -1);

    ASSERT_EQ(m.numMaterials, 1);
    const MS3D_MATERIAL& mm = m.materials[0];
    EXPECT_STREQ(mm.name, "skin");
    EXPECT_EQ(mm.ambient[3], 0.4f);
    EXPECT_EQ(mm.emissive[0], 0.5f);
    EXPECT_EQ(mm.diffuse[0], 0.8f);
    EXPECT_EQ(mm.shininess, 12.0f);
    EXPECT_EQ(mm.transparency, 0.75f);
    EXPECT_EQ(mm.mode, -128);
    EXPECT_STREQ(mm.texture, "wing.tga");
    EXPECT_EQ(std::strlen(mm.alphamap), 128u);

    EXPECT_EQ(m.animationFPS, 30.0f);
    EXPECT_EQ(m.totalFrames, 30);
    EXPECT_EQ(m.totalTime, 1000.0f);

    ASSERT_EQ(m.numJoints, 2);
    const MS3D_JOINT& elbow = m.joints[1];
    EXPECT_EQ(elbow.flags, 8);
    EXPECT_STREQ(elbow.name, "elbow");
    EXPECT_STREQ(elbow.parentName, "shoulder");
    EXPECT_TRUE(Near(V(elbow.position), {2, 0, 0}, 0));
    EXPECT_EQ(elbow.numKeyFramesRot, 2);
    EXPECT_EQ(elbow.numKeyFramesTrans, 0);
    EXPECT_EQ(elbow.keyFramesRot[0].time, 0.5f);  // seconds, as read
    EXPECT_FLOAT_EQ(elbow.keyFramesRot[1].parameter[0], static_cast<float>(kPi / 2));
    EXPECT_EQ(m.joints[0].keyFramesTrans[1].parameter[1], 2.0f);
    EXPECT_TRUE(m.skeleton.empty());
    EXPECT_FLOAT_EQ(m.joints[0].rotation[2], static_cast<float>(kPi / 2));  // still radians
  }
}

TEST(MS3DLoad, RefusesAWrongIdOrVersion) {
  for (int version : {2, 5, -1}) {
    MS3DWriter w = QuadModel(0, 0, 2, 2);
    w.version = version;
    ExpectRefused(w, ("version " + std::to_string(version)).c_str());
  }
  for (int i = 0; i < 10; ++i) {
    MS3DWriter w = QuadModel(0, 0, 2, 2);
    w.id[i] = w.id[i] == 'x' ? 'y' : 'x';
    ExpectRefused(w, ("id byte " + std::to_string(i)).c_str());
  }
  {
    ReportRecorder reports;
    MS3D m;
    EXPECT_FALSE(m.LoadFromFStream(nullptr));
    EXPECT_EQ(reports.last(), kInvalid);
  }
}

TEST(MS3DLoad, ModelWithoutJointsReadsFully) {
  MS3DWriter w = QuadModel(0, 0, 1, 1);
  w.fps = 24;
  w.totalFrames = 12;
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
  EXPECT_EQ(m.numJoints, 0);
  EXPECT_EQ(m.totalTime, 500.0f);
  m.InitialSetup();
  EXPECT_TRUE(m.skeleton.empty());
  EXPECT_TRUE(Near(V(m.vertices[2].vertex), {1, 1, 0}, 0));
}

TEST(MS3DLoad, RefusesEveryTruncation) {
  const std::string bytes = ArmModel().Bytes();
  MS3D model;
  ASSERT_TRUE(LoadBytes(&model, QuadModel(0, 0, 1, 1).Bytes()));
  ReportRecorder reports;
  for (size_t length = 0; length < bytes.size(); ++length) {
    reports.clear();
    ASSERT_FALSE(LoadBytes(&model, bytes.substr(0, length))) << length;
    ASSERT_EQ(reports.last(), kInvalid) << length;
    ASSERT_EQ(model.numVertices, 4) << length;
  }
}

TEST(MS3DLoad, ValidatesEveryIndexAgainstItsCount) {
  {
    MS3DWriter w = ArmModel();
    w.triangles[0].vertices[2] = 6;  // the last vertex
    ExpectAccepted(w, "last vertex");
    w.triangles[0].vertices[2] = 7;
    ExpectRefused(w, "vertex index == numVertices");
  }
  {
    MS3DWriter w = ArmModel();
    w.groups[1].triangles.push_back(2);
    ExpectAccepted(w, "last triangle");
    w.groups[1].triangles.push_back(3);
    ExpectRefused(w, "triangle index == numTriangles");
  }
  {
    MS3DWriter w = ArmModel();
    w.groups[1].material = 1;
    ExpectRefused(w, "material index == numMaterials");
    w.groups[1].material = -2;
    ExpectRefused(w, "material index -2");
  }
  {
    MS3DWriter w = ArmModel();
    w.vertices[4].boneId = 1;
    ExpectAccepted(w, "last joint");
    w.vertices[4].boneId = 2;
    ExpectRefused(w, "bone id == numJoints");
    w.vertices[4].boneId = -2;
    ExpectRefused(w, "bone id -2");
  }
  {
    MS3DWriter w = QuadModel(0, 0, 1, 1);
    w.vertices[0].boneId = 0;  // no joints at all
    ExpectRefused(w, "bone without joints");
  }
}

TEST(MS3DLoad, ParentsMustComeFirstAndNamesAreBoundedBy32Bytes) {
  {
    MS3DWriter w = ArmModel();
    std::swap(w.joints[0], w.joints[1]);  // child before its parent
    for (auto& v : w.vertices) v.boneId = -1;
    ExpectRefused(w, "parent after child");
  }
  {
    MS3DWriter w = ArmModel();
    w.joints[1].parent = "elbow";
    ExpectRefused(w, "own parent");
  }
  {
    MS3DWriter w = ArmModel();
    w.joints[1].parent = "nobody";
    MS3D m;
    ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
    m.InitialSetup();
    EXPECT_EQ(m.skeleton[1].parent, -1) << "an unmatched name makes a root";
  }
  {
    // Names that fill all 32 bytes carry no terminator; they still match,
    // and the 33rd character of a longer name is not part of it.
    const std::string longName(32, 'w');
    MS3DWriter w = ArmModel();
    w.joints[0].name = longName;
    w.joints[1].parent = longName + "tail";
    MS3D m;
    ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
    EXPECT_EQ(std::string(m.joints[0].name), longName);
    m.InitialSetup();
    EXPECT_EQ(m.skeleton[1].parent, 0);
  }
  {
    // The first joint of a name is the parent, even when a later one shares it.
    MS3DWriter w = ArmModel();
    w.AddJoint("shoulder", "elbow", {}, {});
    w.AddJoint("hand", "shoulder", {}, {});
    MS3D m;
    ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
    m.InitialSetup();
    EXPECT_EQ(m.skeleton[2].parent, 1);
    EXPECT_EQ(m.skeleton[3].parent, 0);
  }
}

TEST(MS3DLoad, RefusesFallingKeyTimes) {
  {
    MS3DWriter w = ArmModel();
    w.joints[1].rotationKeys[1].time = 0.5f;  // equal: playable
    ExpectAccepted(w, "equal rotation times");
    w.joints[1].rotationKeys[1].time = 0.25f;
    ExpectRefused(w, "falling rotation times");
  }
  {
    MS3DWriter w = ArmModel();
    w.joints[0].translationKeys[0].time = 2.0f;
    ExpectRefused(w, "falling translation times");
    w.joints[0].translationKeys[0].time = std::numeric_limits<float>::quiet_NaN();
    ExpectRefused(w, "NaN translation time");
  }
}

TEST(MS3DLoad, RefusesNonFiniteNumbers) {
  // One infinite vertex keeps a butterfly from ever landing; NaN bone data
  // draws nothing.
  const float kInf = std::numeric_limits<float>::infinity();
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const std::pair<const char*, std::function<void(MS3DWriter&)>> cases[] = {
      {"infinite vertex", [&](MS3DWriter& w) { w.vertices[3].position.y = kInf; }},
      {"NaN joint rotation", [&](MS3DWriter& w) { w.joints[1].rotation.x = kNaN; }},
      {"infinite joint position", [&](MS3DWriter& w) { w.joints[0].position.z = -kInf; }},
      {"infinite key time", [&](MS3DWriter& w) { w.joints[1].rotationKeys.back().time = kInf; }},
      {"NaN rotation key", [&](MS3DWriter& w) { w.joints[0].rotationKeys[1].value.z = kNaN; }},
      {"infinite translation key", [&](MS3DWriter& w) { w.joints[0].translationKeys[1].value.y = kInf; }},
      {"NaN frame rate", [&](MS3DWriter& w) { w.fps = kNaN; }},
      {"infinite frame rate", [&](MS3DWriter& w) { w.fps = kInf; }},
  };
  for (const auto& [what, spoil] : cases) {
    MS3DWriter w = ArmModel();
    spoil(w);
    ExpectRefused(w, what);
  }
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
  EXPECT_FLOAT_EQ(m.joints[0].rotation[2], static_cast<float>(kPi / 2));
  EXPECT_EQ(m.joints[1].keyFramesRot[0].time, 0.5f);
}

TEST(MS3DLoad, LoadsByPath) {
  TempDir dir;
  ReportRecorder reports;
  MS3D m;
  EXPECT_FALSE(m.Load(dir.File("missing.ms3d").c_str()));
  EXPECT_EQ(reports.last(), "Coun't open the damn MS3D file!");
  EXPECT_FALSE(m.Load(nullptr));

  ASSERT_TRUE(ArmModel().WriteFile(dir.File("arm.ms3d")));
  EXPECT_TRUE(m.Load(dir.File("arm.ms3d").c_str()));
  EXPECT_EQ(m.numJoints, 2);

  reports.clear();
  EXPECT_FALSE(m.Load(dir.Write("junk.ms3d", "MS3D000000").c_str()));
  EXPECT_EQ(reports.last(), kInvalid);
  EXPECT_EQ(m.numJoints, 2);
}
