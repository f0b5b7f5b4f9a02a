// The flock container: set-up from the settings, launching, drawing,
// ordering and the clean-ups, with real type files and textures; minutes (and
// in the soak runs, hours) of a flock, checking what must hold however long
// it flies and that rebuilding it leaks nothing; and the catalogue of
// installed types, over real folders.
#include <GL/gl.h>
#include <GL/glu.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "scene/SceneLight.h"
#include "scene/Shadows.h"
#include "tests/support/GLTest.h"
#include "tests/support/ReportRecorder.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "util/CString.h"
#include "util/Frustum.h"
#include "util/SETTINGS.h"

std::atomic<long> g_liveBytes{0};  // bytes held through operator new

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if !__has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
// The program's allocations, counted. The library's other forms (arrays,
// nothrow) call these; aligned forms are left to the library, they pair
// among themselves. Not under AddressSanitizer, whose own operators do not
// pair with these and which finds leaks itself: the count stays 0 there.
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
#endif

namespace {

constexpr float kDt = 1.0f / 60.0f;

// The settings the flock reads: `count` butterflies from `folder1` (and
// `folder2`), at the default size, with the given mix and selected type.
SETTINGS FlockSettings(const std::string& folder1, int64_t count, int32_t mix = 0,
                       const char* selected = "", const std::string& folder2 = "") {
  SETTINGS s;
  s.LBFLYSIZE = 70;
  s.MAX_BFLY = count;
  s.MIXBFLY = mix;
  CopyCString(s.BFlyPath, folder1.c_str());
  CopyCString(s.BFlyPath2, folder2.c_str());
  CopyCString(s.SelectedBFlyName, selected);
  return s;
}

// Each test has a folder with type A (one texture, its alpha shared, a
// small wingspan) and type B (three textures, a large wingspan, scaled to
// 130 %).
class Aquarium : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    WriteBytes(types_.File("A.bfly"), ButterflyFile({.name = "A",
                                                     .colours = {{{40, 90, 230}}},
                                                     .wingSpan = 3.0f,
                                                     .sharedAlpha = true}));
    WriteBytes(types_.File("B.bfly"), ButterflyFile({.name = "B",
                                                     .colours = {{{230, 140, 20}}, {{200, 60, 40}},
                                                                 {{240, 220, 60}}},
                                                     .wingSpan = 6.0f,
                                                     .modelScale = 130}));
  }
  TempDir types_;
};

bool Finite(VECTOR3D v) { return std::isfinite(v.x + v.y + v.z); }

bool AtDepthLimit(const ONEBFLY& b) {
  return b.position.z == ONEBFLY::kBackLimit || b.position.z == ONEBFLY::kFrontLimit;
}

// The first rule that needs no history `b` breaks, "" when none: finite
// flight values, joints and vertices; once launched, z within the depth
// limits, wing angles within 0 and 140 degrees about z, lift within 100, turn
// rates within 30 degrees per second; once entered, its sphere of twice its
// radius reaching into the view, except that the clamp to a depth limit (made
// after the view test of the move) may leave it beyond the planes by up to
// the frame's depth step (at most 2.49 (effort) x 40 x speed factor (0.75)
// x size scale (about 1) x dt, with room).
std::string BrokenRule(const ONEBFLY& b, float dt) {
  // What is not finite elsewhere reaches these within a frame.
  bool finite = Finite(b.position) && Finite(b.angles) &&
                std::isfinite(b.airSpeed + b.throttle + b.lift + b.targetTimer + b.wingTimer +
                              b.landTimer + b.landBlend);
  for (const MODELVERTEX& v : b.vertexBuffer) finite = finite && Finite(v.position);
  if (!finite) return "a flight value or vertex is not finite";
  if (b.action == ONEBFLY::kWaiting) return "";
  if (b.position.z < ONEBFLY::kBackLimit || b.position.z > ONEBFLY::kFrontLimit)
    return "z beyond the depth limits";
  if (b.wingAngles.x != 0.0f || b.wingAngles.y != 0.0f || b.wingAngles.z < 0.0f ||
      b.wingAngles.z > ONEBFLY::kStrokeTop)
    return "wing angles out of range";
  if (std::fabs(b.lift) > 100.0f) return "lift out of range";
  for (float rate : {b.turnRate.x, b.turnRate.y, b.turnRate.z})
    if (std::fabs(rate) > 30.0f) return "turn rate above 30";
  const float viewRadius = 2.0f * b.bflyData->radius;
  if (b.entered && !SphereInFrustum(b.position, viewRadius) &&
      (!AtDepthLimit(b) || !SphereInFrustum(b.position, viewRadius + 80.0f * dt)))
    return "an entered butterfly left the view";
  return "";
}

struct FlockCounts {
  long launches = 0;
  long landings = 0;
  long takeOffs = 0;
};

// Watches a flock frame by frame, however long it flies (the exact
// single-frame rules, where launches start and landings end and how far
// pitch goes, are the flight tests'): BrokenRule for every butterfly; none
// goes back to waiting; a landed butterfly does not move.
class FlockWatcher {
 public:
  // The first broken rule with its frame and butterfly, "" when none. Called
  // after every AQUARIUM::Move with the frame's dt.
  std::string Check(const AQUARIUM& a, float dt) {
    ++frames_;
    if (!a.bflys) return "";
    if (tracks_.size() != static_cast<size_t>(a.numBFlys)) tracks_.assign(a.numBFlys, Track{});
    for (size_t i = 0; i < tracks_.size(); ++i) {
      const ONEBFLY& b = a.bflys[i];
      Track& t = tracks_[i];
      const bool flying = b.action == ONEBFLY::kFlying, wasFlying = t.action == ONEBFLY::kFlying;
      const bool launched = t.action == ONEBFLY::kWaiting && b.action != ONEBFLY::kWaiting;
      const bool landed = b.action == ONEBFLY::kLanded && wasFlying;
      counts.launches += launched;
      counts.landings += landed;
      counts.takeOffs += flying && t.action == ONEBFLY::kLanded;
      std::string broken = BrokenRule(b, dt);
      if (t.action != ONEBFLY::kWaiting && b.action == ONEBFLY::kWaiting)
        broken = "went back to waiting";
      else if (b.action == ONEBFLY::kLanded && !landed && !CompareVectors(b.position, t.landedAt))
        broken = "moved while landed";
      if (!broken.empty())
        return "frame " + std::to_string(frames_) + ", #" + std::to_string(i) + ": " + broken;
      if (landed) t.landedAt = b.position;
      t.action = b.action;
    }
    return "";
  }
  // Forgets the butterflies (after the aquarium was rebuilt); the counts go on.
  void Restart() { tracks_.clear(); }

  FlockCounts counts;

 private:
  struct Track {
    int32_t action = ONEBFLY::kWaiting;
    VECTOR3D landedAt;
  };
  std::vector<Track> tracks_;
  long frames_ = 0;
};

// One frame of the flock as the scene draws it, without the background and
// the overlay, into a viewport of width x height pixels cleared to a light
// grey: the view's projection and camera, the frustum, a move unless `move`
// is false, the shadow pass and the normal pass.
void DrawFlockFrame(AQUARIUM* aquarium, int width, int height, bool move = true) {
  glViewport(0, 0, width, height);
  glClearColor(0.8f, 0.8f, 0.8f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ViewReshape(width, height);
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  ExtractFrustum();
  if (move) aquarium->Move(0.75f, kDt);
  StartShadows({0, 0, 100}, 1.0f);
  aquarium->Draw(true);
  EndShadows(1.0f);
  aquarium->Draw(false);
}

// Texture names 1 to `upTo` that are live textures now (glIsTexture).
int CountLiveTextures(unsigned upTo = 4096) {
  int live = 0;
  for (GLuint name = 1; name <= upTo; ++name) live += glIsTexture(name) ? 1 : 0;
  return live;
}

// Flies `settings` for `minutes` of simulated time at a fixed 1/60 s, with the
// flight invariants checked every frame, a frame drawn with shadows every
// simulated second, and the aquarium torn down and set up again every
// `rebuildMinutes`, as the scene does, in a 16:9 and a 4:3 view in turn.
// Fails when an invariant breaks, when a butterfly never entered the view,
// when the live GL textures do not return after a teardown, or when the
// program's own live allocations after a teardown exceed those after the
// first. Those two are all the flock holds:
// every allocation our code makes goes through operator new, counted here,
// and textures are its only GL objects. Resident memory would not tell a
// leak from Mesa freeing texture storage lazily.
FlockCounts Soak(const SETTINGS& settings, double minutes, double rebuildMinutes) {
  const long frames = std::lround(minutes * 3600);
  const long every = std::max(1L, std::lround(rebuildMinutes * 3600));
  const int texturesBefore = CountLiveTextures();
  std::vector<long> liveAfterTeardown;  // reserved: the readings allocate nothing
  liveAfterTeardown.reserve(static_cast<size_t>(frames / every) + 1);
  FlockWatcher watcher;
  std::string why;
  for (long start = 0; start < frames && why.empty(); start += every) {
    const bool wide = start / every % 2 == 0;
    const auto setView = [wide] { SetSceneFrustum(wide ? 1920 : 1024, wide ? 1080 : 768); };
    {
      AQUARIUM a;
      EXPECT_TRUE(a.Setup(&settings));
      watcher.Restart();
      setView();
      for (long f = start + 1; f <= std::min(frames, start + every) && why.empty(); ++f) {
        a.Move(0.75f, kDt);
        why = watcher.Check(a, kDt);
        EXPECT_EQ(why, "");
        if (f % 60 == 0) {
          // A frame as the scene draws it, then the view of the flight again.
          DrawFlockFrame(&a, 256, wide ? 144 : 192, false);
          setView();
        }
      }
      for (int64_t i = 0; i < a.numBFlys; ++i) EXPECT_TRUE(a.bflys[i].entered) << i;
    }
    liveAfterTeardown.push_back(g_liveBytes.load());
    EXPECT_EQ(CountLiveTextures(), texturesBefore) << "textures left after a teardown";
  }
  EXPECT_EQ(*std::max_element(liveAfterTeardown.begin(), liveAfterTeardown.end()),
            liveAfterTeardown.front())
      << "a teardown left allocations behind";
  return watcher.counts;
}

// A small valid lump file with the given display name; the catalogue never
// reads the lumps, and they hold no model.
std::string TypeFile(const std::string& name) {
  LumpSpec lump;
  lump.bytes = "model";
  return MakeBflyFile({.name = name}, {lump, lump});
}

// `folder`/name for the names of `folder` ending in ".bfly", in listing order.
std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string p = entry.path().string();
    if (p.compare(p.size() - 5, 5, ".bfly") == 0) paths.push_back(p);
  }
  return paths;
}

}  // namespace

TEST_F(Aquarium, SetupFromTheSettingsAndItsFailures) {
  struct Row {
    int64_t count;
    int32_t mix;
    const char* selected;
    int64_t size;        // per cent
    float sizeFactor;
    const char* chosen;  // the selected type's file name, entry 0's when null
    const char* folder2, *used2;  // the second folder given and as used
  };
  // A negative count, which the settings let through, is no butterflies; a
  // selection that is not installed falls back to entry 0; 200 % would divide
  // the type's scale by zero. Folder paths of three characters or more get a
  // trailing "/" unless they end in one; shorter ones are used as they are.
  // One aquarium takes every row: each set-up replaces what the one before
  // left.
  const int texturesBefore = CountLiveTextures();
  AQUARIUM a;
  for (const Row& row : {Row{-4, 0, "", 70, 0.7f, nullptr, "ab", "ab"},
                         Row{6, 2, "B.bfly", 130, 1.3f, "B.bfly", "/no/such/", "/no/such/"},
                         Row{5, 1, "Gold.bfly", 70, 0.7f, nullptr, "abc", "abc/"},
                         Row{3, 1, "A.bfly", 200, 1.9f, "A.bfly", "", ""}}) {
    SCOPED_TRACE(testing::Message() << row.count << " " << row.mix << " " << row.selected);
    SETTINGS s = FlockSettings(types_.path(), row.count, row.mix, row.selected, row.folder2);
    s.LBFLYSIZE = row.size;
    ASSERT_TRUE(a.Setup(&s));
    EXPECT_EQ(std::string(a.bflyPath), types_.path() + "/");
    EXPECT_STREQ(a.bflyPath2, row.used2);
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
  WriteBytes(one.File("Only.bfly"), ButterflyFile(ButterflySpec{}));
  const SETTINGS s = FlockSettings(one.path(), 4, -3);
  ASSERT_TRUE(a.Setup(&s));
  EXPECT_EQ(a.mixMode, 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.bflys[i].bflyData, a.bflyList[0].data.get());
  BFLYINFO direct;
  CopyCString(direct.fileName, "A.bfly");
  ASSERT_TRUE(direct.LoadData((types_.path() + "/").c_str(), 2.0f));
  EXPECT_EQ(direct.data->size, 1.9f) << "the type's own scale is limited too";

  // No settings, or a valid lump file without a model: the set-up fails.
  TempDir empty;
  const SETTINGS none = FlockSettings(empty.path(), 3);
  EXPECT_FALSE(a.Setup(nullptr));
  empty.Write("Broken.bfly", TypeFile("Broken"));
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

TEST_F(Aquarium, ShowsOnlyLaunchedButterfliesAndCapsTheSpeed) {
  const SETTINGS s = FlockSettings(types_.path(), 10);
  AQUARIUM a;
  std::srand(3);
  ASSERT_TRUE(a.Setup(&s));
  ViewGLInit(kWidth, kHeight);
  SetSceneLight();
  const auto drawn = [&a](bool move) {
    DrawFlockFrame(&a, kWidth, kHeight, move);
    const std::vector<uint8_t> px = GLTest::Context().ReadPixels();
    int n = 0;
    for (size_t i = 0; i < px.size(); i += 4) n += px[i] != px[0] || px[i + 1] != px[1];
    return n;
  };
  EXPECT_EQ(drawn(false), 0) << "waiting butterflies are invisible";
  for (int f = 0; f < 600; ++f) drawn(true);
  EXPECT_GT(drawn(true), 0) << "ten seconds on, launched butterflies are in sight";

  // At 10000 % no butterfly would ever be on screen: it flies at the limit.
  // Not a number is standing still.
  AQUARIUM fast, capped, nan, still;
  const float limit = static_cast<float>(kMaxFlySpeed) / 100.0f;
  for (auto [x, speed] :
       {std::pair{&fast, 100.0f}, {&capped, limit}, {&nan, NAN}, {&still, 0.0f}}) {
    std::srand(11);
    ASSERT_TRUE(x->Setup(&s));
    for (int i = 0; i < 120; ++i) x->Move(speed, kDt);
  }
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(CompareVectors(fast.bflys[i].position, capped.bflys[i].position)) << i;
    EXPECT_TRUE(CompareVectors(nan.bflys[i].position, still.bflys[i].position)) << i;
  }
}

TEST_F(Aquarium, LongFramesStayBounded) {
  // Rate x dt beyond 1 for the wings, up to the two seconds the host lets
  // through: every approach stops at its goal, nothing diverges.
  SetSceneFrustum(1024, 768);
  const SETTINGS s = FlockSettings(types_.path(), 1, 1, "B.bfly");
  for (float dt : {0.1f, 0.5f, 2.0f}) {
    std::srand(static_cast<unsigned>(dt * 1000));
    AQUARIUM a;
    ASSERT_TRUE(a.Setup(&s));
    ONEBFLY& b = a.bflys[0];
    b.SetAction(ONEBFLY::kFlying);
    b.position = {10, 0, 0};
    b.target = {-10, 5, 10};
    for (int i = 0; i < 3000; ++i) {
      b.Move(nullptr, 0, 0.75f, dt);
      ASSERT_EQ(BrokenRule(b, dt), "") << "dt " << dt << ", frame " << i;
      ASSERT_LE(b.throttle, 2.49f + 1e-4f);
      ASSERT_GE(b.airSpeed, 0.0f);
    }
  }
}

// Twenty minutes (ten in a sanitizer build) of ten butterflies of the two
// generated types, rebuilt half-way, unless
// FLOCK_SOAK="HOURS [REBUILD_MINUTES] [SEED] [test|gotf|mix]" asks for a
// soak run (label "soak"): ten of the generated types, ten shipped
// "GOT-F.bfly", or ten of random shipped types, rebuilt every five minutes
// unless told; the seed, the current time unless given, is printed.
TEST_F(Aquarium, Soak) {
  const char* args = std::getenv("FLOCK_SOAK");
  const double minutes = __has_feature(address_sanitizer) ? 10 : 20;
  double hours = minutes / 60, rebuild = args ? 5 : minutes / 2;
  auto seed = static_cast<unsigned>(args ? std::time(nullptr) : 20240);
  std::string flock = "test";
  if (args) std::istringstream(args) >> hours >> rebuild >> seed >> flock;
  std::printf("flock soak: %s flock, seed %u\n", flock.c_str(), seed);
  ViewGLInit(kWidth, kHeight);
  SetSceneLight();
  std::srand(seed);
  const FlockCounts c = Soak(flock == "test" ? FlockSettings(types_.path(), 10)
                                             : FlockSettings(WINGDRIFT_BINARY_DIR "/data/", 10,
                                                             flock == "mix" ? 0 : 1, "GOT-F.bfly"),
                            hours * 60, rebuild);
  std::printf("flock soak: %ld launches, %ld landings, %ld take-offs\n", c.launches, c.landings,
              c.takeOffs);
  if (args) return;
  EXPECT_EQ(c.launches, 20);
  EXPECT_GT(c.landings, 20);
  EXPECT_GE(c.takeOffs, c.landings - 20);
}

TEST(Catalogue, ListsTheValidTypesOfBothFoldersAndFindsTheSelectedAndTheInstalledOne) {
  TempDir one, two;
  ReportRecorder reports;
  for (const char* n : {"Monarch.bfly", "Admiral.bfly", "Blue.bfly"})
    one.Write(n, TypeFile(std::string("The ") + n));
  two.Write("Blue.bfly", TypeFile("The Blue.bfly"));
  two.Write("Peacock.bfly", TypeFile(std::string(40, 'P')));
  AQUARIUM a;
  const SETTINGS s = FlockSettings(one.path(), 0, 0, "", two.path());
  ASSERT_TRUE(a.Setup(&s));
  std::vector<std::string> expected = Listed(one.path());
  for (const std::string& p : Listed(two.path())) expected.push_back(p);
  ASSERT_EQ(a.numBFlyTypes, 5);
  for (int i = 0; i < 5; ++i) {
    const BFLYINFO& e = a.bflyList[i];
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(std::string(e.path) + e.fileName, expected[i]);
    EXPECT_FALSE(e.loaded || e.data);
    const bool peacock = std::string(e.fileName) == "Peacock.bfly";
    // Forty characters without a terminator are cut to 39.
    EXPECT_EQ(e.name, peacock ? std::string(39, 'P') : std::string("The ") + e.fileName);
  }
  EXPECT_TRUE(ReportRecorder::Reports().empty());

  const std::string third = a.bflyList[2].fileName;
  // A type is selected by its exact file name. No match (or one only in
  // case): entry 0, whose file name replaces the selection. A negative mix
  // becomes 0.
  struct Row {
    std::string selected;
    int32_t mix, expectType, expectMix;
  };
  for (const Row& row :
       {Row{third, 2, 2, 2}, Row{"Gold.bfly", -3, 0, 0}, Row{"blue.bfly", 1, 0, 1}}) {
    SCOPED_TRACE(row.selected);
    CopyCString(a.selectedBFlyName, row.selected.c_str());
    int32_t mix = row.mix;
    a.FindSelectedBFly(&mix);
    EXPECT_EQ(a.selectedType, row.expectType);
    EXPECT_EQ(mix, row.expectMix);
    EXPECT_STREQ(a.selectedBFlyName, a.bflyList[row.expectType].fileName);
  }
  // What is not a regular lump file ending in exactly ".bfly" is neither
  // counted nor listed. A FIFO would wait for a writer for good.
  one.Write("Broken.bfly", "not a lump file");
  one.Write("Gold.BFLY", TypeFile("Gold"));
  one.Write("C.bfly.bak", TypeFile("C"));
  mkdir(one.File("Folder.bfly").c_str(), 0755);
  ASSERT_EQ(mkfifo(one.File("X.bfly").c_str(), 0600), 0);
  ASSERT_TRUE(a.BuildBFlyList());
  EXPECT_EQ(a.numBFlyTypes, 5);
  a.CleanupBFlyList();
  EXPECT_FALSE(a.bflyList);
  EXPECT_EQ(a.numBFlyTypes, 0);

  // Whether a type is installed is asked of the second folder, by display
  // name.
  EXPECT_TRUE(a.BFlyFileExists("The Blue.bfly"));
  for (const char* absent :
       {"The Monarch.bfly", "Peacock.bfly", "The Blue", static_cast<const char*>(nullptr)})
    EXPECT_FALSE(a.BFlyFileExists(absent)) << (absent ? absent : "null");
}

TEST(Catalogue, NothingValidIsReported) {
  ReportRecorder reports;
  TempDir one;
  one.Write("x.bfly", "junk");
  for (const auto& [first, second] :
       {std::pair{one.path(), std::string("/no/such/folder")}, {std::string(), std::string()}}) {
    AQUARIUM a;
    const SETTINGS s = FlockSettings(first, 0, 0, "", second);
    reports.Clear();
    EXPECT_FALSE(a.Setup(&s));
    EXPECT_EQ(ReportRecorder::Reports(), std::vector<std::string>{"No BFly Data Found!"});
    EXPECT_EQ(a.numBFlyTypes, 0);
  }
  // A file named just ".bfly" is not counted but is taken by the fill when it
  // is listed first; the list then ends one counted file early.
  TempDir two;
  two.Write(".bfly", TypeFile("Hidden"));
  two.Write("A.bfly", TypeFile("A"));
  AQUARIUM a;
  const SETTINGS s = FlockSettings(two.path(), 0);
  ASSERT_TRUE(a.Setup(&s));
  ASSERT_EQ(a.numBFlyTypes, 1);
  EXPECT_EQ(std::string(a.bflyList[0].path) + a.bflyList[0].fileName, Listed(two.path())[0]);
}
