#pragma once
// Fixture for tests against a real X server: a private Xvfb (640 x 480,
// depth 24) per test and a connection to it. Skips when Xvfb is missing.
// GoogleTest before Xlib, whose macros (None, Bool) break its headers.
#include <gtest/gtest.h>
// (separate block: keep the order)
#include <X11/Xlib.h>

#include <vector>

#include "tests/support/XvfbServer.h"

class XvfbTest : public ::testing::Test {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

 protected:
  void SetUp() override;
  void TearDown() override;

  // Another client of the same server (the owner of "foreign" windows),
  // closed with the fixture.
  Display* OpenClient();
  // Paints the root window with `rgb(x, y)` (0xRRGGBB), through XPutImage.
  template <typename F>
  void PaintRoot(F rgb) {
    PaintDrawable(display_, DefaultRootWindow(display_), kWidth, kHeight, rgb);
  }
  template <typename F>
  static void PaintDrawable(Display* display, Drawable drawable, int width, int height, F rgb) {
    std::vector<unsigned> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = rgb(x, y);
    }
    PutPixels(display, drawable, width, height, pixels);
  }
  // The 0xRRGGBB value of one pixel of a drawable.
  static unsigned PixelAt(Display* display, Drawable drawable, int x, int y);

  XvfbServer server_;
  Display* display_ = nullptr;

 private:
  static void PutPixels(Display* display, Drawable drawable, int width, int height,
                        std::vector<unsigned>& pixels);
  std::vector<Display*> clients_;
};

// Four quadrants: red top left, green top right, blue bottom left, white
// bottom right.
unsigned Quadrants(int x, int y, int width, int height);
