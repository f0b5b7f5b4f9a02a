#include "datafiles/ResourcePack.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/GLTest.h"
#include "tests/support/ReportRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/util/TexturePixels.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"

using ResourcePack = GLTest;

namespace {

// A 2 x 1 image lump: the key colour (10, 20, 30) then (200, 100, 50).
LumpSpec ImageLump(int32_t alphaMode = 0, uint32_t type = 1) {
  return {MakeTga(TgaImage{2, 1, 24, {10, 20, 30, 200, 100, 50}}, true), type, alphaMode, {}, {}};
}

}  // namespace

TEST_F(ResourcePack, BuildsOneSlotPerLumpWithItsAlphaRule) {
  TempDir dir;
  std::unique_ptr<Texture[]> textures;
  int count = -1;
  ReportRecorder reports;
  // Lump 1 is an image, but not typed as one: its slot stays empty.
  const std::string pack = MakeResFile({ImageLump(0), ImageLump(0, 0), ImageLump(1)});
  ASSERT_TRUE(LoadTexturesFromDataFile(dir.Write("pack", pack).c_str(), &textures, &count));
  EXPECT_TRUE(ReportRecorder::Alerts().empty());
  ASSERT_EQ(count, 3);
  EXPECT_EQ(textures[1].texID, 0u);
  EXPECT_EQ(TexturePixels(textures[2].texID),
            (std::vector<uint8_t>{10, 20, 30, 0, 200, 100, 50, 255}));
  const GLuint first = textures[0].texID;
  ASSERT_TRUE(glIsTexture(first));
  textures.reset();
  EXPECT_FALSE(glIsTexture(first)) << "destroying the array deletes every texture";

  // No lumps at all is a sound, empty pack; a refused or missing file leaves
  // the caller's array alone.
  const std::string empty = dir.Write("empty", MakeResFile({}));
  EXPECT_TRUE(LoadTexturesFromDataFile(empty.c_str(), &textures, &count));
  EXPECT_EQ(count, 0);
  textures.reset();
  count = -1;
  const std::string spoilt = pack.substr(0, pack.size() - 1);
  for (const std::string& bad : {dir.Write("bad", spoilt), dir.File("none")}) {
    EXPECT_FALSE(LoadTexturesFromDataFile(bad.c_str(), &textures, &count)) << bad;
    EXPECT_TRUE(textures == nullptr && count == -1);
  }

  // A broken image stops the load, but what was built is handed out.
  LumpSpec grey = ImageLump(), beyond = ImageLump();
  grey.bytes[2] = 3;         // image type: grey, which the reader refuses
  beyond.offset = 1u << 30;  // far past the end of the file
  for (const LumpSpec& bad : {grey, beyond}) {
    const std::string path = dir.Write("partial", MakeResFile({ImageLump(), bad, ImageLump()}));
    reports.Clear();
    EXPECT_FALSE(LoadTexturesFromDataFile(path.c_str(), &textures, &count));
    ASSERT_EQ(count, 3);
    EXPECT_NE(textures[0].texID, 0u);
    EXPECT_EQ(textures[1].imageData, nullptr);
    EXPECT_EQ(textures[1].texID + textures[2].texID, 0u) << "nothing after the failure is read";
    EXPECT_EQ(ReportRecorder::Alerts().size(), 1u) << "the image reader reports the failure itself";
  }
}
