// Soak runs of the flock:
//   flock_soak HOURS [REBUILD_MINUTES] [SEED] [test|gotf|mix]
// flies ten butterflies for HOURS of simulated time (fractions allowed) at a
// fixed 1/60 s, as fast as it goes, with the flight invariants checked every
// frame, a frame drawn with shadows every simulated second, and the aquarium
// torn down and set up again every REBUILD_MINUTES (default 5), as the scene
// does. "test" (the default) flies three generated types in a 16:9 and a 4:3
// view in turn; "gotf" ten shipped "GOT-F.bfly", "mix" ten of random shipped
// types. Prints the seed (the current time unless given), which repeats a
// run.
//
// It fails when an invariant breaks, when the live GL textures do not return
// to their count before the first build after a teardown (or differ from
// what the loaded types hold), or when the program's own live allocations
// after a teardown differ from those after the first. Those two are all the
// flock holds: every allocation our code makes goes through operator new,
// which this program counts, and textures are its only GL objects. Resident
// memory would not tell a leak from Mesa freeing texture storage lazily.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
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
std::atomic<long> g_liveBytes{0};  // bytes held through operator new
}

// The program's allocations, counted. The library's other forms (arrays,
// nothrow) call these; aligned forms are left to the library, they pair among
// themselves.
void* operator new(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (!p) throw std::bad_alloc();
  g_liveBytes += static_cast<long>(malloc_usable_size(p));
  return p;
}
void operator delete(void* p) noexcept {
  if (p) g_liveBytes -= static_cast<long>(malloc_usable_size(p));
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

constexpr float kDt = 1.0f / 60.0f;  // s
constexpr float kSpeed = 0.75f;

int LoadedTextures(const AQUARIUM& a) {
  int n = 0;
  for (int i = 0; i < a.numBFlyTypes; ++i)
    if (const BFLYDATA* d = a.bflyList[i].data.get()) n += d->textureCount;
  return n;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "flock_soak: FAILED: %s\n", why.c_str());
  return 1;
}

// Needs a current OpenGL context with PrepareFlockGL done, and the seed given
// to std::srand. Prints what it measured; returns the exit status.
int Soak(const SETTINGS& settings, double hours, long rebuildEvery, const std::string& flock) {
  const long frames = static_cast<long>(hours * 3600 * 60);
  const int texturesBefore = CountLiveTextures();
  std::unique_ptr<AQUARIUM> aquarium;
  FlockWatcher watcher;
  int builds = 0;
  bool wide = true;
  // Reserved up front, so that the readings themselves allocate nothing.
  std::vector<long> liveAfterTeardown;
  liveAfterTeardown.reserve(static_cast<size_t>(frames / rebuildEvery) + 2);
  const auto teardown = [&] {
    aquarium.reset();
    liveAfterTeardown.push_back(g_liveBytes.load());
    return CountLiveTextures() == texturesBefore;
  };
  const auto setView = [&] { wide ? SetSceneFrustum(1920, 1080) : SetSceneFrustum(1024, 768); };
  // As the scene does: the old aquarium goes, a new one is set up.
  const auto build = [&] {
    if (aquarium && !teardown()) return false;
    aquarium = std::make_unique<AQUARIUM>();
    if (!aquarium->Setup(&settings)) return false;
    watcher.Restart();
    wide = flock != "test" || builds++ % 2 == 0;
    setView();
    return CountLiveTextures() == texturesBefore + LoadedTextures(*aquarium);
  };
  if (!build()) return Fail("the first set-up failed or left textures behind");
  std::string why;
  for (long f = 1; f <= frames; ++f) {
    aquarium->Move(kSpeed, kDt);
    if (!watcher.Check(*aquarium, kDt, &why)) return Fail(why);
    if (f % 60 == 0) {
      // A frame as the scene draws it, then the view of the flight again.
      DrawFlockFrame(aquarium.get(), 320, wide ? 180 : 240, kSpeed, kDt, false);
      setView();
    }
    if (f % rebuildEvery == 0 && f < frames && !build())
      return Fail("a rebuild failed or the live textures did not return");
  }
  if (!teardown()) return Fail("textures left after the last teardown");

  const long liveFirst = liveAfterTeardown.front();
  const long liveMost = *std::max_element(liveAfterTeardown.begin(), liveAfterTeardown.end());
  const FlockCounts& c = watcher.counts;
  std::printf("flock_soak: %.2f simulated hours, %zu builds; live allocations after a teardown "
              "%ld bytes after the first, %ld at most; %ld launches, %ld landings, %ld "
              "take-offs, %ld strokes\n",
              hours, liveAfterTeardown.size(), liveFirst, liveMost, c.launches, c.landings,
              c.takeOffs, c.strokes);
  if (liveMost > liveFirst) return Fail("a teardown left allocations behind");
  std::printf("flock_soak: passed\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string flock = argc > 4 ? argv[4] : "test";
  if (argc < 2 || (flock != "test" && flock != "gotf" && flock != "mix")) {
    std::fprintf(stderr, "usage: %s HOURS [REBUILD_MINUTES] [SEED] [test|gotf|mix]\n", argv[0]);
    return 2;
  }
  const double rebuildMinutes = argc > 2 ? std::atof(argv[2]) : 5.0;
  // Kept to exit: tearing Mesa down only leaves its own allocations for the
  // leak checker to report.
  OffscreenGL& gl = *new OffscreenGL;
  if (!gl.Create(320, 180)) return Fail(gl.error());
  PrepareFlockGL(320, 180);
  TempDir types;
  WriteTestFlockTypes(types.path());
  const unsigned seed = static_cast<unsigned>(argc > 3 ? std::atol(argv[3]) : std::time(nullptr));
  std::printf("flock_soak: %s flock, seed %u\n", flock.c_str(), seed);
  std::srand(seed);
  const SETTINGS settings =
      flock == "test" ? FlockSettings(types.path(), 10)
                      : FlockSettings(WINGDRIFT_BINARY_DIR "/data/", 10, flock == "mix" ? 0 : 1,
                                      "GOT-F.bfly");
  return Soak(settings, std::atof(argv[1]),
              std::max(1L, static_cast<long>(rebuildMinutes * 60 * 60)), flock);
}
