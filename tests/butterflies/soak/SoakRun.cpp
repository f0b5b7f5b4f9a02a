#include "tests/butterflies/soak/SoakRun.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/SceneView.h"

namespace {

std::atomic<long> g_liveBytes{0};  // bytes held through operator new

void* CountedAlloc(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p) g_liveBytes += static_cast<long>(malloc_usable_size(p));
  return p;
}

void CountedFree(void* p) {
  if (p) g_liveBytes -= static_cast<long>(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

// The soak programs' allocations, counted. Aligned forms are left to the
// library; they pair among themselves.
void* operator new(std::size_t n) {
  if (void* p = CountedAlloc(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedFree(p); }

namespace {

constexpr float kDt = 1.0f / 60.0f;  // s
constexpr float kSpeed = 0.75f;
// Growth of the resident peak from the first half to the second that counts
// as rising: above the allocator's and the driver's noise, below what a leak
// per frame or per rebuild of an hour's run adds up to.
constexpr long kRiseTolerance = 512 * 1024;  // bytes

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int LoadedTextures(const AQUARIUM& a) {
  int n = 0;
  for (int i = 0; i < a.numBFlyTypes; ++i)
    if (const BFLYDATA* d = a.bflyList[i].data.get()) n += d->textureCount;
  return n;
}

}  // namespace

int RunFlockSoak(const SETTINGS& settings, const SoakOptions& options) {
  const auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "%s: FAILED: %s\n", options.name, why.c_str());
    return 1;
  };
  const long frames = static_cast<long>(options.hours * 3600 * 60);
  const long rebuildEvery = std::max(1L, options.rebuildEvery);
  const int texturesBefore = CountLiveTextures();
  std::unique_ptr<AQUARIUM> aquarium;
  FlockWatcher watcher;
  int builds = 0;
  bool wide = true;
  // Reserved up front, so that the readings themselves allocate nothing.
  std::vector<long> liveAfterTeardown, resident;
  liveAfterTeardown.reserve(static_cast<size_t>(frames / rebuildEvery) + 2);
  resident.reserve(static_cast<size_t>(frames / 3600) + 2);
  const auto teardown = [&] {
    aquarium.reset();
    liveAfterTeardown.push_back(g_liveBytes.load());
    return CountLiveTextures() == texturesBefore;
  };
  // As the scene does: the old aquarium goes, a new one is set up.
  const auto build = [&] {
    if (aquarium && !teardown()) return false;
    aquarium = std::make_unique<AQUARIUM>();
    if (!aquarium->Setup(&settings)) return false;
    watcher.Restart();
    wide = !options.alternateViews || builds % 2 == 0;
    ++builds;
    wide ? SetSceneFrustum(1920, 1080) : SetSceneFrustum(1024, 768);
    return CountLiveTextures() == texturesBefore + LoadedTextures(*aquarium);
  };
  if (!build()) return fail("the first set-up failed or left textures behind");
  std::string why;
  for (long f = 1; f <= frames; ++f) {
    aquarium->Move(kSpeed, kDt);
    if (!watcher.Check(*aquarium, kDt, &why)) return fail(why);
    if (f % 60 == 0) {
      // A frame as the scene draws it, then the view of the flight again.
      DrawFlockFrame(aquarium.get(), 320, wide ? 180 : 240, kSpeed, kDt, true, false);
      wide ? SetSceneFrustum(1920, 1080) : SetSceneFrustum(1024, 768);
    }
    if (f % 3600 == 0) resident.push_back(ResidentBytes());
    if (f % rebuildEvery == 0 && f < frames && !build())
      return fail("a rebuild failed or the live textures did not return");
  }
  if (!teardown()) return fail("textures left after the last teardown");

  long peaks[2] = {0, 0};  // resident peak in each half
  for (size_t i = 0; i < resident.size(); ++i) {
    long& peak = peaks[i < resident.size() / 2 ? 0 : 1];
    peak = std::max(peak, resident[i]);
  }
  const long liveFirst = liveAfterTeardown.front();
  const long liveMost = *std::max_element(liveAfterTeardown.begin(), liveAfterTeardown.end());
  const FlockCounts& c = watcher.counts;
  std::printf("%s: %.2f simulated hours, %d builds; resident peak %.1f MiB in the first half, "
              "%.1f MiB in the second; live allocations after a teardown %ld bytes after the "
              "first, %ld at most; %lld launches, %lld landings, %lld take-offs, %lld strokes\n",
              options.name, options.hours, builds, peaks[0] / 1048576.0, peaks[1] / 1048576.0,
              liveFirst, liveMost, static_cast<long long>(c.launches), static_cast<long long>(c.landings),
              static_cast<long long>(c.takeOffs), static_cast<long long>(c.strokes));
  if (liveMost > liveFirst) return fail("a teardown left allocations behind");
  if (options.checkResidentPeaks && resident.size() >= 4 && peaks[1] > peaks[0] + kRiseTolerance)
    return fail("resident memory still rises over the second half");
  std::printf("%s: passed\n", options.name);
  return 0;
}
