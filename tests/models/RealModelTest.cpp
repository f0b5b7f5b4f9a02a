// Models saved by the MilkShape 3D modeller itself. Skipped when the shared
// test data is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/models/ModelTestSupport.h"
#include "tests/support/ReadFile.h"
#include "util/MemoryStream.h"

TEST(RealModels, ReadAsSavedByTheModeller) {
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
