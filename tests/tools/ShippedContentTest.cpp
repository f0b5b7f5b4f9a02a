// The butterfly types the build generates, read through the saver's own
// loaders, and the background picture it ships. bflytool's validate checks
// the headers, the wing joints and the resource pack's images; the scene's
// frames show the pack's messages.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYFILE.h"
#include "models/MS3D.h"
#include "tests/support/GLTest.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"
#include "util/Math.h"

namespace {

const std::string kData = WINGDRIFT_BINARY_DIR "/data/";

std::vector<std::string> ShippedTypes() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kData))
    if (entry.path().extension() == ".bfly") files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  return files;
}

using ShippedContent = GLTest;

TEST_F(ShippedContent, EveryTypeHasItsSizeAndTwoSidedWings) {
  const std::vector<std::string> files = ShippedTypes();
  ASSERT_GE(files.size(), 8u);
  std::set<std::string> names;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    BFLYFILE file;
    ASSERT_TRUE(file.Open((kData + name).c_str()));
    EXPECT_TRUE(names.insert(file.header.name).second) << "display names differ";
    BFLYDATA data;
    ASSERT_TRUE(data.Load(&file, 0.7f));  // the default size setting, 70
    // With the wings flat, as the flight model opens them to 90 degrees, the
    // wingspan is about a tenth of the view's height at z = 0 (camera at 60,
    // 45 degrees vertically).
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(&data));
    b.RevertPoints(b.joints);
    b.joints[static_cast<size_t>(data.wingLeftJoint)].animMatrix = MatrixFromAngle({0, 0, 90});
    b.joints[static_cast<size_t>(data.wingRightJoint)].animMatrix = MatrixFromAngle({0, 0, -90});
    b.UpdateSkeleton();
    b.UpdatePoints(b.joints);
    const auto [least, most] = std::minmax_element(
        b.vertexBuffer.begin(), b.vertexBuffer.end(),
        [](const MODELVERTEX& p, const MODELVERTEX& q) { return p.position.x < q.position.x; });
    const double share =
        (most->position.x - least->position.x) / (120.0 * std::tan(22.5 * kPi / 180.0));
    EXPECT_GT(share, name == "GOT-F.bfly" ? 0.08 : 0.07);
    EXPECT_LT(share, name == "GOT-F.bfly" ? 0.10 : 0.115);

    // Each wing face has exactly one other side, facing the other way, so
    // that the wings show from above and below with back faces culled.
    MS3D model;
    ASSERT_TRUE(file.SeekLump(0) && model.LoadFromFStream(&file.stream));
    std::map<std::set<uint16_t>, std::vector<VECTOR3D>> sides;
    for (const MS3D_TRIANGLE& t : model.triangles) {
      if (model.vertices[t.vertexIndices[0]].boneId == 0) continue;
      const float* n = t.vertexNormals[0];
      sides[{t.vertexIndices, t.vertexIndices + 3}].push_back({n[0], n[1], n[2]});
    }
    EXPECT_GT(sides.size(), 100u);
    for (const auto& [corners, normals] : sides) {
      ASSERT_EQ(normals.size(), 2u);
      EXPECT_LT(VectorDotProduct(normals[0], normals[1]), -0.99);
    }
  }
}

// The shipped data is made at build time; made again it must be the same,
// byte for byte, or a rebuild would change what users install.
TEST(ShippedGeneration, GivesTheSameBytesEveryTimeAndAFullHdPicture) {
  TempDir dir;
  const std::string command = std::string("\"") + WINGDRIFT_BINARY_DIR +
                              "/tools/content/make_content\" \"" + dir.path() + "\" --font \"" +
                              WINGDRIFT_FONT + "\" --bold \"" + WINGDRIFT_FONT_BOLD + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<std::string> files = ShippedTypes();
  files.insert(files.end(), {"qorvane.vessimots", "Aqua Blue.jpg"});
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    const std::string shipped = ReadFile(kData + f);
    EXPECT_FALSE(shipped.empty());
    EXPECT_TRUE(shipped == ReadFile(dir.File(f)));
  }
  // The picture is a baseline JPEG whose frame header (SOF0) holds the
  // height and the width.
  const std::string jpeg = ReadFile(kData + "Aqua Blue.jpg");
  EXPECT_EQ(jpeg.substr(jpeg.find("\xFF\xC0") + 5, 4), "\x04\x38\x07\x80") << "1920 x 1080";
}

}  // namespace
