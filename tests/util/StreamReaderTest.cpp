#include "util/StreamReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

#include "util/MemoryStream.h"

// Reading itself is pinned by every reader's tests; here the count checks
// and the start.
TEST(StreamReader, ChecksCountsBeforeAnythingIsAllocated) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x00, 0x80, 0x3f, 0xff};
  MemoryStream in(bytes, sizeof bytes);
  in.seekg(2);
  StreamReader counts(&in);
  EXPECT_TRUE(counts.CanHold(4, 2));
  EXPECT_FALSE(counts.CanHold(3, 3));
  // One that would overflow 64 bits is refused, not wrapped.
  EXPECT_FALSE(counts.CanHold(std::numeric_limits<uint64_t>::max() / 2, 4));
  EXPECT_TRUE(counts.ok());
  EXPECT_FALSE(counts.Require(9, 1));
  EXPECT_FALSE(counts.ok());
  EXPECT_EQ(counts.U8(), 0u) << "failed for good";

  // A reader starts failed only without a usable stream.
  MemoryStream empty("", 0);
  EXPECT_TRUE(StreamReader(&empty).ok());
  EXPECT_FALSE(StreamReader(nullptr).ok());
  std::istringstream bad("abc");
  bad.setstate(std::ios::failbit);
  EXPECT_FALSE(StreamReader(&bad).ok());
  in.clear();
  in.seekg(11);
  EXPECT_TRUE(in.fail()) << "no seeking past the end";
}
