#include <gtest/gtest.h>

#include "models/ANIMATIONTEMPLATE.h"
#include "tests/models/ModelTestSupport.h"

TEST(AnimationTemplate, CopiesTheSkeletonAndPrecomputesKeyRotations) {
  MS3DWriter w = ArmModel();
  w.AddJoint("tip", "elbow", {0, 0, 0}, {1, 0, 0});
  w.joints[2].translationKeys = {{0.25f, {1, 1, 1}}};
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
  m.InitialSetup();
  ANIMATIONTEMPLATE t;
  ASSERT_TRUE(t.Setup(&m));

  EXPECT_EQ(t.numJoints, 3);
  ASSERT_EQ(t.joints.size(), 3u);
  EXPECT_EQ(t.totalFrames, 30);
  EXPECT_EQ(t.animationFPS, 30.0f);
  EXPECT_EQ(t.totalTime, 1000.0f);
  EXPECT_EQ(t.joints[1].parent, 0);
  EXPECT_EQ(t.joints[2].parent, 1);

  const ANIMJOINT& root = t.joints[0];
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(root.bindMatrix.m[i], root.absolute.m[i], 1e-12) << i;
    EXPECT_NEAR(root.bindMatrix.m[i], root.relative.m[i], 1e-12) << i;
  }
  EXPECT_DOUBLE_EQ(root.bindMatrix.m[12], 1.0);
  EXPECT_TRUE(root.rotQuats[0].IsEqualTo(QUAT{})) << "a key of zero radians";
  // The file's radians in degrees, as playback of the model converts them.
  const QUAT z90 = RotationToQuat({0, 0, static_cast<float>(kPi / 2) * kMS3DRadToDeg});
  EXPECT_TRUE(root.rotQuats[1].IsEqualTo(z90));
  EXPECT_EQ(root.rotKeys[1].time, 1000.0f);
  EXPECT_EQ(root.transKeys[1].time, 1000.0f);
  EXPECT_EQ(t.joints[1].rotKeys[0].time, 500.0f);
  EXPECT_EQ(t.joints[2].transKeys[0].time, 250.0f);
  EXPECT_TRUE(t.joints[2].rotQuats.empty()) << "no rotation keys";
  EXPECT_EQ(t.joints[2].numRotKeys, 0);
  EXPECT_EQ(t.joints[2].numTransKeys, 1);
  // Changing state belongs to the instances.
  EXPECT_EQ(root.currentRotKey, 0);
  EXPECT_EQ(root.lastRotKey, -1);
}

TEST(AnimationTemplate, RefusesAModelWithoutItsSkeleton) {
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, ArmModel().Bytes()));
  ANIMATIONTEMPLATE t;
  EXPECT_FALSE(t.Setup(&m)) << "InitialSetup has not run";
  EXPECT_FALSE(t.Setup(nullptr));
  EXPECT_EQ(t.numJoints, 0);

  MS3D rigid;
  ASSERT_TRUE(LoadBytes(&rigid, QuadModel(0, 0, 1, 1).Bytes()));
  rigid.InitialSetup();
  EXPECT_TRUE(t.Setup(&rigid));
  EXPECT_EQ(t.numJoints, 0);
  EXPECT_TRUE(t.joints.empty());
}
