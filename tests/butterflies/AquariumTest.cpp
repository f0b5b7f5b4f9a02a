// The flock container: set-up from the settings, launching, drawing,
// ordering and the clean-ups, with real type files and textures.
#include <GL/gl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/support/GLTest.h"
#include "tests/support/ReportRecorder.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"
#include "util/Frustum.h"

using Aquarium = GLTest;

namespace {

constexpr float kDt = 1.0f / 60.0f;

ButterflySpec Type(const std::string& name, int textures) {
  ButterflySpec recipe;
  recipe.name = name;
  recipe.wingCells = 3;
  recipe.colours.clear();
  for (int i = 0; i < textures; ++i)
    recipe.colours.push_back({static_cast<uint8_t>(40 * i), 100, static_cast<uint8_t>(200 - 40 * i)});
  return recipe;
}

// A folder with type A (one texture) and type B (three).
struct TwoTypes {
  TempDir dir;
  TwoTypes() {
    WriteButterflyType(dir.path(), "A.bfly", Type("A", 1));
    WriteButterflyType(dir.path(), "B.bfly", Type("B", 3));
  }
};

int EntryOf(const AQUARIUM& a, const BFLYDATA* data) {
  for (int i = 0; i < a.numBFlyTypes; ++i)
    if (a.bflyList[i].data.get() == data) return i;
  return -1;
}

// A parallel copy of the generator: replays what a frame of a waiting
// flock draws.
class Replay {
 public:
  explicit Replay(unsigned seed) { std::srand(seed); }
  int Next() {
    const int r = std::rand();
    drawn_.push_back(r);
    return r;
  }
  std::vector<int> drawn_;
};

}  // namespace

TEST_F(Aquarium, SetupFromTheSettings) {
  TwoTypes types;
  {
    // No butterflies: the catalogue is built, nothing is loaded, Move and
    // Draw do nothing.
    const SETTINGS s = FlockSettings(types.dir.path(), 0);
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.numBFlyTypes, 2);
    EXPECT_EQ(a.numBFlys, 0);
    EXPECT_FALSE(a.bflys);
    a.Move(0.75f, kDt);
    a.Draw(true);
    a.Draw(false);
    EXPECT_FALSE(a.bflyList[0].loaded || a.bflyList[1].loaded);
  }
  {
    // A negative count, which the settings let through, is no butterflies.
    const SETTINGS s = FlockSettings(types.dir.path(), -4);
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.numBFlys, 0);
    EXPECT_FALSE(a.bflys);
  }
  {
    // Settings copied; every butterfly set up and waiting at the origin;
    // a type is loaded only for its first butterfly.
    SETTINGS s = FlockSettings(types.dir.path(), 6, 2, "B.bfly");
    s.LBFLYSIZE = 130;
    AQUARIUM a;
    EXPECT_EQ(a.numBFlys, 3);
    EXPECT_STREQ(a.selectedBFlyName, "Gold.bfly");
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.mixMode, 2);
    EXPECT_EQ(a.sizeFactor, 1.3f);
    EXPECT_EQ(a.numBFlys, 6);
    EXPECT_EQ(std::string(a.bflyList[a.selectedType].fileName), "B.bfly");
    for (int i = 0; i < 6; ++i) {
      const ONEBFLY& b = a.bflys[i];
      EXPECT_EQ(b.action, ONEBFLY::kWaiting);
      EXPECT_TRUE(CompareVectors(b.position, {0, 0, 0}));
      EXPECT_EQ(b.airSpeed, 6.0f);
      ASSERT_GE(EntryOf(a, b.bflyData), 0);
      EXPECT_EQ(b.bflyData->size, 1.3f);
    }
  }
  {
    // Mix 1 with a selection that is not installed: entry 0 for everyone.
    const SETTINGS s = FlockSettings(types.dir.path(), 5, 1, "Gold.bfly");
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.selectedType, 0);
    EXPECT_STREQ(a.selectedBFlyName, a.bflyList[0].fileName);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(EntryOf(a, a.bflys[i].bflyData), 0);
    EXPECT_FALSE(a.bflyList[1].loaded);
  }
  {
    // One installed type: everyone takes it, whatever the mix says.
    TempDir one;
    WriteButterflyType(one.path(), "Only.bfly", Type("Only", 2));
    const SETTINGS s = FlockSettings(one.path(), 4, -3);
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.mixMode, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.bflys[i].bflyData, a.bflyList[0].data.get());
  }
}

TEST_F(Aquarium, SizeAndSpeedAreLimitedWhereTheyAreUsed) {
  // Whatever a caller passes: 200 % would divide the type's scale by zero,
  // and at a runaway speed no butterfly is ever on screen.
  TwoTypes types;
  SETTINGS s = FlockSettings(types.dir.path(), 3, 1, "A.bfly");
  s.LBFLYSIZE = 200;
  AQUARIUM fast, capped;
  ASSERT_TRUE(fast.Setup(&s));
  EXPECT_EQ(fast.sizeFactor, 1.9f);
  EXPECT_EQ(fast.bflys[0].bflyData->size, 1.9f);
  BFLYINFO direct;
  CopyCString(direct.fileName, "A.bfly");
  ASSERT_TRUE(direct.LoadData((types.dir.path() + "/").c_str(), 2.0f));
  EXPECT_EQ(direct.data->size, 1.9f) << "the type's own scale is limited too";
  ASSERT_TRUE(capped.Setup(&s));
  // The same flight at speed 100 (10000 %) and at the limit.
  std::srand(11);
  for (int i = 0; i < 120; ++i) fast.Move(100.0f, kDt);
  std::srand(11);
  for (int i = 0; i < 120; ++i) capped.Move(static_cast<float>(kMaxFlySpeed) / 100.0f, kDt);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(CompareVectors(fast.bflys[i].position, capped.bflys[i].position)) << i;
  }
}

TEST_F(Aquarium, FolderPathsAndFailures) {
  ReportRecorder reports;
  TwoTypes types;
  {
    // Paths of three characters or more get a trailing "/" unless they end
    // in one; shorter ones are used as they are.
    SETTINGS s = FlockSettings(types.dir.path(), 1, 0, "", "ab");
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(std::string(a.bflyPath), types.dir.path() + "/");
    EXPECT_STREQ(a.bflyPath2, "ab");
    CopyCString(s.BFlyPath2, "/no/such/");
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_STREQ(a.bflyPath2, "/no/such/");
    CopyCString(s.BFlyPath2, "abc");
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_STREQ(a.bflyPath2, "abc/");
  }
  {
    TempDir empty;
    const SETTINGS s = FlockSettings(empty.path(), 3);
    AQUARIUM a;
    reports.Clear();
    EXPECT_FALSE(a.Setup(&s));
    ASSERT_EQ(ReportRecorder::Reports().size(), 1u);
    EXPECT_EQ(ReportRecorder::Reports()[0], "No BFly Data Found!");
    EXPECT_FALSE(a.Setup(nullptr));
  }
  {
    // A valid lump file without a model makes the set-up fail.
    TempDir broken;
    LumpSpec lump;
    lump.bytes = "no model here";
    WriteBytes(broken.File("Broken.bfly"), MakeBflyFile(BflyHeaderSpec{}, {lump, lump}));
    const SETTINGS s = FlockSettings(broken.path(), 3);
    AQUARIUM a;
    EXPECT_FALSE(a.Setup(&s));
  }
}

TEST_F(Aquarium, RandomTypesInDrawOrder) {
  TwoTypes types;
  const SETTINGS s = FlockSettings(types.dir.path(), 5);
  // Per butterfly: its type; on a type's first use the prototype's texture;
  // then one texture per material (two).
  AQUARIUM a;
  std::srand(77);
  std::vector<int> r(40);
  for (int& v : r) v = std::rand();
  std::srand(77);
  ASSERT_TRUE(a.Setup(&s));
  size_t next = 0;
  bool loaded[2] = {false, false};
  for (int i = 0; i < 5; ++i) {
    const int t = r[next++] % 2;
    if (!loaded[t]) {
      loaded[t] = true;
      ++next;
    }
    const BFLYDATA* data = a.bflyList[t].data.get();
    ASSERT_EQ(a.bflys[i].bflyData, data) << i;
    for (int m = 0; m < 2; ++m)
      EXPECT_EQ(a.bflys[i].materials[m].texId, data->textures[r[next++] % data->textureCount].texID);
  }
  EXPECT_EQ(std::rand(), r[next]);
}

TEST_F(Aquarium, LaunchesFromOutsideTheView) {
  TwoTypes types;
  const SETTINGS s = FlockSettings(types.dir.path(), 4, 1, "B.bfly");
  AQUARIUM a;
  ASSERT_TRUE(a.Setup(&s));
  SetSceneFrustum(1920, 1080);

  // Replay waiting frames until the first launch: one draw per butterfly;
  // a launch draws the effort goal, the target (z, y, x) and start points
  // (z, y, x) until one lies outside the view.
  std::srand(5);
  int launched = -1;
  int frames = 0;
  VECTOR3D target, start;
  while (launched < 0) {
    ++frames;
    for (int i = 0; i < 4; ++i) {
      if (std::rand() % 20 != 1) continue;
      VECTOR3D t, p;
      std::rand();
      t.z = (std::rand() % 400) / 10.0f - 20;
      t.y = (std::rand() % 400) / 10.0f - 20;
      t.x = (std::rand() % 400) / 10.0f - 20;
      do {
        p.z = (std::rand() % 600) / 10.0f - 30;
        p.y = (std::rand() % 600) / 10.0f - 30;
        p.x = (std::rand() % 1200) / 10.0f - 60;
      } while (PointInFrustum(p));
      if (launched < 0) {
        launched = i;
        target = t;
        start = p;
      }
    }
  }
  const int after = std::rand();
  std::srand(5);
  for (int f = 0; f < frames; ++f) a.Move(0.75f, kDt);
  EXPECT_EQ(std::rand(), after) << "the same draws in the same order";
  const ONEBFLY& b = a.bflys[launched];
  EXPECT_EQ(b.action, ONEBFLY::kFlying);
  EXPECT_TRUE(CompareVectors(b.target, target));
  EXPECT_TRUE(CompareVectors(b.position, start));
  EXPECT_FALSE(PointInFrustum(b.position));
  for (int i = 0; i < 4; ++i)
    if (i != launched) {
      EXPECT_EQ(a.bflys[i].action, ONEBFLY::kWaiting);
    }

  // Everyone is launched within a few seconds, each from outside the view.
  for (int f = 0; f < 600; ++f) {
    std::vector<int> waiting;
    for (int i = 0; i < 4; ++i) waiting.push_back(a.bflys[i].action);
    a.Move(0.75f, kDt);
    for (int i = 0; i < 4; ++i)
      if (waiting[i] == 0 && a.bflys[i].action != 0) {
        EXPECT_FALSE(PointInFrustum(a.bflys[i].position));
      }
  }
  for (int i = 0; i < 4; ++i) EXPECT_NE(a.bflys[i].action, ONEBFLY::kWaiting);
}

TEST_F(Aquarium, GivesUpOnAViewThatHoldsEveryLaunchPoint) {
  TwoTypes types;
  const SETTINGS s = FlockSettings(types.dir.path(), 2);
  AQUARIUM a;
  ASSERT_TRUE(a.Setup(&s));
  // A box of +-1000 around the origin holds every launch point.
  const float ortho[16] = {0.001f, 0, 0, 0, 0, 0.001f, 0, 0, 0, 0, -0.001f, 0, 0, 0, 0, 1};
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  SetFrustumFromMatrices(ortho, identity);

  std::srand(9);
  int attempts = 0;
  const int frames = 200;
  for (int f = 0; f < frames; ++f)
    for (int i = 0; i < 2; ++i)
      if (std::rand() % 20 == 1) {
        ++attempts;
        for (int k = 0; k < 4 + 3 * AQUARIUM::kLaunchTries; ++k) std::rand();
      }
  const int after = std::rand();
  ASSERT_GT(attempts, 5);
  std::srand(9);
  for (int f = 0; f < frames; ++f) a.Move(0.75f, kDt);
  EXPECT_EQ(std::rand(), after) << "a bounded number of tries per launch";
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(a.bflys[i].action, ONEBFLY::kWaiting);
    EXPECT_TRUE(CompareVectors(a.bflys[i].position, {0, 0, 0}));
  }
  // With a view that leaves room outside, they are launched.
  SetSceneFrustum(1024, 768);
  for (int f = 0; f < 600; ++f) a.Move(0.75f, kDt);
  for (int i = 0; i < 2; ++i) EXPECT_NE(a.bflys[i].action, ONEBFLY::kWaiting);
}

TEST_F(Aquarium, DrawsOnlyLaunchedButterflies) {
  TwoTypes types;
  const SETTINGS s = FlockSettings(types.dir.path(), 10);
  AQUARIUM a;
  std::srand(3);
  ASSERT_TRUE(a.Setup(&s));
  PrepareFlockGL();
  const auto differing = [] {
    const std::vector<uint8_t> px = GLTest::Context().ReadPixels();
    int n = 0;
    for (size_t i = 0; i < px.size(); i += 4) n += px[i] != px[0] || px[i + 1] != px[1];
    return n;
  };
  DrawFlockFrame(&a, kWidth, kHeight, 0.75f, kDt, true, false);
  EXPECT_EQ(differing(), 0) << "waiting butterflies are invisible";
  // Outside the view a butterfly draws a new target every frame and
  // wanders; once all have entered, the flock is always in sight.
  const auto allEntered = [&a] {
    for (int i = 0; i < 10; ++i)
      if (!a.bflys[i].entered) return false;
    return true;
  };
  for (int f = 0; f < 60 * 60 && !allEntered(); ++f) DrawFlockFrame(&a, kWidth, kHeight, 0.75f, kDt, true);
  ASSERT_TRUE(allEntered());
  for (int f = 0; f < 300; ++f) {
    DrawFlockFrame(&a, kWidth, kHeight, 0.75f, kDt, true);
    if (f % 30 == 29) {
      EXPECT_GT(differing(), 0) << f;
    }
  }
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_DEPTH_TEST);
}

TEST_F(Aquarium, SortsByDepth) {
  ONEBFLY near, far;
  near.position.z = 3;
  far.position.z = -5;
  EXPECT_EQ(compare_depth(&near, &far), 1);
  EXPECT_EQ(compare_depth(&far, &near), -1);
  EXPECT_EQ(compare_depth(&far, &far), 0);

  AQUARIUM a;
  a.numBFlys = 4;
  a.bflys.reset(new ONEBFLY[4]);
  const float z[4] = {3, -5, 1, -5};
  for (int i = 0; i < 4; ++i) {
    a.bflys[i].position.z = z[i];
    a.bflys[i].position.x = static_cast<float>(i);
  }
  a.Sort();
  const float sortedZ[4] = {-5, -5, 1, 3};
  const float sortedX[4] = {1, 3, 2, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(a.bflys[i].position.z, sortedZ[i]);
    EXPECT_EQ(a.bflys[i].position.x, sortedX[i]);
  }
}

TEST_F(Aquarium, CleanupsAndRebuilds) {
  TwoTypes types;
  const SETTINGS s = FlockSettings(types.dir.path(), 10);
  const int before = CountLiveTextures();
  auto a = std::make_unique<AQUARIUM>();
  ASSERT_TRUE(a->Setup(&s));
  int typeTextures = 0;
  for (int i = 0; i < a->numBFlyTypes; ++i)
    if (a->bflyList[i].data) typeTextures += a->bflyList[i].data->textureCount;
  EXPECT_EQ(CountLiveTextures(), before + typeTextures);
  // Butterflies only refer to the names; the catalogue deletes them.
  a->Cleanup();
  EXPECT_FALSE(a->bflys);
  a->Cleanup();
  EXPECT_EQ(CountLiveTextures(), before + typeTextures);
  a->CleanupBFlyList();
  EXPECT_EQ(CountLiveTextures(), before);
  a->CleanupBFlyList();
  // A second set-up replaces what the first one left.
  ASSERT_TRUE(a->Setup(&s));
  ASSERT_TRUE(a->Setup(&s));
  EXPECT_LE(CountLiveTextures(), before + 4);
  a.reset();
  EXPECT_EQ(CountLiveTextures(), before);
}
