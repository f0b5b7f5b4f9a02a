// What loading and playback allocate: nothing from a count the stream cannot
// hold, nothing at all per frame.
#include <gtest/gtest.h>

#include <string>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "tests/models/AllocationCounter.h"
#include "tests/models/ModelTestSupport.h"

TEST(ModelAllocation, NothingFromCountsTheStreamCannotHold) {
  MS3D model;
  // A joint count of 65535 would need megabytes of joint records.
  std::string manyJoints = QuadModel(0, 0, 1, 1).Bytes();
  manyJoints.resize(manyJoints.size() - 2);
  manyJoints += std::string("\xff\xff", 2) + std::string(200, '\0');
  ResetAllocations();
  EXPECT_FALSE(LoadBytes(&model, manyJoints));
  EXPECT_LT(Allocations().bytes, 64u * 1024);

  // The vertex count sits just after the 10-byte id and the version.
  std::string manyVertices = QuadModel(0, 0, 1, 1).Bytes();
  manyVertices[14] = '\xff';
  manyVertices[15] = '\xff';
  ResetAllocations();
  EXPECT_FALSE(LoadBytes(&model, manyVertices));
  EXPECT_LT(Allocations().bytes, 64u * 1024);

  MS3DWriter keys = ArmModel();
  std::string manyKeys = keys.Bytes();
  // The elbow's rotation key count: 4 bytes before its keys at the end.
  const size_t count = manyKeys.size() - 2 * 16 - 4;
  manyKeys[count] = '\xff';
  manyKeys[count + 1] = '\xff';
  ResetAllocations();
  EXPECT_FALSE(LoadBytes(&model, manyKeys));
  EXPECT_LT(Allocations().bytes, 64u * 1024);
}

TEST(ModelAllocation, PlaybackAllocatesNothing) {
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, ArmModel().Bytes()));
  m.InitialSetup();
  ANIMATIONTEMPLATE animTemplate;
  ASSERT_TRUE(animTemplate.Setup(&m));
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&animTemplate, &m, nullptr));
  inst.SetAnimation(0, 30, 1000, true, false);
  m.UpdatePoints();
  m.SetAnimation(0, 30, 1000, true, false);
  ResetAllocations();
  for (int i = 0; i < 100; ++i) {
    if (i == 50) inst.SetAnimation(5, 25, 1000, true, true);
    inst.Update(1.0 / 30);
    m.RevertPoints();
    m.Animate(1.0 / 30);
    m.UpdateSkeleton();
    m.UpdatePoints();
  }
  EXPECT_EQ(Allocations().calls, 0u);
}

TEST(ModelAllocation, RunningOutOfMemoryIsAFailureNotAThrow) {
  // A model of 2000 vertices needs a vertex array far above 16 KiB.
  MS3DWriter big = QuadModel(0, 0, 1, 1);
  big.vertices.resize(2000, big.vertices[0]);
  const std::string bytes = big.Bytes();
  ReportRecorder reports;
  MS3D model;
  FailAllocationsFrom(16 * 1024);
  const bool loaded = LoadBytes(&model, bytes);
  FailAllocationsFrom(0);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(reports.last(), "Unable to allocate memory!");
  EXPECT_TRUE(LoadBytes(&model, bytes)) << "with memory, the same model loads";
}
