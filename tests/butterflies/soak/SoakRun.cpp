#include "tests/butterflies/soak/SoakRun.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <utility>
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
  if (!p) return;
  g_liveBytes -= static_cast<long>(malloc_usable_size(p));
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
constexpr int kDrawWidth = 320;  // pixels
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

int LoadedTextures(const AQUARIUM& a) {
  int n = 0;
  for (int i = 0; i < a.numBFlyTypes; ++i) {
    const BFLYDATA* d = a.bflyList[i].data.get();
    for (int k = 0; d && k < d->textureCount; ++k) n += d->textures[k].texID != 0;
  }
  return n;
}

// The largest reading in each half of `readings`.
std::pair<long, long> HalfPeaks(const std::vector<long>& readings) {
  std::pair<long, long> peaks{0, 0};
  for (size_t i = 0; i < readings.size(); ++i) {
    long& peak = i < readings.size() / 2 ? peaks.first : peaks.second;
    peak = std::max(peak, readings[i]);
  }
  return peaks;
}

}  // namespace

int RunFlockSoak(const SETTINGS& settings, const SoakOptions& options) {
  const auto fail = [&](const char* why) {
    std::fprintf(stderr, "%s: FAILED: %s\n", options.name, why);
    return 1;
  };
  const long frames = static_cast<long>(options.hours * 3600 * 60);
  const long rebuildEvery = std::max(1L, options.rebuildEvery);
  const int texturesBefore = CountLiveTextures();

  std::unique_ptr<AQUARIUM> aquarium;
  FlockWatcher watcher;
  int rebuilds = 0;
  int view = 0;  // 0: 16:9, 1: 4:3
  // Reserved up front, so that the readings themselves allocate nothing.
  std::vector<long> liveAfterTeardown, memory;
  liveAfterTeardown.reserve(static_cast<size_t>(frames / rebuildEvery) + 2);
  memory.reserve(static_cast<size_t>(frames / 3600) + 2);
  const auto teardown = [&] {
    aquarium.reset();
    liveAfterTeardown.push_back(g_liveBytes.load());
  };
  const auto build = [&]() -> bool {
    // As the scene does: the old aquarium goes, a new one is set up.
    if (aquarium) teardown();
    if (CountLiveTextures() != texturesBefore) return false;
    aquarium = std::make_unique<AQUARIUM>();
    if (!aquarium->Setup(&settings)) return false;
    if (CountLiveTextures() != texturesBefore + LoadedTextures(*aquarium)) return false;
    watcher.Restart();
    view = options.alternateViews ? rebuilds % 2 : 0;
    ++rebuilds;
    return true;
  };
  const auto setView = [&] {
    view == 0 ? SetSceneFrustum(1920, 1080) : SetSceneFrustum(1024, 768);
  };
  if (!build()) return fail("the first set-up failed or left textures behind");
  setView();

  const bool trace = std::getenv("FLOCK_SOAK_TRACE") != nullptr;
  const long memoryAtStart = ResidentBytes();
  const auto start = std::chrono::steady_clock::now();
  double moveSeconds = 0.0;
  std::string why;
  for (long f = 1; f <= frames; ++f) {
    const auto t0 = std::chrono::steady_clock::now();
    aquarium->Move(kSpeed, kDt);
    moveSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!watcher.Check(*aquarium, kDt, &why)) return fail(why.c_str());
    if (f % 60 == 0) {
      // A frame as the scene draws it (the view moves nothing here).
      const int drawHeight = view == 0 ? kDrawWidth * 9 / 16 : kDrawWidth * 3 / 4;
      DrawFlockFrame(aquarium.get(), kDrawWidth, drawHeight, kSpeed, kDt, true, false);
      setView();
    }
    if (f % 3600 == 0) {
      memory.push_back(ResidentBytes());
      if (trace) std::printf("minute %ld: %.2f MiB\n", f / 3600, memory.back() / 1048576.0);
    }
    if (f % rebuildEvery == 0 && f < frames) {
      if (!build()) return fail("a rebuild failed or the live textures did not return");
      setView();
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long verts = 0;
  for (int64_t i = 0; i < aquarium->numBFlys; ++i) verts += aquarium->bflys[i].numVerts;
  teardown();
  if (CountLiveTextures() != texturesBefore) return fail("textures left after the last teardown");

  const auto [firstHalf, secondHalf] = HalfPeaks(memory);
  const long liveFirst = liveAfterTeardown.front();
  const long liveMost = *std::max_element(liveAfterTeardown.begin(), liveAfterTeardown.end());
  const FlockCounts& c = watcher.counts;
  const char* name = options.name;
  std::printf("%s: %.2f simulated hours, %ld frames in %.1f s (%.0f frames/s), "
              "AQUARIUM::Move %.1f us a frame (%ld vertices in the flock), %d builds\n",
              name, options.hours, frames, seconds, frames / seconds, 1e6 * moveSeconds / frames,
              verts, rebuilds);
  std::printf("%s: resident memory %.1f MiB at start, %.1f MiB at the end, peak %.1f MiB in the "
              "first half, %.1f MiB in the second\n",
              name, memoryAtStart / 1048576.0, (memory.empty() ? 0 : memory.back()) / 1048576.0,
              firstHalf / 1048576.0, secondHalf / 1048576.0);
  std::printf("%s: own live allocations after a teardown: %ld bytes after the first, %ld at most "
              "(%zu teardowns)\n",
              name, liveFirst, liveMost, liveAfterTeardown.size());
  std::printf("%s: %lld launches, %lld landings, %lld take-offs, %lld wing strokes\n", name,
              static_cast<long long>(c.launches), static_cast<long long>(c.landings),
              static_cast<long long>(c.takeOffs), static_cast<long long>(c.strokes));
  if (liveMost > liveFirst) return fail("a teardown left allocations behind");
  if (options.checkResidentPeaks && memory.size() >= 4 && secondHalf > firstHalf + kRiseTolerance)
    return fail("resident memory still rises over the second half");
  std::printf("%s: passed\n", name);
  return 0;
}
