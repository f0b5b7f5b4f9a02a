// Instances: the template they share, the welded vertex buffer, playback of
// the keys, skinning, and what an instance draws into the real offscreen
// context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "tests/models/ModelTestSupport.h"
#include "tests/support/GLTest.h"
#include "util/Texture.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using ModelDraw = GLTest;
using Rgb = std::vector<int>;
const Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

// Whether (x, y) of the -1..1 square the projection shows has the colour
// `want`, within the rounding of filtering between texel centres.
bool Looks(float x, float y, const Rgb& want) {
  const std::vector<uint8_t> px = GLTest::Context().ReadPixels();
  const size_t i = (static_cast<size_t>((y + 1) / 2 * GLTest::kHeight) * GLTest::kWidth +
                    static_cast<size_t>((x + 1) / 2 * GLTest::kWidth)) * 4;
  for (int c = 0; c < 3; ++c)
    if (std::abs(px[i + c] - want[c]) > 4) return false;
  return true;
}

// A built 1 x 2 texture: bottom row (t near 0) `bottom`, top row `top`.
Texture MakeTexture(const Rgb& bottom, const Rgb& top) {
  Texture t;
  t.width = 1;
  t.height = 2;
  t.type = GL_RGB;
  t.imageData = std::make_unique<uint8_t[]>(6);
  for (int c = 0; c < 6; ++c) t.imageData[c] = static_cast<uint8_t>(c < 3 ? bottom[c] : top[c - 3]);
  EXPECT_TRUE(BuildTexture(&t, 0));
  return t;
}

}  // namespace

TEST(OneModel, ClockHoldsWrapsAndCrossFades) {
  Prepared p(ArmModel());
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
  inst.Animate(0.5);
  EXPECT_EQ(inst.currentTime, 0.0f) << "nothing to play before a range is set";
  // Each step: dt in seconds, then the clock (ms), the shoulder's height it
  // gives (keys at 0 s: 0, 1 s: 2) and the cross-fade's progress.
  const struct {
    double start;  // a new range from this frame to 30, or -1 to go on
    bool loop, blend;
    double dt;
    float time, height, blendFactor;
  } steps[] = {
      {0, false, false, 0.25, 250, 0.5f, 0},
      {-1, false, false, 0.75, 1000, 2, 0},  // exactly on the last key
      {-1, false, false, 0.5, 1000, 2, 0},   // held at the end
      {-1, false, false, -0.1, 1000, 2, 0},  // backwards and undefined steps leave the clock
      {-1, false, false, kNaN, 1000, 2, 0},
      {0, true, false, 0.9, 900, 1.8f, 0},
      {-1, true, false, 0.2, 0, 0, 0},  // wraps to the start, evaluated there
      {0, false, false, 0.25, 250, 0.5f, 0},
      // Cross-fading holds the clock at the new start and blends towards the
      // first key at or after it (1 s), not towards an interpolated pose.
      {15, false, true, -0.1, 500, 0.5f, 0},
      {-1, false, true, 0.125, 500, 1.25f, 0.5f},
      {-1, false, true, 0.125, 500, 2, 1},
      {-1, false, true, 0.1, 600, 1.2f, 1},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const auto& s = steps[i];
    if (s.start >= 0) inst.SetAnimation(s.start, 30, 1000, s.loop, s.blend);
    inst.Update(s.dt);
    EXPECT_EQ(inst.currentTime, s.time);
    EXPECT_NEAR(inst.joints[0].currentTranslation.y, s.height, 1e-6f);
    EXPECT_EQ(inst.blendFactor, s.blendFactor);
  }
  EXPECT_FALSE(inst.blending);
  // A joint list without the entries' joints leaves them as they are (vertex
  // 3, bound to the elbow, is entry 4).
  const std::vector<MODELVERTEX> skinned = inst.vertexBuffer;
  inst.UpdatePoints(std::span<const BASICJOINT>(inst.joints.data(), 1));
  EXPECT_TRUE(Near(inst.vertexBuffer[4].position, skinned[4].position, 0));
  inst.speed = -1000.0f;
  inst.Update(0.1);
  EXPECT_EQ(inst.currentTime, 600.0f) << "a backwards speed leaves the clock";

  // A held key is converted once, when the cursor arrives: an owner's
  // override of animMatrix (the butterfly's wings) survives until the cursor
  // moves on.
  inst.SetAnimation(0, 30, 1000, false, false);
  inst.Animate(0.1);
  const MATRIX wing = QuatToRotationMatrix(RotationToQuat({0, 45, 0}));
  inst.joints[1].animMatrix = wing;
  inst.Animate(0.1);
  EXPECT_EQ(inst.joints[1].animMatrix.m[8], wing.m[8]);
  inst.Animate(0.4);
  EXPECT_NE(inst.joints[1].animMatrix.m[8], wing.m[8]);
}

TEST(OneModel, BadFrameRatesAndEqualKeyTimesNeverGiveNaN) {
  MS3DWriter stopped = ArmModel(), backwards = ArmModel(), equalTimes = ArmModel();
  stopped.fps = 0;
  backwards.fps = -30;
  equalTimes.joints[0].translationKeys = {
      {0.0f, {0, 0, 0}}, {0.5f, {0, 1, 0}}, {0.5f, {0, 3, 0}}, {1.0f, {0, 4, 0}}};
  for (const MS3DWriter* w : {&stopped, &backwards, &equalTimes}) {
    Prepared p(*w);
    ONEMODEL inst;
    ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
    inst.SetAnimation(0, 30, 1000, true, false);
    for (int i = 0; i < 1000; ++i) {
      inst.Update(0.001);
      for (const MODELVERTEX& v : inst.vertexBuffer)
        ASSERT_TRUE(std::isfinite(v.position.x + v.position.y + v.position.z)) << i;
    }
  }
}

TEST(OneModel, SetupWeldsCornersCountsGroupsAndRefusesWhatDoesNotFit) {
  Prepared quad(QuadModel(0, 0, 1, 1));
  ONEMODEL inst;
  const uint32_t texture = 42;
  ASSERT_TRUE(inst.Setup(&quad.animTemplate, &quad.model, &texture));
  EXPECT_EQ(inst.indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(inst.vertexBuffer[0].t, 0.0f) << "t flipped: 1 - 1";

  // Every refusal keeps the instance as it was. The arm's vertices name
  // joints the quad's template does not have.
  Prepared arm(ArmModel());
  EXPECT_FALSE(inst.Setup(nullptr, &arm.model, nullptr));
  EXPECT_FALSE(inst.Setup(&arm.animTemplate, nullptr, nullptr));
  EXPECT_FALSE(inst.Setup(&quad.animTemplate, &arm.model, nullptr));
  // So does a template or model that does not match: counts that disagree, a
  // parent after its child, rotations missing.
  void (*const spoils[])(Prepared&) = {
      [](Prepared& p) { p.animTemplate.numJoints = 3; },
      [](Prepared& p) { p.animTemplate.joints[0].parent = 1; },
      [](Prepared& p) { p.animTemplate.joints[1].rotQuats.clear(); },
      [](Prepared& p) { p.model.numVertices = 99; },
  };
  for (const auto spoil : spoils) {
    Prepared spoilt(ArmModel());
    spoil(spoilt);
    EXPECT_FALSE(inst.Setup(&spoilt.animTemplate, &spoilt.model, nullptr));
  }
  EXPECT_EQ(inst.vertexBuffer.size(), 4u);
  // A template needs the skeleton InitialSetup builds.
  MS3D unprepared;
  ASSERT_TRUE(LoadBytes(&unprepared, ArmModel().Bytes()));
  ANIMATIONTEMPLATE refused;
  EXPECT_FALSE(refused.Setup(&unprepared) || refused.Setup(nullptr));
  EXPECT_EQ(refused.numJoints, 0);

  // Groups index the shared buffer by a running count; materials take the
  // type's texture.
  MS3DWriter w = ArmModel();
  w.groups.insert(w.groups.begin() + 1, MS3DWriter::Group{"empty", {}, -1, 0});
  Prepared p(w);
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, &texture));
  ASSERT_EQ(inst.numGroups, 3);
  EXPECT_EQ(inst.groups[2].firstIndex, 6u) << "the running count, past the empty group";
  EXPECT_EQ(inst.materials[0].texId, texture);

  // Triangles of all groups together: 65535 fit, 65536 do not. Welded
  // entries: 65535 fit; one more has no 16-bit index.
  auto fits = [](const MS3DWriter& w) {
    Prepared p(w);
    ONEMODEL m;
    return m.Setup(&p.animTemplate, &p.model, nullptr);
  };
  MS3DWriter many = QuadModel(0, 0, 1, 1);
  many.groups[0].triangles.assign(40000, 0);
  many.AddGroup("more");
  many.groups[1].triangles.assign(25535, 1);
  EXPECT_TRUE(fits(many));
  many.groups[1].triangles.push_back(1);
  EXPECT_FALSE(fits(many));
  MS3DWriter fan;
  const int g = fan.AddGroup("fan");
  fan.AddVertex({0, 0, 0});
  for (int i = 0; i < 21845; ++i) {
    const float s = static_cast<float>(3 * i);
    fan.AddTriangle(g, 0, 0, 0, {s, 0}, {s + 1, 0}, {s + 2, 0});
  }
  EXPECT_TRUE(fits(fan));
  fan.AddTriangle(g, 0, 0, 0, {-1, 0}, {-2, 0}, {-3, 0});
  EXPECT_FALSE(fits(fan));
}

TEST_F(ModelDraw, InstanceDrawsEachGroupWithItsMaterialsTexture) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  // A tall quad on the left (material 0) and a low one on the right (no
  // material); every corner's file t is 0.25, drawn as 0.75: the top row.
  MS3DWriter w = QuadModel(-0.8f, -0.8f, -0.2f, 0.8f);
  w.AddMaterial("wing");
  w.groups[0].material = 0;
  const int right = w.AddGroup("right");
  const uint16_t a = w.AddVertex({0.2f, -0.8f, 0}), b = w.AddVertex({0.8f, -0.8f, 0});
  const uint16_t c = w.AddVertex({0.8f, -0.2f, 0}), d = w.AddVertex({0.2f, -0.2f, 0});
  w.AddTriangle(right, a, b, c);
  w.AddTriangle(right, a, c, d);
  for (MS3DWriter::Triangle& t : w.triangles)
    for (point2d& uv : t.uv) uv.y = 0.25f;
  Prepared p(w);
  Texture wing = MakeTexture(kRed, kGreen);
  const Texture other = MakeTexture(kBlue, kBlue);
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, &wing.texID));

  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, other.texID);
  inst.Draw();
  EXPECT_PRED3(Looks, -0.5f, 0, kGreen);
  EXPECT_PRED3(Looks, 0.5f, -0.5f, kGreen) << "no material: keeps what the group before bound";
  EXPECT_PRED3(Looks, 0.5f, 0.5f, kBlack);

  // A negative mode draws with generated coordinates (eye-linear by default:
  // t follows the eye's y), only for its own group.
  glClear(GL_COLOR_BUFFER_BIT);
  inst.materials[0].mode = -128;
  inst.Draw();
  EXPECT_PRED3(Looks, -0.5f, 0.75f, kGreen);
  EXPECT_PRED3(Looks, -0.5f, -0.75f, kRed);
  EXPECT_PRED3(Looks, 0.5f, -0.5f, kGreen);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  glDisable(GL_TEXTURE_2D);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
}
