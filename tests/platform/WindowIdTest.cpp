#include <gtest/gtest.h>

#include "platform/X11Window.h"

TEST(X11Window, ParsesWindowIdsAsXScreenSaverGivesThem) {
  // Hex with either "0x", or decimal (not octal).
  const std::pair<const char*, Window> good[] = {
      {"0x1a00005", 0x1a00005}, {"0X1A00005", 0x1a00005}, {"27262981", 27262981}, {"010", 10}};
  for (const auto& [text, want] : good) {
    Window id = 0;
    EXPECT_TRUE(X11Window::ParseWindowId(text, &id) && id == want) << text;
  }
  Window id = 77;
  for (const char* bad : {"", "0x", "0", "0x0", "-5", " 12", "12 ", "12abc", "0x1g", "abc",
                          "4294967296", "0x100000000", "99999999999999999999999"}) {
    EXPECT_FALSE(X11Window::ParseWindowId(bad, &id)) << '"' << bad << '"';
  }
  EXPECT_EQ(id, 77u) << "left alone on failure";
  EXPECT_FALSE(X11Window::ParseWindowId(nullptr, &id));
}
