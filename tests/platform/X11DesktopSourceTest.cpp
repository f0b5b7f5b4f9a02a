// The desktop as XScreenSaver hands it over. The root's picture the right
// way up, and each monitor's own, are checked through the program.
#include <gtest/gtest.h>

#include <X11/Xatom.h>

#include "platform/X11DesktopSource.h"
#include "tests/platform/XvfbTest.h"

namespace {

// 0xRRGGBB of pixel (x, y) of an image.
unsigned RgbAt(const RgbaImage& image, int x, int y) {
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}

}  // namespace

using X11DesktopSourceTest = XvfbTest;

TEST_F(X11DesktopSourceTest, PrefersXScreenSaversScreenshot) {
  Display* daemon = OpenClient();
  ASSERT_NE(daemon, nullptr);
  const Window root = DefaultRootWindow(daemon);
  Paint(daemon, root, kWidth, kHeight, [](int, int) { return 0u; });  // the daemon blanked it
  const Window saver = XCreateSimpleWindow(daemon, root, 0, 0, kWidth, kHeight, 0, 0, 0);
  const Pixmap shot =
      XCreatePixmap(daemon, root, kWidth, kHeight, DefaultDepth(daemon, DefaultScreen(daemon)));
  Paint(daemon, shot, kWidth, kHeight, Quadrants);
  const unsigned long id = shot;
  XChangeProperty(daemon, saver, XInternAtom(daemon, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP,
                  32, PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
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
      for (int y : {10, kHeight - 10})
        EXPECT_EQ(RgbAt(image, x, y), freed ? 0u : Quadrants(x, y));
  }
}
