#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xatom.h>

#include "platform/DesktopCapture.h"
#include "platform/X11DesktopSource.h"
#include "platform/X11Window.h"
#include "tests/platform/XvfbTest.h"

namespace {

// 0xRRGGBB of pixel (x, y) of RGBA rows `width` pixels wide.
unsigned RgbAt(const std::vector<uint8_t>& rgba, int width, int x, int y) {
  const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}

unsigned RgbAt(const RgbaImage& image, int x, int y) { return RgbAt(image.pixels, image.width, x, y); }

}  // namespace

using X11DesktopSourceTest = XvfbTest;

TEST_F(X11DesktopSourceTest, CapturesTheRootIntoATextureTheRightWayUp) {
  PaintRoot(Quadrants);
  X11DesktopSource source(display_, 0);
  RgbaImage image;
  ASSERT_TRUE(source.Grab(&image));
  ASSERT_EQ(image.width, kWidth);
  ASSERT_EQ(image.height, kHeight);
  for (int x : {10, kWidth - 10})
    for (int y : {10, kHeight - 10}) EXPECT_EQ(RgbAt(image, x, y), Quadrants(x, y)) << x << ", " << y;
  EXPECT_EQ(image.pixels[3], 255);

  // Into a texture of the view's context (GLX on a window of ours, unmapped
  // as at capture time): 640 -> 512, 480 -> 512, row 0 the screen's bottom.
  std::string error;
  auto window = X11Window::CreateFullScreen(display_, ScreenInfo{0, 0, 0, kWidth, kHeight, true, ""}, &error);
  ASSERT_NE(window, nullptr) << error;
  auto context = window->CreateContext();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(context->MakeCurrent());
  unsigned name = 0;
  ASSERT_TRUE(CaptureDesktopTexture(source, {}, 1, &name));
  glBindTexture(GL_TEXTURE_2D, name);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  ASSERT_EQ(w, 512);
  ASSERT_EQ(h, 512);
  std::vector<uint8_t> texels(512 * 512 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  for (int x : {50, 460})
    for (int y : {50, 460}) EXPECT_EQ(RgbAt(texels, 512, x, y), Quadrants(x, kHeight - y)) << x << ", " << y;
  glDeleteTextures(1, &name);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(X11DesktopSourceTest, CutsToTheMainMonitorOrTheViewsOwn) {
  PaintRoot(Quadrants);
  AddMonitor("LEFT", 0, 320, false);
  AddMonitor("RIGHT", 320, 320, true);
  X11DesktopSource source(display_, 0);
  RgbaImage image, left, right;
  ASSERT_TRUE(source.Grab(&image));
  ASSERT_EQ(image.width, 320) << "the primary monitor";
  ASSERT_EQ(image.height, 480);
  EXPECT_EQ(RgbAt(image, 10, 10), 0x00FF00u);
  EXPECT_EQ(RgbAt(image, 10, 470), 0xFFFFFFu);
  // A view on the left monitor shows the left monitor's desktop.
  ASSERT_TRUE(source.GrabArea(ViewRect{0, 0, 320, 480}, &left));
  ASSERT_EQ(left.width, 320);
  EXPECT_EQ(RgbAt(left, 10, 10), 0xFF0000u);
  EXPECT_EQ(RgbAt(left, 319, 470), 0x0000FFu) << "nothing of the right monitor";
  ASSERT_TRUE(source.GrabArea(ViewRect{330, 0, 200, 100}, &right));
  EXPECT_EQ(RgbAt(right, 0, 470), 0xFFFFFFu);
}

TEST_F(X11DesktopSourceTest, PrefersXScreenSaversScreenshot) {
  PaintRoot([](int, int) { return 0u; });  // the daemon has blanked the screen
  Display* daemon = OpenClient();
  ASSERT_NE(daemon, nullptr);
  const Window root = DefaultRootWindow(daemon);
  const Window saver = XCreateSimpleWindow(daemon, root, 0, 0, kWidth, kHeight, 0, 0, 0);
  const Pixmap shot = XCreatePixmap(daemon, root, kWidth, kHeight, DefaultDepth(daemon, DefaultScreen(daemon)));
  Paint(daemon, shot, kWidth, kHeight, Quadrants);
  const unsigned long id = shot;
  XChangeProperty(daemon, saver, XInternAtom(daemon, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
  XSync(daemon, False);
  EXPECT_EQ(X11DesktopSource::ScreenshotPixmap(display_, saver), shot);
  EXPECT_EQ(X11DesktopSource::ScreenshotPixmap(display_, root), 0u);

  for (const bool freed : {false, true}) {
    SCOPED_TRACE(freed ? "the pixmap freed meanwhile: the root is read" : "the screenshot");
    if (freed) {
      XFreePixmap(daemon, shot);
      XSync(daemon, False);
    }
    X11DesktopSource source(display_, saver);
    RgbaImage image;
    ASSERT_TRUE(source.Grab(&image));
    ASSERT_EQ(image.width, kWidth);
    for (int x : {10, kWidth - 10})
      for (int y : {10, kHeight - 10}) EXPECT_EQ(RgbAt(image, x, y), freed ? 0u : Quadrants(x, y));
  }
}
