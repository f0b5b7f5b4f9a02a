// A view in a window of a private Xvfb, through GLX, with each way of
// showing a frame drawn in part forced in turn: repainting the damage and
// presenting it with buffer age or copy-sub-buffer shows the same window,
// screenshot for screenshot, as drawing and swapping whole frames, also
// after the window grows halfway through. (Mesa's
// software GLX on Xvfb lists GLX_EXT_buffer_age among its client extensions
// only and reports every back buffer's age as 0: asked for buffer age, the
// context there draws whole frames, which must look the same all the same.)
#include <gtest/gtest.h>
// (separate block: Xlib's macros after GoogleTest)
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/Settings.h"
#include "host/WingdriftView.h"
#include "platform/GLDriverPin.h"
#include "platform/ManualClock.h"
#include "platform/ScreenSaverDefaults.h"
#include "platform/X11Window.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

namespace {

constexpr int kWidth = 320, kHeight = 180;  // the window, pixels
constexpr double kStep = 0.05;              // s per frame
// 43 s: butterflies entering and flying, the first message fading in.
constexpr int kFrames = 860;
constexpr int kShotEvery = 20;                        // frames between screenshots
constexpr int kGrownWidth = 400, kGrownHeight = 240;  // the window from halfway on

// The window's pixels as 0xRRGGBB, top row first.
std::vector<uint32_t> Screenshot(Display* display, Window window, int width, int height) {
  std::vector<uint32_t> pixels;
  XImage* image =
      XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  for (int y = 0; image != nullptr && y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFFu);
  }
  if (image != nullptr) XDestroyImage(image);
  return pixels;
}

class ViewPresentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
    if (!HaveBuildData()) GTEST_SKIP() << "the build has not generated " << kBuildData;
    ASSERT_TRUE(server_.Start(640, 480, 24)) << server_.error();
    display_ = XOpenDisplay(server_.name().c_str());
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
    server_.Stop();
  }

  struct Result {
    PresentPath path = PresentPath::Auto;  // the path the context took
    int partial = 0;                       // frames repainted in part
    std::vector<std::vector<uint32_t>> shots;
  };

  Result Run(PresentPath path) {
    Result result;
    std::string error;
    std::unique_ptr<X11Window> window =
        X11Window::CreateWindowed(display_, kWidth, kHeight, "wingdrift test", &error);
    if (window == nullptr) {
      ADD_FAILURE() << error;
      return result;
    }
    window->setPresentPath(path);
    window->Map(5.0);
    const Window id = window->id();
    ManualClock clock(0.0);
    WingdriftHost host;
    host.clock = &clock;
    host.resourceFolder = kBuildData;
    host.seed = 3;
    WingdriftView view(ViewRect{0, 0, kWidth, kHeight}, false, std::move(window), host);
    if (!view.viewAllocated) {
      ADD_FAILURE() << "no GLX context";
      return result;
    }
    KeepGLDriversLoaded();
    view.startAnimation();
    view.animateOneFrame();
    for (int i = 1; i <= kFrames; ++i) {
      if (i == kFrames / 2) {
        XResizeWindow(display_, id, kGrownWidth, kGrownHeight);
        XSync(display_, False);
        view.setFrameSize(kGrownWidth, kGrownHeight);
      }
      clock.now = i * kStep;
      view.animateOneFrame();
      if (!view.drawnDamage.full()) ++result.partial;
      if (i % kShotEvery == 0) {
        glFinish();
        XSync(display_, False);
        result.shots.push_back(Screenshot(display_, id, static_cast<int>(view.Scrn.width),
                                          static_cast<int>(view.Scrn.height)));
      }
    }
    result.path = view.glView->presentPath();
    return result;
  }

  XvfbServer server_;
  Display* display_ = nullptr;
  TempDir config_;
  ScopedEnv configHome_{"XDG_CONFIG_HOME", config_.path().c_str()};
};

TEST_F(ViewPresentTest, EveryPresentPathShowsTheSameFrames) {
  const Result full = Run(PresentPath::Full);
  ASSERT_EQ(full.path, PresentPath::Full);
  ASSERT_EQ(full.partial, 0);
  ASSERT_EQ(full.shots.size(), size_t(kFrames / kShotEvery));
  for (PresentPath path : {PresentPath::BufferAge, PresentPath::CopySubBuffer}) {
    SCOPED_TRACE(path == PresentPath::BufferAge ? "buffer age" : "copy-sub-buffer");
    const Result r = Run(path);
    // Xvfb with Mesa offers copy-sub-buffer; buffer age may fall back.
    ASSERT_TRUE(r.path == path || (path == PresentPath::BufferAge && r.path == PresentPath::Full));
    EXPECT_TRUE(r.path == PresentPath::Full || r.partial > kFrames / 2)
        << "too few frames repainted in part";
    ASSERT_EQ(r.shots.size(), full.shots.size());
    const auto differs = std::mismatch(r.shots.begin(), r.shots.end(), full.shots.begin()).first;
    EXPECT_TRUE(differs == r.shots.end())
        << "the screenshot after frame " << (differs - r.shots.begin() + 1) * kShotEvery
        << " differs from the whole frames'";
  }
}

}  // namespace
