#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include "platform/DesktopCapture.h"
#include "platform/X11DesktopSource.h"
#include "platform/X11Window.h"
#include "tests/platform/XvfbTest.h"

namespace {

unsigned RgbAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}

unsigned TexelAt(const std::vector<uint8_t>& rgba, int width, int x, int y) {
  const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}

}  // namespace

using X11DesktopSourceTest = XvfbTest;

TEST_F(X11DesktopSourceTest, CapturesTheRootIntoATextureTheRightWayUp) {
  PaintRoot([](int x, int y) { return Quadrants(x, y, kWidth, kHeight); });
  X11DesktopSource source(display_, 0);
  {
    RgbaImage image;
    ASSERT_TRUE(source.Grab(&image));
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    EXPECT_EQ(RgbAt(image, 10, 10), 0xFF0000u);
    EXPECT_EQ(RgbAt(image, kWidth - 10, 10), 0x00FF00u);
    EXPECT_EQ(RgbAt(image, 10, kHeight - 10), 0x0000FFu);
    EXPECT_EQ(RgbAt(image, kWidth - 10, kHeight - 10), 0xFFFFFFu);
    EXPECT_EQ(image.pixels[3], 255);
  }
  // Into a texture of the view's context (GLX on a window of ours, unmapped
  // as at capture time).
  std::string error;
  auto window = X11Window::CreateFullScreen(display_, ScreenInfo{0, 0, 0, kWidth, kHeight, true, ""},
                                            &error);
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
  ASSERT_EQ(w, 512);  // 640 -> 512, 480 -> 512
  ASSERT_EQ(h, 512);
  std::vector<uint8_t> texels(512 * 512 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(TexelAt(texels, 512, 50, 50), 0x0000FFu) << "row 0 is the bottom of the screen";
  EXPECT_EQ(TexelAt(texels, 512, 460, 50), 0xFFFFFFu);
  EXPECT_EQ(TexelAt(texels, 512, 50, 460), 0xFF0000u);
  EXPECT_EQ(TexelAt(texels, 512, 460, 460), 0x00FF00u);
  glDeleteTextures(1, &name);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(X11DesktopSourceTest, CutsToTheMainMonitorOrTheViewsOwn) {
  PaintRoot([](int x, int y) { return Quadrants(x, y, kWidth, kHeight); });
  // Two monitors side by side (xrandr --setmonitor); the right one is the
  // primary.
  for (int x : {0, 320}) {
    XRRMonitorInfo* m = XRRAllocateMonitor(display_, 0);
    m->name = XInternAtom(display_, x == 0 ? "LEFT" : "RIGHT", False);
    m->primary = x == 320;
    m->x = x;
    m->width = 320;
    m->height = 480;
    m->mwidth = 80;
    m->mheight = 120;
    XRRSetMonitor(display_, DefaultRootWindow(display_), m);
    XFree(m);
  }
  XSync(display_, False);

  X11DesktopSource source(display_, 0);
  RgbaImage image;
  ASSERT_TRUE(source.Grab(&image));
  ASSERT_EQ(image.width, 320);
  ASSERT_EQ(image.height, 480);
  EXPECT_EQ(RgbAt(image, 10, 10), 0x00FF00u);
  EXPECT_EQ(RgbAt(image, 10, 470), 0xFFFFFFu);
  EXPECT_EQ(RgbAt(image, 310, 10), 0x00FF00u);

  // A view on the left monitor shows the left monitor's desktop.
  RgbaImage left;
  ASSERT_TRUE(source.GrabArea(ViewRect{0, 0, 320, 480}, &left));
  ASSERT_EQ(left.width, 320);
  EXPECT_EQ(RgbAt(left, 10, 10), 0xFF0000u);
  EXPECT_EQ(RgbAt(left, 319, 470), 0x0000FFu) << "nothing of the right monitor";
  RgbaImage right;
  ASSERT_TRUE(source.GrabArea(ViewRect{330, 0, 200, 100}, &right));
  EXPECT_EQ(RgbAt(right, 0, 470), 0xFFFFFFu);
}

TEST_F(X11DesktopSourceTest, PrefersXScreenSaversScreenshot) {
  PaintRoot([](int, int) { return 0x000000u; });  // the daemon has blanked the screen
  Display* daemon = OpenClient();
  ASSERT_NE(daemon, nullptr);
  const int screen = DefaultScreen(daemon);
  const Window root = DefaultRootWindow(daemon);
  const Window saver = XCreateSimpleWindow(daemon, root, 0, 0, kWidth, kHeight, 0, 0, 0);
  const Pixmap shot = XCreatePixmap(daemon, root, kWidth, kHeight, DefaultDepth(daemon, screen));
  PaintDrawable(daemon, shot, kWidth, kHeight,
                [](int x, int y) { return y < kHeight / 2 ? 0xFFFF00u : (x < 10 ? 0x00FFFFu : 0x808080u); });
  const unsigned long id = shot;
  XChangeProperty(daemon, saver, XInternAtom(daemon, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP,
                  32, PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
  XSync(daemon, False);

  EXPECT_EQ(X11DesktopSource::ScreenshotPixmap(display_, saver), shot);
  EXPECT_EQ(X11DesktopSource::ScreenshotPixmap(display_, root), 0u);
  {
    X11DesktopSource source(display_, saver);
    RgbaImage image;
    ASSERT_TRUE(source.Grab(&image));
    ASSERT_EQ(image.width, kWidth);
    EXPECT_EQ(RgbAt(image, 100, 10), 0xFFFF00u);
    EXPECT_EQ(RgbAt(image, 5, kHeight - 5), 0x00FFFFu);
    EXPECT_EQ(RgbAt(image, 100, kHeight - 5), 0x808080u);
  }
  {  // the pixmap freed meanwhile: the root is read instead
    XFreePixmap(daemon, shot);
    XSync(daemon, False);
    X11DesktopSource source(display_, saver);
    RgbaImage image;
    ASSERT_TRUE(source.Grab(&image));
    EXPECT_EQ(RgbAt(image, 100, 10), 0u);
  }
}
