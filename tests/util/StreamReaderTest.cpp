#include "util/StreamReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

#include "util/MemoryStream.h"

TEST(StreamReader, ReadsLittleEndianAndFailsStickily) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x00, 0x80, 0x3f, 0xff};
  MemoryStream in(bytes, sizeof bytes);
  StreamReader r(&in);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.Remaining(), sizeof bytes);
  EXPECT_EQ(r.U16(), 0x0201);
  EXPECT_EQ(r.U8(), 0x03);
  EXPECT_EQ(r.U16(), 0x0504);
  EXPECT_EQ(r.F32(), 1.0f);
  EXPECT_EQ(r.I8(), -1);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.U32(), 0u);  // past the end: zero and failed
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.U8(), 0u);  // stays failed
}

TEST(StreamReader, ChecksCountsBeforeAllocation) {
  const char bytes[64] = {};
  MemoryStream in(bytes, sizeof bytes);
  in.seekg(16);
  StreamReader r(&in);
  EXPECT_EQ(r.Remaining(), 48u);
  EXPECT_TRUE(r.CanHold(3, 16));
  EXPECT_FALSE(r.CanHold(4, 13));
  // A count that would overflow 64 bits is refused, not wrapped.
  EXPECT_FALSE(r.CanHold(std::numeric_limits<uint64_t>::max() / 2, 4));
  EXPECT_TRUE(r.ok());
  EXPECT_FALSE(r.Require(49, 1));
  EXPECT_FALSE(r.ok());
}

TEST(StreamReader, StartsFailedOnlyWithoutAUsableStream) {
  MemoryStream empty("", 0);
  EXPECT_TRUE(StreamReader(&empty).ok());
  EXPECT_FALSE(StreamReader(nullptr).ok());
  std::istringstream bad("abc");
  bad.setstate(std::ios::failbit);
  EXPECT_FALSE(StreamReader(&bad).ok());
  MemoryStream in("0123456789", 10);
  in.seekg(-1, std::ios::end);
  EXPECT_EQ(in.get(), '9');
  in.seekg(11);
  EXPECT_TRUE(in.fail());
}
