// The X11 side against a private Xvfb per test (skipped when Xvfb is
// missing): windows and their GL contexts, the desktop XScreenSaver hands
// over, and the run loop turning events into view and hook calls.
// GoogleTest before Xlib, whose macros (None, Bool) break its headers.
#include <gtest/gtest.h>
// (separate block: keep the order)
#include <X11/Xatom.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/X11DesktopSource.h"
#include "platform/X11GLContext.h"
#include "platform/X11Window.h"
#include "tests/support/XvfbServer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A private server, the program's connection to it (display_) and another
// client's (the daemon, the owner of foreign windows).
class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(server_.Start(kWidth, kHeight, 24)) << server_.error();
    display_ = XOpenDisplay(server_.name().c_str());
    other_ = XOpenDisplay(server_.name().c_str());
    ASSERT_TRUE(display_ && other_) << "cannot connect to " << server_.name();
  }
  void TearDown() override {
    for (Display* d : {other_, display_})
      if (d != nullptr) XCloseDisplay(d);
  }
  XvfbServer server_;
  Display* display_ = nullptr;
  Display* other_ = nullptr;
};

// A view on an X11Window that shows a frame each time.
class TestView : public ScreenSaverView {
 public:
  explicit TestView(std::unique_ptr<X11Window> window)
      : ScreenSaverView(window->FrameOnRoot(), false, nullptr),
        x11(std::move(window)),
        context(x11->CreateContext()) {}
  void animateOneFrame() override {
    ++frames;
    if (context && context->MakeCurrent()) context->FlushBuffer();
    if (onFrame) onFrame(frames);
  }

  std::unique_ptr<X11Window> x11;
  std::unique_ptr<OpenGLContext> context;  // destroyed before its window
  int frames = 0;
  std::function<void(int)> onFrame;
};

void Warp(Display* d, int x, int y) {
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XSync(d, False);
}

}  // namespace

// A window we create: its pixel format, then the run loop turning its events
// into view and hook calls.
TEST_F(X11Test, RunLoopEventsReachTheViewAndTheHooks) {
  std::string error;
  auto window = X11Window::CreateWindowed(display_, 200, 150, "events", &error);
  ASSERT_NE(window, nullptr) << error;
  EXPECT_EQ(window->format().visualInfo.depth, DefaultDepth(display_, DefaultScreen(display_)))
      << "no ARGB visual for an opaque view";
  ASSERT_TRUE(window->Map(5.0)) << "never mapped";
  const Window id = window->id();
  TestView view(std::move(window));
  ASSERT_NE(view.context, nullptr);

  RunLoop loop(display_);
  loop.Add(&view, view.x11.get());
  std::vector<std::string> seen;
  // The script: a resize, then small pointer moves and a click, then a large
  // move that ends the loop. Keys are pressed through the program.
  view.onFrame = [&](int frame) {
    if (frame == 1) {
      XResizeWindow(other_, id, 300, 200);
      XSync(other_, False);
    }
    if (!seen.empty() || view.frame().width != 300 || view.frame().height != 200) return;
    seen.push_back("resized");
    Warp(other_, 10, 10);
    Warp(other_, 10 + loop.motionSlop, 10 - loop.motionSlop);  // within the slop
    XEvent press{};
    press.xbutton.type = ButtonPress;
    press.xbutton.window = id;
    press.xbutton.button = 3;
    XSendEvent(other_, id, True, ButtonPressMask, &press);
    XSync(other_, False);
  };
  loop.hooks.buttonPress = [&](ScreenSaverView&, unsigned button) {
    seen.push_back("button " + std::to_string(button));
    Warp(other_, 60, 60);
    return RunLoop::Action::Continue;
  };
  loop.hooks.pointerMoved = [&](ScreenSaverView&) {
    seen.push_back("moved");
    return RunLoop::Action::Quit;
  };
  view.startAnimation();
  EXPECT_EQ(loop.Run(), RunLoop::Exit::Quit);
  EXPECT_EQ(seen, (std::vector<std::string>{"resized", "button 3", "moved"}));

  // The window manager's close request ends the loop, or does what the hook
  // says.
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = id;
  e.xclient.message_type = XInternAtom(other_, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(other_, "WM_DELETE_WINDOW", False));
  for (const bool hooked : {true, false}) {
    loop.hooks.closeRequested = [](ScreenSaverView&) { return RunLoop::Action::Quit; };
    if (!hooked) loop.hooks.closeRequested = nullptr;
    XSendEvent(other_, id, False, NoEventMask, &e);
    XSync(other_, False);
    EXPECT_EQ(loop.Run(), hooked ? RunLoop::Exit::Quit : RunLoop::Exit::Closed);
  }
  view.context.reset();
  EXPECT_EQ(glXGetCurrentContext(), nullptr) << "a destroyed context is not left current";
}

// Someone else's window (drawn into through the program): its own visual,
// left alone when given up, and its loss noticed even without its events.
// The screenshot XScreenSaver names on it is read as the program shows it
// (checked through the program, as is the picture's orientation); one freed
// meanwhile leaves the root to be read.
TEST_F(X11Test, AForeignWindowIsLeftAloneItsLostScreenshotShowsTheRootItsLossEndsTheLoop) {
  const Window root = DefaultRootWindow(other_);
  XSetWindowBackground(other_, root, 0x336699);
  XClearWindow(other_, root);
  const Window foreign = XCreateSimpleWindow(other_, root, 0, 0, 160, 120, 0, 0,
                                             WhitePixel(other_, DefaultScreen(other_)));
  XMapWindow(other_, foreign);
  const unsigned long shot =
      XCreatePixmap(other_, root, kWidth, kHeight, DefaultDepth(other_, DefaultScreen(other_)));
  XChangeProperty(other_, foreign, XInternAtom(other_, "_SCREENSAVER_SCREENSHOT", False),
                  XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&shot), 1);
  XFreePixmap(other_, shot);
  XSync(other_, False);
  RgbaImage image;
  ASSERT_TRUE(X11DesktopSource(display_, foreign).GrabArea({0, 0, kWidth, kHeight}, &image));
  ASSERT_EQ(image.width, kWidth);
  const uint8_t* p = &image.pixels[(size_t{kHeight} / 2 * kWidth + kWidth / 2) * 4];
  EXPECT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{0x33, 0x66, 0x99}));

  std::string error;
  auto window = X11Window::Adopt(display_, foreign, &error);
  ASSERT_NE(window, nullptr) << error;
  EXPECT_EQ(window->format().visualInfo.visualid,
            XVisualIDFromVisual(DefaultVisual(other_, DefaultScreen(other_))))
      << "the context must use the window's own visual";
  EXPECT_EQ(X11Window::Adopt(nullptr, foreign, &error), nullptr);
  EXPECT_EQ(X11Window::CreateWindowed(nullptr, 10, 10, "none", &error), nullptr);
  EXPECT_EQ(X11Window::CreateWindowed(display_, 0, 10, "none", &error), nullptr);
  EXPECT_EQ(error, "window size must be at least 1 x 1");
  // An X error about something else is reported, not fatal.
  testing::internal::CaptureStderr();
  XFreePixmap(display_, 0x3fffff2);
  XSync(display_, False);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("wingdrift: X error:"), std::string::npos);

  window.reset();
  XWindowAttributes attrs{};
  EXPECT_NE(XGetWindowAttributes(other_, foreign, &attrs), 0) << "an adopted window is left alone";

  // Its loss ends the loop quietly (told by its DestroyNotify through the
  // program), even while the program does not listen to its structure
  // events: by X errors alone.
  window = X11Window::Adopt(display_, foreign, &error);
  ASSERT_NE(window, nullptr) << error;
  XSelectInput(display_, foreign, NoEventMask);
  XSync(display_, False);
  TestView view(std::move(window));
  ASSERT_NE(view.context, nullptr);
  RunLoop loop(display_);
  loop.Add(&view, view.x11.get());
  view.onFrame = [&](int frame) {
    if (frame == 5) {
      XDestroyWindow(other_, foreign);
      XSync(other_, False);
    }
    if (frame == 600) loop.Quit();  // ten seconds: the loss went unnoticed
  };
  view.startAnimation();
  EXPECT_EQ(loop.Run(), RunLoop::Exit::WindowLost);
  EXPECT_LT(view.frames, 600);
  EXPECT_TRUE(view.x11->lost());
}
