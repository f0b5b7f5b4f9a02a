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
#include "tests/util/TexturePixels.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/CString.h"

namespace {

// A lump of `bytes` with its directory values taken from where it lies.
LumpSpec Lump(std::string bytes, uint32_t type = 1, int32_t alphaMode = 0) {
  return {std::move(bytes), type, alphaMode, {}, {}};
}

using Bytes = std::vector<uint8_t>;

class BflyData : public GLTest {
 protected:
  // Loads `file` as a type of the given size.
  bool Load(BFLYDATA* data, const std::string& file, float size = 1.0f) {
    BFLYFILE opened;
    return opened.Open(dir_.Write("t.bfly", file).c_str()) && data->Load(&opened, size);
  }
  TempDir dir_;
  const std::string model_ = ButterflyModel(ButterflySpec{}).Bytes();
};

std::string SolidTga(uint8_t r, uint8_t g, uint8_t b) {
  TgaImage image{4, 4, 24, {}};
  for (int i = 0; i < 16; ++i) image.pixels.insert(image.pixels.end(), {r, g, b});
  return MakeTga(image, false);
}

std::string TypeFile(const std::vector<LumpSpec>& lumps, bool sharedAlpha = false) {
  return MakeBflyFile({.name = "", .hasAlphaLump = sharedAlpha}, lumps);
}

// RGBA of the first pixel (or the last) of a built texture.
Bytes Texel(uint32_t name, bool last = false) {
  const Bytes px = TexturePixels(name);
  return Bytes(last ? px.end() - 4 : px.begin(), last ? px.end() : px.begin() + 4);
}

}  // namespace

TEST_F(BflyData, LoadsAButterflyType) {
  ButterflySpec recipe;
  recipe.colours = {{{200, 0, 0}}, {{0, 200, 0}}, {{0, 0, 200}}};
  std::srand(5);
  const int expectedTexture = std::rand() % 3;
  std::srand(5);
  BFLYDATA data;
  ASSERT_TRUE(Load(&data, ButterflyFile(recipe)));
  ASSERT_EQ(data.textureCount, 3);
  EXPECT_EQ(Texel(data.textures[1].texID), (Bytes{0, 200, 0, 255}));
  ASSERT_TRUE(data.prototype);
  for (const MODELMATERIAL& m : data.prototype->materials)
    EXPECT_EQ(m.texId, data.textures[expectedTexture].texID);
  EXPECT_EQ(data.prototype->action, ONEBFLY::kWaiting) << "the prototype never flies";

  // The wing reaches 4 units from its joint: the radius is measured in the
  // joint's space. Sizes scale by 100 / (100 + 100 (1 - size)), modelScale
  // in per cent; without joints the radius is taken in model space. With
  // several joints of a name the last one counts; names match exactly.
  MS3DWriter flat = ButterflyModel(recipe), named = ButterflyModel(recipe);
  flat.joints.clear();
  for (MS3DWriter::Vertex& v : flat.vertices) v.boneId = -1;
  named.AddJoint("wingl", "body", {}, {-1, 0, 0});
  named.AddJoint("WINGR", "body", {}, {1, 0, 0});
  named.AddJoint("wingr2", "body", {}, {1, 0, 0});
  ButterflySpec doubled = recipe;  // only the colours differ from the default
  doubled.modelScale = 200;
  const struct {
    std::string file;
    float size, radius;
    int left, right;
  } rows[] = {
      {ButterflyFile(recipe), 0.7f, 4.0f / 1.3f, 1, 2},
      {ButterflyFile(doubled), 1.0f, 8.0f, 1, 2},
      {ButterflyFile(recipe, flat), 1.0f, 4.3f, 0, 0},
      {ButterflyFile(recipe, named), 1.0f, 4.0f, 3, 2},
  };
  for (const auto& row : rows) {
    BFLYDATA type;
    ASSERT_TRUE(Load(&type, row.file, row.size));
    EXPECT_EQ(type.size, row.size);
    EXPECT_NEAR(type.radius, row.radius, 1e-5f);
    EXPECT_EQ(std::pair(type.wingLeftJoint, type.wingRightJoint), std::pair(row.left, row.right));
  }
}

TEST_F(BflyData, AlphaRuleOfTheEntryBeforeTheTexture) {
  // Texture k takes the rule of entry k: 1 (colour key), 0 (opaque),
  // 2 (brightness); their own entries say otherwise. The colour under each
  // vertex is kept per texture.
  BFLYDATA data;
  ASSERT_TRUE(Load(&data, TypeFile({Lump(model_, 0, 1), Lump(SolidTga(10, 20, 30), 1, 0),
                                    Lump(SolidTga(10, 20, 30), 1, 2),
                                    Lump(SolidTga(40, 100, 60), 1, 0)})));
  ASSERT_EQ(data.textureCount, 3);
  for (const auto& [slot, alpha] : {std::pair{0, 0}, {1, 255}, {2, 100}})
    EXPECT_EQ(Texel(data.textures[slot].texID)[3], alpha) << slot;
  ASSERT_EQ(data.vertexTexels.size(), 3u);
  ASSERT_EQ(data.vertexTexels[2].size(), data.prototype->vertexBuffer.size() * 4);
  EXPECT_EQ(Bytes(data.vertexTexels[2].end() - 4, data.vertexTexels[2].end()),
            (Bytes{40, 100, 60, 255}));
  // Coordinates past the edge wrap as the texture repeats: of four columns,
  // s = 1.3 is column 1, 0.1 column 0, 2.9 column 3.
  MS3DWriter wrapped;
  const int g = wrapped.AddGroup("g");
  const uint16_t a = wrapped.AddVertex({0, 0, 0}), b = wrapped.AddVertex({1, 0, 0});
  wrapped.AddTriangle(g, a, b, wrapped.AddVertex({0, 1, 0}), {1.3f, 0}, {0.1f, 0}, {2.9f, 0});
  const TgaImage columns{4, 1, 24, {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0}};
  ASSERT_TRUE(Load(&data, TypeFile({Lump(wrapped.Bytes(), 0), Lump(MakeTga(columns, false))})));
  EXPECT_EQ(data.vertexTexels[0], (Bytes{20, 0, 0, 255, 10, 0, 0, 255, 40, 0, 0, 255}));

  // A shared alpha image: every texture takes its alpha from its red channel
  // (here a transparent first pixel); a lump that is not an image leaves its
  // slot empty, which is no error.
  TgaImage alpha{4, 4, 24, Bytes(48, 255)};
  alpha.pixels[0] = 0;
  BFLYDATA shared;
  ASSERT_TRUE(Load(&shared, TypeFile({Lump(model_, 0), Lump(MakeTga(alpha, true)),
                                      Lump(SolidTga(9, 9, 9), 1, 2),
                                      Lump("not an image", 7),
                                      Lump(SolidTga(90, 9, 9), 1, 1)},
                                     true)));
  ASSERT_EQ(shared.textureCount, 3);
  EXPECT_EQ(Texel(shared.textures[0].texID), (Bytes{9, 9, 9, 0}));
  EXPECT_EQ(Texel(shared.textures[2].texID, true), (Bytes{90, 9, 9, 255}));
  EXPECT_EQ(shared.textures[1].texID, 0u);
  EXPECT_TRUE(shared.vertexTexels[1].empty());
}

TEST_F(BflyData, RefusesWhatCannotMakeAType) {
  ReportRecorder reports;
  const LumpSpec image = Lump(SolidTga(1, 1, 1));
  const std::pair<std::string, int> rows[] = {  // the file, textures built before the failure
      {TypeFile({Lump(model_, 0), image}, true), 0},  // the shared alpha leaves no texture
      {TypeFile({Lump(model_, 0)}), 0},
      {TypeFile({Lump("MS3D000000junk", 0), image}), 0},
      {TypeFile({Lump(model_, 0), image, Lump("garbage")}), 2},  // kept with the type
  };
  for (const auto& [file, texturesLeft] : rows) {
    BFLYDATA data;
    EXPECT_FALSE(Load(&data, file));
    EXPECT_FALSE(data.prototype);
    EXPECT_EQ(data.textures ? data.textureCount : 0, texturesLeft);
    EXPECT_TRUE(texturesLeft == 0 || data.textures[0].texID != 0);
  }
  EXPECT_FALSE(ReportRecorder::Alerts().empty()) << "the image reader shows its alert";
  EXPECT_FALSE(BFLYDATA().Load(nullptr, 1.0f));
}

TEST_F(BflyData, CatalogueEntryLoadsOnce) {
  ReportRecorder reports;
  dir_.Write("Gold.bfly", ButterflyFile(ButterflySpec{}));
  dir_.Write("Bad.bfly", TypeFile({Lump("no model", 0), Lump("x")}));
  const std::string folder = dir_.path() + "/";
  BFLYINFO info;
  CopyCString(info.fileName, "Gold.bfly");
  ASSERT_TRUE(info.LoadData(folder.c_str(), 0.7f));
  // Loading again reads nothing: the file may be gone.
  std::remove(dir_.File("Gold.bfly").c_str());
  EXPECT_TRUE(info.LoadData(folder.c_str(), 1.0f));
  EXPECT_EQ(info.data->size, 0.7f);

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
