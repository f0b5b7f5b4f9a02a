// Loading butterfly types: textures and their alpha rules, the template and
// prototype, scale and radius, wing joints; catalogue entries loading once.
#include "datafiles/BFLYDATA.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYINFO.h"
#include "tests/support/GLTest.h"
#include "tests/support/ReportRecorder.h"
#include "tests/support/TempDir.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/CString.h"

using BflyData = GLTest;

namespace {

std::string SolidTga(uint8_t r, uint8_t g, uint8_t b) {
  TgaImage image{4, 4, 24, {}};
  for (int i = 0; i < 16; ++i) image.pixels.insert(image.pixels.end(), {r, g, b});
  return MakeTga(image, false);
}

LumpSpec Lump(std::string bytes, uint32_t type, int32_t alphaMode) {
  LumpSpec lump;
  lump.bytes = std::move(bytes);
  lump.type = type;
  lump.alphaMode = alphaMode;
  return lump;
}

// RGBA of the first pixel (last = false) or the last one of a built texture.
std::vector<uint8_t> Texel(uint32_t name, bool last = false) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return std::vector<uint8_t>(last ? px.end() - 4 : px.begin(), last ? px.end() : px.begin() + 4);
}

bool LoadFile(BFLYDATA* data, const std::string& path, float size = 1.0f) {
  BFLYFILE file;
  return file.Open(path.c_str()) && data->Load(&file, size);
}

}  // namespace

TEST_F(BflyData, LoadsAButterflyType) {
  TempDir dir;
  ButterflySpec recipe;
  recipe.colours = {{{200, 0, 0}}, {{0, 200, 0}}, {{0, 0, 200}}};
  std::srand(5);
  const int expectedTexture = std::rand() % 3;
  std::srand(5);
  BFLYDATA data;
  ASSERT_TRUE(LoadFile(&data, dir.Write("Three.bfly", ButterflyFile(recipe))));
  ASSERT_EQ(data.textureCount, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(glIsTexture(data.textures[k].texID));
    EXPECT_FALSE(data.textures[k].imageData) << "pixels are freed once built";
  }
  EXPECT_EQ(Texel(data.textures[1].texID)[1], 200);
  ASSERT_TRUE(data.animTemplate);
  EXPECT_EQ(data.animTemplate->numJoints, 3);
  ASSERT_TRUE(data.prototype);
  EXPECT_EQ(data.prototype->animTemplate, data.animTemplate.get());
  EXPECT_GT(data.prototype->numVerts, 300) << "a few hundred vertices";
  for (const MODELMATERIAL& m : data.prototype->materials)
    EXPECT_EQ(m.texId, data.textures[expectedTexture].texID);
  EXPECT_EQ(data.prototype->action, ONEBFLY::kWaiting) << "the prototype never flies";
}

TEST_F(BflyData, ScaleRadiusAndWingJoints) {
  TempDir dir;
  const struct {
    const char* what;
    std::function<void(ButterflySpec&, MS3DWriter&)> change;
    float size, radius;
    int left, right;
  } rows[] = {
      // The wing reaches 4 units from its joint: the radius is measured in
      // the joint's space.
      {"as built", [](ButterflySpec&, MS3DWriter&) {}, 1.0f, 4.0f, 1, 2},
      // 100 / (100 + 100 * 0.3): a type loaded at 0.7 is scaled by 100 / 130.
      {"size 0.7", [](ButterflySpec&, MS3DWriter&) {}, 0.7f, 4.0f / 1.3f, 1, 2},
      {"modelScale 200", [](ButterflySpec& r, MS3DWriter&) { r.modelScale = 200; }, 1.0f, 8.0f, 1, 2},
      {"no joints: model space",
       [](ButterflySpec&, MS3DWriter& m) {
         m.joints.clear();
         for (MS3DWriter::Vertex& v : m.vertices) v.boneId = -1;
       },
       1.0f, 4.3f, 0, 0},
      // With several joints of a name the last one counts; names match exactly.
      {"repeated names",
       [](ButterflySpec&, MS3DWriter& m) {
         m.AddJoint("wingl", "body", {}, {-1, 0, 0});
         m.AddJoint("WINGR", "body", {}, {1, 0, 0});
         m.AddJoint("wingr2", "body", {}, {1, 0, 0});
       },
       1.0f, 4.0f, 3, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ButterflySpec recipe;
    MS3DWriter model = ButterflyModel(recipe);
    row.change(recipe, model);
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, dir.Write("t.bfly", ButterflyFile(recipe, model)), row.size));
    EXPECT_EQ(data.size, row.size);
    EXPECT_NEAR(data.radius, row.radius, 1e-5f);
    EXPECT_EQ(data.wingLeftJoint, row.left);
    EXPECT_EQ(data.wingRightJoint, row.right);
  }
}

TEST_F(BflyData, AlphaRuleOfTheEntryBeforeTheTexture) {
  TempDir dir;
  const std::string model = ButterflyModel(ButterflySpec{}).Bytes();
  {
    // Texture k takes the rule of entry k: 1 (colour key), 0 (opaque),
    // 2 (brightness); their own entries say otherwise. The colour under each
    // vertex is kept per texture.
    const std::vector<LumpSpec> lumps = {Lump(model, 0, 1), Lump(SolidTga(10, 20, 30), 1, 0),
                                         Lump(SolidTga(10, 20, 30), 1, 2), Lump(SolidTga(40, 100, 60), 1, 0)};
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, dir.Write("rules.bfly", MakeBflyFile(BflyHeaderSpec{}, lumps))));
    ASSERT_EQ(data.textureCount, 3);
    EXPECT_EQ(Texel(data.textures[0].texID)[3], 0);
    EXPECT_EQ(Texel(data.textures[1].texID)[3], 255);
    EXPECT_EQ(Texel(data.textures[2].texID)[3], 100);
    ASSERT_EQ(data.vertexTexels.size(), 3u);
    const std::vector<uint8_t>& texels = data.vertexTexels[2];
    ASSERT_EQ(texels.size(), data.prototype->vertexBuffer.size() * 4);
    for (size_t i = 0; i < texels.size(); i += 4)
      ASSERT_EQ(std::vector<uint8_t>(texels.begin() + i, texels.begin() + i + 4),
                (std::vector<uint8_t>{40, 100, 60, 255}))
          << i / 4;
  }
  {
    // A shared alpha image: every texture takes its alpha from its red
    // channel (here a transparent first pixel); a lump that is not an image
    // leaves its slot empty, which is no error.
    TgaImage alpha{4, 4, 24, std::vector<uint8_t>(48, 255)};
    alpha.pixels[0] = 0;
    const std::vector<LumpSpec> lumps = {Lump(model, 0, 0), Lump(MakeTga(alpha, true), 1, 0),
                                         Lump(SolidTga(9, 9, 9), 1, 2), Lump("not an image", 7, 0),
                                         Lump(SolidTga(90, 9, 9), 1, 1)};
    BflyHeaderSpec header;
    header.hasAlphaLump = 1;
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, dir.Write("shared.bfly", MakeBflyFile(header, lumps))));
    ASSERT_EQ(data.textureCount, 3);
    EXPECT_EQ(Texel(data.textures[0].texID), (std::vector<uint8_t>{9, 9, 9, 0}));
    EXPECT_EQ(Texel(data.textures[2].texID, true), (std::vector<uint8_t>{90, 9, 9, 255}));
    EXPECT_EQ(data.textures[1].texID, 0u);
    EXPECT_TRUE(data.vertexTexels[1].empty());
  }
}

TEST_F(BflyData, RefusesWhatCannotMakeAType) {
  TempDir dir;
  ReportRecorder reports;
  const std::string model = ButterflyModel(ButterflySpec{}).Bytes();
  BflyHeaderSpec shared;
  shared.hasAlphaLump = 1;
  const struct {
    const char* what;
    std::string file;
    int texturesLeft;  // built before the failure, released with the type
  } rows[] = {
      {"shared alpha leaves no texture", MakeBflyFile(shared, {Lump(model, 0, 0), Lump(SolidTga(1, 1, 1), 1, 0)}), 0},
      {"a model alone", MakeBflyFile(BflyHeaderSpec{}, {Lump(model, 0, 0)}), 0},
      {"no model", MakeBflyFile(BflyHeaderSpec{}, {Lump("MS3D000000junk", 0, 0), Lump(SolidTga(1, 1, 1), 1, 0)}), 0},
      {"no image", MakeBflyFile(BflyHeaderSpec{}, {Lump(model, 0, 0), Lump(SolidTga(1, 1, 1), 1, 0), Lump("garbage", 1, 0)}), 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    BFLYDATA data;
    EXPECT_FALSE(LoadFile(&data, dir.Write("bad.bfly", row.file)));
    EXPECT_FALSE(data.prototype);
    EXPECT_EQ(data.textures ? data.textureCount : 0, row.texturesLeft);
    if (row.texturesLeft) EXPECT_NE(data.textures[0].texID, 0u);
  }
  EXPECT_FALSE(ReportRecorder::Alerts().empty()) << "the image reader shows its alert";
  EXPECT_FALSE(BFLYDATA().Load(nullptr, 1.0f));
}

TEST_F(BflyData, CatalogueEntryLoadsOnce) {
  TempDir dir;
  ReportRecorder reports;
  dir.Write("Gold.bfly", ButterflyFile(ButterflySpec{}));
  dir.Write("Bad.bfly", MakeBflyFile(BflyHeaderSpec{}, {Lump("no model", 0, 0), Lump("x", 1, 0)}));
  const std::string folder = dir.path() + "/";
  BFLYINFO info;
  CopyCString(info.fileName, "Gold.bfly");
  ASSERT_TRUE(info.LoadData(folder.c_str(), 0.7f));
  EXPECT_TRUE(info.loaded);
  EXPECT_EQ(info.data->size, 0.7f);
  const uint32_t name = info.data->textures[0].texID;
  // Loading again reads nothing: the file may be gone.
  std::remove(dir.File("Gold.bfly").c_str());
  EXPECT_TRUE(info.LoadData(folder.c_str(), 1.0f));
  EXPECT_EQ(info.data->size, 0.7f);
  info.data.reset();
  EXPECT_FALSE(glIsTexture(name)) << "the type's textures go with it";

  // A missing file, or one that holds no type: a failure every time, never
  // passed off as loaded by a later call.
  for (const char* file : {"Gold.bfly", "Bad.bfly"}) {
    BFLYINFO other;
    CopyCString(other.fileName, file);
    for (int attempt = 0; attempt < 2; ++attempt) {
      EXPECT_FALSE(other.LoadData(folder.c_str(), 1.0f)) << file;
      EXPECT_FALSE(other.loaded || other.data) << file;
    }
  }
  EXPECT_EQ(ReportRecorder::Reports().front(), "Unable to load currency!");
}
