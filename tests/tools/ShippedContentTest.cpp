// The data the build generates, read through the saver's own loaders.
#include <GL/gl.h>
#include <GL/glu.h>
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
// Height of the view at z = 0: camera at z = 60, 45 degrees vertical field.
const double kViewHeight = 2.0 * 60.0 * std::tan(22.5 * kPi / 180.0);

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

VECTOR3D Sub(VECTOR3D a, VECTOR3D b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

int JointIndex(const MS3D& m, const char* name) {
  for (size_t j = 0; j < m.joints.size(); ++j)
    if (std::strcmp(m.joints[j].name, name) == 0) return static_cast<int>(j);
  return -1;
}

// Poses every wing joint the way the flight model does at opening `angle`
// and skins the butterfly.
void PoseWings(ONEBFLY* b, const BFLYDATA& d, float angle) {
  b->RevertPoints(b->joints);
  const MATRIX m = MatrixFromAngle({0.0f, 0.0f, angle});
  b->joints[static_cast<size_t>(d.wingLeftJoint)].animMatrix = m;
  b->joints[static_cast<size_t>(d.wingRightJoint)].animMatrix = TransposeMatrix(m);
  b->UpdateSkeleton();
  b->UpdatePoints(b->joints);
}

using ShippedContent = GLTest;

TEST_F(ShippedContent, EveryTypeLoadsThroughTheSaversLoaderAndFollowsTheRules) {
  const std::vector<std::string> files = ShippedTypes();
  ASSERT_GE(files.size(), 8u);
  EXPECT_NE(std::find(files.begin(), files.end(), "GOT-F.bfly"), files.end());
  std::set<std::string> names;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    BFLYFILE file;
    ASSERT_TRUE(file.Open((kData + name).c_str()));
    const BFLYHEADER& h = file.header;
    EXPECT_EQ(h.versionMajor, 1);
    EXPECT_EQ(h.versionMinor, 0);
    EXPECT_EQ(h.flags, 0u);
    const size_t nameLength = strnlen(h.name, 40);
    EXPECT_GT(nameLength, 0u);
    EXPECT_LE(nameLength, 39u);
    EXPECT_TRUE(names.insert(h.name).second) << "display names differ";

    BFLYDATA data;
    ASSERT_TRUE(data.Load(&file, 0.7f));
    EXPECT_GE(data.wingLeftJoint, 1);
    EXPECT_GE(data.wingRightJoint, 1);
    EXPECT_GE(data.textureCount, 2);
    for (int k = 0; k < data.textureCount; ++k) EXPECT_NE(data.textures[static_cast<size_t>(k)].texID, 0u);

    MS3D model;
    ASSERT_TRUE(file.SeekLump(0) && model.LoadFromFStream(&file.stream));
    ASSERT_GE(model.joints.size(), 3u);
    EXPECT_EQ(model.joints[0].parentName[0], '\0') << "joint 0 is the body, a root";
    const int left = JointIndex(model, "wingl");
    const int right = JointIndex(model, "wingr");
    ASSERT_GE(left, 1);
    ASSERT_GE(right, 1);
    const float hingeY = model.joints[static_cast<size_t>(left)].position[1];

    for (const MS3D_VERTEX& v : model.vertices) {
      ASSERT_TRUE(std::isfinite(v.vertex[0]) && std::isfinite(v.vertex[1]) && std::isfinite(v.vertex[2]));
    }
    for (const MS3D_TRIANGLE& t : model.triangles) {
      for (const auto& n : t.vertexNormals) {
        ASSERT_TRUE(std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]));
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-3f);
      }
    }

    // Triangles by their corner set, to find each wing face's other side.
    std::map<std::vector<uint16_t>, std::vector<VECTOR3D>> sides;
    int bodyTriangles = 0, wingTriangles = 0;
    for (const MS3D_TRIANGLE& t : model.triangles) {
      const int bone = model.vertices[t.vertexIndices[0]].boneId;
      for (int c = 1; c < 3; ++c) ASSERT_EQ(model.vertices[t.vertexIndices[c]].boneId, bone);
      if (bone == 0) {
        ++bodyTriangles;
        continue;
      }
      ASSERT_TRUE(bone == left || bone == right) << "every part hangs on the body or a wing";
      ++wingTriangles;
      const VECTOR3D a{model.vertices[t.vertexIndices[0]].vertex[0], model.vertices[t.vertexIndices[0]].vertex[1], model.vertices[t.vertexIndices[0]].vertex[2]};
      const VECTOR3D b{model.vertices[t.vertexIndices[1]].vertex[0], model.vertices[t.vertexIndices[1]].vertex[1], model.vertices[t.vertexIndices[1]].vertex[2]};
      const VECTOR3D c{model.vertices[t.vertexIndices[2]].vertex[0], model.vertices[t.vertexIndices[2]].vertex[1], model.vertices[t.vertexIndices[2]].vertex[2]};
      const VECTOR3D face = NormalizeVector(VectorCrossProduct(Sub(b, a), Sub(c, a)));
      const VECTOR3D n{t.vertexNormals[0][0], t.vertexNormals[0][1], t.vertexNormals[0][2]};
      EXPECT_GT(VectorDotProduct(face, n), 0.99) << "winding and normal agree";
      // In the bind pose the left wing's upper side faces -x (towards the
      // right wing), the right wing's +x; upper sides map to the left half
      // of the texture, under sides to the right half.
      const bool upper = bone == left ? n.x < 0.0f : n.x > 0.0f;
      for (int k = 0; k < 3; ++k) {
        if (upper) EXPECT_LT(t.s[k], 0.5f);
        else EXPECT_GE(t.s[k], 0.5f);
        EXPECT_GE(model.vertices[t.vertexIndices[k]].vertex[1], hingeY - 0.01f)
            << "wings stand upright over the back";
      }
      std::vector<uint16_t> key(t.vertexIndices, t.vertexIndices + 3);
      std::sort(key.begin(), key.end());
      sides[key].push_back(n);
    }
    EXPECT_GT(bodyTriangles, 100);
    EXPECT_GT(wingTriangles, 200);
    for (const auto& [corners, normals] : sides) {
      ASSERT_EQ(normals.size(), 2u) << "each wing face has exactly one other side";
      EXPECT_LT(VectorDotProduct(normals[0], normals[1]), -0.99);
    }
  }
}

TEST_F(ShippedContent, TheTypesCoverEveryTextureLoadingPath) {
  bool runLength = false, sharedAlpha = false, colourKey = false;
  std::string keyedType;
  for (const std::string& name : ShippedTypes()) {
    BFLYFILE file;
    ASSERT_TRUE(file.Open((kData + name).c_str()));
    const bool shared = file.header.hasAlphaLump != 0;
    sharedAlpha |= shared;
    const size_t first = shared ? 2 : 1;
    for (size_t i = first; i < file.directory.size(); ++i) {
      std::unique_ptr<uint8_t[]> bytes;
      ASSERT_TRUE(file.LoadData(static_cast<int>(i), &bytes));
      runLength |= bytes[2] == 10;
      // Texture k = i - first takes the rule of directory entry k.
      if (!shared && file.directory[i - first].alphaMode == 1) {
        colourKey = true;
        keyedType = name;
      }
    }
  }
  EXPECT_TRUE(runLength);
  EXPECT_TRUE(sharedAlpha);
  ASSERT_TRUE(colourKey);

  // The colour key makes the unused texels transparent and leaves the wings
  // and the body opaque.
  BFLYFILE file;
  ASSERT_TRUE(file.Open((kData + keyedType).c_str()));
  BFLYDATA data;
  ASSERT_TRUE(data.Load(&file, 1.0f));
  const Texture& t = data.textures[0];
  std::vector<uint8_t> rgba(static_cast<size_t>(t.width) * t.height * 4);
  glBindTexture(GL_TEXTURE_2D, t.texID);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  size_t clear = 0, opaque = 0;
  for (size_t i = 3; i < rgba.size(); i += 4) (rgba[i] == 0 ? clear : opaque) += rgba[i] == 0 || rgba[i] == 255;
  EXPECT_GT(clear, rgba.size() / 4 / 10);
  EXPECT_GT(opaque, rgba.size() / 4 / 4);
}

TEST_F(ShippedContent, WingsOpenAsTheFlightModelTurnsThem) {
  BFLYFILE file;
  ASSERT_TRUE(file.Open((kData + "GOT-F.bfly").c_str()));
  BFLYDATA data;
  ASSERT_TRUE(data.Load(&file, 1.0f));
  ONEBFLY b;
  ASSERT_TRUE(b.SetupFromBFlyData(&data));
  auto extent = [&](int joint, float* minX, float* maxX, float* minY, float* maxY) {
    *minX = *minY = 1e9f;
    *maxX = *maxY = -1e9f;
    for (const MODELVERTEX& v : b.vertexBuffer) {
      if (v.boneId != joint) continue;
      *minX = std::min(*minX, v.position.x);
      *maxX = std::max(*maxX, v.position.x);
      *minY = std::min(*minY, v.position.y);
      *maxY = std::max(*maxY, v.position.y);
    }
  };
  float x0, x1, y0, y1;
  {  // Closed: both wings upright over the back.
    PoseWings(&b, data, 0.0f);
    extent(data.wingLeftJoint, &x0, &x1, &y0, &y1);
    EXPECT_LT(std::fabs(x1), 0.1f);
    EXPECT_GT(y1, 2.0f);
  }
  {  // Flat at 90: the left wing towards +x, the right one towards -x.
    PoseWings(&b, data, 90.0f);
    extent(data.wingLeftJoint, &x0, &x1, &y0, &y1);
    EXPECT_GT(x1, 2.0f);
    EXPECT_GT(x0, -0.1f);
    EXPECT_LT(y1 - y0, 0.2f);
    extent(data.wingRightJoint, &x0, &x1, &y0, &y1);
    EXPECT_LT(x0, -2.0f);
    EXPECT_LT(x1, 0.1f);
  }
  {  // At the top of a stroke, 140, the wings reach below the horizontal.
    PoseWings(&b, data, 140.0f);
    extent(data.wingLeftJoint, &x0, &x1, &y0, &y1);
    EXPECT_LT(y0, -1.0f);
    EXPECT_GT(x1, 1.0f);
  }
}

TEST_F(ShippedContent, WingspanAtTheDefaultSizeIsAboutATenthOfTheViewHeight) {
  for (const std::string& name : ShippedTypes()) {
    SCOPED_TRACE(name);
    BFLYFILE file;
    ASSERT_TRUE(file.Open((kData + name).c_str()));
    BFLYDATA data;
    ASSERT_TRUE(data.Load(&file, 0.7f));  // the default size setting, 70
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(&data));
    PoseWings(&b, data, 90.0f);
    float minX = 1e9f, maxX = -1e9f;
    for (const MODELVERTEX& v : b.vertexBuffer) {
      minX = std::min(minX, v.position.x);
      maxX = std::max(maxX, v.position.x);
    }
    const double share = (maxX - minX) / kViewHeight;
    std::printf("%-22s wingspan %.2f units, %.1f%% of the view height\n", name.c_str(),
                maxX - minX, share * 100.0);
    EXPECT_GT(share, 0.07);
    EXPECT_LT(share, 0.115);
    if (name == "GOT-F.bfly") {
      EXPECT_GT(share, 0.08);
      EXPECT_LT(share, 0.10);
      // Drawn the way the scene draws it, seen from above at z = 0, the
      // wings cover the same share of the viewport's height.
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      gluPerspective(45.0, 1.0, 1.0, 120.0);
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
      glEnable(GL_DEPTH_TEST);
      glEnable(GL_CULL_FACE);
      glColor4f(1, 1, 1, 1);
      b.position = {0.0f, 0.0f, 0.0f};
      MATRIX above;  // back to the camera, head up
      above.m[0] = -1; above.m[5] = 0; above.m[6] = 1; above.m[9] = 1; above.m[10] = 0;
      b.orientation = above;
      b.Draw(false);
      glDisable(GL_CULL_FACE);
      glDisable(GL_DEPTH_TEST);
      const std::vector<uint8_t> pixels = Context().ReadPixels();
      int first = kWidth, last = -1;
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          if (pixels[(static_cast<size_t>(y) * kWidth + x) * 4 + 3] == 0 &&
              pixels[(static_cast<size_t>(y) * kWidth + x) * 4] == 0)
            continue;
          first = std::min(first, x);
          last = std::max(last, x);
        }
      }
      EXPECT_NEAR((last - first + 1) / static_cast<double>(kHeight), share, 0.012);
    }
  }
}

TEST_F(ShippedContent, TheResourcePackHoldsTheScenesImages) {
  const std::string path = kData + "qorvane.vessimots";
  RESFILE file;
  ASSERT_TRUE(file.Open(path.c_str()));
  ASSERT_GE(file.directory.size(), 8u);
  const int sizes[8][2] = {{0, 0},    {256, 32}, {256, 64}, {256, 128},
                           {512, 32}, {512, 32}, {512, 32}, {512, 32}};
  for (int i = 1; i <= 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(file.directory[static_cast<size_t>(i)].type, 1u);
    EXPECT_EQ(file.directory[static_cast<size_t>(i)].alphaMode, 2) << "light on black, alpha from brightness";
    ASSERT_TRUE(file.SeekLump(i));
    Texture t;
    ASSERT_TRUE(LoadTGA2(&t, &file.stream));
    EXPECT_EQ(static_cast<int>(t.width), sizes[i][0]);
    EXPECT_EQ(static_cast<int>(t.height), sizes[i][1]);
    // Something is written on it: a fair number of light pixels, yet mostly
    // clear.
    size_t light = 0;
    const size_t n = static_cast<size_t>(t.width) * t.height;
    for (size_t p = 0; p < n; ++p) light += t.imageData[p * 3 + 1] > 160;
    EXPECT_GT(light, n / 40);
    EXPECT_LT(light, n / 2);
  }
  file.Close();
  for (const std::string& m : PackMessages()) EXPECT_LE(m.size(), 40u) << m;

  std::unique_ptr<Texture[]> textures;
  int count = 0;
  ASSERT_TRUE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
  ASSERT_GE(count, 8);
  for (int i = 1; i <= 7; ++i) EXPECT_NE(textures[static_cast<size_t>(i)].texID, 0u);
}

TEST(ShippedPicture, IsAFullHdJpeg) {
  const std::string bytes = ReadAll(kData + "Aqua Blue.jpg");
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xD8);
  // The frame header (SOF0) holds the height and the width.
  size_t i = 2;
  int width = 0, height = 0;
  while (i + 9 < bytes.size()) {
    if (static_cast<uint8_t>(bytes[i]) != 0xFF) break;
    const uint8_t marker = static_cast<uint8_t>(bytes[i + 1]);
    const size_t length = (static_cast<uint8_t>(bytes[i + 2]) << 8) | static_cast<uint8_t>(bytes[i + 3]);
    if (marker == 0xC0 || marker == 0xC2) {
      height = (static_cast<uint8_t>(bytes[i + 5]) << 8) | static_cast<uint8_t>(bytes[i + 6]);
      width = (static_cast<uint8_t>(bytes[i + 7]) << 8) | static_cast<uint8_t>(bytes[i + 8]);
      break;
    }
    i += 2 + length;
  }
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1080);
}

TEST(ShippedGeneration, GivesTheSameBytesEveryTime) {
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
}

}  // namespace
