#pragma once
// Fixture for tests against a real X server: a private Xvfb (640 x 480,
// depth 24) per test and a connection to it. Skips when Xvfb is missing.
// GoogleTest before Xlib, whose macros (None, Bool) break its headers.
#include <gtest/gtest.h>
// (separate block: keep the order)
#include <X11/Xlib.h>

#include <functional>

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
  // Paints a drawable of width x height with `rgb(x, y)` (0xRRGGBB).
  static void Paint(Display* display, Drawable drawable, int width, int height,
                    const std::function<unsigned(int x, int y)>& rgb);
  // The 0xRRGGBB value of one pixel of a drawable.
  static unsigned PixelAt(Display* display, Drawable drawable, int x, int y);

  XvfbServer server_;
  Display* display_ = nullptr;
  Display* client_ = nullptr;
};

// Four quadrants of the root: red top left, green top right, blue bottom
// left, white bottom right.
unsigned Quadrants(int x, int y);
