#include "util/Texture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/GLTest.h"
#include "tests/support/TempDir.h"
#include "tools/TgaWriter.h"
#include "util/Diagnostics.h"
#include "util/MemoryStream.h"

namespace {

struct Alert {
  std::string caption;
  std::string text;
};
std::vector<Alert> g_alerts;

void RecordAlert(const char* caption, const char* text) { g_alerts.push_back({caption, text}); }

// Records the reader's alerts for the test's duration.
class AlertRecorder {
 public:
  AlertRecorder() : previous_(SetAlertHook(RecordAlert)) { g_alerts.clear(); }
  ~AlertRecorder() { SetAlertHook(previous_); }

 private:
  AlertHook previous_;
};

// The one alert since the last call ("" when none), then forgets it.
std::string TakeAlert() {
  std::string s;
  if (g_alerts.size() == 1) s = g_alerts[0].caption + ": " + g_alerts[0].text;
  else if (g_alerts.size() > 1) s = "<" + std::to_string(g_alerts.size()) + " alerts>";
  g_alerts.clear();
  return s;
}

std::vector<uint8_t> Pixels(const Texture& t) {
  const size_t n = size_t{t.width} * t.height * (t.bpp / 8);
  return t.imageData ? std::vector<uint8_t>(t.imageData.get(), t.imageData.get() + n)
                     : std::vector<uint8_t>();
}

// Reads `bytes` as a TGA image. `message` is the alert it showed, "" if none.
bool Load(const std::string& bytes, Texture* t, std::string* message) {
  MemoryStream in(bytes.data(), bytes.size());
  const bool ok = LoadTGA2(t, &in);
  *message = TakeAlert();
  return ok;
}

std::string Header(uint8_t type, uint16_t width, uint16_t height, uint8_t bpp) {
  TgaHeaderSpec h;
  h.imageType = type;
  h.width = width;
  h.height = height;
  h.bpp = bpp;
  return MakeTgaHeader(h);
}

const std::string kReadImage = "ERROR: Could not read image data";
const std::string kReadRun = "ERROR: Could not read from file";
const std::string kReadPacket = "ERROR: Could not read RLE header";
const std::string kTooMany = "ERROR: Too many pixels read";
const std::string kNoMemory = "ERROR: Could not allocate memory for image";
const std::string kWrongType = "Invalid Image: TGA file be type 2 or type 10 ";
const std::string kBadInfo = "ERROR: Invalid texture information";

}  // namespace

TEST(TgaReader, ReadsUncompressedPixelsAsRgb) {
  AlertRecorder alerts;
  std::string message;
  {
    const std::string file = Header(2, 2, 1, 24) + std::string("\1\2\3\4\5\6", 6) + "after";
    MemoryStream in(file.data(), file.size());
    Texture t;
    t.texID = 77;  // left alone
    ASSERT_TRUE(LoadTGA2(&t, &in));
    EXPECT_EQ(TakeAlert(), "");
    EXPECT_EQ(Pixels(t), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(t.type, static_cast<uint32_t>(GL_RGB));
    EXPECT_EQ(t.bpp, 24u);
    EXPECT_EQ(t.width, 2u);
    EXPECT_EQ(t.height, 1u);
    EXPECT_EQ(t.texID, 77u);
    EXPECT_EQ(in.tellg(), 18 + 6);  // just after the image
    t.texID = 0;
  }
  {
    Texture t;
    ASSERT_TRUE(Load(Header(2, 1, 1, 32) + std::string("\1\2\3\4", 4), &t, &message));
    EXPECT_EQ(Pixels(t), (std::vector<uint8_t>{3, 2, 1, 4}));
    EXPECT_EQ(t.type, static_cast<uint32_t>(GL_RGBA));
  }
  {
    // Widths and heights are 16-bit little-endian.
    TgaImage image{300, 2, 24, std::vector<uint8_t>(300 * 2 * 3, 9)};
    Texture t;
    ASSERT_TRUE(Load(MakeTga(image, false), &t, &message));
    EXPECT_EQ(t.width, 300u);
    EXPECT_EQ(Pixels(t), image.pixels);
  }
}

TEST(TgaReader, RefusesHeadersItDoesNotRead) {
  AlertRecorder alerts;
  auto refusal = [](const std::string& bytes) {
    Texture t;
    std::string message;
    EXPECT_FALSE(Load(bytes, &t, &message));
    EXPECT_EQ(t.imageData, nullptr);
    return message;
  };
  const std::string pixel(4, '\x7f');
  {
    TgaHeaderSpec h;
    h.idLength = 1;
    h.width = h.height = 1;
    EXPECT_EQ(refusal(MakeTgaHeader(h) + pixel), kWrongType);
    h.idLength = 0;
    h.colourMapType = 1;
    EXPECT_EQ(refusal(MakeTgaHeader(h) + pixel), kWrongType);
  }
  EXPECT_EQ(refusal(Header(1, 1, 1, 24) + pixel), kWrongType);   // colour-mapped
  EXPECT_EQ(refusal(Header(3, 1, 1, 24) + pixel), kWrongType);   // grey
  EXPECT_EQ(refusal(Header(11, 1, 1, 24) + pixel), kWrongType);  // run-length grey
  EXPECT_EQ(refusal(Header(2, 1, 1, 16) + pixel), kBadInfo);
  EXPECT_EQ(refusal(Header(10, 1, 1, 8) + pixel), kBadInfo);
  EXPECT_EQ(refusal(Header(2, 0, 1, 24) + pixel), kBadInfo);
  EXPECT_EQ(refusal(Header(10, 1, 0, 32) + pixel), kBadInfo);
  EXPECT_EQ(refusal(""), "ERROR: Could not read file header");
  EXPECT_EQ(refusal(Header(2, 1, 1, 24).substr(0, 11)), "ERROR: Could not read file header");
  EXPECT_EQ(refusal(Header(2, 1, 1, 24).substr(0, 17)), "ERROR: Could not read info header");
  EXPECT_EQ(refusal(Header(2, 2, 1, 24) + pixel), kReadImage);  // one byte short of 6
  {
    // A refused header still leaves its values in the record; a record that
    // held pixels loses them.
    Texture t;
    t.imageData = std::make_unique<uint8_t[]>(3);
    std::string message;
    EXPECT_FALSE(Load(Header(2, 5, 7, 16), &t, &message));
    EXPECT_EQ(t.width, 5u);
    EXPECT_EQ(t.height, 7u);
    EXPECT_EQ(t.bpp, 16u);
    EXPECT_EQ(t.imageData, nullptr);
  }
  {
    Texture t;
    EXPECT_FALSE(LoadTGA2(&t, nullptr));
    EXPECT_EQ(TakeAlert(), "ERROR: Could not open texture file");
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&t, &closed));
    EXPECT_EQ(TakeAlert(), "ERROR: Could not open texture file");
  }
}

TEST(TgaReader, ReadsRunLengthPackets) {
  AlertRecorder alerts;
  std::string message;
  const std::string bgr("\1\2\3", 3);
  {
    // 0x83: one pixel stands for four; packets run across rows.
    Texture t;
    ASSERT_TRUE(Load(Header(10, 2, 2, 24) + "\x83" + bgr, &t, &message));
    EXPECT_EQ(message, "");
    EXPECT_EQ(Pixels(t), (std::vector<uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1}));
  }
  {
    // 0x00: a raw packet of one pixel; the bytes after the image stay unread.
    const std::string file = Header(10, 1, 1, 32) + std::string("\0\1\2\3\4", 5) + "tail";
    MemoryStream in(file.data(), file.size());
    Texture t;
    ASSERT_TRUE(LoadTGA2(&t, &in));
    EXPECT_EQ(Pixels(t), (std::vector<uint8_t>{3, 2, 1, 4}));
    EXPECT_EQ(in.tellg(), 18 + 5);
  }
  {
    // The writer's mix of raw and run packets gives back the same pixels as
    // the uncompressed file, at both depths.
    for (uint8_t bpp : {24, 32}) {
      TgaImage image{37, 23, bpp, {}};
      for (int i = 0; i < 37 * 23; ++i) {
        const int v = (i / 5) % 3 == 0 ? 200 : i;  // runs between noise
        for (int c = 0; c < bpp / 8; ++c) image.pixels.push_back(static_cast<uint8_t>(v * (c + 1)));
      }
      const std::string packed = MakeTga(image, true);
      ASSERT_LT(packed.size(), MakeTga(image, false).size());
      Texture rle, raw;
      ASSERT_TRUE(Load(packed, &rle, &message)) << message;
      ASSERT_TRUE(Load(MakeTga(image, false), &raw, &message)) << message;
      EXPECT_EQ(Pixels(rle), image.pixels);
      EXPECT_EQ(Pixels(raw), image.pixels);
    }
  }
}

TEST(TgaReader, RunLengthNeverWritesPastTheImage) {
  AlertRecorder alerts;
  std::string message;
  const std::string bgr("\1\2\3", 3);
  auto refusal = [&](const std::string& bytes) {
    Texture t;
    EXPECT_FALSE(Load(bytes, &t, &message));
    EXPECT_EQ(t.imageData, nullptr);
    return message;
  };
  // Runs and raw packets that overshoot (AddressSanitizer watches the writes).
  EXPECT_EQ(refusal(Header(10, 3, 1, 24) + "\x83" + bgr), kTooMany);
  EXPECT_EQ(refusal(Header(10, 3, 1, 24) + "\x81" + bgr + "\x81" + bgr), kTooMany);
  EXPECT_EQ(refusal(Header(10, 2, 1, 24) + "\x02" + bgr + bgr + bgr), kTooMany);
  EXPECT_EQ(refusal(Header(10, 1, 1, 32) + "\xff" + bgr + "\x40"), kTooMany);
  // The surplus pixel of a raw packet is read before it is refused.
  EXPECT_EQ(refusal(Header(10, 2, 1, 24) + "\x02" + bgr + bgr), kReadImage);

  // Streams that end early, with enough bytes left that the image is
  // allocated and decoding starts...
  EXPECT_EQ(refusal(Header(10, 4, 1, 24) + "\x81" + bgr), kReadPacket);
  EXPECT_EQ(refusal(Header(10, 4, 1, 24) + "\x03" + bgr + bgr), kReadImage);
  EXPECT_EQ(refusal(Header(10, 16, 16, 24) + "\x7f" + std::string(384, '\5') + "\xff\1\2"),
            kReadRun);
  // ...and with too few to hold one packet per 128 pixels.
  EXPECT_EQ(refusal(Header(10, 4, 1, 24)), kReadPacket);
  EXPECT_EQ(refusal(Header(10, 200, 1, 24) + "\xff" + bgr), kReadPacket);
  EXPECT_EQ(refusal(Header(10, 200, 1, 24) + "\xff\1\2"), kReadRun);
  EXPECT_EQ(refusal(Header(10, 200, 1, 24) + "\x7f\1\2"), kReadImage);
}

TEST(TgaReader, RefusesImpossibleSizesBeforeAllocating) {
  AlertRecorder alerts;
  std::string message;
  auto refusal = [&](const std::string& bytes) {
    Texture t;
    EXPECT_FALSE(Load(bytes, &t, &message));
    EXPECT_EQ(t.imageData, nullptr);
    return message;
  };
  // 32768 x 32768 x 4 bytes is 2^32: a 32-bit size would be 0 and "succeed".
  EXPECT_EQ(refusal(Header(2, 32768, 32768, 32)), kReadImage);
  // A 20-byte file claiming 17 GB costs nothing.
  EXPECT_EQ(refusal(Header(2, 65535, 65535, 32) + "xy"), kReadImage);
  EXPECT_EQ(refusal(Header(10, 65535, 65535, 32) + "\xff\1"), kReadRun);
  // A run-length image the stream could hold but that is too large to
  // allocate: 65535 x 1025 pixels as full runs of 128.
  {
    const uint64_t pixels = 65535ull * 1025;
    ASSERT_GT(pixels, kMaxTgaPixels);
    std::string runs;
    for (uint64_t i = 0; i < (pixels + 127) / 128; ++i) runs += "\xff\1\2\3";
    EXPECT_EQ(refusal(Header(10, 65535, 1025, 24) + runs), kNoMemory);
  }
}

TEST(TgaReader, LoadsByPath) {
  AlertRecorder alerts;
  TempDir dir;
  TgaImage image{2, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
  const std::string path = dir.Write("wing.tga", MakeTga(image, true));
  Texture t;
  ASSERT_TRUE(LoadTGA(&t, path.c_str()));
  EXPECT_EQ(Pixels(t), image.pixels);
  EXPECT_EQ(TakeAlert(), "");
  EXPECT_FALSE(LoadTGA(&t, dir.File("none.tga").c_str()));
  EXPECT_EQ(TakeAlert(), "ERROR: Could not open texture file");
  EXPECT_EQ(t.imageData, nullptr);
  EXPECT_FALSE(LoadTGA(&t, dir.Write("short.tga", "\0\0\2").c_str()));
  EXPECT_EQ(TakeAlert(), "ERROR: Could not read file header");
}

namespace {

using TextureBuild = GLTest;

Texture Loaded(uint32_t width, uint32_t height, uint32_t bpp, std::vector<uint8_t> pixels) {
  Texture t;
  t.width = width;
  t.height = height;
  t.bpp = bpp;
  t.type = bpp == 32 ? GL_RGBA : GL_RGB;
  t.imageData = std::make_unique<uint8_t[]>(pixels.size());
  std::copy(pixels.begin(), pixels.end(), t.imageData.get());
  return t;
}

// The texture's level 0 as RGBA bytes, read back from OpenGL.
std::vector<uint8_t> ReadBack(const Texture& t) {
  std::vector<uint8_t> rgba(size_t{t.width} * t.height * 4, 0xee);
  glBindTexture(GL_TEXTURE_2D, t.texID);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

std::vector<uint8_t> Alphas(const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> a;
  for (size_t i = 3; i < rgba.size(); i += 4) a.push_back(rgba[i]);
  return a;
}

}  // namespace

TEST_F(TextureBuild, AppliesTheAlphaRules) {
  {
    // Colour key: the first pixel's colour, exactly, is transparent.
    Texture t = Loaded(2, 2, 24, {10, 20, 30, 10, 20, 31, 10, 20, 30, 1, 2, 3});
    ASSERT_TRUE(BuildTexture(&t, 1));
    EXPECT_EQ(t.imageData, nullptr);
    ASSERT_NE(t.texID, 0u);
    EXPECT_TRUE(glIsTexture(t.texID));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), t.texID);
    EXPECT_EQ(t.width, 2u);
    EXPECT_EQ(ReadBack(t), (std::vector<uint8_t>{10, 20, 30, 0, 10, 20, 31, 255,
                                                 10, 20, 30, 0, 1, 2, 3, 255}));
    GLint wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(wrapS, GL_REPEAT);
    EXPECT_EQ(wrapT, GL_REPEAT);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
  }
  {
    // Brightness: the largest channel.
    Texture t = Loaded(2, 1, 24, {10, 200, 30, 250, 5, 6});
    ASSERT_TRUE(BuildTexture(&t, 2));
    EXPECT_EQ(Alphas(ReadBack(t)), (std::vector<uint8_t>{200, 250}));
  }
  for (int mode : {0, 5, -1}) {
    // Opaque, whatever alpha a 32-bit image brings; its colour is kept.
    Texture t = Loaded(3, 1, 32, {1, 2, 3, 0, 4, 5, 6, 7, 1, 2, 3, 128});
    ASSERT_TRUE(BuildTexture(&t, mode));
    EXPECT_EQ(ReadBack(t), (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255, 1, 2, 3, 255}));
  }
  {
    // The colour key of a 32-bit image ignores its alpha byte.
    Texture t = Loaded(2, 1, 32, {7, 7, 7, 1, 7, 7, 7, 2});
    ASSERT_TRUE(BuildTexture(&t, 1));
    EXPECT_EQ(Alphas(ReadBack(t)), (std::vector<uint8_t>{0, 0}));
  }
}

TEST_F(TextureBuild, DestroyingTheRecordDeletesTheTexture) {
  GLuint name = 0;
  {
    Texture t = Loaded(1, 1, 24, {1, 2, 3});
    ASSERT_TRUE(BuildTexture(&t, 0));
    name = t.texID;
    Texture moved(std::move(t));
    EXPECT_EQ(t.texID, 0u);
    EXPECT_EQ(moved.texID, name);
    Texture assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(glIsTexture(name));
  }
  EXPECT_FALSE(glIsTexture(name));
  {
    Texture t = Loaded(1, 1, 24, {1, 2, 3});
    ASSERT_TRUE(BuildTexture(&t, 0));
    name = t.texID;
    t.Release();
    t.Release();
    EXPECT_EQ(t.texID, 0u);
    EXPECT_FALSE(glIsTexture(name));
  }
}

TEST_F(TextureBuild, RefusedUploadLeavesNoTexture) {
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  ASSERT_GT(maxSide, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  for (bool wide : {true, false}) {
    const uint32_t side = static_cast<uint32_t>(maxSide) + 1;
    Texture t = Loaded(wide ? side : 1, wide ? 1 : side, 24, std::vector<uint8_t>(side * 3, 40));
    EXPECT_FALSE(BuildTexture(&t, 0));
    EXPECT_EQ(t.texID, 0u);
    EXPECT_NE(t.imageData, nullptr);  // kept, as for any failed build
    Texture alpha = Loaded(t.width, t.height, 24, std::vector<uint8_t>(side * 3, 40));
    EXPECT_FALSE(BuildTGATextureWithAlpha(&t, &alpha));
    EXPECT_EQ(t.texID, 0u);
    EXPECT_NE(t.imageData, nullptr);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
  }
  {
    // The largest side is taken.
    Texture t = Loaded(static_cast<uint32_t>(maxSide), 1, 24,
                       std::vector<uint8_t>(static_cast<size_t>(maxSide) * 3, 40));
    EXPECT_TRUE(BuildTexture(&t, 0));
  }
  {
    Texture empty;
    EXPECT_FALSE(BuildTexture(&empty, 0));
    EXPECT_EQ(empty.texID, 0u);
  }
}

TEST_F(TextureBuild, AlphaImageGivesTheAlphaChannel) {
  {
    // Each image is read with its own depth: a 32-bit colour image keeps its
    // colours, a 32-bit alpha image gives its red channel.
    Texture colour = Loaded(2, 1, 32, {10, 20, 30, 1, 40, 50, 60, 2});
    Texture alpha = Loaded(2, 1, 24, {99, 0, 0, 7, 8, 9});
    ASSERT_TRUE(BuildTGATextureWithAlpha(&colour, &alpha));
    EXPECT_EQ(colour.imageData, nullptr);
    EXPECT_NE(alpha.imageData, nullptr);  // stays with its owner
    EXPECT_EQ(ReadBack(colour), (std::vector<uint8_t>{10, 20, 30, 99, 40, 50, 60, 7}));

    Texture colour24 = Loaded(2, 1, 24, {1, 2, 3, 4, 5, 6});
    Texture alpha32 = Loaded(2, 1, 32, {11, 0, 0, 0, 22, 0, 0, 0});
    ASSERT_TRUE(BuildTGATextureWithAlpha(&colour24, &alpha32));
    EXPECT_EQ(ReadBack(colour24), (std::vector<uint8_t>{1, 2, 3, 11, 4, 5, 6, 22}));
  }
  {
    // The same alpha image serves several textures.
    Texture alpha = Loaded(1, 1, 24, {128, 0, 0});
    Texture a = Loaded(1, 1, 24, {1, 1, 1}), b = Loaded(1, 1, 24, {2, 2, 2});
    ASSERT_TRUE(BuildTGATextureWithAlpha(&a, &alpha));
    ASSERT_TRUE(BuildTGATextureWithAlpha(&b, &alpha));
    EXPECT_EQ(Alphas(ReadBack(b)), (std::vector<uint8_t>{128}));
  }
  {
    // An alpha image with fewer pixels is refused, not read past.
    Texture colour = Loaded(2, 2, 24, std::vector<uint8_t>(12, 5));
    Texture alpha = Loaded(3, 1, 24, std::vector<uint8_t>(9, 5));
    EXPECT_FALSE(BuildTGATextureWithAlpha(&colour, &alpha));
    EXPECT_EQ(colour.texID, 0u);
    EXPECT_NE(colour.imageData, nullptr);
    Texture none;
    EXPECT_FALSE(BuildTGATextureWithAlpha(&colour, &none));
  }
}
