// The flock's frame: AQUARIUM::Move for ten butterflies, flying and landed
// mixed, including the skinning of every body; and one butterfly's frame
// split into flight and skinning. Goal: the whole flock's frame within 1% of
// a 60 Hz frame (167 us). The counter "allocs" must stay 0: a frame
// allocates nothing.
//
// Types are procedural butterflies (about 350 vertices) written to a
// temporary folder; their texture lumps are marked as non-images, so no
// OpenGL context is needed. The frustum is the scene's 16:9 view.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "butterflies/AQUARIUM.h"
#include "tests/support/SceneView.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "util/CString.h"

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

// Counts every allocation of the program so that a frame can show it makes
// none. The replacements pair malloc with free, which GCC cannot see through
// its built-in knowledge of operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr float kSpeed = 0.75f;

// A folder of two butterfly types, removed at exit.
class TypeFolder {
 public:
  TypeFolder() {
    char pattern[] = "/tmp/wingdrift-bench-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
    Write("Amber.bfly", 4.0f, 3);
    Write("Blue.bfly", 3.0f, 1);
  }
  ~TypeFolder() {
    for (const char* n : {"Amber.bfly", "Blue.bfly"}) std::remove((path_ + "/" + n).c_str());
    rmdir(path_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  void Write(const char* name, float span, int textures) {
    ButterflySpec recipe;
    recipe.wingSpan = span;
    BflyHeaderSpec header;
    header.name = name;
    std::vector<LumpSpec> lumps(1 + textures);
    lumps[0].bytes = ButterflyModel(recipe).Bytes();
    lumps[0].type = 0;
    for (int i = 1; i <= textures; ++i) {
      lumps[i].bytes = "no image";
      lumps[i].type = 0;
    }
    WriteBytes(path_ + "/" + name, MakeBflyFile(header, lumps));
  }
  std::string path_;
};

// A flock of ten, all launched and flown for `seconds` so that some have
// landed.
bool MakeFlock(AQUARIUM* aquarium, const TypeFolder& types, double seconds) {
  SETTINGS s;
  s.LBFLYSIZE = 70;
  s.MAX_BFLY = 10;
  CopyCString(s.BFlyPath, types.path().c_str());
  std::srand(2024);
  if (!aquarium->Setup(&s)) return false;
  SetSceneFrustum(1920, 1080);
  for (int f = 0; f < static_cast<int>(seconds * 60); ++f) aquarium->Move(kSpeed, kDt);
  return true;
}

void BM_FlockFrame(benchmark::State& state) {
  TypeFolder types;
  AQUARIUM aquarium;
  if (!MakeFlock(&aquarium, types, 60.0)) {
    state.SkipWithError("flock set-up failed");
    return;
  }
  long landedFrames = 0, frames = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    aquarium.Move(kSpeed, kDt);
    ++frames;
    for (int i = 0; i < 10; ++i) landedFrames += aquarium.bflys[i].action == ONEBFLY::kLanded;
  }
  state.counters["allocs"] = static_cast<double>(g_allocations.load() - before);
  state.counters["landed%"] = frames ? 100.0 * landedFrames / (10.0 * frames) : 0.0;
  state.counters["verts"] = aquarium.bflys[0].numVerts;
}
BENCHMARK(BM_FlockFrame)->Unit(benchmark::kMicrosecond);

// One butterfly's Move (flight and skinning), cycling through the flock so
// that flying and landed ones take their share.
void BM_ButterflyMove(benchmark::State& state) {
  TypeFolder types;
  AQUARIUM aquarium;
  if (!MakeFlock(&aquarium, types, 60.0)) {
    state.SkipWithError("flock set-up failed");
    return;
  }
  int i = 0;
  for (auto _ : state) {
    ONEBFLY& b = aquarium.bflys[i];
    b.Move(aquarium.bflys.get(), 10, kSpeed, kDt);
    i = (i + 1) % 10;
  }
}
BENCHMARK(BM_ButterflyMove)->Unit(benchmark::kMicrosecond);

// The skinning part of one butterfly's frame alone: revert, animate, the
// skeleton, skin.
void BM_ButterflySkinning(benchmark::State& state) {
  TypeFolder types;
  AQUARIUM aquarium;
  if (!MakeFlock(&aquarium, types, 60.0)) {
    state.SkipWithError("flock set-up failed");
    return;
  }
  int i = 0;
  for (auto _ : state) {
    ONEBFLY& b = aquarium.bflys[i];
    b.RevertPoints(b.joints);
    b.Animate(kDt);
    b.UpdateSkeleton();
    b.UpdatePoints(b.joints);
    i = (i + 1) % 10;
  }
}
BENCHMARK(BM_ButterflySkinning)->Unit(benchmark::kMicrosecond);

}  // namespace
