// One butterfly: its flight frame by frame in the scene's 16:9 view (set
// without OpenGL): steering, keeping in view, landing, resting, taking off,
// targets, and the order of the random draws; and its body, copied from its
// type (with real textures, in the offscreen context) and skinned by its
// wing strokes; and its smooth edges and unbroken thin parts: a shipped type
// drawn from above into a framebuffer with and without multisampling, plain
// white on black, so that every pixel's value is its coverage. Its colours
// and shadow are checked in whole scene frames.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYINFO.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "util/CString.h"
#include "util/Frustum.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;

// The first n values rand() gives after srand(seed), leaving the generator
// seeded with `seed` again.
std::vector<int> Draws(unsigned seed, int n) {
  std::srand(seed);
  std::vector<int> r(n);
  for (int& v : r) v = std::rand();
  std::srand(seed);
  return r;
}

void ExpectMatrixNear(const MATRIX& a, const MATRIX& b, double tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << i;
}

// A butterfly flying straight ahead along `yaw` (degrees) at a steady speed
// with no lift, far from needing a new target, in the scene's 16:9 view; its
// type as far as the flight model reads it: size and radius, no wing joints.
ONEBFLY Cruising(VECTOR3D at, float yaw, float size = 1.0f, float radius = 2.0f) {
  SetSceneFrustum(1920, 1080);
  static BFLYDATA type;
  type.size = size;
  type.radius = radius;
  ONEBFLY b;
  b.bflyData = &type;
  b.action = ONEBFLY::kFlying;
  b.position = at;
  b.angles = {0, yaw, 0};
  b.orientation = MatrixFromAngle(b.angles);
  b.direction = MatrixPointMultiply(b.orientation, {0, 0, 1});
  b.throttle = b.throttleTarget = 1.5f;
  b.airSpeed = b.targetAirSpeed = 1.5f * (0.5f * size + 0.5f) * 40.0f;  // speed factor 1
  b.lift = 0.0f;
  b.targetTimer = 10.0f;
  b.landTimer = 5.0f;
  b.target = AddVectors(at, ScaleVector(b.direction, 30.0));
  return b;
}


// Each test has a type of three textures, red, green and blue, loaded as the
// catalogue loads it.
class Body : public GLTest {
 protected:
  BFLYDATA* Load(bool wingJoints = true, float size = 1.0f) {
    TempDir dir;
    WriteBytes(dir.File("Type.bfly"),
               ButterflyFile({.colours = {{{250, 0, 0}}, {{0, 250, 0}}, {{0, 0, 250}}},
                              .wingJoints = wingJoints}));
    BFLYINFO& info = info_[wingJoints];
    CopyCString(info.fileName, "Type.bfly");
    return info.LoadData((dir.path() + "/").c_str(), size) ? info.data.get() : nullptr;
  }
  // A new butterfly of `data` launched.
  static ONEBFLY Launched(BFLYDATA* data) {
    ONEBFLY b;
    EXPECT_TRUE(b.SetupFromBFlyData(data));
    b.Reset();
    b.SetAction(ONEBFLY::kFlying);
    return b;
  }
  BFLYINFO info_[2];  // without and with wing joints
};


constexpr int kW = 1280;  // pixels
constexpr int kH = 720;

// GOT-F.bfly of `size` drawn at the origin, its back towards the camera,
// plain white on black, into a kW x kH framebuffer with `samples` samples per
// pixel; each pixel's grey level (its coverage), bottom row first.
std::vector<uint8_t> DrawFromAbove(float size, int samples) {
  // Drawn into the first framebuffer, resolved into the second.
  GLuint fbo[2], colour[2];
  glGenFramebuffers(2, fbo);
  glGenRenderbuffers(2, colour);
  for (int i = 0; i < 2; ++i) {
    glBindRenderbuffer(GL_RENDERBUFFER, colour[i]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, i == 0 ? samples : 0, GL_RGBA8, kW, kH);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo[i]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour[i]);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, fbo[0]);
  glViewport(0, 0, kW, kH);
  glClear(GL_COLOR_BUFFER_BIT);
  ViewReshape(kW, kH);
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  BFLYINFO info;
  CopyCString(info.fileName, "GOT-F.bfly");
  CopyCString(info.path, WINGDRIFT_BINARY_DIR "/data/");
  ONEBFLY b;
  if (info.LoadData(info.path, size) && b.SetupFromBFlyData(info.data.get())) {
    // White lines, as the unlit, untextured fill is white.
    b.lineColours.assign(b.lineColours.size(), 255);
    b.RevertPoints(b.joints);
    b.UpdateSkeleton();
    b.UpdatePoints(b.joints);
    b.orientation = MatrixFromAngle({-90, 0, 0});
    b.Draw(false);
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo[0]);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo[1]);
  glBlitFramebuffer(0, 0, kW, kH, 0, 0, kW, kH, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo[1]);
  std::vector<uint8_t> grey(static_cast<size_t>(kW) * kH);  // rows of 1280 bytes: aligned
  glReadPixels(0, 0, kW, kH, GL_RED, GL_UNSIGNED_BYTE, grey.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(2, fbo);
  glDeleteRenderbuffers(2, colour);
  return grey;
}

// The 8-connected groups of lit pixels.
int Components(std::vector<uint8_t> grey) {
  int count = 0;
  for (int start = 0; start < kW * kH; ++start) {
    if (grey[start] == 0) continue;
    ++count;
    grey[start] = 0;
    std::vector<int> stack = {start};
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = p % kW + dx, y = p / kW + dy;
          if (x < 0 || y < 0 || x >= kW || y >= kH || grey[y * kW + x] == 0) continue;
          grey[y * kW + x] = 0;
          stack.push_back(y * kW + x);
        }
    }
  }
  return count;
}

}  // namespace

TEST(Flight, SteersTowardsItsTarget) {
  // At the target (no offset at all): +30 on both axes. Ahead and nearly
  // lined up: no turn; a little off: half the rate; behind: the full rate
  // whatever the offset. Pitching further from level is cut near the limit,
  // back towards level never.
  struct Row {
    float pitch;
    VECTOR3D target;
    float yawRate, pitchRate;
  };
  for (const Row& row : {Row{0, {0, 0, 0}, 30, 30}, Row{0, {-2, 0, 50}, 0, 0},
                         Row{0, {-6, 12, 50}, -15, 30}, Row{0, {-1, 0, -50}, -30, 30},
                         Row{32, {0, 100, 0}, 0, 15}, Row{37, {0, 100, 0}, 0, 7.5f},
                         Row{42, {0, 100, 0}, 0, 0}, Row{-42, {0, 100, 0}, 30, 30}}) {
    SCOPED_TRACE(testing::Message() << row.pitch << " " << row.target.x << " " << row.target.y);
    ONEBFLY b;
    b.angles = {row.pitch, 0, 0};
    b.orientation = MatrixFromAngle(b.angles);
    b.target = row.target;
    b.TurnToTarget(30, kDt);
    EXPECT_EQ(b.desiredTurnRate.y, row.yawRate);
    EXPECT_EQ(b.desiredTurnRate.x, row.pitchRate);
    if (row.yawRate >= 0) {
      EXPECT_FLOAT_EQ(b.angles.y, row.yawRate * kDt * kDt);
    }
  }
  {
    // Angles wrap once past 360; pitch is held within 45; roll levels out
    // at 300 degrees per second.
    ONEBFLY b;
    b.angles = {90, 365, 2};
    b.TurnToTarget(30, kDt);
    EXPECT_EQ(b.angles.x, 45.0f);
    EXPECT_NEAR(b.angles.y, 5.0f, 0.01f);
    EXPECT_EQ(b.angles.z, 0.0f);
    b.angles.z = -10.0f;
    b.TurnToTarget(30, kDt);
    EXPECT_NEAR(b.angles.z, -5.0f, 1e-4f);
    // A point on an axis is a direction like any other: length 100.
    for (VECTOR3D p : {VECTOR3D{3, 0, 0}, VECTOR3D{0, -7, 0}, VECTOR3D{0, 0, 0.5f}})
      EXPECT_NEAR(VectorLength(ONEBFLY{}.RelativeDest(p)), 100.0, 1e-3);
  }
}

TEST(Flight, FlyingKeepsInView) {
  {
    // One frame: throttle and speed approach their goals, then the move
    // along the heading and the lift.
    ONEBFLY b = Cruising({0, 0, 0}, 0);
    b.throttleTarget = 2.0f;
    b.airSpeed = 10.0f;
    b.lift = 50.0f;
    b.Move(nullptr, 0, 0.5f, kDt);
    const float throttle = 1.5f + (2.0f - 1.5f) * kDt;
    const float speed = 10.0f + (60.0f - 10.0f) * kDt;
    EXPECT_FLOAT_EQ(b.throttle, throttle);
    EXPECT_FLOAT_EQ(b.airSpeed, speed);
    EXPECT_FLOAT_EQ(b.targetAirSpeed, throttle * 0.5f * 1.0f * 40.0f);
    EXPECT_FLOAT_EQ(b.position.z, speed * kDt);
    EXPECT_FLOAT_EQ(b.position.y, 50.0f * kDt * 0.5f);
    EXPECT_TRUE(b.entered);
    EXPECT_FLOAT_EQ(b.landTimer, 5.0f - kDt);
  }
  {
    // Entered: a move that would take the doubled sphere out is not made,
    // and the lift is lost.
    ONEBFLY b = Cruising({0, 0, 0}, 90);
    b.entered = true;
    b.lift = 80.0f;
    // Just inside the right plane at z = 0: x = 60 tan 22.5 * 16/9.
    const float edge = 60.0f * std::tan(22.5f * static_cast<float>(kPi) / 180) * 16 / 9;
    const float cosine = std::cos(std::atan(edge / 60.0f));
    b.position = {edge + 4.0f / cosine - 0.05f, 0, 0};
    const VECTOR3D before = b.position;
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_TRUE(CompareVectors(b.position, before));
    EXPECT_EQ(b.lift, 0.0f);
  }
}

TEST(Flight, LandsRestsAndTakesOff) {
  // Lands on the back limit: rest, wing opening and roll drawn in that
  // order; the pose faces the camera; the turn into it starts.
  ONEBFLY b = Cruising({0, 5, -39.9f}, 180);
  b.landTimer = kDt / 2;
  b.target = {0, 5, -20};
  std::vector<int> r = Draws(21, 4);
  b.Move(nullptr, 0, 1.0f, kDt);
  ASSERT_EQ(b.action, ONEBFLY::kLanded);
  EXPECT_EQ(b.position.z, -40.0f);
  EXPECT_FLOAT_EQ(b.targetTimer, (r[0] % 100) / 10.0f + 1.0f - kDt);
  EXPECT_EQ(b.wingTarget.z, static_cast<float>(r[1] % 90));
  EXPECT_EQ(b.angles.x, 90.0f);
  EXPECT_EQ(b.angles.y, 180.0f);
  EXPECT_EQ(b.angles.z, static_cast<float>(r[2] % 90 - 45));
  EXPECT_EQ(b.landBlend, 0.0f);
  EXPECT_TRUE(b.landTo.IsEqualTo(QuatFromMatrix(MatrixFromAngle(b.angles))));
  // Turned from the orientation it flew with in this frame.
  EXPECT_TRUE(b.landFrom.IsEqualTo(QuatFromMatrix(b.orientation)));
  EXPECT_EQ(std::rand(), r[3]) << "no new target in the landing frame";
  const VECTOR3D seat = b.position;
  const QUAT from = b.landFrom, to = b.landTo;

  // The turn into the pose takes 0.1 s; the butterfly does not move.
  float blend = 0.0f;
  for (int i = 0; i < 6; ++i) {
    b.Move(nullptr, 0, 1.0f, kDt);
    blend = std::min(1.0f, blend + 10.0f * kDt);
    EXPECT_EQ(b.landBlend, blend);
    ExpectMatrixNear(b.orientation, QuatToRotationMatrix(QuatSlerp(&from, &to, blend)), 1e-12);
    EXPECT_TRUE(CompareVectors(b.position, seat));
  }
  EXPECT_EQ(b.landBlend, 1.0f);
  ExpectMatrixNear(b.orientation, MatrixFromAngle(b.angles), 1e-9);

  // Take-off when the rest is over: effort goal first, then the landing
  // delay; from a standstill at the throttle of 1, away from the back limit.
  b.targetTimer = kDt / 2;
  b.direction = {0.25f, 0.5f, -0.8f};
  r = Draws(41, 3);
  b.Move(nullptr, 0, 1.0f, kDt);
  ASSERT_EQ(b.action, ONEBFLY::kFlying);
  EXPECT_FLOAT_EQ(b.throttleTarget, (r[0] % 200) / 100.0f + 0.5f);
  EXPECT_EQ(b.landTimer, static_cast<float>(r[1] % 20 + 5));
  EXPECT_EQ(std::rand(), r[2]) << "exactly two draws";
  EXPECT_EQ(b.throttle, 1.0f);
  EXPECT_EQ(b.targetTimer, 10.0f);
  EXPECT_EQ(b.lift, 0.0f);
  EXPECT_EQ(b.wingTimer, 0.0f);
  EXPECT_EQ(b.wingTarget.z, 140.0f);
  EXPECT_EQ(b.airSpeed, 0.0f);
  EXPECT_TRUE(CompareVectors(b.direction, {0.25f, 0.5f, 1.0f}));
  EXPECT_TRUE(CompareVectors(b.position, seat));
  EXPECT_EQ(b.angles.x, 90.0f);
  // The landing pitch is clamped in the first frame of flight.
  b.Move(nullptr, 0, 1.0f, kDt);
  EXPECT_EQ(b.angles.x, 45.0f);
  EXPECT_GT(b.position.z, -40.0f);
}

TEST(Flight, LandsOnlyOnADepthLimitInView) {
  // The front limit lands facing away from the camera. Near the edge of the
  // view (centre less than half a radius inside): no landing, another try 2
  // to 7 s later.
  const float edge = 100.0f * std::tan(22.5f * static_cast<float>(kPi) / 180) * 16 / 9 - 1.0f;
  for (const bool front : {true, false}) {
    ONEBFLY b = Cruising({front ? 0 : edge, 0, front ? 31.9f : -39.9f}, front ? 0 : 180, 1.0f,
                         front ? 2.0f : 10.0f);
    b.landTimer = -1.0f;
    b.target = {b.position.x, 0, front ? 0.0f : -20.0f};
    const std::vector<int> r = Draws(22, 1);
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.action, front ? ONEBFLY::kLanded : ONEBFLY::kFlying) << front;
    EXPECT_EQ(b.position.z, front ? 32.0f : -40.0f);
    EXPECT_TRUE(front ? b.angles.y == 0.0f : b.landTimer == static_cast<float>(r[0] % 6 + 2));
  }
}

TEST(Flight, NewTargets) {
  {
    // Draws r1, r2, r3 go to z, y, x; then the effort goal.
    ONEBFLY b = Cruising({0, 0, 0}, 0);
    b.targetTimer = kDt / 2;
    const std::vector<int> r = Draws(31, 5);
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f);
    EXPECT_FLOAT_EQ(b.target.z, (r[0] % 400) / 10.0f - 20.0f);
    EXPECT_FLOAT_EQ(b.target.y, (r[1] % 800) / 10.0f - 40.0f);
    EXPECT_FLOAT_EQ(b.target.x, (r[2] % 800) / 10.0f - 40.0f);
    EXPECT_FLOAT_EQ(b.throttleTarget, (r[3] % 200) / 100.0f + 0.5f);
    EXPECT_EQ(std::rand(), r[4]);
  }
  {
    // Within 10 * sizeScale of the target: a new one at once (size 0.7:
    // 8.5 units).
    ONEBFLY b = Cruising({0, 0, 0}, 0, 0.7f);
    b.target = {0, 0, 10.0f};
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f - kDt);
    b.target = {0, 0, b.position.z + 8.4f};
    b.Move(nullptr, 0, 1.0f, kDt);
    EXPECT_EQ(b.targetTimer, 10.0f);
  }
}

TEST_F(Body, CopiedFromItsTypeAndLiftedByItsWingStrokes) {
  SetSceneFrustum(1920, 1080);
  BFLYDATA* data = Load();
  ASSERT_TRUE(data);
  EXPECT_FALSE(ONEBFLY().SetupFromBFlyData(nullptr));
  BFLYDATA empty;
  EXPECT_FALSE(ONEBFLY().SetupFromBFlyData(&empty));
  const std::vector<int> picks = Draws(3, 3);
  ONEBFLY copy;
  ASSERT_TRUE(copy.SetupFromBFlyData(data));
  ASSERT_EQ(copy.materials.size(), 2u);
  EXPECT_EQ(copy.materials[0].texId, data->textures[picks[0] % 3].texID);
  EXPECT_EQ(copy.materials[1].texId, data->textures[picks[1] % 3].texID);
  EXPECT_EQ(std::rand(), picks[2]);
  // Incomplete bodies draw nothing (and do not fail).
  // A material of negative mode draws with generated coordinates, then
  // turns them off again.
  for (MODELMATERIAL& m : copy.materials) m.mode = -1;
  copy.Draw(false);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  ONEBFLY().Draw(false);
  copy.bflyData = nullptr;
  copy.Draw(false);

  ONEBFLY b = Launched(data);
  b.target = {0, 0, 30};
  // A new butterfly's first stroke: it sinks, so it pauses a quarter as long
  // before the next one; lift builds while the wings rise.
  const std::vector<int> r = Draws(51, 2);
  b.Move(nullptr, 0, 0.75f, kDt);
  EXPECT_FLOAT_EQ(b.wingSpeed, (r[0] % 500) / 100.0f + 10.0f);
  EXPECT_FLOAT_EQ(b.wingTimer, (r[1] % 70) / 100.0f * 0.25f);
  EXPECT_EQ(b.wingTarget.z, 140.0f);
  EXPECT_FLOAT_EQ(b.lift, -100.0f + 600.0f * kDt);
  EXPECT_FLOAT_EQ(b.wingAngles.z, 140.0f * b.wingSpeed * kDt);
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

  // A type without wing joints: the wings never move.
  ONEBFLY still = Launched(Load(false));
  for (int i = 0; i < 300; ++i) still.Move(nullptr, 0, 0.75f, kDt);
  EXPECT_TRUE(CompareVectors(still.wingAngles, {0, 0, 0}));
}

using Edges = GLTest;

TEST_F(Edges, SmoothWithSamplesAndAntennaeNeverBroken) {
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  for (const float size : {0.1f, 0.7f, 1.9f}) {
    for (const int samples : {0, 4}) {
      SCOPED_TRACE(testing::Message() << "size " << size << ", " << samples << " samples");
      const std::vector<uint8_t> grey = DrawFromAbove(size, samples);
      int lit = 0, partial = 0;
      for (uint8_t v : grey) {
        lit += v > 0;
        partial += v > 0 && v < 255;
      }
      ASSERT_GT(lit, 20);
      EXPECT_EQ(Components(grey), 1) << "body, antennae and wings in one piece";
      if (samples == 0) {
        EXPECT_EQ(partial, 0) << "without multisampling every pixel is in or out";
      } else if (size > 1.0f) {
        // A small butterfly is mostly its one-pixel lines, which are aliased.
        EXPECT_GT(partial, lit / 50) << "with it the outline has in-between values";
      }
    }
  }
}
