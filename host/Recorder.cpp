#include "host/Recorder.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "host/FrameSink.h"
#include "host/WingdriftView.h"
#include "platform/GLDriverPin.h"
#include "platform/DesktopPicture.h"
#include "platform/ManualClock.h"
#include "platform/OffscreenGL.h"
#include "platform/OffscreenWindow.h"
#include "platform/ResourceFolder.h"

namespace {

constexpr double kFrameStep = 1.0 / 60.0;  // s
constexpr int kRecordSamples = 4;          // multisampling of recorded frames, per pixel
// Any start will do; a round one keeps the steps exact for longer.
constexpr double kClockStart = 1024.0;  // s

int Fail(const std::string& message) {
  std::fprintf(stderr, "wingdrift: %s\n", message.c_str());
  return 1;
}

// The colour buffer as RGB, top row first.
std::vector<uint8_t> ReadFrame(int width, int height) {
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> bottomUp(rowBytes * static_cast<size_t>(height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> rgb(bottomUp.size());
  for (int r = 0; r < height; ++r) {
    std::copy_n(bottomUp.data() + static_cast<size_t>(height - 1 - r) * rowBytes, rowBytes,
                rgb.data() + static_cast<size_t>(r) * rowBytes);
  }
  return rgb;
}

}  // namespace

int Record(const RecordOptions& options, bool quiet) {
  std::string error;
  std::unique_ptr<FrameSink> sink = FrameSink::Open(options.path, options.width, options.height,
                                                    &error);
  if (!sink) return Fail(error);

  OffscreenGL gl;
  // A recording is watched at leisure and shared: smooth edges.
  if (!gl.Create(options.width, options.height, kRecordSamples)) {
    return Fail("cannot create an offscreen OpenGL context: " + gl.error());
  }
  KeepGLDriversLoaded();

  bool recording = false;
  bool sinkFailed = false;
  auto onFlush = [&] {
    if (!recording || sinkFailed) return;
    if (!sink->Add(ReadFrame(options.width, options.height), &error)) sinkFailed = true;
  };

  ManualClock clock(kClockStart);
  DesktopPicture desktopPicture;
  WingdriftHost host;
  host.clock = &clock;
  host.desktopPicture = [&desktopPicture](int screen) {
    return desktopPicture.PathForScreen(screen);
  };
  host.resourceFolder = ResourceFolder::Path();
  host.seed = options.seed;
  host.overrides = options.settings;

  const long skipped = std::lround(options.start / kFrameStep);
  const long frames = skipped + std::lround(options.seconds / kFrameStep);
  int64_t butterflies = 0;
  {
    const ViewRect frame{0, 0, static_cast<double>(options.width),
                         static_cast<double>(options.height)};
    WingdriftView view(frame, false, std::make_unique<OffscreenWindow>(&gl, onFlush), host);
    if (!view.viewAllocated) return Fail("the offscreen OpenGL context cannot be used");
    view.startAnimation();
    // The first frame builds the scene and shows it unmoved, which a
    // recording leaves out; every later one is a full step.
    view.animateOneFrame();
    for (long i = 1; i <= frames && !sinkFailed; ++i) {
      clock.now = kClockStart + static_cast<double>(i) * kFrameStep;
      recording = i > skipped;
      view.animateOneFrame();
    }
    recording = false;
    if (view.ssMain && view.ssMain->aquarium) butterflies = view.ssMain->aquarium->numBFlys;
  }
  if (sinkFailed) return Fail(error);
  if (!sink->Finish(&error)) return Fail(error);
  if (!quiet) {
    std::printf("wingdrift: recorded %s, %lld butterflies\n", sink->Describe().c_str(),
                static_cast<long long>(butterflies));
  }
  return 0;
}
