// What loading and playback allocate: nothing from a count the stream cannot
// hold, nothing at all per frame.
#include <gtest/gtest.h>

#include <string>

#include "models/ONEMODEL.h"
#include "tests/models/AllocationCounter.h"
#include "tests/models/ModelTestSupport.h"

namespace {

// `bytes` with the 16-bit count at `at` (from the end when negative) raised to 65535.
std::string HugeCount(std::string bytes, long at) {
  const size_t i = at < 0 ? bytes.size() + at : static_cast<size_t>(at);
  bytes[i] = bytes[i + 1] = '\xff';
  return bytes;
}

}  // namespace

TEST(ModelAllocation, NothingFromCountsTheStreamCannotHold) {
  const std::string quad = QuadModel(0, 0, 1, 1).Bytes();
  const std::string rows[] = {
      HugeCount(quad + std::string(200, '\0'), -202),  // joints: megabytes of records
      HugeCount(quad, 14),                              // vertices, after the id and version
      HugeCount(ArmModel().Bytes(), -2 * 16 - 4),       // the elbow's rotation keys
  };
  for (const std::string& bytes : rows) {
    MS3D model;
    ResetAllocations();
    EXPECT_FALSE(LoadBytes(&model, bytes));
    EXPECT_LT(Allocations().bytes, 64u * 1024);
  }
}

TEST(ModelAllocation, PlaybackAllocatesNothing) {
  Prepared p(ArmModel());
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
  inst.SetAnimation(0, 30, 1000, true, false);
  ResetAllocations();
  for (int i = 0; i < 100; ++i) {
    if (i == 50) inst.SetAnimation(5, 25, 1000, true, true);
    inst.Update(1.0 / 30);
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
  EXPECT_EQ(LastReport(), "Unable to allocate memory!");
  EXPECT_TRUE(LoadBytes(&model, bytes)) << "with memory, the same model loads";
}
