#include "tests/platform/XvfbTest.h"

#include <X11/Xutil.h>

#include <vector>

void XvfbTest::SetUp() {
  if (!XvfbServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
  ASSERT_TRUE(server_.Start(kWidth, kHeight, 24)) << server_.error();
  display_ = XOpenDisplay(server_.name().c_str());
  ASSERT_NE(display_, nullptr) << "cannot connect to " << server_.name();
}

void XvfbTest::TearDown() {
  for (Display* d : {client_, display_})
    if (d != nullptr) XCloseDisplay(d);
  client_ = display_ = nullptr;
  server_.Stop();
}

Display* XvfbTest::OpenClient() {
  if (client_ == nullptr) client_ = XOpenDisplay(server_.name().c_str());
  return client_;
}

void XvfbTest::Paint(Display* display, Drawable drawable, int width, int height,
                     const std::function<unsigned(int x, int y)>& rgb) {
  std::vector<unsigned> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = rgb(x, y);
  XImage* image = XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 24, ZPixmap,
                               0, reinterpret_cast<char*>(pixels.data()), width, height, 32, 0);
  GC gc = XCreateGC(display, drawable, 0, nullptr);
  XPutImage(display, drawable, gc, image, 0, 0, 0, 0, width, height);
  XFreeGC(display, gc);
  image->data = nullptr;  // owned by `pixels`
  XDestroyImage(image);
  XSync(display, False);
}

unsigned XvfbTest::PixelAt(Display* display, Drawable drawable, int x, int y) {
  XImage* image = XGetImage(display, drawable, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 0xDEADBEEF;
  const unsigned value = static_cast<unsigned>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
  XDestroyImage(image);
  return value;
}

unsigned Quadrants(int x, int y) {
  const bool right = x >= XvfbTest::kWidth / 2, bottom = y >= XvfbTest::kHeight / 2;
  if (!bottom) return right ? 0x00FF00 : 0xFF0000;
  return right ? 0xFFFFFF : 0x0000FF;
}
