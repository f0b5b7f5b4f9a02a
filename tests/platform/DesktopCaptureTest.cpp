// The desktop capture's edges. The usual sizes at each detail, and that a
// replaced texture is deleted, are checked through the view; the picture's
// orientation (rows flipped) through the program on a real X server.
#include "platform/DesktopCapture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "tests/support/GLTest.h"
#include "tests/support/ScopedEnv.h"
#include "tests/util/TexturePixels.h"

namespace {

// A desktop of width x height pixels of one grey (alpha too); an empty one
// cannot be read.
struct FakeDesktop : DesktopSource {
  FakeDesktop(int width, int height, uint8_t grey) {
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height * 4, grey);
  }
  bool Grab(RgbaImage* out) override {
    *out = image;
    return image.width > 0;
  }
  RgbaImage image;
};

}  // namespace

TEST(DesktopCapture, TextureSideIsThePowerOfTwoNearestUnderTheCap) {
  for (int detail : {2, 7, -1}) EXPECT_EQ(CaptureSizeCap(detail, 4096), 4096) << detail;
  const struct {
    int side, cap, texture;
  } rows[] = {
      {1920, 1024, 1024}, {1, 512, 1},  {3, 512, 4},  {5, 512, 4},           {6, 512, 8},
      {0, 512, 0},        {-4, 512, 0}, {640, 0, 0},  {INT_MAX, 1024, 1024},
  };
  for (const auto& r : rows)
    EXPECT_EQ(CaptureTextureSide(r.side, r.cap), r.texture) << r.side << " under " << r.cap;
  EXPECT_TRUE(IsWaylandSession("", "wayland"));
  EXPECT_FALSE(IsWaylandSession(nullptr, "x11"));
}

using DesktopCaptureGL = GLTest;

TEST_F(DesktopCaptureGL, AFailedCaptureLeavesNoTextureAndSaysWhy) {
  // A black screen and one not read at all are told through the view; here,
  // under Wayland, a black one (alpha does not count) and a picture cut short.
  ScopedEnv session("XDG_SESSION_TYPE", nullptr), wayland("WAYLAND_DISPLAY", "wayland-0");
  FakeDesktop black(640, 480, 0), cut(4, 4, 200);
  cut.image.pixels.resize(10);
  for (size_t i = 3; i < black.image.pixels.size(); i += 4) black.image.pixels[i] = 255;
  for (const auto& [desktop, why] :
       {std::pair{&black, "the capture came out black"}, {&cut, "the screen could not be read"}}) {
    SCOPED_TRACE(why);
    unsigned name = 7;
    CaptureResult result;
    EXPECT_FALSE(CaptureDesktopTexture(*desktop, {}, 1, &name, &result));
    EXPECT_EQ(result.why, std::string(why) + " (a Wayland session cannot be captured)");
    EXPECT_EQ(name, 0u);
  }
}

TEST_F(DesktopCaptureGL, TextureHoldsTheScaledPictureRowForRow) {
  // Rows differ from each other, so that a row out of place shows; the
  // texture is filled in bands of rows, whole and (16 rows) in part.
  const struct {
    int w, h, detail, texW, texH;
  } cases[] = {{1400, 300, 0, 512, 256}, {40, 20, 2, 32, 16}};
  for (const auto& c : cases) {
    FakeDesktop desktop(c.w, c.h, 255);
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        uint8_t* p = &desktop.image.pixels[(static_cast<size_t>(y) * c.w + x) * 4];
        p[0] = static_cast<uint8_t>(y * 7 % 256);
        p[1] = 0;
        p[2] = static_cast<uint8_t>(x % 256);
      }
    }
    unsigned name = 0;
    ASSERT_TRUE(CaptureDesktopTexture(desktop, {}, c.detail, &name));
    std::vector<uint8_t> want;
    ASSERT_TRUE(ScaleForTexture(desktop.image, c.texW, c.texH, &want));
    EXPECT_EQ(TexturePixels(name), want) << c.w << " x " << c.h;

    // Read ahead: the picture as it was then, taken once; one read for
    // another area, or scaled to another size (detail 1 allows 1024 pixels),
    // is left alone.
    std::vector<PreparedCapture> prepared(2);
    ASSERT_TRUE(PrepareDesktopCapture(desktop, {0, 0, 1, 1}, c.detail, &prepared[0]));
    ASSERT_TRUE(PrepareDesktopCapture(desktop, {}, c.detail, &prepared[1]));
    if (c.detail == 0) {
      ASSERT_TRUE(PrepareDesktopCapture(desktop, {}, 1, &prepared.emplace_back()));
    }
    std::fill(desktop.image.pixels.begin(), desktop.image.pixels.end(), 0);
    ASSERT_TRUE(CaptureDesktopTexture(desktop, {}, c.detail, &name, nullptr, &prepared));
    EXPECT_EQ(TexturePixels(name), want);
    EXPECT_EQ(prepared.size(), c.detail == 0 ? 2u : 1u);
    EXPECT_FALSE(CaptureDesktopTexture(desktop, {}, c.detail, &name, nullptr, &prepared));
    EXPECT_EQ(name, 0u) << "read again, black now";
    glDeleteTextures(1, &name);
  }
}
