#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "models/MS3D.h"
#include "tests/models/ModelTestSupport.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

MS3D LoadArm() {
  MS3D m;
  EXPECT_TRUE(LoadBytes(&m, ArmModel().Bytes()));
  return m;
}

bool Finite(const MATRIX& m) {
  for (double e : m.m)
    if (!std::isfinite(e)) return false;
  return true;
}

bool QuatNear(const QUAT& a, const QUAT& b, double tolerance = 1e-6) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
         std::fabs(a.z - b.z) <= tolerance && std::fabs(a.w - b.w) <= tolerance;
}

void Frame(MS3D& m, double dt) {
  m.RevertPoints();
  m.Animate(dt);
  m.UpdateSkeleton();
  m.UpdatePoints();
}

}  // namespace

TEST(MS3DAnimation, InitialSetupMovesTheMeshIntoJointSpaceAndBack) {
  MS3D m = LoadArm();
  const MS3D read = m;
  m.InitialSetup();
  ASSERT_EQ(m.skeleton.size(), 2u);
  EXPECT_EQ(m.skeleton[0].parent, -1);
  EXPECT_EQ(m.skeleton[1].parent, 0);
  EXPECT_FLOAT_EQ(m.skeleton[0].rotation.z, 90.0f);  // degrees now
  EXPECT_FLOAT_EQ(m.joints[0].rotation[2], 90.0f);   // converted in place
  EXPECT_EQ(m.skeleton[1].rotKeys[0].time, 500.0f);   // milliseconds
  EXPECT_FLOAT_EQ(m.skeleton[1].rotKeys[1].parameter[0], static_cast<float>(kPi / 2));

  // The shoulder sits at (1, 0, 0) turned 90 degrees about z.
  EXPECT_TRUE(Near(V(m.vertices[0].vertex), {0, 0, 0}));
  EXPECT_TRUE(Near(V(m.vertices[1].vertex), {1, 0, 0}));
  EXPECT_TRUE(Near(V(m.vertices[4].vertex), {5, 5, 5}, 0)) << "no joint: unchanged";

  m.UpdatePoints();
  for (size_t i = 0; i < read.vertices.size(); ++i)
    EXPECT_TRUE(Near(V(m.vertices[i].vertex), V(read.vertices[i].vertex), 1e-5f)) << i;
  for (size_t t = 0; t < read.triangles.size(); ++t)
    for (int c = 0; c < 3; ++c)
      EXPECT_TRUE(Near(V(m.triangles[t].vertexNormals[c]), V(read.triangles[t].vertexNormals[c]),
                       1e-5f))
          << t << "/" << c;
}

TEST(MS3DAnimation, KeysAreHeldInterpolatedAndReachedExactly) {
  MS3D m = LoadArm();
  m.InitialSetup();
  SKELETON_JOINT& shoulder = m.skeleton[0];
  SKELETON_JOINT& elbow = m.skeleton[1];
  EXPECT_EQ(m.Frame(30), 1000.0f);

  m.SetAnimation(0, 60, 1000, false, false);
  EXPECT_EQ(m.endTime, 2000.0f);
  m.Animate(0);
  EXPECT_TRUE(Near(shoulder.currentTranslation, {0, 0, 0}, 0));
  EXPECT_TRUE(QuatNear(elbow.currentQuat, QUAT{}));

  {
    // Before the elbow's first key (0.5 s) its held key is converted once:
    // an owner's override of animMatrix survives further evaluations.
    MATRIX wing = QuatToRotationMatrix(RotationToQuat({0, 45, 0}));
    elbow.animMatrix = wing;
    m.Animate(0.25);
    EXPECT_EQ(m.currentTime, 250.0f);
    EXPECT_EQ(elbow.currentRotKey, 0);
    EXPECT_EQ(elbow.animMatrix.m[8], wing.m[8]);
    EXPECT_TRUE(Near(shoulder.currentTranslation, {0, 0.5f, 0}, 1e-6f));
    EXPECT_TRUE(QuatNear(shoulder.currentQuat, RotationToQuat({0, 0, 22.5f})));
  }
  {
    // Exactly on a key time the scan stops at that key: f = 1 towards it.
    m.Animate(0.75);
    EXPECT_EQ(m.currentTime, 1000.0f);
    EXPECT_EQ(elbow.currentRotKey, 1);
    EXPECT_TRUE(QuatNear(elbow.currentQuat, RotationToQuat({90, 0, 0})));
    EXPECT_TRUE(Near(shoulder.currentTranslation, {0, 2, 0}, 0));
    EXPECT_TRUE(Near(shoulder.currentRotation, {0, 0, 0}, 0)) << "not written while interpolating";
  }
  {
    // After the last key the last key is held, and its Euler angles kept.
    m.Animate(0.5);
    EXPECT_EQ(shoulder.currentRotKey, 2);
    EXPECT_TRUE(Near(shoulder.currentRotation, {0, 0, 90}, 1e-4f));
    EXPECT_TRUE(Near(shoulder.currentTranslation, {0, 2, 0}, 0));
    EXPECT_TRUE(Near(elbow.currentTranslation, {0, 0, 0}, 0)) << "rotation keys only";
  }
}

TEST(MS3DAnimation, SkinsWithTheAnimatedSkeleton) {
  MS3D m = LoadArm();
  m.InitialSetup();
  m.UpdatePoints();  // frames start in model space
  m.SetAnimation(0, 30, 1000, false, false);
  Frame(m, 0);
  // At time 0 every key is zero: the bind pose.
  EXPECT_TRUE(Near(V(m.vertices[1].vertex), {1, 1, 0}, 1e-5f));
  EXPECT_TRUE(Near(V(m.vertices[3].vertex), {2, 2, 1}, 1e-5f));
  Frame(m, 1.0);
  // The shoulder now adds (0, 2, 0) and another 90 degrees: T(-1, 0, 0) Rz(180).
  EXPECT_TRUE(Near(V(m.vertices[0].vertex), {-1, 0, 0}, 1e-5f));
  EXPECT_TRUE(Near(V(m.vertices[1].vertex), {-2, 0, 0}, 1e-5f));
  EXPECT_TRUE(Near(V(m.vertices[5].vertex), {6, 5, 5}, 0));
  EXPECT_TRUE(Near(V(m.triangles[0].vertexNormals[0]), {0, 0, 1}, 1e-5f));
}

TEST(MS3DAnimation, RangeEndsOnceOrWraps) {
  MS3D m = LoadArm();
  m.InitialSetup();
  {
    m.SetAnimation(0, 30, 1000, false, false);
    m.Animate(0.9);
    m.Animate(0.5);
    EXPECT_EQ(m.currentTime, 1000.0f) << "evaluated once at exactly endTime";
    EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 2, 0}, 0));
    m.skeleton[0].currentTranslation = {7, 7, 7};
    m.Animate(0.5);
    EXPECT_EQ(m.currentTime, 1000.0f);
    EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {7, 7, 7}, 0)) << "finished: no work";
  }
  {
    m.SetAnimation(0, 30, 1000, true, false);
    m.Animate(0.9);
    EXPECT_EQ(m.skeleton[0].currentTransKey, 1);
    m.Animate(0.2);
    EXPECT_EQ(m.currentTime, 0.0f);
    EXPECT_EQ(m.skeleton[0].currentTransKey, 0);
    EXPECT_EQ(m.skeleton[1].currentRotKey, 0);
    EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 0, 0}, 0));
  }
}

TEST(MS3DAnimation, CrossFadeHoldsTheClockUntilComplete) {
  MS3D m = LoadArm();
  m.InitialSetup();
  m.SetAnimation(0, 30, 1000, false, false);
  m.Animate(0.25);
  ASSERT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 0.5f, 0}, 1e-6f));

  m.SetAnimation(15, 30, 1000, false, true);
  EXPECT_TRUE(m.blending);
  m.Animate(0.25);
  EXPECT_EQ(m.currentTime, 500.0f);
  EXPECT_EQ(m.blendFactor, 0.5f);
  // Towards the first key at or after the start time (1 s), not towards an
  // interpolated pose.
  EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 1.25f, 0}, 1e-6f));
  m.Animate(0.25);
  EXPECT_FALSE(m.blending);
  EXPECT_EQ(m.blendFactor, 1.0f);
  EXPECT_EQ(m.currentTime, 500.0f);
  EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 2, 0}, 0));
  EXPECT_TRUE(QuatNear(m.skeleton[0].currentQuat, RotationToQuat({0, 0, 90})));
  EXPECT_TRUE(QuatNear(m.skeleton[1].currentQuat, QUAT{})) << "its key at 0.5 s";
  m.Animate(0.1);
  EXPECT_EQ(m.currentTime, 600.0f);
  EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 1.2f, 0}, 1e-6f));
}

TEST(MS3DAnimation, BackwardsOrUndefinedStepsLeaveTheClock) {
  MS3D m = LoadArm();
  m.InitialSetup();
  m.SetAnimation(0, 30, 1000, false, false);
  m.Animate(0.25);
  for (double dt : {-0.1, double(kNaN), 0.0}) {
    m.Animate(dt);
    EXPECT_EQ(m.currentTime, 250.0f) << dt;
  }
  for (double speed : {-1000.0, double(kNaN)}) {
    m.SetAnimation(0, 30, speed, false, false);
    m.Animate(0.5);
    EXPECT_EQ(m.currentTime, 0.0f) << speed;
  }
  m.SetAnimation(0, 30, 1000, false, true);
  m.Animate(-1.0);
  m.Animate(kNaN);
  EXPECT_EQ(m.blendFactor, 0.0f);
  EXPECT_TRUE(m.blending);
}

TEST(MS3DAnimation, BadFrameRatesAndEqualKeyTimesNeverGiveNaN) {
  for (float fps : {0.0f, -30.0f}) {
    SCOPED_TRACE(fps);
    MS3DWriter w = ArmModel();
    w.fps = fps;
    MS3D m;
    ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
    EXPECT_EQ(m.totalTime, 0.0f);
    EXPECT_EQ(m.Frame(30), 0.0f);
    m.InitialSetup();
    m.UpdatePoints();
    m.SetAnimation(0, 30, 1000, true, false);
    for (int i = 0; i < 10; ++i) Frame(m, 0.05);
    for (const SKELETON_JOINT& j : m.skeleton) EXPECT_TRUE(Finite(j.absolute));
    for (const MS3D_VERTEX& v : m.vertices) EXPECT_TRUE(std::isfinite(v.vertex[0]));
  }
  {
    MS3DWriter w = ArmModel();
    w.joints[0].translationKeys = {
        {0.0f, {0, 0, 0}}, {0.5f, {0, 1, 0}}, {0.5f, {0, 3, 0}}, {1.0f, {0, 4, 0}}};
    MS3D m;
    ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
    m.InitialSetup();
    m.SetAnimation(0, 30, 1000, false, false);
    for (int i = 0; i < 1000; ++i) {
      m.Animate(0.001);
      ASSERT_TRUE(std::isfinite(m.skeleton[0].currentTranslation.y)) << i;
    }
    // A cursor standing between two keys of one time takes the later key.
    m.skeleton[0].currentTransKey = 2;
    m.skeleton[0].currentRotKey = 0;
    m.currentTime = 499.0f;
    m.Animate(0.001);
    EXPECT_EQ(m.skeleton[0].currentTransKey, 2);
    EXPECT_TRUE(Near(m.skeleton[0].currentTranslation, {0, 3, 0}, 0));
  }
}
