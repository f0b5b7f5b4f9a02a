#include "platform/ScreenList.h"

#include <gtest/gtest.h>

namespace {

ScreenInfo Screen(int number, int x, int y, int w, int h, bool primary = false) {
  ScreenInfo s;
  s.number = number;
  s.x = x;
  s.y = y;
  s.width = w;
  s.height = h;
  s.primary = primary;
  return s;
}

}  // namespace

TEST(ScreenList, MainScreenAndTheScreenOfAWindow) {
  {  // no screens
    ScreenList list;
    EXPECT_EQ(list.Main(), nullptr);
    EXPECT_EQ(list.NumberForRect(ViewRect{0, 0, 10, 10}), -1);
  }
  {  // none primary: the first is main
    ScreenList list;
    list.screens = {Screen(0, 0, 0, 1920, 1080), Screen(1, 1920, 0, 1280, 1024)};
    ASSERT_NE(list.Main(), nullptr);
    EXPECT_EQ(list.Main()->number, 0);
  }
  ScreenList list;
  list.screens = {Screen(0, 0, 0, 1920, 1080), Screen(1, 1920, 0, 1280, 1024, true)};
  ASSERT_NE(list.Main(), nullptr);
  EXPECT_EQ(list.Main()->number, 1);
  // Whole windows.
  EXPECT_EQ(list.NumberForRect(ViewRect{0, 0, 1920, 1080}), 0);
  EXPECT_EQ(list.NumberForRect(ViewRect{1920, 0, 1280, 1024}), 1);
  // Straddling: the larger part decides; equal parts go to the first.
  EXPECT_EQ(list.NumberForRect(ViewRect{1800, 100, 400, 300}), 1);
  EXPECT_EQ(list.NumberForRect(ViewRect{1700, 100, 400, 300}), 0);
  EXPECT_EQ(list.NumberForRect(ViewRect{1820, 100, 200, 300}), 0);
  // Touching an edge is no overlap; off every screen means the main one.
  EXPECT_EQ(list.NumberForRect(ViewRect{1820, 1080, 100, 100}), 1);
  EXPECT_EQ(list.NumberForRect(ViewRect{-500, -500, 100, 100}), 1);
  EXPECT_EQ(list.NumberForRect(ViewRect{100, 100, 0, 0}), 1) << "an empty rectangle overlaps nothing";
}
