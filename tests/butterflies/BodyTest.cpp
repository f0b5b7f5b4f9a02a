// A butterfly's own body: copied from its type (with real textures, in the
// offscreen context) and skinned by its wing strokes. What it looks like is
// checked in whole scene frames.
#include <cmath>
#include <cstdlib>
#include <string>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYINFO.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;

// Each test has a type of three textures, red, green and blue, loaded as the
// catalogue loads it.
class Body : public GLTest {
 protected:
  BFLYDATA* Load(const ButterflySpec& recipe, float size = 1.0f) {
    TempDir dir;
    WriteButterflyType(dir.path(), "Type.bfly", recipe);
    CopyCString(info_.fileName, "Type.bfly");
    return info_.LoadData((dir.path() + "/").c_str(), size) ? info_.data.get() : nullptr;
  }
  static ButterflySpec ThreeColours() {
    ButterflySpec recipe;
    recipe.colours = {{{250, 0, 0}}, {{0, 250, 0}}, {{0, 0, 250}}};
    return recipe;
  }
  // A new butterfly of `data` launched.
  static ONEBFLY Launched(BFLYDATA* data) {
    ONEBFLY b;
    EXPECT_TRUE(b.SetupFromBFlyData(data));
    b.Reset();
    b.SetAction(ONEBFLY::kFlying);
    return b;
  }
  BFLYINFO info_;
};

}  // namespace

TEST_F(Body, CopiedFromTheTypeWithTheTexturesItDrew) {
  BFLYDATA* data = Load(ThreeColours());
  ASSERT_TRUE(data);
  EXPECT_FALSE(ONEBFLY().SetupFromBFlyData(nullptr));
  BFLYDATA empty;
  EXPECT_FALSE(ONEBFLY().SetupFromBFlyData(&empty));
  std::srand(3);
  const int r0 = std::rand(), r1 = std::rand(), r2 = std::rand();
  std::srand(3);
  ONEBFLY b;
  ASSERT_TRUE(b.SetupFromBFlyData(data));
  ASSERT_EQ(b.materials.size(), 2u);
  EXPECT_EQ(b.materials[0].texId, data->textures[r0 % 3].texID);
  EXPECT_EQ(b.materials[1].texId, data->textures[r1 % 3].texID);
  EXPECT_EQ(std::rand(), r2);
  ASSERT_EQ(b.joints.size(), 3u);
  EXPECT_EQ(b.indices, data->prototype->indices);
  // Incomplete bodies draw nothing (and do not fail).
  ONEBFLY noType = b;
  noType.bflyData = nullptr;
  noType.Draw(false);
  ONEBFLY().Draw(false);
}

TEST_F(Body, WingStrokesLiftTheButterfly) {
  SetSceneFrustum(1920, 1080);
  BFLYDATA* data = Load(ThreeColours());
  ASSERT_TRUE(data);
  ONEBFLY b = Launched(data);
  b.target = {0, 0, 30};
  // A new butterfly's first stroke: it sinks, so it pauses a quarter as long
  // before the next one; lift builds while the wings rise.
  std::srand(51);
  const int speed = std::rand(), pause = std::rand();
  std::srand(51);
  b.Move(nullptr, 0, 0.75f, kDt);
  EXPECT_FLOAT_EQ(b.wingSpeed, (speed % 500) / 100.0f + 10.0f);
  EXPECT_FLOAT_EQ(b.wingTimer, (pause % 70) / 100.0f * 0.25f);
  EXPECT_EQ(b.wingTarget.z, 140.0f);
  EXPECT_FLOAT_EQ(b.lift, -100.0f + 600.0f * kDt);
  EXPECT_FLOAT_EQ(b.wingAngles.z, 140.0f * b.wingSpeed * kDt);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(b.joints[1].animMatrix.m[i], b.wingMatrix.m[i]);
    EXPECT_EQ(b.joints[2].animMatrix.m[i], TransposeMatrix(b.wingMatrix).m[i]);
  }
  // Raised wings: both tips are above the body, which has not moved, and
  // mirror each other.
  for (int i = 0; i < 10; ++i) b.Move(nullptr, 0, 0.75f, kDt);
  ASSERT_GT(b.wingAngles.z, 60.0f);
  float leftTip = 0, rightTip = 0;
  for (size_t v = 0; v < b.vertexBuffer.size(); ++v) {
    const MODELVERTEX& m = b.vertexBuffer[v];
    const VECTOR3D bound = data->prototype->vertexBuffer[v].position;
    EXPECT_TRUE(m.boneId != 0 || CompareVectors(m.position, bound)) << v;
    if (m.boneId == 1) leftTip = std::min(leftTip, m.position.x);
    if (m.boneId == 2) rightTip = std::max(rightTip, m.position.x);
    EXPECT_TRUE(m.boneId == 0 || std::fabs(m.position.x) <= 2.0f || m.position.y > 1.0f) << v;
  }
  EXPECT_GT(leftTip, -4.3f);
  EXPECT_NEAR(leftTip, -rightTip, 1e-4f);
  // Past 135 the wings fall, losing 30 of lift a frame down to -75; the next
  // stroke waits until they are below 10 and the pause is over.
  int frames = 0;
  while (b.wingTarget.z != 0.0f && frames++ < 100) b.Move(nullptr, 0, 0.75f, kDt);
  ASSERT_EQ(b.wingTarget.z, 0.0f);
  while (b.wingAngles.z >= 10.0f && frames++ < 200) {
    const float lift = b.lift;
    b.Move(nullptr, 0, 0.75f, kDt);
    EXPECT_EQ(b.lift, std::max(lift - 30.0f, -75.0f));
  }
  EXPECT_EQ(b.lift, -75.0f);
  while (b.wingTarget.z == 0.0f && frames++ < 300) b.Move(nullptr, 0, 0.75f, kDt);
  EXPECT_EQ(b.wingTarget.z, 140.0f);
  EXPECT_LT(b.wingAngles.z, 10.0f + 140.0f * 15.0f * kDt);
}

TEST_F(Body, WithoutWingJointsTheWingsNeverMove) {
  // Strokes give no lift: the new butterfly sinks at -100 until a blocked
  // move sets it to 0.
  SetSceneFrustum(1920, 1080);
  ButterflySpec recipe = ThreeColours();
  recipe.wingJoints = false;
  ONEBFLY b = Launched(Load(recipe));
  b.position = {0, 20, 0};
  for (int i = 0; i < 300; ++i) {
    const float lift = b.lift;
    b.Move(nullptr, 0, 0.75f, kDt);
    EXPECT_TRUE(b.lift == lift || b.lift == 0.0f) << i;
  }
  EXPECT_EQ(b.lift, 0.0f);
  EXPECT_TRUE(CompareVectors(b.wingAngles, {0, 0, 0}));
  for (const BASICJOINT& j : b.joints)
    for (int i = 0; i < 16; ++i) EXPECT_EQ(j.animMatrix.m[i], MATRIX{}.m[i]);
}

TEST_F(Body, LongFramesStayBounded) {
  // Rate x dt beyond 1 for the wings, up to the two seconds the host lets
  // through: every approach stops at its goal, nothing diverges.
  SetSceneFrustum(1024, 768);
  BFLYDATA* data = Load(ThreeColours(), 0.7f);
  for (float dt : {0.1f, 0.5f, 2.0f}) {
    std::srand(static_cast<unsigned>(dt * 1000));
    ONEBFLY b = Launched(data);
    b.position = {10, 0, 0};
    b.target = {-10, 5, 10};
    std::string why;
    for (int i = 0; i < 3000; ++i) {
      b.Move(nullptr, 0, 0.75f, dt);
      ASSERT_TRUE(CheckButterflyState(b, &why, FrameStep(dt)))
          << "dt " << dt << ", frame " << i << ": " << why;
      ASSERT_LE(b.throttle, 2.49f + 1e-4f);
      ASSERT_GE(b.airSpeed, 0.0f);
    }
  }
}
