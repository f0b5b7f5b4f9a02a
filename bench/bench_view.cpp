// Frames of the whole view as the saver draws them: a WingdriftView on an
// offscreen context, with the shipped data and the first-run settings (eight
// butterflies with shadows over the shipped picture), at 1280x720, 1920x1080
// and 3840x2160, at three moments of a seeded run: plain flight (20 s), the
// banner sliding in (110 s) and the centre message fading in (40 s). Each
// frame is drawn whole (a context that keeps no frames), or only where it
// changed into a buffer that keeps its frames: each damaged rectangle in a
// pass of its own, or their bounding box in one pass. Counters: the share of
// frames drawn whole and the share of the view repainted.
//
// BM_FullFrameShare runs two minutes of scene time at 60 frames per second
// and counts the frames drawn whole.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/WingdriftView.h"
#include "platform/HeapPolicy.h"
#include "platform/ManualClock.h"
#include "platform/OffscreenGL.h"
#include "platform/OffscreenWindow.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

// The program's heap policy, before the benchmarks' main runs.
[[maybe_unused]] const bool kHeapKept = (KeepFreedHeapMemory(), true);

constexpr double kStep = 1.0 / 60.0;    // s
constexpr double kWarmUpStep = 0.25;    // s, frames before the measured moment
enum Mode { kWhole, kEachRect, kBoundingBox };
// s: flight, the banner sliding in (its second show: the first one meets the
// message fading out), the message fading in.
constexpr double kMoments[] = {20.0, 110.05, 40.05};

struct Rig {
  OffscreenGL gl;
  TempDir config;
  ScopedEnv configHome{"XDG_CONFIG_HOME", config.path().c_str()};
  ManualClock clock{0.0};
  std::unique_ptr<WingdriftView> view;
  long frames = 0, whole = 0;
  double repainted = 0;  // sum of the repainted share of the view

  bool Start(int width, int height, Mode mode) {
    const std::string data = std::string(WINGDRIFT_BINARY_DIR) + "/data/";
    if (!std::filesystem::exists(data + kResourceFileName) || !gl.Create(width, height)) {
      return false;
    }
    WingdriftHost host;
    host.clock = &clock;
    host.resourceFolder = data;
    host.seed = 20;
    const ViewRect frame{0, 0, static_cast<double>(width), static_cast<double>(height)};
    view = std::make_unique<WingdriftView>(
        frame, false, std::make_unique<OffscreenWindow>(&gl, nullptr, mode != kWhole ? 1 : 0), host);
    view->repaintEachRect = mode != kBoundingBox;
    view->startAnimation();
    view->animateOneFrame();
    return view->ssMain && view->ssMain->ready;
  }
  void Frame(double step) {
    clock.now += step;
    view->animateOneFrame();
    ++frames;
    if (view->drawnDamage.full()) ++whole;
    repainted += static_cast<double>(view->drawnDamage.Area()) /
                 (static_cast<double>(view->Scrn.width) * view->Scrn.height);
  }
};

void BM_ViewFrame(benchmark::State& state) {
  Rig rig;
  if (!rig.Start(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                 static_cast<Mode>(state.range(3)))) {
    state.SkipWithError("no offscreen context or no data");
    return;
  }
  const double moment = kMoments[state.range(2)];
  while (rig.clock.now + kWarmUpStep < moment) rig.Frame(kWarmUpStep);
  rig.Frame(moment - rig.clock.now);
  rig.frames = rig.whole = 0;
  rig.repainted = 0;
  for (auto _ : state) rig.Frame(kStep);
  state.counters["whole_share"] = static_cast<double>(rig.whole) / rig.frames;
  state.counters["repainted_share"] = rig.repainted / rig.frames;
}

void ViewFrameArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "height", "moment", "mode"});
  for (auto [w, h] : {std::pair{1280, 720}, std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    for (int moment = 0; moment < 3; ++moment) {
      for (int mode : {kWhole, kEachRect}) b->Args({w, h, moment, mode});
    }
  }
  for (int moment = 0; moment < 2; ++moment) b->Args({1920, 1080, moment, kBoundingBox});
}
// The moments last only so long (the fade 2 s): a fixed count of frames.
// CPU time is the whole process's, llvmpipe's threads included.
BENCHMARK(BM_ViewFrame)
    ->Apply(ViewFrameArgs)
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_FullFrameShare(benchmark::State& state) {
  Rig rig;
  if (!rig.Start(1280, 720, kEachRect)) {
    state.SkipWithError("no offscreen context or no data");
    return;
  }
  for (auto _ : state) {
    for (int i = 0; i < 120 * 60; ++i) rig.Frame(kStep);
  }
  state.counters["whole_share"] = static_cast<double>(rig.whole) / rig.frames;
  state.counters["repainted_share"] = rig.repainted / rig.frames;
}
BENCHMARK(BM_FullFrameShare)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
