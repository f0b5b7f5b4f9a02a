// The shipped butterfly types flying as the scene flies and draws them:
//   shipped_flock render OUT.png gotf|mix [SEED]
//     four frames of 960 x 540 (at 4, 8, 12 and 16 s), tiled two by two
//   shipped_flock soak HOURS gotf|mix [SEED]
//     HOURS of simulated flight at 1/60 s with the flight invariants checked
//     every frame, a frame drawn with shadows every simulated second and the
//     aquarium rebuilt every five simulated minutes; fails when an invariant
//     breaks, live textures or allocations do not return after a teardown.
//     Prints what it measured. Leaks are caught by counting the program's own live allocations (every
//     C++ allocation; our code allocates nothing else) after each teardown:
//     they must come back to what they were after the first. Resident memory
//     is too noisy for that, as Mesa frees texture storage lazily, so it is
//     only reported, and for "gotf", whose builds are all alike, its peaks
//     while flying must not rise over the second half. A "mix" build loads a
//     random subset of the types, so its resident memory moves with the
//     subset, not with time.
// "gotf" flies ten "GOT-F.bfly" butterflies, "mix" ten of random shipped
// types. The soak runs in CI (ctest label "soak"); the rendered sheet is for reading.
#include <GL/gl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/SceneView.h"
#include "tools/OffscreenGL.h"
#include "tools/content/RgbImage.h"
#include "util/CString.h"

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

constexpr float kDt = 1.0f / 60.0f;
constexpr float kSpeed = 0.75f;

SETTINGS ShippedSettings(bool mix) {
  SETTINGS s;
  s.LBFLYSIZE = 70;
  s.MAX_BFLY = 10;
  s.MIXBFLY = mix ? 0 : 1;
  s.WANTSHADOW = true;
  CopyCString(s.BFlyPath, WINGDRIFT_BINARY_DIR "/data/");
  CopyCString(s.SelectedBFlyName, "GOT-F.bfly");
  return s;
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
  constexpr int kW = 320, kH = 180;
  if (!Context(kW, kH)) return Fail("no offscreen OpenGL context");
  PrepareFlockGL();
  const long rebuildEvery = 5 * 60 * 60;
  const SETTINGS settings = ShippedSettings(mix);
  const int texturesBefore = CountLiveTextures();
  std::printf("shipped_flock: %s, seed %u\n", mix ? "mix of all types" : "ten GOT-F", seed);
  std::srand(seed);
  std::unique_ptr<AQUARIUM> aquarium;
  FlockWatcher watcher;
  int rebuilds = 0;
  const long frames = static_cast<long>(hours * 3600 * 60);
  std::vector<long> liveAfterTeardown, memory;
  liveAfterTeardown.reserve(static_cast<size_t>(frames / rebuildEvery) + 2);
  memory.reserve(static_cast<size_t>(frames / 3600) + 2);
  const auto build = [&]() -> bool {
    if (aquarium) {
      aquarium.reset();
      liveAfterTeardown.push_back(g_liveBytes.load());
    }
    if (CountLiveTextures() != texturesBefore) return false;
    aquarium = std::make_unique<AQUARIUM>();
    if (!aquarium->Setup(&settings)) return false;
    if (CountLiveTextures() != texturesBefore + LoadedTextures(*aquarium)) return false;
    watcher.Restart();
    ++rebuilds;
    return true;
  };
  if (!build()) return Fail("the first set-up failed or left textures behind");
  SetSceneFrustum(1920, 1080);
  const long memoryAtStart = ResidentBytes();
  const auto start = std::chrono::steady_clock::now();
  double moveSeconds = 0.0;
  std::string why;
  for (long f = 1; f <= frames; ++f) {
    const auto t0 = std::chrono::steady_clock::now();
    aquarium->Move(kSpeed, kDt);
    moveSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!watcher.Check(*aquarium, kDt, &why)) return Fail(why);
    if (f % 60 == 0) {
      DrawFlockFrame(aquarium.get(), kW, kH, kSpeed, kDt, true, false);
      SetSceneFrustum(1920, 1080);
    }
    if (f % 3600 == 0) {
      memory.push_back(ResidentBytes());
      if (std::getenv("SHIPPED_FLOCK_TRACE") && f % (3600 * 5) == 0)
        std::printf("minute %ld: %.2f MiB, %d types loaded\n", f / 3600, memory.back() / 1048576.0,
                    [&] { int n = 0; for (int i = 0; i < aquarium->numBFlyTypes; ++i) n += aquarium->bflyList[i].loaded; return n; }());
    }
    if (f % rebuildEvery == 0 && f < frames) {
      if (!build()) return Fail("a rebuild failed or the live textures did not return");
      SetSceneFrustum(1920, 1080);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long verts = 0;
  for (int64_t i = 0; i < aquarium->numBFlys; ++i) verts += aquarium->bflys[i].numVerts;
  aquarium.reset();
  if (CountLiveTextures() != texturesBefore) return Fail("textures left after the last teardown");
  liveAfterTeardown.push_back(g_liveBytes.load());
  const auto halves = [](const std::vector<long>& readings) {
    std::pair<long, long> peaks{0, 0};
    for (size_t i = 0; i < readings.size(); ++i) {
      long& peak = i < readings.size() / 2 ? peaks.first : peaks.second;
      peak = std::max(peak, readings[i]);
    }
    return peaks;
  };
  const auto [firstHalf, secondHalf] = halves(memory);
  const long liveFirst = liveAfterTeardown.front();
  const long liveMost = *std::max_element(liveAfterTeardown.begin(), liveAfterTeardown.end());
  const FlockCounts& c = watcher.counts;
  std::printf("shipped_flock: %.2f simulated hours, %ld frames in %.1f s (%.0f frames/s), "
              "AQUARIUM::Move %.1f us a frame (%ld vertices in the flock), %d builds\n",
              hours, frames, seconds, frames / seconds, 1e6 * moveSeconds / frames, verts, rebuilds);
  std::printf("shipped_flock: resident memory %.1f MiB at start, %.1f MiB at the end, peak %.1f "
              "MiB in the first half, %.1f MiB in the second\n",
              memoryAtStart / 1048576.0, (memory.empty() ? 0 : memory.back()) / 1048576.0,
              firstHalf / 1048576.0, secondHalf / 1048576.0);
  std::printf("shipped_flock: own live allocations after a teardown: %ld bytes after the first, "
              "%ld at most (%zu teardowns)\n",
              liveFirst, liveMost, liveAfterTeardown.size());
  std::printf("shipped_flock: %lld launches, %lld landings, %lld take-offs, %lld wing strokes\n",
              static_cast<long long>(c.launches), static_cast<long long>(c.landings),
              static_cast<long long>(c.takeOffs), static_cast<long long>(c.strokes));
  if (liveMost > liveFirst) return Fail("a teardown left allocations behind");
  if (!mix && memory.size() >= 4 && secondHalf > firstHalf + 512 * 1024)
    return Fail("resident memory still rises over the second half");
  std::printf("shipped_flock: passed\n");
  return 0;
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
