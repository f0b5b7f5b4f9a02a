// The data the build generates, read through the saver's own loaders.
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYFILE.h"
#include "datafiles/RESFILE.h"
#include "datafiles/ResourcePack.h"
#include "models/MS3D.h"
#include "tests/support/GLTest.h"
#include "tests/support/TempDir.h"
#include "tools/content/PackImages.h"
#include "util/Math.h"

namespace {

const std::string kData = WINGDRIFT_BINARY_DIR "/data/";

std::vector<std::string> ShippedTypes() {
  std::vector<std::string> files;
  if (DIR* dir = opendir(kData.c_str())) {
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name.size() > 5 && name.substr(name.size() - 5) == ".bfly") files.push_back(name);
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

VECTOR3D Vec(const float (&v)[3]) { return {v[0], v[1], v[2]}; }

using ShippedContent = GLTest;

TEST_F(ShippedContent, EveryTypeLoadsThroughTheSaversLoaderAndFollowsTheRules) {
  const std::vector<std::string> files = ShippedTypes();
  ASSERT_GE(files.size(), 8u);
  std::set<std::string> names;
  bool runLength = false, sharedAlpha = false, colourKey = false;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    BFLYFILE file;
    ASSERT_TRUE(file.Open((kData + name).c_str()));
    const BFLYHEADER& h = file.header;
    EXPECT_EQ(h.versionMajor * 100 + h.versionMinor, 100);
    EXPECT_EQ(h.flags, 0u);
    EXPECT_GT(strnlen(h.name, 40), 0u);
    EXPECT_LE(strnlen(h.name, 40), 39u);
    EXPECT_TRUE(names.insert(h.name).second) << "display names differ";
    // Between them the types take every texture loading path.
    sharedAlpha |= h.hasAlphaLump != 0;
    const size_t first = h.hasAlphaLump ? 2 : 1;
    for (size_t i = first; i < file.directory.size(); ++i) {
      std::unique_ptr<uint8_t[]> bytes;
      ASSERT_TRUE(file.LoadData(static_cast<int>(i), &bytes));
      runLength |= bytes[2] == 10;
      colourKey |= !h.hasAlphaLump && file.directory[i - first].alphaMode == 1;
    }
    BFLYDATA data;
    ASSERT_TRUE(data.Load(&file, 0.7f));  // the default size setting, 70
    EXPECT_GE(data.textureCount, 2);
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
    const auto [least, most] = std::minmax_element(b.vertexBuffer.begin(), b.vertexBuffer.end(),
        [](const MODELVERTEX& p, const MODELVERTEX& q) { return p.position.x < q.position.x; });
    const double share = (most->position.x - least->position.x) / (120.0 * std::tan(22.5 * kPi / 180.0));
    EXPECT_GT(share, name == "GOT-F.bfly" ? 0.08 : 0.07);
    EXPECT_LT(share, name == "GOT-F.bfly" ? 0.10 : 0.115);
    MS3D model;
    ASSERT_TRUE(file.SeekLump(0) && model.LoadFromFStream(&file.stream));
    ASSERT_GE(model.joints.size(), 3u);
    EXPECT_EQ(model.joints[0].parentName[0], '\0') << "joint 0 is the body, a root";
    const int left = data.wingLeftJoint, right = data.wingRightJoint;
    ASSERT_GE(left, 1);
    ASSERT_GE(right, 1);
    EXPECT_STREQ(model.joints[static_cast<size_t>(left)].name, "wingl");
    EXPECT_STREQ(model.joints[static_cast<size_t>(right)].name, "wingr");
    const float hingeY = model.joints[static_cast<size_t>(left)].position[1];

    // Triangles by their corner set, to find each wing face's other side.
    std::map<std::vector<uint16_t>, std::vector<VECTOR3D>> sides;
    int bodyTriangles = 0;
    for (const MS3D_TRIANGLE& t : model.triangles) {
      const MS3D_VERTEX* v[3];
      for (int c = 0; c < 3; ++c) v[c] = &model.vertices[t.vertexIndices[c]];
      ASSERT_TRUE(v[1]->boneId == v[0]->boneId && v[2]->boneId == v[0]->boneId);
      const VECTOR3D n = Vec(t.vertexNormals[0]);
      ASSERT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
      EXPECT_NEAR(VectorDotProduct(n, n), 1.0, 1e-3);
      if (v[0]->boneId == 0) {
        ++bodyTriangles;
        continue;
      }
      ASSERT_TRUE(v[0]->boneId == left || v[0]->boneId == right) << "every part hangs on the body or a wing";
      const VECTOR3D a = Vec(v[0]->vertex);
      const VECTOR3D face = NormalizeVector(
          VectorCrossProduct(SubtractVectors(Vec(v[1]->vertex), a), SubtractVectors(Vec(v[2]->vertex), a)));
      EXPECT_GT(VectorDotProduct(face, n), 0.99) << "winding and normal agree";
      // In the bind pose the left wing's upper side faces -x, the right
      // wing's +x; upper sides map to the left half of the texture, under
      // sides to the right half. The wings stand upright over the back.
      const bool upper = v[0]->boneId == left ? n.x < 0.0f : n.x > 0.0f;
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(t.s[k] < 0.5f, upper);
        EXPECT_GE(v[k]->vertex[1], hingeY - 0.01f);
      }
      std::vector<uint16_t> key(t.vertexIndices, t.vertexIndices + 3);
      std::sort(key.begin(), key.end());
      sides[key].push_back(n);
    }
    EXPECT_GT(bodyTriangles, 100);
    EXPECT_GT(sides.size(), 100u);
    for (const auto& [corners, normals] : sides) {
      ASSERT_EQ(normals.size(), 2u) << "each wing face has exactly one other side";
      EXPECT_LT(VectorDotProduct(normals[0], normals[1]), -0.99);
    }
  }
  EXPECT_TRUE(runLength && sharedAlpha && colourKey);
}

TEST_F(ShippedContent, TheResourcePackHoldsTheScenesImages) {
  const std::string path = kData + "qorvane.vessimots";
  RESFILE file;
  ASSERT_TRUE(file.Open(path.c_str()));
  ASSERT_GE(file.directory.size(), 8u);
  const int sizes[8][2] = {{0, 0}, {256, 32}, {256, 64}, {256, 128}, {512, 32}, {512, 32}, {512, 32}, {512, 32}};
  for (int i = 1; i <= 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(file.directory[static_cast<size_t>(i)].alphaMode, 2) << "light on black, alpha from brightness";
    ASSERT_TRUE(file.SeekLump(i));
    Texture t;
    ASSERT_TRUE(LoadTGA2(&t, &file.stream));
    EXPECT_EQ(static_cast<int>(t.width), sizes[i][0]);
    EXPECT_EQ(static_cast<int>(t.height), sizes[i][1]);
    // Something is written on it: a fair number of light pixels, yet mostly
    // clear.
    const size_t n = static_cast<size_t>(t.width) * t.height;
    size_t light = 0;
    for (size_t p = 0; p < n; ++p) light += t.imageData[p * 3 + 1] > 160;
    EXPECT_GT(light, n / 40);
    EXPECT_LT(light, n / 2);
  }
  for (const std::string& m : PackMessages()) EXPECT_LE(m.size(), 40u) << m;
}

TEST(ShippedGeneration, GivesTheSameBytesEveryTimeAndAFullHdPicture) {
  TempDir dir;
  const std::string command = std::string("\"") + WINGDRIFT_BINARY_DIR +
                              "/tools/content/make_content\" \"" + dir.path() + "\" --font \"" +
                              WINGDRIFT_FONT + "\" --bold \"" + WINGDRIFT_FONT_BOLD + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<std::string> files = ShippedTypes();
  files.push_back("qorvane.vessimots");
  files.push_back("Aqua Blue.jpg");
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    const std::string shipped = ReadAll(kData + f);
    EXPECT_FALSE(shipped.empty());
    EXPECT_TRUE(shipped == ReadAll(dir.File(f)));
  }
  // The picture is a baseline JPEG whose frame header (SOF0) holds the
  // height and the width.
  const std::string jpeg = ReadAll(kData + "Aqua Blue.jpg");
  const size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  ASSERT_LT(sof + 9, jpeg.size());
  const auto be16 = [&](size_t at) { return static_cast<uint8_t>(jpeg[at]) << 8 | static_cast<uint8_t>(jpeg[at + 1]); };
  EXPECT_EQ(be16(sof + 5), 1080);
  EXPECT_EQ(be16(sof + 7), 1920);
}

}  // namespace
