#include "datafiles/ResourcePack.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/GLTest.h"
#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/Diagnostics.h"

namespace {

std::vector<std::string> g_alerts;
void RecordAlert(const char* caption, const char* text) { g_alerts.push_back(std::string(caption) + ": " + text); }

class AlertRecorder {
 public:
  AlertRecorder() : previous_(SetAlertHook(RecordAlert)) { g_alerts.clear(); }
  ~AlertRecorder() { SetAlertHook(previous_); }

 private:
  AlertHook previous_;
};

// A 2 x 1 image: the key colour (10, 20, 30) then (200, 100, 50).
TgaImage TwoPixels(uint8_t bpp) {
  TgaImage image;
  image.width = 2;
  image.height = 1;
  image.bpp = bpp;
  image.pixels = bpp == 24 ? std::vector<uint8_t>{10, 20, 30, 200, 100, 50}
                           : std::vector<uint8_t>{10, 20, 30, 77, 200, 100, 50, 77};
  return image;
}

LumpSpec ImageLump(const TgaImage& image, int32_t alphaMode, bool runLength = false) {
  LumpSpec lump;
  lump.bytes = MakeTga(image, runLength);
  lump.type = 1;
  lump.alphaMode = alphaMode;
  return lump;
}

// The texture's pixels as RGBA, row 0 first.
std::vector<std::array<uint8_t, 4>> ReadBack(GLuint name) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<std::array<uint8_t, 4>> px(size_t(w) * h);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  return px;
}

using Array = std::array<uint8_t, 4>;

}  // namespace

using ResourcePack = GLTest;

TEST_F(ResourcePack, BuildsOneSlotPerLumpWithEachLumpsAlphaRule) {
  TempDir dir;
  std::vector<LumpSpec> lumps = {ImageLump(TwoPixels(24), 0), ImageLump(TwoPixels(32), 1),
                                 ImageLump(TwoPixels(24), 2, true), LumpSpec{}, ImageLump(TwoPixels(24), 1)};
  lumps[3].bytes = MakeTga(TwoPixels(24), false);  // an image, but not typed as one
  lumps[3].type = 0;
  const std::string path = dir.Write("qorvane.vessimots", MakeResFile(lumps));

  std::unique_ptr<Texture[]> textures;
  int count = -1;
  AlertRecorder alerts;
  ASSERT_TRUE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
  EXPECT_TRUE(g_alerts.empty());
  ASSERT_EQ(count, 5);
  for (int i : {0, 1, 2, 4}) {
    EXPECT_NE(textures[i].texID, 0u) << i;
    EXPECT_EQ(textures[i].imageData, nullptr) << i;
    EXPECT_EQ(textures[i].width, 2u);
  }
  EXPECT_EQ(textures[3].texID, 0u) << "a lump of another type leaves its slot empty";
  EXPECT_EQ(textures[3].imageData, nullptr);

  EXPECT_EQ(ReadBack(textures[0].texID), (std::vector<Array>{{10, 20, 30, 255}, {200, 100, 50, 255}}));
  EXPECT_EQ(ReadBack(textures[1].texID), (std::vector<Array>{{10, 20, 30, 0}, {200, 100, 50, 255}}));
  EXPECT_EQ(ReadBack(textures[2].texID), (std::vector<Array>{{10, 20, 30, 30}, {200, 100, 50, 200}}));

  // Destroying the array deletes every GL texture.
  const GLuint first = textures[0].texID;
  textures.reset();
  EXPECT_FALSE(glIsTexture(first));
}

TEST_F(ResourcePack, RefusedFilesLeaveTheCallersArrayAlone) {
  TempDir dir;
  LumpFileOverrides wrongLength;
  wrongLength.lengthCheck = 12345;
  const std::string bad = dir.Write("bad", MakeResFile({ImageLump(TwoPixels(24), 0)}, wrongLength));

  for (const std::string& path : {bad, dir.File("missing")}) {
    std::unique_ptr<Texture[]> textures;
    int count = -1;
    EXPECT_FALSE(LoadTexturesFromDataFile(path.c_str(), &textures, &count)) << path;
    EXPECT_EQ(textures, nullptr);
    EXPECT_EQ(count, -1);
  }

  // No lumps at all is a sound, empty pack.
  std::unique_ptr<Texture[]> textures;
  int count = -1;
  EXPECT_TRUE(LoadTexturesFromDataFile(dir.Write("empty", MakeResFile({})).c_str(), &textures, &count));
  EXPECT_EQ(count, 0);
}

TEST_F(ResourcePack, ABrokenImageStopsTheLoadButHandsOutWhatWasBuilt) {
  TempDir dir;
  LumpSpec broken = ImageLump(TwoPixels(24), 0);
  TgaHeaderSpec grey;
  grey.imageType = 3;
  grey.width = 2;
  grey.height = 1;
  grey.bpp = 24;
  broken.bytes = MakeTgaHeader(grey) + TgaPixelBytes(TwoPixels(24));
  LumpSpec beyond = ImageLump(TwoPixels(24), 0);
  beyond.offset = 1u << 30;  // points far past the end of the file

  for (const LumpSpec* bad : {&broken, &beyond}) {
    const std::string path =
        dir.Write("partial", MakeResFile({ImageLump(TwoPixels(24), 0), *bad, ImageLump(TwoPixels(24), 0)}));
    std::unique_ptr<Texture[]> textures;
    int count = -1;
    AlertRecorder alerts;
    EXPECT_FALSE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
    ASSERT_NE(textures, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_NE(textures[0].texID, 0u);
    EXPECT_EQ(textures[1].texID, 0u);
    EXPECT_EQ(textures[1].imageData, nullptr);
    EXPECT_EQ(textures[2].texID, 0u) << "nothing after the failure is read";
    ASSERT_EQ(g_alerts.size(), 1u) << "the image reader reports the failure itself";
    if (bad == &broken) {
      EXPECT_EQ(g_alerts[0], "Invalid Image: TGA file be type 2 or type 10 ");
    }
  }
}
