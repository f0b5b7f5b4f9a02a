// Soak run of the flock:
//   flock_soak HOURS [REBUILD_MINUTES] [SEED]
// flies ten butterflies of three types at a fixed 1/60 s for HOURS of
// simulated time (fractions allowed) as fast as it can, checking the flight
// invariants every frame, drawing a frame with shadows every simulated
// second, and rebuilding the aquarium every REBUILD_MINUTES (default 5) as
// the scene does, alternating a 16:9 and a 4:3 view. Fails when an
// invariant breaks, when the live GL textures do not return to their count
// before the first build after each teardown (or differ from what the loaded
// types hold), or when resident memory still rises over the second half of
// the run. Prints the frame rate, memory and what the flock did, and the
// seed (the current time unless given), which repeats a run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/OffscreenGL.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr float kSpeed = 0.75f;
constexpr int kDrawWidth = 320, kDrawHeight = 180;
// Growth of the resident set over the second half that counts as rising:
// above the allocator's and the driver's noise, below what a leak per frame
// or per rebuild of an hour's run adds up to.
constexpr long kRiseTolerance = 512 * 1024;  // bytes

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

void WriteTypes(const std::string& folder) {
  ButterflySpec a;
  a.name = "Amber";
  a.colours = {{{230, 140, 20}}, {{200, 60, 40}}, {{240, 220, 60}}};
  WriteButterflyType(folder, "Amber.bfly", a);
  ButterflySpec b;
  b.name = "Blue";
  b.wingSpan = 3.0f;
  b.colours = {{{40, 90, 230}}};
  b.sharedAlpha = true;
  WriteButterflyType(folder, "Blue.bfly", b);
  ButterflySpec c;
  c.name = "Large";
  c.wingSpan = 6.0f;
  c.modelScale = 130;
  c.colours = {{{120, 200, 90}}, {{30, 30, 30}}};
  WriteButterflyType(folder, "Large.bfly", c);
}

int LoadedTextures(const AQUARIUM& a) {
  int n = 0;
  for (int i = 0; i < a.numBFlyTypes; ++i) {
    const BFLYDATA* d = a.bflyList[i].data.get();
    for (int k = 0; d && k < d->textureCount; ++k) n += d->textures[k].texID != 0;
  }
  return n;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "flock_soak: FAILED: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s HOURS [REBUILD_MINUTES] [SEED]\n", argv[0]);
    return 2;
  }
  const double hours = std::atof(argv[1]);
  const double rebuildMinutes = argc > 2 ? std::atof(argv[2]) : 5.0;
  const long frames = static_cast<long>(hours * 3600 * 60);
  const long rebuildEvery = std::max(1L, static_cast<long>(rebuildMinutes * 60 * 60));

  OffscreenGL gl;
  if (!gl.Create(kDrawWidth, kDrawHeight)) return Fail(gl.error());
  PrepareFlockGL();
  TempDir types;
  WriteTypes(types.path());
  const SETTINGS settings = FlockSettings(types.path(), 10);
  const int texturesBefore = CountLiveTextures();
  const unsigned seed =
      argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : static_cast<unsigned>(std::time(nullptr));
  std::printf("flock_soak: seed %u\n", seed);
  std::srand(seed);

  std::unique_ptr<AQUARIUM> aquarium;
  FlockWatcher watcher;
  int rebuilds = 0;
  int view = 0;
  const auto build = [&]() -> bool {
    // As the scene does: the old aquarium goes, a new one is set up.
    aquarium.reset();
    if (CountLiveTextures() != texturesBefore) return false;
    aquarium = std::make_unique<AQUARIUM>();
    if (!aquarium->Setup(&settings)) return false;
    if (CountLiveTextures() != texturesBefore + LoadedTextures(*aquarium)) return false;
    watcher.Restart();
    view = rebuilds++ % 2;
    return true;
  };
  const auto setView = [&] { view == 0 ? SetSceneFrustum(1920, 1080) : SetSceneFrustum(1024, 768); };
  if (!build()) return Fail("the first set-up failed or left textures behind");
  setView();

  std::vector<long> memory;  // one sample per simulated minute
  const long memoryAtStart = ResidentBytes();
  const auto start = std::chrono::steady_clock::now();
  std::string why;
  for (long f = 1; f <= frames; ++f) {
    aquarium->Move(kSpeed, kDt);
    if (!watcher.Check(*aquarium, kDt, &why)) return Fail(why);
    if (f % 60 == 0) {
      // A frame as the scene draws it (the view moves nothing here).
      DrawFlockFrame(aquarium.get(), kDrawWidth, view == 0 ? kDrawHeight : kDrawWidth * 3 / 4, kSpeed,
                     kDt, true, false);
      setView();
    }
    if (f % 3600 == 0) {
      memory.push_back(ResidentBytes());
      if (std::getenv("FLOCK_SOAK_TRACE")) std::printf("%ld %.2f\n", f / 3600, memory.back() / 1048576.0);
    }
    if (f % rebuildEvery == 0 && f < frames) {
      if (!build()) return Fail("a rebuild failed or the live textures did not return");
      setView();
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  aquarium.reset();
  if (CountLiveTextures() != texturesBefore) return Fail("textures left after the last teardown");

  long firstHalf = 0, secondHalf = 0;
  for (size_t i = 0; i < memory.size(); ++i) {
    long& peak = i < memory.size() / 2 ? firstHalf : secondHalf;
    peak = std::max(peak, memory[i]);
  }
  const FlockCounts& c = watcher.counts;
  std::printf("flock_soak: %.2f simulated hours, %ld frames in %.1f s (%.0f frames/s), %d builds\n",
              hours, frames, seconds, frames / seconds, rebuilds);
  std::printf("flock_soak: resident memory %.1f MiB at start, %.1f MiB at the end, "
              "peak %.1f MiB in the first half, %.1f MiB in the second\n",
              memoryAtStart / 1048576.0, (memory.empty() ? 0 : memory.back()) / 1048576.0,
              firstHalf / 1048576.0, secondHalf / 1048576.0);
  std::printf("flock_soak: %lld launches, %lld landings, %lld take-offs, %lld wing strokes\n",
              static_cast<long long>(c.launches), static_cast<long long>(c.landings),
              static_cast<long long>(c.takeOffs), static_cast<long long>(c.strokes));
  if (memory.size() >= 4 && secondHalf > firstHalf + kRiseTolerance)
    return Fail("resident memory still rises over the second half");
  std::printf("flock_soak: passed\n");
  return 0;
}
