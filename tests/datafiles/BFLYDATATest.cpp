// Loading butterfly types: textures and their alpha rules, the template and
// prototype, scale and radius, wing joints; catalogue entries loading once.
#include "datafiles/BFLYDATA.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
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
  TgaImage image;
  image.width = 4;
  image.height = 4;
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

// RGBA of the first pixel and of the last one of a built texture.
struct Corners {
  uint8_t first[4];
  uint8_t last[4];
};
Corners TextureCorners(uint32_t name) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  Corners c{};
  for (int i = 0; i < 4; ++i) {
    c.first[i] = px[i];
    c.last[i] = px[px.size() - 4 + i];
  }
  return c;
}

bool LoadFile(BFLYDATA* data, const std::string& path, float size) {
  BFLYFILE file;
  return file.Open(path.c_str()) && data->Load(&file, size);
}

}  // namespace

TEST_F(BflyData, LoadsAButterflyType) {
  TempDir dir;
  ButterflySpec recipe;
  recipe.colours = {{{200, 0, 0}}, {{0, 200, 0}}, {{0, 0, 200}}};
  const std::string path = dir.Write("Three.bfly", ButterflyFile(recipe));

  std::srand(5);
  const int expectedTexture = std::rand() % 3;
  std::srand(5);
  BFLYDATA data;
  EXPECT_EQ(data.size, 1.0f);
  ASSERT_TRUE(LoadFile(&data, path, 1.0f));
  ASSERT_EQ(data.textureCount, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NE(data.textures[k].texID, 0u);
    EXPECT_TRUE(glIsTexture(data.textures[k].texID));
    EXPECT_FALSE(data.textures[k].imageData) << "pixels are freed once built";
  }
  EXPECT_EQ(TextureCorners(data.textures[1].texID).first[1], 200);

  ASSERT_TRUE(data.animTemplate);
  EXPECT_EQ(data.animTemplate->numJoints, 3);
  ASSERT_TRUE(data.prototype);
  EXPECT_EQ(data.prototype->animTemplate, data.animTemplate.get());
  EXPECT_GT(data.prototype->numVerts, 300) << "a few hundred vertices";
  ASSERT_EQ(data.prototype->materials.size(), 2u);
  for (const MODELMATERIAL& m : data.prototype->materials)
    EXPECT_EQ(m.texId, data.textures[expectedTexture].texID);
  EXPECT_EQ(data.prototype->action, ONEBFLY::kWaiting) << "the prototype never flies";

  // The wing reaches 4 units from its joint: the radius is measured in the
  // joint's space.
  EXPECT_NEAR(data.radius, 4.0f, 1e-5f);
  EXPECT_EQ(data.wingLeftJoint, 1);
  EXPECT_EQ(data.wingRightJoint, 2);
}

TEST_F(BflyData, ScaleAndRadius) {
  TempDir dir;
  ButterflySpec recipe;
  const std::string normal = dir.Write("n.bfly", ButterflyFile(recipe));
  recipe.modelScale = 200;
  const std::string doubled = dir.Write("d.bfly", ButterflyFile(recipe));
  {
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, normal, 0.7f));
    EXPECT_EQ(data.size, 0.7f);
    // 100 / (100 + 100 * 0.3): a type loaded at 0.7 is scaled by 100 / 130.
    EXPECT_NEAR(data.radius, 4.0f / 1.3f, 1e-5f);
  }
  {
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, doubled, 1.0f));
    EXPECT_NEAR(data.radius, 8.0f, 1e-5f) << "doubling modelScale doubles the radius";
  }
  {
    // Without joints the radius is taken in model space.
    MS3DWriter model = ButterflyModel(recipe);
    model.joints.clear();
    for (MS3DWriter::Vertex& v : model.vertices) v.boneId = -1;
    recipe.modelScale = 100;
    const std::string path = dir.Write("flat.bfly", ButterflyFile(recipe, model));
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, path, 1.0f));
    EXPECT_NEAR(data.radius, 4.3f, 1e-5f);
    EXPECT_EQ(data.wingLeftJoint, 0);
    EXPECT_EQ(data.wingRightJoint, 0);
  }
}

TEST_F(BflyData, AlphaRuleOfTheEntryBeforeTheTexture) {
  TempDir dir;
  ButterflySpec recipe;
  const std::string model = ButterflyModel(recipe).Bytes();
  {
    // Texture k takes the rule of entry k: 1 (colour key), 0 (opaque),
    // 2 (brightness); their own entries say otherwise.
    const std::vector<LumpSpec> lumps = {
        Lump(model, 0, 1), Lump(SolidTga(10, 20, 30), 1, 0), Lump(SolidTga(10, 20, 30), 1, 2),
        Lump(SolidTga(40, 100, 60), 1, 0)};
    BflyHeaderSpec header;
    const std::string path = dir.Write("rules.bfly", MakeBflyFile(header, lumps));
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, path, 1.0f));
    ASSERT_EQ(data.textureCount, 3);
    EXPECT_EQ(TextureCorners(data.textures[0].texID).first[3], 0);
    EXPECT_EQ(TextureCorners(data.textures[1].texID).first[3], 255);
    EXPECT_EQ(TextureCorners(data.textures[2].texID).first[3], 100);
  }
  {
    // Two lumps without a shared alpha image: one texture, lump 0's rule.
    const std::vector<LumpSpec> lumps = {Lump(model, 0, 1), Lump(SolidTga(1, 2, 3), 1, 0)};
    const std::string path = dir.Write("one.bfly", MakeBflyFile(BflyHeaderSpec{}, lumps));
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, path, 1.0f));
    ASSERT_EQ(data.textureCount, 1);
    EXPECT_EQ(TextureCorners(data.textures[0].texID).first[3], 0);
  }
  {
    // A shared alpha image: every texture takes its alpha from its red
    // channel (here a transparent first pixel); a lump that is not an image
    // leaves its slot empty, which is no error.
    TgaImage alpha;
    alpha.width = 4;
    alpha.height = 4;
    for (int i = 0; i < 16; ++i) {
      const uint8_t v = i == 0 ? 0 : 255;
      alpha.pixels.insert(alpha.pixels.end(), {v, v, v});
    }
    const std::vector<LumpSpec> lumps = {Lump(model, 0, 0), Lump(MakeTga(alpha, true), 1, 0),
                                         Lump(SolidTga(9, 9, 9), 1, 2), Lump("not an image", 7, 0),
                                         Lump(SolidTga(90, 9, 9), 1, 1)};
    BflyHeaderSpec header;
    header.hasAlphaLump = 1;
    const std::string path = dir.Write("shared.bfly", MakeBflyFile(header, lumps));
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, path, 1.0f));
    ASSERT_EQ(data.textureCount, 3);
    for (int k : {0, 2}) {
      const Corners c = TextureCorners(data.textures[k].texID);
      EXPECT_EQ(c.first[3], 0) << k;
      EXPECT_EQ(c.last[3], 255) << k;
    }
    EXPECT_EQ(TextureCorners(data.textures[2].texID).last[0], 90);
    EXPECT_EQ(data.textures[1].texID, 0u);
  }
}

TEST_F(BflyData, RefusesWhatCannotMakeAType) {
  TempDir dir;
  ReportRecorder reports;
  ButterflySpec recipe;
  const std::string model = ButterflyModel(recipe).Bytes();
  {
    // With the shared alpha image two lumps leave no texture.
    BflyHeaderSpec header;
    header.hasAlphaLump = 1;
    const std::string path =
        dir.Write("a.bfly", MakeBflyFile(header, {Lump(model, 0, 0), Lump(SolidTga(1, 1, 1), 1, 0)}));
    BFLYDATA data;
    EXPECT_FALSE(LoadFile(&data, path, 1.0f));
    EXPECT_FALSE(data.textures);
  }
  {
    // A model alone.
    const std::string path = dir.Write("b.bfly", MakeBflyFile(BflyHeaderSpec{}, {Lump(model, 0, 0)}));
    BFLYDATA data;
    EXPECT_FALSE(LoadFile(&data, path, 1.0f));
  }
  {
    // A model lump that is no model.
    const std::string path = dir.Write(
        "c.bfly", MakeBflyFile(BflyHeaderSpec{}, {Lump("MS3D000000junk", 0, 0), Lump(SolidTga(1, 1, 1), 1, 0)}));
    BFLYDATA data;
    EXPECT_FALSE(LoadFile(&data, path, 1.0f));
    EXPECT_FALSE(data.animTemplate);
    EXPECT_FALSE(data.textures);
  }
  {
    // An image lump that is no image: the textures built so far stay, to be
    // released with the type.
    const std::string path = dir.Write(
        "d.bfly", MakeBflyFile(BflyHeaderSpec{}, {Lump(model, 0, 0), Lump(SolidTga(1, 1, 1), 1, 0),
                                                  Lump("garbage", 1, 0)}));
    BFLYDATA data;
    reports.Clear();
    EXPECT_FALSE(LoadFile(&data, path, 1.0f));
    EXPECT_FALSE(ReportRecorder::Alerts().empty()) << "the image reader shows its alert";
    ASSERT_EQ(data.textureCount, 2);
    EXPECT_NE(data.textures[0].texID, 0u);
    EXPECT_FALSE(data.prototype);
  }
  EXPECT_FALSE(BFLYDATA().Load(nullptr, 1.0f));
}

TEST_F(BflyData, WingJointsByName) {
  TempDir dir;
  ButterflySpec recipe;
  {
    // With several joints of a name the last one counts; names match
    // exactly.
    MS3DWriter model = ButterflyModel(recipe);
    model.AddJoint("wingl", "body", {}, {-1, 0, 0});
    model.AddJoint("WINGR", "body", {}, {1, 0, 0});
    model.AddJoint("wingr2", "body", {}, {1, 0, 0});
    const std::string path = dir.Write("dup.bfly", ButterflyFile(recipe, model));
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, path, 1.0f));
    EXPECT_EQ(data.wingLeftJoint, 3);
    EXPECT_EQ(data.wingRightJoint, 2);
  }
  {
    recipe.wingJoints = false;
    const std::string path = dir.Write("none.bfly", ButterflyFile(recipe));
    BFLYDATA data;
    ASSERT_TRUE(LoadFile(&data, path, 1.0f));
    EXPECT_EQ(data.wingLeftJoint, 0);
    EXPECT_EQ(data.wingRightJoint, 0);
  }
}

TEST_F(BflyData, CatalogueEntryLoadsOnce) {
  TempDir dir;
  ReportRecorder reports;
  ButterflySpec recipe;
  dir.Write("Gold.bfly", ButterflyFile(recipe));
  const std::string folder = dir.path() + "/";
  {
    BFLYINFO info;
    EXPECT_FALSE(info.loaded);
    EXPECT_EQ(info.infoByte, 0);
    CopyCString(info.fileName, "Gold.bfly");
    ASSERT_TRUE(info.LoadData(folder.c_str(), 0.7f));
    EXPECT_TRUE(info.loaded);
    ASSERT_TRUE(info.data);
    EXPECT_EQ(info.data->size, 0.7f);
    const uint32_t name = info.data->textures[0].texID;
    // Loading again reads nothing: the file may be gone.
    std::remove(dir.File("Gold.bfly").c_str());
    EXPECT_TRUE(info.LoadData(folder.c_str(), 1.0f));
    EXPECT_EQ(info.data->size, 0.7f);
    EXPECT_TRUE(glIsTexture(name));
    info.data.reset();
    EXPECT_FALSE(glIsTexture(name)) << "the type's textures go with it";
  }
  {
    BFLYINFO info;
    CopyCString(info.fileName, "Gold.bfly");
    EXPECT_FALSE(info.LoadData(folder.c_str(), 1.0f));
    EXPECT_FALSE(info.loaded);
    EXPECT_FALSE(info.data);
    ASSERT_EQ(ReportRecorder::Reports().size(), 1u);
    EXPECT_EQ(ReportRecorder::Reports()[0], "Unable to load currency!");
  }
  {
    // A file that opens but holds no type: a failure every time, never
    // passed off as loaded by a later call.
    dir.Write("Bad.bfly", MakeBflyFile(BflyHeaderSpec{}, {Lump("no model", 0, 0), Lump("x", 1, 0)}));
    BFLYINFO info;
    CopyCString(info.fileName, "Bad.bfly");
    EXPECT_FALSE(info.LoadData(folder.c_str(), 1.0f));
    EXPECT_FALSE(info.loaded);
    EXPECT_FALSE(info.data);
    EXPECT_FALSE(info.LoadData(folder.c_str(), 1.0f));
  }
}
