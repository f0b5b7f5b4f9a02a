#include "datafiles/ResourcePack.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/GLTest.h"
#include "tests/support/ReportRecorder.h"
#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"

namespace {

using Rgba = std::array<uint8_t, 4>;

// A 2 x 1 image lump: the key colour (10, 20, 30) then (200, 100, 50).
LumpSpec ImageLump(int32_t alphaMode, uint8_t bpp = 24, bool runLength = false) {
  TgaImage image{2, 1, bpp, {10, 20, 30, 200, 100, 50}};
  if (bpp == 32) image.pixels = {10, 20, 30, 77, 200, 100, 50, 77};
  return {MakeTga(image, runLength), 1, alphaMode};
}

std::vector<Rgba> ReadBack(GLuint name) {
  std::vector<Rgba> px(2);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  return px;
}

}  // namespace

using ResourcePack = GLTest;

TEST_F(ResourcePack, BuildsOneSlotPerLumpWithEachLumpsAlphaRule) {
  TempDir dir;
  std::vector<LumpSpec> lumps = {ImageLump(0), ImageLump(1, 32), ImageLump(2, 24, true), ImageLump(0),
                                 ImageLump(1)};
  lumps[3].type = 0;  // an image, but not typed as one: its slot stays empty
  std::unique_ptr<Texture[]> textures;
  int count = -1;
  ReportRecorder reports;
  ASSERT_TRUE(LoadTexturesFromDataFile(dir.Write("pack", MakeResFile(lumps)).c_str(), &textures, &count));
  EXPECT_TRUE(ReportRecorder::Alerts().empty());
  ASSERT_EQ(count, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(textures[i].texID != 0, i != 3) << i;
    EXPECT_EQ(textures[i].imageData, nullptr) << i;
  }
  EXPECT_EQ(ReadBack(textures[0].texID), (std::vector<Rgba>{{10, 20, 30, 255}, {200, 100, 50, 255}}));
  EXPECT_EQ(ReadBack(textures[1].texID), (std::vector<Rgba>{{10, 20, 30, 0}, {200, 100, 50, 255}}));
  EXPECT_EQ(ReadBack(textures[2].texID), (std::vector<Rgba>{{10, 20, 30, 30}, {200, 100, 50, 200}}));
  // Destroying the array deletes every GL texture.
  const GLuint first = textures[0].texID;
  textures.reset();
  EXPECT_FALSE(glIsTexture(first));

  // No lumps at all is a sound, empty pack; a refused or missing file leaves
  // the caller's array alone.
  EXPECT_TRUE(LoadTexturesFromDataFile(dir.Write("empty", MakeResFile({})).c_str(), &textures, &count));
  EXPECT_EQ(count, 0);
  LumpFileOverrides wrongLength;
  wrongLength.lengthCheck = 12345;
  textures.reset();
  count = -1;
  for (const std::string& path : {dir.Write("bad", MakeResFile({ImageLump(0)}, wrongLength)), dir.File("none")}) {
    EXPECT_FALSE(LoadTexturesFromDataFile(path.c_str(), &textures, &count)) << path;
    EXPECT_EQ(textures, nullptr);
    EXPECT_EQ(count, -1);
  }
}

TEST_F(ResourcePack, ABrokenImageStopsTheLoadButHandsOutWhatWasBuilt) {
  TempDir dir;
  LumpSpec grey = ImageLump(0);
  grey.bytes[2] = 3;  // image type: grey, which the reader refuses
  LumpSpec beyond = ImageLump(0);
  beyond.offset = 1u << 30;  // far past the end of the file
  for (const LumpSpec& bad : {grey, beyond}) {
    const std::string path = dir.Write("partial", MakeResFile({ImageLump(0), bad, ImageLump(0)}));
    std::unique_ptr<Texture[]> textures;
    int count = -1;
    ReportRecorder reports;
    EXPECT_FALSE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
    ASSERT_EQ(count, 3);
    EXPECT_NE(textures[0].texID, 0u);
    EXPECT_EQ(textures[1].texID, 0u);
    EXPECT_EQ(textures[1].imageData, nullptr);
    EXPECT_EQ(textures[2].texID, 0u) << "nothing after the failure is read";
    EXPECT_EQ(ReportRecorder::Alerts().size(), 1u) << "the image reader reports the failure itself";
  }
}
