// The flock container: set-up from the settings, launching, drawing,
// ordering and the clean-ups, with real type files and textures; and ten
// simulated minutes of a flock, checking what must hold over minutes of
// flight.
#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"
#include "util/Frustum.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;

// Each test has a folder with type A (one texture) and type B (three).
class Aquarium : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    for (const auto& [name, textures] : {std::pair{"A", 1}, {"B", 3}}) {
      ButterflySpec recipe;
      recipe.name = name;
      recipe.wingCells = 3;
      recipe.colours.assign(textures, {{40, 100, 200}});
      WriteButterflyType(types_.path(), std::string(name) + ".bfly", recipe);
    }
  }
  TempDir types_;
};

}  // namespace

TEST_F(Aquarium, SetupFromTheSettings) {
  struct Row {
    int64_t count;
    int32_t mix;
    const char* selected;
    int64_t size;        // per cent
    float sizeFactor;
    const char* chosen;  // the selected type's file name, entry 0's when null
  };
  // A negative count, which the settings let through, is no butterflies; a
  // selection that is not installed falls back to entry 0; 200 % would divide
  // the type's scale by zero. One aquarium takes every row: each set-up
  // replaces what the one before left.
  const int texturesBefore = CountLiveTextures();
  AQUARIUM a;
  for (const Row& row : {Row{-4, 0, "", 70, 0.7f, nullptr},
                         Row{6, 2, "B.bfly", 130, 1.3f, "B.bfly"},
                         Row{5, 1, "Gold.bfly", 70, 0.7f, nullptr},
                         Row{3, 1, "A.bfly", 200, 1.9f, "A.bfly"}}) {
    SCOPED_TRACE(testing::Message() << row.count << " " << row.mix << " " << row.selected);
    SETTINGS s = FlockSettings(types_.path(), row.count, row.mix, row.selected);
    s.LBFLYSIZE = row.size;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.mixMode, row.mix);
    EXPECT_EQ(a.sizeFactor, row.sizeFactor);
    EXPECT_STREQ(a.selectedBFlyName, row.chosen ? row.chosen : a.bflyList[0].fileName);
    EXPECT_STREQ(a.bflyList[a.selectedType].fileName, a.selectedBFlyName);
    ASSERT_EQ(a.numBFlys, std::max<int64_t>(row.count, 0));
    EXPECT_EQ(a.bflys != nullptr, row.count > 0);
    for (int64_t i = 0; i < a.numBFlys; ++i) {
      const ONEBFLY& b = a.bflys[i];
      EXPECT_EQ(b.action, ONEBFLY::kWaiting);
      ASSERT_TRUE(b.bflyData);
      EXPECT_EQ(b.bflyData->size, row.sizeFactor);
      EXPECT_TRUE(row.mix != 1 || b.bflyData == a.bflyList[a.selectedType].data.get()) << i;
    }
    // A type is loaded only for its butterflies.
    EXPECT_TRUE(row.mix != 1 || !a.bflyList[1 - a.selectedType].loaded);
  }
  // Butterflies only refer to their type's textures (the last row's one);
  // the catalogue deletes them.
  a.Cleanup();
  EXPECT_EQ(CountLiveTextures(), texturesBefore + 1);
  a.CleanupBFlyList();
  EXPECT_EQ(CountLiveTextures(), texturesBefore);

  // One installed type: everyone takes it, whatever the mix says.
  TempDir one;
  WriteButterflyType(one.path(), "Only.bfly", ButterflySpec{});
  const SETTINGS s = FlockSettings(one.path(), 4, -3);
  ASSERT_TRUE(a.Setup(&s));
  EXPECT_EQ(a.mixMode, 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.bflys[i].bflyData, a.bflyList[0].data.get());
  BFLYINFO direct;
  CopyCString(direct.fileName, "A.bfly");
  ASSERT_TRUE(direct.LoadData((types_.path() + "/").c_str(), 2.0f));
  EXPECT_EQ(direct.data->size, 1.9f) << "the type's own scale is limited too";
}

TEST_F(Aquarium, FolderPathsAndFailures) {
  // Paths of three characters or more get a trailing "/" unless they end in
  // one; shorter ones are used as they are.
  for (const auto& [given, used] :
       {std::pair{"ab", "ab"}, {"/no/such/", "/no/such/"}, {"abc", "abc/"}}) {
    const SETTINGS s = FlockSettings(types_.path(), 1, 0, "", given);
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(std::string(a.bflyPath), types_.path() + "/");
    EXPECT_STREQ(a.bflyPath2, used);
  }
  // No settings, or a valid lump file without a model: the set-up fails.
  TempDir empty;
  const SETTINGS none = FlockSettings(empty.path(), 3);
  AQUARIUM a;
  EXPECT_FALSE(a.Setup(nullptr));
  LumpSpec lump;
  lump.bytes = "no model here";
  WriteBytes(empty.File("Broken.bfly"), MakeBflyFile(BflyHeaderSpec{}, {lump, lump}));
  EXPECT_FALSE(a.Setup(&none));
}

TEST_F(Aquarium, LaunchesFromOutsideTheViewOrNotAtAll) {
  const SETTINGS s = FlockSettings(types_.path(), 1, 1, "B.bfly");
  AQUARIUM a, boxed;
  ASSERT_TRUE(a.Setup(&s));
  ASSERT_TRUE(boxed.Setup(&s));
  SetSceneFrustum(1920, 1080);
  // Replays the waiting frames: one chance in 20 a frame; a launch draws
  // SetAction's effort goal, the target (z, y, x), then start points
  // (z, y, x) until one lies outside the view.
  std::srand(5);
  int frames = 1;
  while (std::rand() % 20 != 1) ++frames;
  std::rand();
  const auto draw = [](int range, float offset) {
    return static_cast<float>(std::rand() % range) / 10.0f - offset;
  };
  VECTOR3D target, start;
  for (float* c : {&target.z, &target.y, &target.x}) *c = draw(400, 20);
  do {
    start.z = draw(600, 30);
    start.y = draw(600, 30);
    start.x = draw(1200, 60);
  } while (PointInFrustum(start));
  const int after = std::rand();
  std::srand(5);
  for (int f = 0; f < frames; ++f) a.Move(0.75f, kDt);
  EXPECT_EQ(std::rand(), after) << "the same draws in the same order";
  EXPECT_EQ(a.bflys[0].action, ONEBFLY::kFlying);
  EXPECT_TRUE(CompareVectors(a.bflys[0].target, target));
  EXPECT_TRUE(CompareVectors(a.bflys[0].position, start));

  // A view that holds every launch point (a box of +-1000): a bounded number
  // of tries per launch, then the butterfly waits for another chance.
  const float ortho[16] = {0.001f, 0, 0, 0, 0, 0.001f, 0, 0, 0, 0, -0.001f, 0, 0, 0, 0, 1};
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  SetFrustumFromMatrices(ortho, identity);
  for (int f = 0; f < 200; ++f) boxed.Move(0.75f, kDt);
  EXPECT_EQ(boxed.bflys[0].action, ONEBFLY::kWaiting);
  EXPECT_TRUE(CompareVectors(boxed.bflys[0].position, {0, 0, 0}));
}

TEST_F(Aquarium, ShowsOnlyLaunchedButterfliesKeepsThemInSightAndCapsTheSpeed) {
  const SETTINGS s = FlockSettings(types_.path(), 10);
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
  const auto allEntered = [&a] {
    return std::all_of(&a.bflys[0], &a.bflys[10], [](const ONEBFLY& b) { return b.entered; });
  };
  for (int f = 0; f < 60 * 60 && !allEntered(); ++f)
    DrawFlockFrame(&a, kWidth, kHeight, 0.75f, kDt, true);
  ASSERT_TRUE(allEntered());
  for (int f = 0; f < 300; ++f) {
    DrawFlockFrame(&a, kWidth, kHeight, 0.75f, kDt, true);
    EXPECT_TRUE(f % 30 != 29 || differing() > 0) << f;
  }
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_DEPTH_TEST);

  // At 10000 % no butterfly would ever be on screen: it flies at the limit.
  AQUARIUM fast, capped;
  for (AQUARIUM* x : {&fast, &capped}) {
    std::srand(11);
    ASSERT_TRUE(x->Setup(&s));
    const float speed = x == &fast ? 100.0f : static_cast<float>(kMaxFlySpeed) / 100.0f;
    for (int i = 0; i < 120; ++i) x->Move(speed, kDt);
  }
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(CompareVectors(fast.bflys[i].position, capped.bflys[i].position)) << i;
  }
}

TEST_F(Aquarium, SortsBackToFrontKeepingTheOrderOfEqualDepths) {
  AQUARIUM a;
  a.numBFlys = 4;
  a.bflys.reset(new ONEBFLY[4]);
  const float z[4] = {3, -5, 1, -5};
  for (int i = 0; i < 4; ++i) a.bflys[i].position = {static_cast<float>(i), 0, z[i]};
  a.Sort();
  const float sortedX[4] = {1, 3, 2, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.bflys[i].position.x, sortedX[i]) << i;
}

TEST_F(Aquarium, TenMinutesInAWideAndANarrowView) {
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
