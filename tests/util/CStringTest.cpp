#include "util/CString.h"

#include <gtest/gtest.h>

TEST(CString, CopiesCutToFitAndAlwaysTerminates) {
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(CopyCString(small, "butterfly"), 3u);
  EXPECT_STREQ(small, "but");
  // A 32-byte name without a terminator is bounded by its width.
  const std::string name(32, 'a');
  char copy[40];
  EXPECT_EQ(CopyCString(copy, name.data(), 32), 32u);
  EXPECT_EQ(std::string(copy), name);
  EXPECT_EQ(CopyCString(copy, nullptr), 0u);
  EXPECT_STREQ(copy, "");
  EXPECT_EQ(CopyCString(copy, 0, "abc"), 0u);  // zero-size destination is untouched
}
