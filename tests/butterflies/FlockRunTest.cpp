// Long runs of a whole flock at 60 frames per second, checking what must
// hold over minutes of flight.
#include <cstdlib>
#include <string>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"

using FlockRun = GLTest;

namespace {

constexpr float kDt = 1.0f / 60.0f;

// Three types that differ in size, texture count and alpha handling, of
// about 230 vertices each.
void WriteTypes(const TempDir& dir) {
  ButterflySpec a;
  a.wingCells = 6;
  a.name = "Amber";
  a.colours = {{{230, 140, 20}}, {{200, 60, 40}}, {{240, 220, 60}}};
  WriteButterflyType(dir.path(), "Amber.bfly", a);
  ButterflySpec b;
  b.wingCells = 6;
  b.name = "Blue";
  b.wingSpan = 3.0f;
  b.wingDepth = 2.5f;
  b.colours = {{{40, 90, 230}}};
  b.sharedAlpha = true;
  WriteButterflyType(dir.path(), "Blue.bfly", b);
  ButterflySpec c;
  c.wingCells = 6;
  c.name = "Large";
  c.wingSpan = 6.0f;
  c.modelScale = 130;
  c.colours = {{{120, 200, 90}}, {{30, 30, 30}}};
  WriteButterflyType(dir.path(), "Large.bfly", c);
}

// Ten simulated minutes of a flock of ten in a view of width x height.
void FlyTenMinutes(int width, int height) {
  TempDir dir;
  WriteTypes(dir);
  std::srand(20240 + width);
  const SETTINGS settings = FlockSettings(dir.path(), 10);
  AQUARIUM aquarium;
  ASSERT_TRUE(aquarium.Setup(&settings));
  SetSceneFrustum(width, height);

  FlockWatcher watcher;
  std::string why;
  constexpr int kFrames = 10 * 60 * 60;
  for (int frame = 0; frame < kFrames; ++frame) {
    aquarium.Move(0.75f, kDt);
    ASSERT_TRUE(watcher.Check(aquarium, kDt, &why)) << why;
  }
  const FlockCounts& c = watcher.counts;
  EXPECT_EQ(c.launches, 10);
  EXPECT_GT(c.landings, 10);
  EXPECT_GE(c.takeOffs, c.landings - 10);
  EXPECT_GT(c.strokes, 1000);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(aquarium.bflys[i].entered) << i;
  std::printf(
      "%dx%d: %lld landings, %lld take-offs, %lld strokes, %.1f%% of the time landed, "
      "%.2f%% beyond the view after a depth clamp\n",
      width, height, static_cast<long long>(c.landings), static_cast<long long>(c.takeOffs),
      static_cast<long long>(c.strokes), 100.0 * c.landedFrames / (10.0 * kFrames),
      100.0 * c.outsideAfterClamp / (10.0 * kFrames));
}

}  // namespace

TEST_F(FlockRun, TenMinutesWide) { FlyTenMinutes(1920, 1080); }

TEST_F(FlockRun, TenMinutesNarrow) { FlyTenMinutes(1024, 768); }
