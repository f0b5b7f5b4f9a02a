#include "util/Texture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/GLTest.h"
#include "tests/support/ReportRecorder.h"
#include "tests/util/TexturePixels.h"
#include "tools/TgaWriter.h"
#include "util/MemoryStream.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Header(uint8_t type, uint16_t width, uint16_t height, uint8_t bpp) {
  return MakeTgaHeader({.imageType = type, .width = width, .height = height, .bpp = bpp});
}

// Reads `bytes` as a TGA image; `message` is the one alert it showed, "" if none.
bool Load(const std::string& bytes, Texture* t, std::string* message,
          std::streamoff* end = nullptr) {
  ReportRecorder reports;
  MemoryStream in(bytes.data(), bytes.size());
  const bool ok = LoadTGA2(t, &in);
  if (end) *end = in.tellg();
  const auto& alerts = ReportRecorder::Alerts();
  *message = alerts.size() == 1 ? alerts[0] : alerts.empty() ? "" : "<several alerts>";
  return ok;
}

const std::string kBgr("\1\2\3", 3);

}  // namespace

TEST(TgaReader, ReadsRawAndRunLengthPixelsAsRgb) {
  // File, pixels read (RGB order), GL type, where the reader leaves the stream.
  const std::tuple<std::string, Bytes, uint32_t, std::streamoff> rows[] = {
      {Header(2, 2, 1, 24) + std::string("\1\2\3\4\5\6", 6) + "after", {3, 2, 1, 6, 5, 4},
       GL_RGB, 24},
      {Header(2, 1, 1, 32) + std::string("\1\2\3\4", 4), {3, 2, 1, 4}, GL_RGBA, 22},
      // 0x83: one pixel stands for four; packets run across rows.
      {Header(10, 2, 2, 24) + "\x83" + kBgr, {3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1}, GL_RGB, 22},
      // 0x00: a raw packet of one pixel; the bytes after the image stay unread.
      {Header(10, 1, 1, 32) + std::string("\0\1\2\3\4", 5) + "tail", {3, 2, 1, 4}, GL_RGBA, 23},
  };
  for (const auto& [file, pixels, type, end] : rows) {
    Texture t;
    std::string message;
    std::streamoff at = 0;
    ASSERT_TRUE(Load(file, &t, &message, &at)) << message;
    EXPECT_EQ(Bytes(t.imageData.get(), t.imageData.get() + size_t{t.width} * t.height * t.bpp / 8),
              pixels);
    EXPECT_EQ(t.type, type);
    EXPECT_EQ(at, end);
  }
}

TEST(TgaReader, RefusesHostileFilesWithoutWritingPastTheImage) {
  const std::string readImage = "Could not read image data", readRun = "Could not read from file";
  const std::string readPacket = "Could not read RLE header", tooMany = "Too many pixels read";
  const std::string wrongType = "TGA file be type 2 or type 10 ";
  const std::string badInfo = "Invalid texture information";
  const std::string pixel(4, '\x7f');
  std::string withId = Header(2, 1, 1, 24);
  withId[0] = 1;  // an image id follows the header
  // 65535 x 1025 pixels as full runs of 128: the stream holds them, memory may not.
  std::string runs;
  for (uint64_t i = 0; i < (65535ull * 1025 + 127) / 128; ++i) runs += "\xff\1\2\3";
  ASSERT_GT(65535ull * 1025, kMaxTgaPixels);

  const std::pair<std::string, std::string> rows[] = {
      {Header(2, 1, 1, 24).substr(0, 11), "Could not read file header"},
      {Header(2, 1, 1, 24).substr(0, 17), "Could not read info header"},
      {withId + pixel, wrongType},
      {Header(3, 1, 1, 24) + pixel, wrongType},  // grey
      {Header(2, 1, 1, 16) + pixel, badInfo},
      {Header(2, 0, 1, 24) + pixel, badInfo},
      {Header(10, 1, 0, 32) + pixel, badInfo},
      {Header(2, 2, 1, 24) + pixel, readImage},  // one byte short of 6
      // Runs and raw packets that overshoot (AddressSanitizer watches).
      {Header(10, 3, 1, 24) + "\x83" + kBgr, tooMany},
      {Header(10, 3, 1, 24) + "\x81" + kBgr + "\x81" + kBgr, tooMany},
      {Header(10, 2, 1, 24) + "\x02" + kBgr + kBgr + kBgr, tooMany},
      {Header(10, 2, 1, 24) + "\x02" + kBgr + kBgr, readImage},  // the surplus pixel is read first
      // Streams that end early once decoding has started...
      {Header(10, 4, 1, 24) + "\x81" + kBgr, readPacket},
      {Header(10, 4, 1, 24) + "\x03" + kBgr + kBgr, readImage},
      {Header(10, 16, 16, 24) + "\x7f" + std::string(384, '\5') + "\xff\1\2", readRun},
      // ...and with too few bytes to hold one packet per 128 pixels.
      {Header(10, 200, 1, 24) + "\xff" + kBgr, readPacket},
      {Header(10, 200, 1, 24) + "\xff\1\2", readRun},
      {Header(10, 200, 1, 24) + "\x7f\1\2", readImage},
      // 32768 x 32768 x 4 is 2^32: a 32-bit size would be 0 and "succeed".
      {Header(2, 32768, 32768, 32), readImage},
      {Header(10, 65535, 1025, 24) + runs, "Could not allocate memory for image"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    Texture t;
    t.imageData = std::make_unique<uint8_t[]>(3);  // a record that held pixels loses them
    std::string message;
    EXPECT_FALSE(Load(rows[i].first, &t, &message));
    EXPECT_EQ(message, rows[i].second);
    EXPECT_EQ(t.imageData, nullptr);
  }
  ReportRecorder reports;
  Texture t;
  std::ifstream closed;
  EXPECT_FALSE(LoadTGA2(&t, nullptr) || LoadTGA2(&t, &closed));
  EXPECT_EQ(ReportRecorder::Alerts(), std::vector<std::string>(2, "Could not open texture file"));
}

namespace {

using TextureBuild = GLTest;

Texture Loaded(uint32_t width, uint32_t height, uint32_t bpp, Bytes pixels) {
  Texture t;
  t.width = width;
  t.height = height;
  t.bpp = bpp;
  t.type = bpp == 32 ? GL_RGBA : GL_RGB;
  t.imageData = std::make_unique<uint8_t[]>(pixels.size());
  std::copy(pixels.begin(), pixels.end(), t.imageData.get());
  return t;
}

}  // namespace

TEST_F(TextureBuild, AppliesTheAlphaRuleOrTheAlphaImage) {
  // Rule, depth, pixels, RGBA built: 1 makes the first pixel's colour,
  // exactly, transparent (whatever a 32-bit alpha says), 2 takes the largest
  // channel, any other rule is opaque.
  const std::tuple<int, uint32_t, Bytes, Bytes> rows[] = {
      {1, 24, {10, 20, 30, 10, 20, 31, 10, 20, 30},
       {10, 20, 30, 0, 10, 20, 31, 255, 10, 20, 30, 0}},
      {1, 32, {7, 7, 7, 1, 7, 7, 7, 2}, {7, 7, 7, 0, 7, 7, 7, 0}},
      {2, 24, {10, 200, 30, 250, 5, 6}, {10, 200, 30, 200, 250, 5, 6, 250}},
      {0, 32, {1, 2, 3, 0, 4, 5, 6, 7}, {1, 2, 3, 255, 4, 5, 6, 255}},
  };
  for (const auto& [mode, bpp, pixels, rgba] : rows) {
    Texture t = Loaded(static_cast<uint32_t>(pixels.size() * 8 / bpp), 1, bpp, pixels);
    ASSERT_TRUE(BuildTexture(&t, mode)) << mode;
    EXPECT_EQ(t.imageData, nullptr);
    EXPECT_EQ(TexturePixels(t.texID), rgba) << mode;
  }
  // Building again replaces the texture with the new pixels.
  Texture twice = Loaded(1, 1, 24, {1, 2, 3});
  ASSERT_TRUE(BuildTexture(&twice, 0));
  twice.imageData = std::make_unique<uint8_t[]>(3);
  ASSERT_TRUE(BuildTexture(&twice, 0));
  EXPECT_EQ(TexturePixels(twice.texID), (Bytes{0, 0, 0, 255}));
  // Each image is read with its own depth: a 32-bit colour image keeps its
  // colours, an alpha image of either depth gives its red channel and stays
  // with its owner.
  Texture alpha24 = Loaded(2, 1, 24, {99, 0, 0, 7, 8, 9});
  Texture alpha32 = Loaded(2, 1, 32, {11, 0, 0, 0, 22, 0, 0, 0});
  Texture colour32 = Loaded(2, 1, 32, {10, 20, 30, 1, 40, 50, 60, 2});
  Texture colour24 = Loaded(2, 1, 24, {1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(BuildTGATextureWithAlpha(&colour32, &alpha24));
  ASSERT_TRUE(BuildTGATextureWithAlpha(&colour24, &alpha32));
  EXPECT_EQ(TexturePixels(colour32.texID), (Bytes{10, 20, 30, 99, 40, 50, 60, 7}));
  EXPECT_EQ(TexturePixels(colour24.texID), (Bytes{1, 2, 3, 11, 4, 5, 6, 22}));
  EXPECT_TRUE(colour32.imageData == nullptr && alpha24.imageData != nullptr);
  // A moved texture hands its name on; the one it replaces is deleted.
  const GLuint replaced = colour32.texID;
  Texture moved(std::move(colour24));
  colour32 = std::move(moved);
  EXPECT_TRUE(colour24.texID == 0 && moved.texID == 0 && !glIsTexture(replaced));
  EXPECT_EQ(TexturePixels(colour32.texID), (Bytes{1, 2, 3, 11, 4, 5, 6, 22}));
}

TEST_F(TextureBuild, RefusedBuildLeavesNoTextureAndKeepsThePixels) {
  // Sides above the driver's limit, and an alpha image with fewer pixels
  // (refused, not read past).
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  const uint32_t side = static_cast<uint32_t>(maxSide) + 1;
  Texture wide = Loaded(side, 1, 24, Bytes(side * 3, 40));
  Texture alpha = Loaded(side, 1, 24, Bytes(side * 3, 40));
  Texture big = Loaded(2, 2, 24, Bytes(12, 5)), small = Loaded(3, 1, 24, Bytes(9, 5)), none;
  EXPECT_FALSE(BuildTexture(&wide, 0) || BuildTGATextureWithAlpha(&wide, &alpha));
  EXPECT_FALSE(BuildTGATextureWithAlpha(&big, &small) || BuildTGATextureWithAlpha(&big, &none));
  EXPECT_FALSE(BuildTexture(&none, 0));
  for (const Texture* t : {&wide, &big}) EXPECT_TRUE(t->texID == 0 && t->imageData != nullptr);
  Texture largest = Loaded(side - 1, 1, 24, Bytes((side - 1) * 3, 40));
  EXPECT_TRUE(BuildTexture(&largest, 0));
}
