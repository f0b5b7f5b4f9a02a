// Ten simulated minutes of a flock of ten at 60 frames per second, in a wide
// and a narrow view, checking what must hold over minutes of flight.
#include <cstdlib>
#include <string>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"

using FlockRun = GLTest;

TEST_F(FlockRun, TenMinutesInAWideAndANarrowView) {
  constexpr float kDt = 1.0f / 60.0f;
  TempDir dir;
  WriteTestFlockTypes(dir.path());
  const SETTINGS settings = FlockSettings(dir.path(), 10);
  for (const auto& [width, height] : {std::pair{1920, 1080}, {1024, 768}}) {
    SCOPED_TRACE(width);
    std::srand(20240 + width);
    AQUARIUM aquarium;
    ASSERT_TRUE(aquarium.Setup(&settings));
    SetSceneFrustum(width, height);
    FlockWatcher watcher;
    std::string why;
    for (int frame = 0; frame < 10 * 60 * 60; ++frame) {
      aquarium.Move(0.75f, kDt);
      ASSERT_TRUE(watcher.Check(aquarium, kDt, &why)) << why;
    }
    const FlockCounts& c = watcher.counts;
    EXPECT_EQ(c.launches, 10);
    EXPECT_GT(c.landings, 10);
    EXPECT_GE(c.takeOffs, c.landings - 10);
    EXPECT_GT(c.strokes, 1000);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(aquarium.bflys[i].entered) << i;
  }
}
