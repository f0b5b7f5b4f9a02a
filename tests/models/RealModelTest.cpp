// Models saved by the MilkShape 3D modeller itself, read from inside a lump
// container as the butterfly type loader reads them. Skipped when the shared
// test data is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "datafiles/BFLYFILE.h"
#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "tests/models/ModelTestSupport.h"
#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"

namespace {

struct RealModel {
  const char* file;
  int vertices, triangles, groups, materials;
  float fps;
  int frames, joints, keys;
  size_t classicBytes;
};

constexpr RealModel kModels[] = {
    {"dwarf1.ms3d", 979, 1896, 4, 2, 30, 400, 46, 14148, 382745},
    {"jeep1.ms3d", 1190, 2032, 7, 1, 1, 1, 0, 0, 164803},
    {"twospheres.ms3d", 124, 240, 2, 0, 24, 30, 0, 0, 19248},
    {"twospheres_withmats.ms3d", 124, 240, 2, 2, 24, 30, 0, 0, 19970},
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Loads `name` from lump 0 of a butterfly type file, with an image lump
// after it; `end` receives the stream position after reading, relative to
// the lump's start.
bool LoadFromContainer(const std::string& name, MS3D* model, size_t* end) {
  const std::string bytes = ReadFile(std::string(WINGDRIFT_TESTDATA) + "/ms3d/" + name);
  if (bytes.empty()) return false;
  TempDir dir;
  LumpSpec modelLump;
  modelLump.bytes = bytes;
  modelLump.type = 0;
  LumpSpec image;
  image.bytes = "not read";
  const std::string path = dir.Write("model.bfly", MakeBflyFile(BflyHeaderSpec{}, {modelLump, image}));
  BFLYFILE file;
  if (!file.Open(path.c_str()) || !file.SeekLump(0)) return false;
  const bool ok = model->LoadFromFStream(&file.stream);
  *end = static_cast<size_t>(file.stream.tellg()) - file.directory[0].offset;
  return ok;
}

bool HaveTestData() {
  return std::filesystem::is_directory(std::string(WINGDRIFT_TESTDATA) + "/ms3d");
}

bool Finite(VECTOR3D v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

TEST(RealModels, ReadFromAContainerAndRestoreTheirBindPose) {
  if (!HaveTestData()) GTEST_SKIP() << "no shared test data at " << WINGDRIFT_TESTDATA;
  for (const RealModel& expected : kModels) {
    SCOPED_TRACE(expected.file);
    MS3D m;
    size_t end = 0;
    ASSERT_TRUE(LoadFromContainer(expected.file, &m, &end));
    EXPECT_EQ(end, expected.classicBytes) << "stops after the last joint";
    EXPECT_EQ(m.numVertices, expected.vertices);
    EXPECT_EQ(m.numTriangles, expected.triangles);
    EXPECT_EQ(m.numGroups, expected.groups);
    EXPECT_EQ(m.numMaterials, expected.materials);
    EXPECT_EQ(m.animationFPS, expected.fps);
    EXPECT_EQ(m.totalFrames, expected.frames);
    EXPECT_EQ(m.numJoints, expected.joints);
    int keys = 0;
    for (const MS3D_JOINT& j : m.joints) keys += j.numKeyFramesRot + j.numKeyFramesTrans;
    EXPECT_EQ(keys, expected.keys);

    const MS3D read = m;
    float extent = 1.0f;
    for (const MS3D_VERTEX& v : read.vertices)
      for (float c : v.vertex) extent = std::max(extent, std::fabs(c));
    m.InitialSetup();
    m.UpdatePoints();
    float worstPosition = 0, worstNormal = 0;
    for (size_t i = 0; i < read.vertices.size(); ++i)
      for (int c = 0; c < 3; ++c)
        worstPosition =
            std::max(worstPosition, std::fabs(m.vertices[i].vertex[c] - read.vertices[i].vertex[c]));
    for (size_t t = 0; t < read.triangles.size(); ++t)
      for (int corner = 0; corner < 3; ++corner)
        for (int c = 0; c < 3; ++c)
          worstNormal = std::max(worstNormal, std::fabs(m.triangles[t].vertexNormals[corner][c] -
                                                        read.triangles[t].vertexNormals[corner][c]));
    EXPECT_LE(worstPosition, 1e-5f * extent);
    EXPECT_LE(worstNormal, 1e-5f);
  }
}

TEST(RealModels, DwarfPlaysAllItsFramesAsModelAndAsInstance) {
  if (!HaveTestData()) GTEST_SKIP() << "no shared test data at " << WINGDRIFT_TESTDATA;
  MS3D m;
  size_t end = 0;
  ASSERT_TRUE(LoadFromContainer("dwarf1.ms3d", &m, &end));
  m.InitialSetup();
  ANIMATIONTEMPLATE animTemplate;
  ASSERT_TRUE(animTemplate.Setup(&m));
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&animTemplate, &m, nullptr));
  EXPECT_GT(inst.numVerts, m.numVertices);  // split where normals or coordinates differ
  EXPECT_EQ(inst.numTriangles, 1896);

  m.UpdatePoints();
  m.SetAnimation(0, 400, 1000, false, false);
  inst.SetAnimation(0, 400, 1000, false, false);
  // One frame more than 400 steps of 1/30 s: the float clock falls just
  // short of the end after exactly 400.
  for (int frame = 1; frame <= 401; ++frame) {
    m.RevertPoints();
    m.Animate(1.0 / 30);
    m.UpdateSkeleton();
    m.UpdatePoints();
    inst.Update(1.0 / 30);
    for (const MODELVERTEX& v : inst.vertexBuffer)
      ASSERT_TRUE(Finite(v.position) && Finite(v.normal)) << "frame " << frame;
    if (frame % 50 != 0) continue;
    // Every corner of the instance sits where the model's vertex does.
    size_t n = 0;
    for (const MS3D_GROUP& g : m.groups)
      for (uint16_t t : g.triangleIndices)
        for (int c = 0; c < 3; ++c, ++n)
          ASSERT_TRUE(Near(inst.vertexBuffer[inst.indices[n]].position,
                           V(m.vertices[m.triangles[t].vertexIndices[c]].vertex), 1e-3f))
              << "frame " << frame << " corner " << n;
  }
  EXPECT_EQ(inst.currentTime, m.Frame(400));
  EXPECT_EQ(m.currentTime, m.Frame(400));
}
