// The shipped butterfly types flying as the scene flies and draws them:
//   shipped_flock render OUT.png gotf|mix [SEED]
//     four frames of 960 x 540 (at 4, 8, 12 and 16 s), tiled two by two
//   shipped_flock soak HOURS gotf|mix [SEED]
//     the flock's soak run (SoakRun.h) for HOURS of simulated flight, with a
//     rebuild every five simulated minutes
// "gotf" flies ten "GOT-F.bfly" butterflies, "mix" ten of random shipped
// types. The soak runs in CI (ctest label "soak"); the rendered sheet is for reading.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/soak/SoakRun.h"
#include "tests/support/SceneView.h"
#include "tools/OffscreenGL.h"
#include "tools/content/RgbImage.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr float kSpeed = 0.75f;

SETTINGS ShippedSettings(bool mix) {
  return FlockSettings(WINGDRIFT_BINARY_DIR "/data/", 10, mix ? 0 : 1, "GOT-F.bfly");
}

// The program's GL context, kept to exit: tearing Mesa down only leaves its
// own allocations for the leak checker to report.
OffscreenGL* Context(int width, int height) {
  static OffscreenGL& gl = *new OffscreenGL;
  if (gl.width() == 0) gl.Create(width, height);
  return gl.width() == 0 ? nullptr : &gl;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "shipped_flock: FAILED: %s\n", why.c_str());
  return 1;
}

int Render(const std::string& out, bool mix, unsigned seed) {
  constexpr int kW = 960, kH = 540;
  if (!Context(kW, kH)) return Fail("no offscreen OpenGL context");
  PrepareFlockGL();
  std::srand(seed);
  const SETTINGS settings = ShippedSettings(mix);
  AQUARIUM aquarium;
  if (!aquarium.Setup(&settings)) return Fail("set-up failed");
  SetSceneFrustum(kW, kH);
  std::vector<uint8_t> sheet(static_cast<size_t>(kW) * 2 * kH * 2 * 3);
  int frame = 0;
  for (int tile = 0; tile < 4; ++tile) {
    const int until = (tile + 1) * 4 * 60;
    for (; frame < until - 1; ++frame) aquarium.Move(kSpeed, kDt);
    DrawFlockFrame(&aquarium, kW, kH, kSpeed, kDt, true);
    ++frame;
    std::vector<uint8_t> rgba(static_cast<size_t>(kW) * kH * 4);
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const int ox = (tile % 2) * kW, oy = (tile / 2) * kH;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(kH - 1 - y) * kW + x) * 4];
        uint8_t* q = &sheet[(static_cast<size_t>(oy + y) * kW * 2 + ox + x) * 3];
        q[0] = p[0];
        q[1] = p[1];
        q[2] = p[2];
      }
    }
  }
  std::string error;
  if (!WritePng(out, kW * 2, kH * 2, 3, sheet, &error)) return Fail(error);
  std::printf("shipped_flock: %s\n", out.c_str());
  return 0;
}

int Soak(double hours, bool mix, unsigned seed) {
  if (!Context(320, 180)) return Fail("no offscreen OpenGL context");
  PrepareFlockGL();
  std::printf("shipped_flock: %s, seed %u\n", mix ? "mix of all types" : "ten GOT-F", seed);
  std::srand(seed);
  SoakOptions options;
  options.name = "shipped_flock";
  options.hours = hours;
  options.checkResidentPeaks = !mix;
  return RunFlockSoak(ShippedSettings(mix), options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (std::strcmp(argv[1], "render") != 0 && std::strcmp(argv[1], "soak") != 0) ||
      (std::strcmp(argv[3], "gotf") != 0 && std::strcmp(argv[3], "mix") != 0)) {
    std::fprintf(stderr, "usage: %s render OUT.png gotf|mix [SEED]\n"
                         "       %s soak HOURS gotf|mix [SEED]\n", argv[0], argv[0]);
    return 2;
  }
  const bool mix = std::strcmp(argv[3], "mix") == 0;
  const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atol(argv[4])) : 2024u;
  if (std::strcmp(argv[1], "render") == 0) return Render(argv[2], mix, seed);
  return Soak(std::atof(argv[2]), mix, seed);
}
