// The shipped butterfly types flying as the scene flies and draws them:
//   shipped_flock soak HOURS gotf|mix [SEED]
// the flock's soak run (SoakRun.h) for HOURS of simulated flight, with a
// rebuild every five simulated minutes. "gotf" flies ten "GOT-F.bfly"
// butterflies, "mix" ten of random shipped types.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/soak/SoakRun.h"
#include "tools/OffscreenGL.h"

int main(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[1], "soak") != 0 ||
      (std::strcmp(argv[3], "gotf") != 0 && std::strcmp(argv[3], "mix") != 0)) {
    std::fprintf(stderr, "usage: %s soak HOURS gotf|mix [SEED]\n", argv[0]);
    return 2;
  }
  const bool mix = std::strcmp(argv[3], "mix") == 0;
  const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atol(argv[4])) : 2024u;
  // Kept to exit: tearing Mesa down only leaves its own allocations for the
  // leak checker to report.
  OffscreenGL& gl = *new OffscreenGL;
  if (!gl.Create(320, 180)) {
    std::fprintf(stderr, "shipped_flock: FAILED: no offscreen OpenGL context\n");
    return 1;
  }
  PrepareFlockGL();
  std::printf("shipped_flock: %s, seed %u\n", mix ? "mix of all types" : "ten GOT-F", seed);
  std::srand(seed);
  SoakOptions options;
  options.name = "shipped_flock";
  options.hours = std::atof(argv[2]);
  options.checkResidentPeaks = !mix;
  return RunFlockSoak(FlockSettings(WINGDRIFT_BINARY_DIR "/data/", 10, mix ? 0 : 1, "GOT-F.bfly"),
                      options);
}
