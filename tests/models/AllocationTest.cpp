// What loading and playback allocate: nothing from a count the stream cannot
// hold, nothing at all per frame.
#include <gtest/gtest.h>

#include <string>
#include <utility>

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

TEST(ModelAllocation, HugeCountsAreRefusedAndRunningOutOfMemoryIsAFailure) {
  // Every allocation of 16 KiB or more fails: a count the stream cannot hold
  // is refused before anything is allocated for it; a model of 2000 vertices
  // (an array far above 16 KiB) fails to load, without a throw.
  const std::string quad = QuadModel(0, 0, 1, 1).Bytes();
  MS3DWriter big = QuadModel(0, 0, 1, 1);
  big.vertices.resize(2000, big.vertices[0]);
  const std::string invalid = "Not a valid MS3D file!";
  const std::pair<std::string, std::string> rows[] = {
      {HugeCount(quad + std::string(200, '\0'), -202), invalid},  // joints: megabytes
      {HugeCount(quad, 14), invalid},                              // vertices, after the header
      {HugeCount(ArmModel().Bytes(), -2 * 16 - 4), invalid},       // the elbow's rotation keys
      {big.Bytes(), "Unable to allocate memory!"},
  };
  ReportRecorder reports;
  for (const auto& [bytes, report] : rows) {
    MS3D model;
    FailAllocationsFrom(16 * 1024);
    const bool loaded = LoadBytes(&model, bytes);
    FailAllocationsFrom(0);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(LastReport(), report);
  }
  MS3D model;
  EXPECT_TRUE(LoadBytes(&model, big.Bytes())) << "with memory, the same model loads";
}

TEST(ModelAllocation, PlaybackAllocatesNothing) {
  Prepared p(ArmModel());
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
  inst.SetAnimation(0, 30, 1000, true, false);
  const size_t before = Allocations();
  for (int i = 0; i < 100; ++i) {
    if (i == 50) inst.SetAnimation(5, 25, 1000, true, true);
    inst.Update(1.0 / 30);
  }
  EXPECT_EQ(Allocations(), before);
}
