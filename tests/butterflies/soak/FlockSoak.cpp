// Soak run of the test flock:
//   flock_soak HOURS [REBUILD_MINUTES] [SEED]
// flies ten butterflies of three generated types for HOURS of simulated time
// (fractions allowed), rebuilding the aquarium every REBUILD_MINUTES
// (default 5) and alternating a 16:9 and a 4:3 view; see SoakRun.h for what
// it checks. Prints the seed (the current time unless given), which repeats
// a run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/soak/SoakRun.h"
#include "tests/support/OffscreenGL.h"
#include "tests/support/TempDir.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s HOURS [REBUILD_MINUTES] [SEED]\n", argv[0]);
    return 2;
  }
  SoakOptions options;
  options.hours = std::atof(argv[1]);
  const double rebuildMinutes = argc > 2 ? std::atof(argv[2]) : 5.0;
  options.rebuildEvery = std::max(1L, static_cast<long>(rebuildMinutes * 60 * 60));
  options.alternateViews = true;

  OffscreenGL gl;
  if (!gl.Create(320, 180)) {
    std::fprintf(stderr, "flock_soak: FAILED: %s\n", gl.error().c_str());
    return 1;
  }
  PrepareFlockGL();
  TempDir types;
  WriteTestFlockTypes(types.path());
  const unsigned seed = static_cast<unsigned>(argc > 3 ? std::atol(argv[3]) : std::time(nullptr));
  std::printf("flock_soak: seed %u\n", seed);
  std::srand(seed);
  return RunFlockSoak(FlockSettings(types.path(), 10), options);
}
