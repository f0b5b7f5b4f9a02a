#include <gtest/gtest.h>

#include "platform/X11Window.h"

TEST(X11Window, ParsesWindowIdsAsXScreenSaverGivesThem) {
  Window id = 0;
  EXPECT_TRUE(X11Window::ParseWindowId("0x1a00005", &id));
  EXPECT_EQ(id, 0x1a00005u);
  EXPECT_TRUE(X11Window::ParseWindowId("0X1A00005", &id));
  EXPECT_EQ(id, 0x1a00005u);
  EXPECT_TRUE(X11Window::ParseWindowId("27262981", &id));
  EXPECT_EQ(id, 27262981u);
  EXPECT_TRUE(X11Window::ParseWindowId("010", &id));
  EXPECT_EQ(id, 10u) << "decimal, not octal";
  id = 77;
  for (const char* bad : {"", "0x", "0", "0x0", "-5", " 12", "12 ", "12abc", "0x1g", "abc",
                          "4294967296", "0x100000000", "99999999999999999999999"}) {
    EXPECT_FALSE(X11Window::ParseWindowId(bad, &id)) << '"' << bad << '"';
  }
  EXPECT_EQ(id, 77u) << "left alone on failure";
  EXPECT_FALSE(X11Window::ParseWindowId(nullptr, &id));
}
