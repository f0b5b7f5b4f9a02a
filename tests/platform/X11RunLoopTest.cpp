// The run loop with real X windows: events become view calls and hook calls;
// a vanished window ends the loop quietly.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/X11Window.h"
#include "tests/platform/XvfbTest.h"

namespace {

// A view on an X11Window that draws a plain colour each frame.
class TestView : public ScreenSaverView {
 public:
  explicit TestView(std::unique_ptr<X11Window> window)
      : ScreenSaverView(window->FrameOnRoot(), false, nullptr),
        x11(std::move(window)),
        context(x11->CreateContext()) {}
  void animateOneFrame() override {
    ++frames;
    if (context && context->MakeCurrent()) {
      glClearColor(0, 0, 1, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      context->FlushBuffer();
    }
    if (onFrame) onFrame(frames);
  }
  void setFrameSize(double w, double h) override {
    ScreenSaverView::setFrameSize(w, h);
    if (onResize) onResize(w, h);
  }

  std::unique_ptr<X11Window> x11;
  std::unique_ptr<OpenGLContext> context;  // destroyed before its window
  int frames = 0;
  std::function<void(int)> onFrame;
  std::function<void(double, double)> onResize;
};

// Sends a key or button press of `code` (a keysym or a button) to `w`.
void Send(Display* d, Window w, int type, unsigned code) {
  XEvent e{};
  e.type = type;
  if (type == KeyPress) {
    e.xkey.window = w;
    e.xkey.root = DefaultRootWindow(d);
    e.xkey.keycode = XKeysymToKeycode(d, code);
    e.xkey.same_screen = True;
  } else {
    e.xbutton.window = w;
    e.xbutton.root = DefaultRootWindow(d);
    e.xbutton.button = code;
    e.xbutton.same_screen = True;
  }
  XSendEvent(d, w, True, type == KeyPress ? KeyPressMask : ButtonPressMask, &e);
  XSync(d, False);
}

void Warp(Display* d, int x, int y) {
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XSync(d, False);
}

}  // namespace

using X11RunLoopTest = XvfbTest;

TEST_F(X11RunLoopTest, EventsReachTheViewAndTheHooks) {
  Display* other = OpenClient();
  ASSERT_NE(other, nullptr);
  std::string error;
  auto window = X11Window::CreateWindowed(display_, 200, 150, "events", &error);
  ASSERT_NE(window, nullptr) << error;
  ASSERT_TRUE(window->Map(5.0));
  const Window id = window->id();
  TestView view(std::move(window));
  ASSERT_NE(view.context, nullptr);

  RunLoop loop(display_);
  loop.Add(&view, view.x11.get());
  std::vector<std::string> seen;
  // The script: a resize, then a key, then small pointer moves and a click,
  // then a large move that ends the loop.
  view.onFrame = [&](int frame) {
    if (frame == 1) {
      XResizeWindow(other, id, 300, 200);
      XSync(other, False);
    }
  };
  view.onResize = [&](double w, double h) {
    seen.push_back("resize " + std::to_string(int(w)) + "x" + std::to_string(int(h)));
    Send(other, id, KeyPress, XK_q);
  };
  loop.hooks.keyPress = [&](ScreenSaverView& v, KeySym key) {
    EXPECT_EQ(&v, &view);
    seen.push_back(key == XK_q ? "q" : "other key");
    Warp(other, 10, 10);
    Warp(other, 10 + loop.motionSlop, 10 - loop.motionSlop);  // within the slop
    Send(other, id, ButtonPress, 3);
    return RunLoop::Action::Continue;
  };
  loop.hooks.buttonPress = [&](ScreenSaverView&, unsigned button) {
    seen.push_back("button " + std::to_string(button));
    Warp(other, 60, 60);
    return RunLoop::Action::Continue;
  };
  loop.hooks.pointerMoved = [&](ScreenSaverView&) {
    seen.push_back("moved");
    return RunLoop::Action::Quit;
  };
  view.startAnimation();
  EXPECT_EQ(loop.Run(), RunLoop::Exit::Quit);
  EXPECT_EQ(seen, (std::vector<std::string>{"resize 300x200", "q", "button 3", "moved"}));
  EXPECT_EQ(view.frame().width, 300);
  EXPECT_EQ(view.bounds().height, 200);

  // The window manager's close request ends the loop unless a hook says
  // otherwise.
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = id;
  e.xclient.message_type = XInternAtom(other, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(other, "WM_DELETE_WINDOW", False));
  XSendEvent(other, id, False, NoEventMask, &e);
  XSync(other, False);
  EXPECT_EQ(loop.Run(), RunLoop::Exit::Closed);
}

// A window that goes away while the program does not listen to its
// structure events (that it vanished at all, through the program).
TEST_F(X11RunLoopTest, AForeignWindowDestroyedEndsTheLoopQuietly) {
  Display* other = OpenClient();
  ASSERT_NE(other, nullptr);
  const Window foreign =
      XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 160, 120, 0, 0, 0);
  XMapWindow(other, foreign);
  XSync(other, False);
  std::string error;
  auto window = X11Window::Adopt(display_, foreign, &error);
  ASSERT_NE(window, nullptr) << error;
  XSelectInput(display_, foreign, NoEventMask);  // told by X errors alone
  XSync(display_, False);
  TestView view(std::move(window));
  ASSERT_NE(view.context, nullptr);
  RunLoop loop(display_);
  loop.Add(&view, view.x11.get());
  view.onFrame = [&](int frame) {
    if (frame == 5) {
      XDestroyWindow(other, foreign);
      XSync(other, False);
    }
    if (frame == 600) loop.Quit();  // ten seconds: the loss went unnoticed
  };
  view.startAnimation();
  EXPECT_EQ(loop.Run(), RunLoop::Exit::WindowLost);
  EXPECT_LT(view.frames, 600);
  EXPECT_TRUE(view.x11->lost());
}
