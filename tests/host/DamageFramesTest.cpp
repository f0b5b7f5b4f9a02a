// Frames that repaint only what changed, on real OpenGL: a seeded view runs
// for minutes of scene time (banner and message cycles, two size changes, a
// new background) once drawing every frame whole, then repainting only the
// damage into a buffer that keeps its frames (as with copy-sub-buffer) and
// into a chain of three framebuffer objects whose ages the view is told (as
// with buffer age), which is compared with whole frames drawn into the same
// chain (llvmpipe rounds some blends into them a unit apart from the
// pbuffer). The whole frames and the kept buffer are multisampled (4 samples,
// as recordings are), so a butterfly's edge that covers part of a pixel
// beyond its rectangle shows. Every frame repainted in part must equal the
// whole one pixel for pixel, and every pixel that changes from one whole
// frame to the next must lie inside that frame's damage. The frame-rate
// text is on; as it shows the process's CPU load, which differs between the
// runs, its panel is left out of the comparison between them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/Settings.h"
#include "host/WingdriftView.h"
#include "platform/GLDriverPin.h"
#include "platform/ManualClock.h"
#include "platform/OffscreenGL.h"
#include "platform/OffscreenWindow.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kWidth = 480, kHeight = 270;  // the buffer, pixels
constexpr double kStep = 0.08;              // s per frame
constexpr int kFrames = 1600;               // 128 s: two banner shows, two messages
// Events, by frame: the view shrinks, a new background, the view grows back.
constexpr int kShrinkFrame = 250, kBackgroundFrame = 600, kGrowFrame = 1100;
constexpr int kShrunkWidth = 400, kShrunkHeight = 240;

struct Frame {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // the view's pixels, bottom row first

  const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

Frame ReadView(const OffscreenGL& gl, int width, int height) {
  Frame f{width, height, {}};
  const std::vector<uint8_t> all = gl.ReadPixels();
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = all.data() + size_t(y) * kWidth * 4;
    f.rgba.insert(f.rgba.end(), row, row + size_t(width) * 4);
  }
  return f;
}

// The frame's pixels outside the frame-rate panel.
uint64_t Hash(const Frame& f) {
  int r[4];
  FpsOverlay::Bounds(f.width, f.height, r);
  const PixelRect panel{r[0], r[1], r[2], r[3]};
  uint64_t h = 1469598103934665603ull ^ uint64_t(f.width) << 20 ^ f.height;
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      for (int c = 0; c < 3 && !panel.Contains(x, y); ++c) {
        h = (h ^ f.At(x, y)[c]) * 1099511628211ull;
      }
    }
  }
  return h;
}

// A background of its own: a diagonal gradient, so that any misplaced
// pixel shows.
unsigned GradientTexture() {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      pixels.insert(pixels.end(), {uint8_t(x), uint8_t(y), uint8_t((x + y) / 2), 255});
    }
  }
  unsigned name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return name;
}

class DamageFramesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveBuildData()) GTEST_SKIP() << "the build has not generated " << kBuildData;
    ASSERT_TRUE(StoreSettings([](ScreenSaverDefaults& store) { store.setInteger(10, "MaxBFly"); }));
  }

  // One run; `onFrame` sees the view after every drawn frame. `whole`: every
  // frame is drawn whole, whatever the buffers.
  template <typename OnFrame>
  void Run(int buffers, bool whole, int samples, OnFrame onFrame) {
    OffscreenGL gl;
    ASSERT_TRUE(gl.Create(kWidth, kHeight, samples)) << gl.error();
    KeepGLDriversLoaded();
    ManualClock clock(0.0);
    WingdriftHost host;
    host.clock = &clock;
    host.resourceFolder = kBuildData;
    host.seed = 11;
    host.showFps = true;
    unsigned background = 0;
    {
      const ViewRect frame{0, 0, kWidth, kHeight};
      WingdriftView view(frame, false, std::make_unique<OffscreenWindow>(&gl, nullptr, buffers),
                         host);
      ASSERT_TRUE(view.viewAllocated);
      view.startAnimation();
      view.animateOneFrame();
      ASSERT_TRUE(view.ssMain && view.ssMain->ready);
      for (int i = 1; i <= kFrames; ++i) {
        if (i == kShrinkFrame) view.setFrameSize(kShrunkWidth, kShrunkHeight);
        if (i == kGrowFrame) view.setFrameSize(kWidth, kHeight);
        if (i == kBackgroundFrame) view.ssMain->bgTexID = background = GradientTexture();
        clock.now = i * kStep;
        if (whole) view.setNeedsDisplay();
        view.animateOneFrame();
        onFrame(
            i, view,
            ReadView(gl, static_cast<int>(view.Scrn.width), static_cast<int>(view.Scrn.height)));
      }
    }
    glDeleteTextures(1, &background);
  }

  TempDir config_;
  ScopedEnv configHome_{"XDG_CONFIG_HOME", config_.path().c_str()};
};

TEST_F(DamageFramesTest, RepaintingTheDamageGivesTheWholeFrames) {
  std::vector<uint64_t> whole;
  Frame last;
  int partial = 0, outside = 0;
  Run(0, false, 4, [&](int i, WingdriftView& view, const Frame& f) {
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

  for (int buffers : {1, 3}) {
    if (buffers > 1) {
      whole.clear();
      Run(buffers, true, 0, [&](int, WingdriftView&, const Frame& f) { whole.push_back(Hash(f)); });
    }
    int repainted = 0, differs = 0;
    // The chain's framebuffer objects have one sample.
    Run(buffers, false, buffers == 1 ? 4 : 0, [&](int i, WingdriftView& view, const Frame& f) {
      repainted += !view.drawnDamage.full();
      if (Hash(f) != whole[size_t(i - 1)] && ++differs == 1) {
        ADD_FAILURE() << buffers << " buffers: frame " << i << " (" << i * kStep
                      << " s) repainted in part differs from the whole frame";
      }
    });
    if (buffers == 1) {
      EXPECT_EQ(repainted, partial) << "the kept buffer lets every partial frame repaint in part";
    } else {
      EXPECT_GT(repainted, kFrames / 2)
          << "the damage of three frames together is more often most of the view";
    }
  }
}

}  // namespace
