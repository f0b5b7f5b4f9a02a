// The flock's frame with the shipped butterfly types from <build>/data:
// ten "GOT-F.bfly" butterflies, and ten drawn at random from every shipped
// type. AQUARIUM::Move for the whole flock (flight and skinning), flown for
// a minute first so that flying and landed ones mix. Goal as for the
// procedural flock: within 1% of a 60 Hz frame (167 us).
//
// The shipped textures are real images, so the types load with an offscreen
// OpenGL context current.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "butterflies/AQUARIUM.h"
#include "tests/support/SceneView.h"
#include "tools/OffscreenGL.h"
#include "util/CString.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr float kSpeed = 0.75f;

OffscreenGL& Context() {
  static OffscreenGL& gl = *new OffscreenGL;  // kept to exit, as the tests do
  if (gl.width() == 0) gl.Create(16, 16);
  return gl;
}

// mix 1: only `selected`; any other value: a random shipped type each.
bool MakeFlock(AQUARIUM* aquarium, int mix, const char* selected) {
  if (Context().width() == 0) return false;
  SETTINGS s;
  s.LBFLYSIZE = 70;
  s.MAX_BFLY = 10;
  s.MIXBFLY = mix;
  CopyCString(s.BFlyPath, WINGDRIFT_BINARY_DIR "/data/");
  CopyCString(s.SelectedBFlyName, selected);
  std::srand(2024);
  if (!aquarium->Setup(&s)) return false;
  SetSceneFrustum(1920, 1080);
  for (int f = 0; f < 60 * 60; ++f) aquarium->Move(kSpeed, kDt);
  return true;
}

void Flock(benchmark::State& state, int mix) {
  AQUARIUM aquarium;
  if (!MakeFlock(&aquarium, mix, "GOT-F.bfly")) {
    state.SkipWithError("flock set-up failed (no GL context or no shipped data)");
    return;
  }
  long landedFrames = 0, frames = 0;
  for (auto _ : state) {
    aquarium.Move(kSpeed, kDt);
    ++frames;
    for (int i = 0; i < 10; ++i) landedFrames += aquarium.bflys[i].action == ONEBFLY::kLanded;
  }
  long verts = 0;
  for (int i = 0; i < 10; ++i) verts += aquarium.bflys[i].numVerts;
  state.counters["landed%"] = frames ? 100.0 * landedFrames / (10.0 * frames) : 0.0;
  state.counters["verts"] = static_cast<double>(verts);
  state.counters["types"] = aquarium.numBFlyTypes;
}

void BM_ShippedFlockGotF(benchmark::State& state) { Flock(state, 1); }
void BM_ShippedFlockMix(benchmark::State& state) { Flock(state, 0); }
BENCHMARK(BM_ShippedFlockGotF)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShippedFlockMix)->Unit(benchmark::kMicrosecond);

}  // namespace
