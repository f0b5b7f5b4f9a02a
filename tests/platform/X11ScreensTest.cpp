#include <gtest/gtest.h>

#include "platform/XRandRScreens.h"
#include "tests/platform/XvfbTest.h"

using XRandRScreensTest = XvfbTest;

TEST_F(XRandRScreensTest, ListsMonitorsAndFindsTheMainOne) {
  ScreenList list = XRandRScreens(display_).Screens();
  ASSERT_EQ(list.screens.size(), 1u) << "Xvfb's single output";
  EXPECT_EQ(list.screens[0].width, kWidth);
  EXPECT_EQ(list.screens[0].height, kHeight);
  ASSERT_NE(list.Main(), nullptr);

  // Two monitors side by side, the right one primary, besides the output's.
  AddMonitor("LEFT", 0, 320, false);
  AddMonitor("RIGHT", 320, 320, true);
  list = XRandRScreens(display_).Screens();
  ASSERT_EQ(list.screens.size(), 3u);
  for (size_t i = 0; i < list.screens.size(); ++i) EXPECT_EQ(list.screens[i].number, int(i));
  ASSERT_NE(list.Main(), nullptr);
  EXPECT_EQ(list.Main()->name, "RIGHT");
  EXPECT_EQ(list.Main()->x, 320);
  EXPECT_EQ(list.Main()->width, 320);
  const int left = list.NumberForRect(ViewRect{10, 10, 200, 200});
  ASSERT_GE(left, 0);
  EXPECT_EQ(list.screens[left].name, "LEFT");
}
