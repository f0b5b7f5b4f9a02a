// Frames that repaint only what changed, on real OpenGL, against frames drawn
// whole by the same seeded view.
//
// Offscreen: minutes of scene time (banner and message cycles, two size
// changes, a new background) drawn whole, then repainting only the damage
// into a buffer that keeps its frames (as with copy-sub-buffer) and into a
// chain of three framebuffer objects whose ages the view is told (as with
// buffer age), which is compared with whole frames drawn into the same chain
// (llvmpipe rounds some blends into them a unit apart from the pbuffer). The
// whole frames and the kept buffer are multisampled (4 samples, as
// recordings are), so a butterfly's edge that covers part of a pixel beyond
// its rectangle shows. Every frame repainted in part must equal the whole one
// pixel for pixel, and every pixel that changes from one whole frame to the
// next must lie inside that frame's damage. The frame-rate text is on; as it
// shows the process's CPU load, which differs between the runs, its panel is
// left out of the comparison between them.
//
// On a private Xvfb through GLX: each way of presenting a frame drawn in part
// (buffer age, copy-sub-buffer) shows the same window, screenshot for
// screenshot, as swapping whole frames, also after the window grows halfway
// through. (Mesa's software GLX on Xvfb lists GLX_EXT_buffer_age among its
// client extensions only and reports every back buffer's age as 0: asked for
// buffer age, the context there draws whole frames, which must look the same
// all the same.)
#include <gtest/gtest.h>
// (separate block: Xlib's macros after GoogleTest)
#include <GL/gl.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/WingdriftView.h"
#include "platform/GLDriverPin.h"
#include "platform/ManualClock.h"
#include "platform/OffscreenGL.h"
#include "platform/OffscreenWindow.h"
#include "platform/X11DesktopSource.h"
#include "platform/X11Window.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

namespace {

constexpr int kWidth = 480, kHeight = 270;  // the offscreen buffer, pixels
constexpr double kStep = 0.08;              // s per offscreen frame
constexpr int kFrames = 1600;               // 128 s: two banner shows, two messages
// Events, by frame: the view shrinks, a new background, the view grows back.
constexpr int kShrinkFrame = 250, kBackgroundFrame = 600, kGrowFrame = 1100;
constexpr int kShrunkWidth = 400, kShrunkHeight = 240;

struct Frame {
  int width = 0, height = 0;  // the view's corner of the buffer, pixels
  std::vector<uint8_t> rgba;  // the whole buffer, bottom row first

  const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * kWidth + x) * 4]; }
};

// The frame's pixels outside the frame-rate panel.
uint64_t Hash(const Frame& f) {
  int r[4];
  FpsOverlay::Bounds(f.width, f.height, r);
  const PixelRect panel{r[0], r[1], r[2], r[3]};
  std::string kept = std::to_string(f.width) + "x" + std::to_string(f.height);
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      if (!panel.Contains(x, y)) kept.append(reinterpret_cast<const char*>(f.At(x, y)), 3);
    }
  }
  return std::hash<std::string>{}(kept);
}

// A background of its own: a diagonal gradient, so that any misplaced
// pixel shows.
unsigned GradientTexture() {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 256 * 256; ++i) {
    const int x = i % 256, y = i / 256;
    pixels.insert(pixels.end(), {uint8_t(x), uint8_t(y), uint8_t((x + y) / 2), 255});
  }
  unsigned name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return name;
}

using FrameHook = std::function<void(int frame, WingdriftView& view)>;

class DamageFramesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveBuildData()) GTEST_SKIP() << "the build has not generated " << kBuildData;
    ASSERT_TRUE(StoreSettings([](ScreenSaverDefaults& store) { store.setInteger(10, "MaxBFly"); }));
  }

  // A seeded view of `width` x `height` on `window`: its first frame, then
  // frames 1 to `frames`, `step` s apart, with `before` and `after` each.
  static void RunView(std::unique_ptr<ViewWindow> window, int width, int height, bool fps,
                      int frames, double step, const FrameHook& before, const FrameHook& after) {
    ManualClock clock(0.0);
    WingdriftHost host;
    host.clock = &clock;
    host.resourceFolder = kBuildData;
    host.seed = 11;
    host.showFps = fps;
    WingdriftView view(ViewRect{0, 0, double(width), double(height)}, false, std::move(window),
                       host);
    ASSERT_TRUE(view.viewAllocated) << "no OpenGL context";
    KeepGLDriversLoaded();
    view.startAnimation();
    view.animateOneFrame();
    ASSERT_TRUE(view.ssMain && view.ssMain->ready);
    for (int i = 1; i <= frames; ++i) {
      before(i, view);
      clock.now = i * step;
      view.animateOneFrame();
      after(i, view);
    }
  }

  // One offscreen run; `onFrame` sees the view after every drawn frame.
  // `whole`: every frame is drawn whole, whatever the buffers.
  template <typename OnFrame>
  static void Offscreen(int buffers, bool whole, int samples, OnFrame onFrame) {
    OffscreenGL gl;
    ASSERT_TRUE(gl.Create(kWidth, kHeight, samples)) << gl.error();
    RunView(
        std::make_unique<OffscreenWindow>(&gl, nullptr, buffers), kWidth, kHeight, true, kFrames,
        kStep,
        [&](int i, WingdriftView& view) {
          if (i == kShrinkFrame) view.setFrameSize(kShrunkWidth, kShrunkHeight);
          if (i == kGrowFrame) view.setFrameSize(kWidth, kHeight);
          if (i == kBackgroundFrame) view.ssMain->bgTexID = GradientTexture();
          if (whole) view.setNeedsDisplay();
        },
        [&](int i, WingdriftView& view) {
          onFrame(i, view, Frame{int(view.Scrn.width), int(view.Scrn.height), gl.ReadPixels()});
        });
  }

  TempDir config_;
  ScopedEnv configHome_{"XDG_CONFIG_HOME", config_.path().c_str()};
};

TEST_F(DamageFramesTest, RepaintingTheDamageGivesTheWholeFrames) {
  std::vector<uint64_t> whole;
  Frame last;
  int partial = 0, outside = 0;
  Offscreen(0, false, 4, [&](int i, WingdriftView& view, const Frame& f) {
    whole.push_back(Hash(f));
    partial += !view.frameDamage.full();
    for (int y = 0; f.width == last.width && f.height == last.height && y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        if (!std::equal(f.At(x, y), f.At(x, y) + 3, last.At(x, y)) &&
            !view.frameDamage.Contains(x, y) && ++outside <= 5) {
          ADD_FAILURE() << "frame " << i << " (" << i * kStep << " s): pixel (" << x << ", " << y
                        << ") changed outside the damage";
        }
      }
    }
    last = f;
  });
  if (HasFailure()) return;
  // Most frames change only where butterflies fly; the fades, the first
  // frame and the size changes are whole.
  EXPECT_GT(partial, kFrames * 3 / 4);

  // The kept buffer against those whole frames, then the chain (one sample)
  // against whole frames drawn into a chain of its own.
  for (int buffers : {1, 3}) {
    if (buffers > 1) {
      whole.clear();
      Offscreen(buffers, true, 0,
                [&](int, WingdriftView&, const Frame& f) { whole.push_back(Hash(f)); });
    }
    int repainted = 0, differs = 0;
    Offscreen(buffers, false, buffers == 1 ? 4 : 0,
              [&](int i, WingdriftView& view, const Frame& f) {
                repainted += !view.drawnDamage.full();
                if (Hash(f) != whole[size_t(i - 1)] && ++differs == 1) {
                  ADD_FAILURE() << buffers << " buffers: frame " << i << " (" << i * kStep
                                << " s) repainted in part differs from the whole frame";
                }
              });
    // The kept buffer lets every partial frame repaint in part; the damage
    // of three frames together is more often most of the view.
    EXPECT_GE(repainted, buffers == 1 ? partial : kFrames / 2 + 1) << buffers << " buffers";
  }
}

TEST_F(DamageFramesTest, EveryPresentPathOnXShowsTheSameWindow) {
  if (!XvfbServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
  XvfbServer server;
  ASSERT_TRUE(server.Start(640, 480, 24)) << server.error();
  const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(server.name().c_str()),
                                                            XCloseDisplay);
  ASSERT_NE(display, nullptr);
  // 43 s at 320 x 180, 400 x 240 from halfway on: butterflies entering and
  // flying, the first message fading in; a screenshot every 20 frames.
  constexpr int kShownFrames = 860;
  X11DesktopSource screen(display.get(), 0);
  std::vector<std::vector<uint8_t>> whole;  // the screenshots of whole frames
  for (const auto& [path, name] : {std::pair{PresentPath::Full, "whole frames"},
                                   {PresentPath::BufferAge, "buffer age"},
                                   {PresentPath::CopySubBuffer, "copy-sub-buffer"}}) {
    SCOPED_TRACE(name);
    std::string error;
    auto window = X11Window::CreateWindowed(display.get(), 320, 180, "wingdrift test", &error);
    ASSERT_NE(window, nullptr) << error;
    window->setPresentPath(path);
    window->Map(5.0);
    PresentPath took = PresentPath::Auto;      // the path the context took
    int partial = 0;                           // frames repainted in part
    std::vector<std::vector<uint8_t>> shots;   // of the screen, RGBA
    const auto grow = [&, id = window->id()](int i, WingdriftView& view) {
      if (i != kShownFrames / 2) return;
      XResizeWindow(display.get(), id, 400, 240);
      XSync(display.get(), False);
      view.setFrameSize(400, 240);
    };
    RunView(std::move(window), 320, 180, false, kShownFrames, 0.05, grow,
            [&](int i, WingdriftView& view) {
              partial += !view.drawnDamage.full();
              took = view.glView->presentPath();
              if (i % 20 != 0) return;
              glFinish();
              XSync(display.get(), False);
              RgbaImage shot;
              ASSERT_TRUE(screen.Grab(&shot));
              shots.push_back(std::move(shot.pixels));
            });
    if (path == PresentPath::Full) whole = shots;
    // Xvfb with Mesa offers copy-sub-buffer; buffer age may fall back.
    ASSERT_TRUE(took == path || (path == PresentPath::BufferAge && took == PresentPath::Full));
    EXPECT_TRUE(took == PresentPath::Full ? partial == 0 : partial > kShownFrames / 2)
        << partial << " frames repainted in part";
    const auto differs = std::mismatch(shots.begin(), shots.end(), whole.begin(), whole.end());
    EXPECT_TRUE(differs.first == shots.end() && differs.second == whole.end())
        << "the screenshot after frame " << (differs.first - shots.begin() + 1) * 20
        << " differs from the whole frames'";
  }
}

}  // namespace
