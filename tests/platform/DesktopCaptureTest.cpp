#include "platform/DesktopCapture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "tests/support/GLTest.h"

namespace {

// A picture of the given size filled by `rgb(x, y)` (0xRRGGBB), top row first.
RgbaImage Picture(int width, int height, const std::function<unsigned(int, int)>& rgb) {
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned c = rgb(x, y);
      uint8_t* p = &image.pixels[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(c >> 16);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c);
      p[3] = 255;
    }
  }
  return image;
}

// Red top left, green top right, blue bottom left, white bottom right.
unsigned Quadrant(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  if (!bottom) return right ? 0x00FF00 : 0xFF0000;
  return right ? 0xFFFFFF : 0x0000FF;
}

// RGB of pixel (x, y) of a bottom-row-first RGBA buffer, as 0xRRGGBB.
unsigned At(const std::vector<uint8_t>& rgba, int width, int x, int y) {
  const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}

class FakeDesktop : public DesktopSource {
 public:
  bool ok = true;
  RgbaImage image;
  int grabs = 0;
  bool Grab(RgbaImage* out) override {
    ++grabs;
    if (!ok) return false;
    *out = image;
    return true;
  }
};

}  // namespace

TEST(DesktopCapture, TextureSizeByDetail) {
  struct Case {
    int w, h, detail, glMax, texW, texH;
  };
  const Case cases[] = {
      {1440, 900, 1, 16384, 1024, 1024},  // 1440 -> 1024, 900 -> 1024
      {1440, 900, 0, 16384, 512, 512},
      {1440, 900, 2, 16384, 1024, 1024},  // log2 1440 = 10.49, log2 900 = 9.81
      {1920, 1080, 2, 2048, 2048, 1024},
      {1920, 1080, 2, 1024, 1024, 1024},  // limited by the GL maximum
      {1920, 1080, 0, 16384, 512, 512},
      {1920, 1080, 1, 16384, 1024, 1024},
      {1920, 1080, 7, 16384, 2048, 1024},  // any other detail is the GL maximum
      {1920, 1080, -1, 4096, 2048, 1024},
      {2560, 1440, 2, 16384, 2048, 1024},  // log2 2560 = 11.32, log2 1440 = 10.49
      {400, 300, 1, 16384, 512, 256},      // small screens are not scaled up to the cap
  };
  for (const Case& c : cases) {
    const int cap = CaptureSizeCap(c.detail, c.glMax);
    EXPECT_EQ(CaptureTextureSide(c.w, cap), c.texW) << c.w << " at detail " << c.detail;
    EXPECT_EQ(CaptureTextureSide(c.h, cap), c.texH) << c.h << " at detail " << c.detail;
  }
  // Rounding on the logarithmic scale: 3 (1.58) -> 4, 5 (2.32) -> 4, 6 (2.58) -> 8.
  EXPECT_EQ(CaptureTextureSide(1, 512), 1);
  EXPECT_EQ(CaptureTextureSide(3, 512), 4);
  EXPECT_EQ(CaptureTextureSide(5, 512), 4);
  EXPECT_EQ(CaptureTextureSide(6, 512), 8);
  // Nothing to capture.
  EXPECT_EQ(CaptureTextureSide(0, 512), 0);
  EXPECT_EQ(CaptureTextureSide(-4, 512), 0);
  EXPECT_EQ(CaptureTextureSide(640, 0), 0);
  EXPECT_EQ(CaptureTextureSide(2147483647, 1024), 1024);
}

TEST(DesktopCapture, FlipAndBlackTest) {
  {
    std::vector<uint8_t> rows = {1, 1, 2, 2, 3, 3};
    FlipRows(rows.data(), 2, 3);
    EXPECT_EQ(rows, (std::vector<uint8_t>{3, 3, 2, 2, 1, 1}));
    FlipRows(rows.data(), 2, 1);  // one row: unchanged
    EXPECT_EQ(rows[0], 3);
  }
  {
    std::vector<uint8_t> px(4 * 100, 0);
    for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;  // alpha does not count
    EXPECT_FALSE(HasNonBlackPixel(px.data(), 100));
    px[99 * 4 + 2] = 1;  // the last pixel, a little blue
    EXPECT_TRUE(HasNonBlackPixel(px.data(), 100));
    EXPECT_FALSE(HasNonBlackPixel(px.data(), 99)) << "the count bounds the scan";
    EXPECT_FALSE(HasNonBlackPixel(nullptr, 10));
  }
}

TEST(DesktopCapture, ScalesWithFilteringBottomRowFirst) {
  {  // orientation: the screen's top ends up in the last rows
    const RgbaImage src = Picture(64, 48, [](int x, int y) { return Quadrant(x, y, 64, 48); });
    std::vector<uint8_t> out;
    ASSERT_TRUE(ScaleForTexture(src, 32, 32, &out));
    ASSERT_EQ(out.size(), 32u * 32 * 4);
    EXPECT_EQ(At(out, 32, 4, 4), 0x0000FFu) << "bottom left";
    EXPECT_EQ(At(out, 32, 28, 4), 0xFFFFFFu) << "bottom right";
    EXPECT_EQ(At(out, 32, 4, 28), 0xFF0000u) << "top left";
    EXPECT_EQ(At(out, 32, 28, 28), 0x00FF00u) << "top right";
    EXPECT_EQ(out[3], 255) << "opaque";
  }
  {  // filtering: a fine black and white check averages to grey
    const RgbaImage src =
        Picture(64, 64, [](int x, int y) { return ((x + y) % 2) != 0 ? 0xFFFFFFu : 0u; });
    std::vector<uint8_t> out;
    ASSERT_TRUE(ScaleForTexture(src, 16, 16, &out));
    const unsigned grey = At(out, 16, 8, 8) & 0xFF;
    EXPECT_GT(grey, 100u);
    EXPECT_LT(grey, 155u);
  }
  {  // up-scaling too (a side below the texture side)
    const RgbaImage src = Picture(3, 2, [](int, int y) { return y == 0 ? 0xFF0000u : 0x0000FFu; });
    std::vector<uint8_t> out;
    ASSERT_TRUE(ScaleForTexture(src, 4, 2, &out));
    EXPECT_EQ(At(out, 4, 0, 0), 0x0000FFu);
    EXPECT_EQ(At(out, 4, 3, 1), 0xFF0000u);
  }
  {  // refused input
    std::vector<uint8_t> out;
    RgbaImage bad;
    bad.width = 4;
    bad.height = 4;
    bad.pixels.resize(10);
    EXPECT_FALSE(ScaleForTexture(bad, 4, 4, &out));
    const RgbaImage src = Picture(4, 4, [](int, int) { return 0xFFFFFFu; });
    EXPECT_FALSE(ScaleForTexture(src, 0, 4, &out));
    EXPECT_FALSE(ScaleForTexture(src, 4, 4, nullptr));
  }
}

TEST(DesktopCapture, WaylandSessions) {
  EXPECT_TRUE(IsWaylandSession("wayland-0", nullptr));
  EXPECT_TRUE(IsWaylandSession(nullptr, "wayland"));
  EXPECT_TRUE(IsWaylandSession("", "wayland"));
  EXPECT_FALSE(IsWaylandSession("", "x11"));
  EXPECT_FALSE(IsWaylandSession(nullptr, nullptr));
}

using DesktopCaptureGL = GLTest;

TEST_F(DesktopCaptureGL, UploadsAsTheDesignSays) {
  std::vector<uint8_t> px(8 * 4 * 4);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 7);
  unsigned name = 0;
  UploadDesktopTexture(&name, 8, 4, px.data());
  ASSERT_NE(name, 0u);
  EXPECT_TRUE(glIsTexture(name));
  glBindTexture(GL_TEXTURE_2D, name);
  GLint v = 0;
  // Stretched with linear filtering: a repeating texture would blend the
  // opposite edge into the outermost pixels.
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &v);
  EXPECT_EQ(v, GL_CLAMP_TO_EDGE);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &v);
  EXPECT_EQ(v, GL_CLAMP_TO_EDGE);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v);
  EXPECT_EQ(v, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &v);
  EXPECT_EQ(v, GL_LINEAR);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &v);
  EXPECT_EQ(v, 1);
  std::vector<uint8_t> back(px.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back.data());
  EXPECT_EQ(back, px);
  // An existing name is reused.
  const unsigned before = name;
  UploadDesktopTexture(&name, 8, 4, px.data());
  EXPECT_EQ(name, before);
  glDeleteTextures(1, &name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

TEST_F(DesktopCaptureGL, CapturesOrFallsBackToNoTexture) {
  FakeDesktop desktop;
  desktop.image = Picture(640, 480, [](int x, int y) { return Quadrant(x, y, 640, 480); });
  {  // a picture: 512 x 512 at detail 0, the right way up
    unsigned name = 0;
    ASSERT_TRUE(CaptureDesktopTexture(desktop, {}, 0, &name));
    ASSERT_NE(name, 0u);
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 512);
    std::vector<uint8_t> back(512 * 512 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(At(back, 512, 100, 100), 0x0000FFu) << "row 0 is the bottom of the screen";
    EXPECT_EQ(At(back, 512, 400, 100), 0xFFFFFFu);
    EXPECT_EQ(At(back, 512, 100, 400), 0xFF0000u);
    EXPECT_EQ(At(back, 512, 400, 400), 0x00FF00u);
    glDeleteTextures(1, &name);
  }
  {  // detail 2: the power of two nearest to the side, under the GL maximum
    FakeDesktop small;
    small.image = Picture(300, 200, [](int, int) { return 0x808080u; });
    unsigned name = 0;
    ASSERT_TRUE(CaptureDesktopTexture(small, {}, 2, &name));
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);
    glDeleteTextures(1, &name);
  }
  {  // all black: the name given is deleted and becomes 0
    FakeDesktop black;
    black.image = Picture(640, 480, [](int, int) { return 0u; });
    unsigned name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);  // makes the name a texture
    glBindTexture(GL_TEXTURE_2D, 0);
    const unsigned old = name;
    EXPECT_FALSE(CaptureDesktopTexture(black, {}, 1, &name));
    EXPECT_EQ(name, 0u);
    EXPECT_FALSE(glIsTexture(old));
  }
  {  // nothing to read
    FakeDesktop none;
    none.ok = false;
    unsigned name = 0;
    EXPECT_FALSE(CaptureDesktopTexture(none, {}, 1, &name));
    EXPECT_EQ(name, 0u);
    EXPECT_EQ(none.grabs, 1);
  }
}

TEST_F(DesktopCaptureGL, TextureHoldsTheScaledPictureRowForRow) {
  // Rows differ from each other, so that a row out of place shows; the
  // texture is filled in bands of rows, whole and (16 rows) in part.
  const struct {
    int w, h, detail, texW, texH;
  } cases[] = {{700, 300, 0, 512, 256}, {40, 20, 2, 32, 16}};
  for (const auto& c : cases) {
    FakeDesktop desktop;
    desktop.image = Picture(c.w, c.h, [](int x, int y) {
      return (static_cast<unsigned>(y * 7 % 256) << 16) | static_cast<unsigned>(x % 256);
    });
    unsigned name = 0;
    ASSERT_TRUE(CaptureDesktopTexture(desktop, {}, c.detail, &name));
    std::vector<uint8_t> want;
    ASSERT_TRUE(ScaleForTexture(desktop.image, c.texW, c.texH, &want));
    std::vector<uint8_t> back(want.size());
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, want) << c.w << " x " << c.h;
    glDeleteTextures(1, &name);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

TEST_F(DesktopCaptureGL, SaysWhyACaptureFailed) {
  FakeDesktop black;
  black.image = Picture(64, 64, [](int, int) { return 0u; });
  FakeDesktop none;
  none.ok = false;
  const struct {
    FakeDesktop* desktop;
    const char* wayland;
    const char* why;
  } cases[] = {
      {&black, nullptr, "the capture came out black"},
      {&black, "wayland-0", "the capture came out black (a Wayland session cannot be captured)"},
      {&none, nullptr, "the screen could not be read"},
  };
  for (const auto& c : cases) {
    if (c.wayland != nullptr) setenv("WAYLAND_DISPLAY", c.wayland, 1);
    unsigned name = 0;
    CaptureResult result;
    EXPECT_FALSE(CaptureDesktopTexture(*c.desktop, {}, 0, &name, &result));
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(result.why, c.why);
  }
}
