// The flock container: set-up from the settings, launching, drawing,
// ordering and the clean-ups, with real type files and textures.
#include <GL/gl.h>

#include <algorithm>
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
  // the type's scale by zero.
  for (const Row& row : {Row{0, 0, "", 70, 0.7f, nullptr}, Row{-4, 0, "", 70, 0.7f, nullptr},
                         Row{6, 2, "B.bfly", 130, 1.3f, "B.bfly"}, Row{5, 1, "Gold.bfly", 70, 0.7f, nullptr},
                         Row{3, 1, "A.bfly", 200, 1.9f, "A.bfly"}}) {
    SCOPED_TRACE(testing::Message() << row.count << " " << row.mix << " " << row.selected);
    SETTINGS s = FlockSettings(types_.path(), row.count, row.mix, row.selected);
    s.LBFLYSIZE = row.size;
    AQUARIUM a;
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
      EXPECT_TRUE(CompareVectors(b.position, {0, 0, 0}));
      ASSERT_TRUE(b.bflyData);
      EXPECT_EQ(b.bflyData->size, row.sizeFactor);
      EXPECT_TRUE(row.mix != 1 || b.bflyData == a.bflyList[a.selectedType].data.get()) << i;
    }
    // A type is loaded only for its butterflies.
    EXPECT_TRUE(row.mix != 1 || !a.bflyList[1 - a.selectedType].loaded);
    a.Move(0.75f, kDt);
    a.Draw(true);
  }
  {
    // One installed type: everyone takes it, whatever the mix says.
    TempDir one;
    WriteButterflyType(one.path(), "Only.bfly", ButterflySpec{});
    const SETTINGS s = FlockSettings(one.path(), 4, -3);
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(a.mixMode, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.bflys[i].bflyData, a.bflyList[0].data.get());
  }
  BFLYINFO direct;
  CopyCString(direct.fileName, "A.bfly");
  ASSERT_TRUE(direct.LoadData((types_.path() + "/").c_str(), 2.0f));
  EXPECT_EQ(direct.data->size, 1.9f) << "the type's own scale is limited too";
}

TEST_F(Aquarium, RunawaySpeedFliesAtTheLimit) {
  // At 10000 % no butterfly would ever be on screen.
  const SETTINGS s = FlockSettings(types_.path(), 3, 1, "A.bfly");
  AQUARIUM fast, capped;
  ASSERT_TRUE(fast.Setup(&s));
  ASSERT_TRUE(capped.Setup(&s));
  std::srand(11);
  for (int i = 0; i < 120; ++i) fast.Move(100.0f, kDt);
  std::srand(11);
  for (int i = 0; i < 120; ++i) capped.Move(static_cast<float>(kMaxFlySpeed) / 100.0f, kDt);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(CompareVectors(fast.bflys[i].position, capped.bflys[i].position)) << i;
}

TEST_F(Aquarium, FolderPathsAndFailures) {
  ReportRecorder reports;
  // Paths of three characters or more get a trailing "/" unless they end in
  // one; shorter ones are used as they are.
  for (const auto& [given, used] : {std::pair{"ab", "ab"}, {"/no/such/", "/no/such/"}, {"abc", "abc/"}}) {
    const SETTINGS s = FlockSettings(types_.path(), 1, 0, "", given);
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(std::string(a.bflyPath), types_.path() + "/");
    EXPECT_STREQ(a.bflyPath2, used);
  }
  TempDir empty;
  const SETTINGS none = FlockSettings(empty.path(), 3);
  AQUARIUM a;
  reports.Clear();
  EXPECT_FALSE(a.Setup(&none));
  EXPECT_EQ(ReportRecorder::Reports(), std::vector<std::string>{"No BFly Data Found!"});
  EXPECT_FALSE(a.Setup(nullptr));
  // A valid lump file without a model makes the set-up fail.
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
  VECTOR3D target, start;
  target.z = (std::rand() % 400) / 10.0f - 20;
  target.y = (std::rand() % 400) / 10.0f - 20;
  target.x = (std::rand() % 400) / 10.0f - 20;
  do {
    start.z = (std::rand() % 600) / 10.0f - 30;
    start.y = (std::rand() % 600) / 10.0f - 30;
    start.x = (std::rand() % 1200) / 10.0f - 60;
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

TEST_F(Aquarium, ShowsOnlyLaunchedButterfliesAndKeepsThemInSight) {
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

TEST_F(Aquarium, TexturesLiveAsLongAsTheCatalogue) {
  const SETTINGS s = FlockSettings(types_.path(), 10);
  const int before = CountLiveTextures();
  auto a = std::make_unique<AQUARIUM>();
  ASSERT_TRUE(a->Setup(&s));
  const int typeTextures = (a->bflyList[0].data ? 1 : 0) + (a->bflyList[1].data ? 3 : 0);
  // Butterflies only refer to the names; the catalogue deletes them.
  a->Cleanup();
  EXPECT_FALSE(a->bflys);
  EXPECT_EQ(CountLiveTextures(), before + typeTextures);
  a->CleanupBFlyList();
  EXPECT_EQ(CountLiveTextures(), before);
  // A second set-up replaces what the first one left.
  ASSERT_TRUE(a->Setup(&s));
  ASSERT_TRUE(a->Setup(&s));
  EXPECT_LE(CountLiveTextures(), before + 4);
  a.reset();
  EXPECT_EQ(CountLiveTextures(), before);
}
