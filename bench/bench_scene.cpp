// One whole scene frame as the view draws it (clear, Update, DoUnderlay, the
// perspective projection, Draw with ten butterflies and their shadows, and a
// glFinish so that the renderer's work is counted) in a 1920 x 1080 offscreen
// context. On Mesa's llvmpipe this is the frame cost of a full-HD screen.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "scene/BackgroundPictures.h"
#include "scene/SSMAIN.h"
#include "tests/support/OffscreenGL.h"
#include "tests/support/SceneContent.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "util/Frustum.h"
#include "util/Texture.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kStep = 1.0 / 60.0;

int VisibleButterflies(const SSMAIN& scene) {
  int visible = 0;
  for (int64_t i = 0; i < scene.aquarium->numBFlys; ++i) {
    const ONEBFLY& b = scene.aquarium->bflys[i];
    if (b.action != ONEBFLY::kWaiting && PointInFrustum(b.position)) ++visible;
  }
  return visible;
}

void BM_SceneFrame(benchmark::State& state) {
  static OffscreenGL& gl = *new OffscreenGL;  // kept to exit, as in the tests
  if (gl.width() == 0 && !gl.Create(kWidth, kHeight)) {
    state.SkipWithError(gl.error().c_str());
    return;
  }
  gl.MakeCurrent();
  TempDir scratch;
  const SceneContent content = FindSceneContent(WINGDRIFT_BINARY_DIR, scratch.path());
  const std::string picture = scratch.File("background.png");
  SETTINGS settings = SceneSettings(content.typeFolder, 10, true);

  std::srand(20);
  SSMAIN scene;
  ViewGLInit(kWidth, kHeight);
  Texture background;
  if (!scene.Setup(false, kWidth, kHeight, &settings, content.resourceFile.c_str()) ||
      !WriteTestPicture(picture, kWidth, kHeight) || !loadPicFile(picture.c_str(), &background, 2)) {
    state.SkipWithError("the scene cannot be built");
    return;
  }
  scene.bgTexID = background.texID;
  ViewGLInit(kWidth, kHeight, &scene);
  // Ten seconds of scene time first, so that the flock has flown in.
  for (int i = 0; i < 600; ++i) ViewFrame(&scene, kWidth, kHeight, kStep);
  glFinish();

  for (auto _ : state) {
    ViewFrame(&scene, kWidth, kHeight, kStep);
    glFinish();
  }
  state.counters["visible_butterflies"] = VisibleButterflies(scene);
  state.counters["shipped_content"] = content.shipped ? 1 : 0;
  scene.Cleanup();
}
BENCHMARK(BM_SceneFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
