#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "platform/X11GLContext.h"
#include "platform/X11Window.h"
#include "tests/platform/XvfbTest.h"

using X11GLContextTest = XvfbTest;

TEST_F(X11GLContextTest, OnAWindowWeCreate) {
  std::string error;
  auto window = X11Window::CreateWindowed(display_, 200, 150, "wingdrift test", &error);
  ASSERT_NE(window, nullptr) << error;
  EXPECT_EQ(window->kind(), X11Window::Kind::Windowed);
  EXPECT_TRUE(window->format().doubleBuffer);
  EXPECT_GE(window->format().depthBits, 16);
  EXPECT_EQ(window->format().visualInfo.depth, DefaultDepth(display_, DefaultScreen(display_)))
      << "no ARGB visual for an opaque view";
  ASSERT_TRUE(window->Map(5.0)) << "never mapped";
  std::unique_ptr<OpenGLContext> context = window->CreateContext();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(context->MakeCurrent());

  // The frame on the root follows the window.
  XMoveWindow(display_, window->id(), 30, 40);
  XSync(display_, False);
  const ViewRect r = window->FrameOnRoot();
  EXPECT_EQ((std::vector<double>{r.x, r.y, r.width, r.height}),
            (std::vector<double>{30, 40, 200, 150}));

  context.reset();
  EXPECT_EQ(glXGetCurrentContext(), nullptr) << "a destroyed context is not left current";
}

TEST_F(X11GLContextTest, OnAForeignWindowWithItsOwnVisual) {
  Display* other = OpenClient();
  ASSERT_NE(other, nullptr);
  const int screen = DefaultScreen(other);
  const Window foreign = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 160, 120, 0,
                                             0, WhitePixel(other, screen));
  XMapWindow(other, foreign);
  XSync(other, False);

  std::string error;
  auto window = X11Window::Adopt(display_, foreign, &error);
  ASSERT_NE(window, nullptr) << error;
  EXPECT_EQ(window->kind(), X11Window::Kind::Adopted);
  EXPECT_EQ(window->width(), 160);
  EXPECT_EQ(window->height(), 120);
  EXPECT_EQ(window->format().visualInfo.visualid,
            XVisualIDFromVisual(DefaultVisual(other, screen)))
      << "the context must use the window's own visual";
  std::unique_ptr<OpenGLContext> context = window->CreateContext();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(context->MakeCurrent());
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  context->FlushBuffer();
  glFinish();
  XSync(display_, False);
  EXPECT_EQ(PixelAt(other, foreign, 80, 60), 0x00FF00u) << "drawn into the other client's window";

  // The root window can be adopted too (XScreenSaver's --root without a
  // window of its own); a window that does not exist is refused, not fatal.
  auto root = X11Window::Adopt(display_, DefaultRootWindow(display_), &error);
  ASSERT_NE(root, nullptr) << error;
  EXPECT_EQ(root->width(), kWidth);
  EXPECT_NE(root->CreateContext(), nullptr);
  EXPECT_EQ(X11Window::Adopt(display_, 0x3fffff1, &error), nullptr);
  EXPECT_NE(error.find("0x3fffff1"), std::string::npos) << error;

  context.reset();
  window.reset();
  XWindowAttributes attrs{};
  EXPECT_NE(XGetWindowAttributes(other, foreign, &attrs), 0) << "an adopted window is left alone";
}
