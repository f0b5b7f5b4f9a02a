#include "platform/ScreenList.h"

#include <gtest/gtest.h>

TEST(ScreenList, MainScreenAndTheScreenOfAWindow) {
  ScreenList list;
  EXPECT_EQ(list.Main(), nullptr);
  EXPECT_EQ(list.NumberForRect(ViewRect{0, 0, 10, 10}), -1);
  list.screens = {ScreenInfo{0, 0, 0, 1920, 1080, false, ""},
                  ScreenInfo{1, 1920, 0, 1280, 1024, false, ""}};
  EXPECT_EQ(list.Main()->number, 0) << "none primary: the first";
  list.screens[1].primary = true;
  EXPECT_EQ(list.Main()->number, 1);
  const std::pair<ViewRect, int> rows[] = {
      {{0, 0, 1920, 1080}, 0},    {{1920, 0, 1280, 1024}, 1},
      // Straddling: the larger part decides; equal parts go to the first.
      {{1800, 100, 400, 300}, 1}, {{1700, 100, 400, 300}, 0}, {{1820, 100, 200, 300}, 0},
      // Touching an edge is no overlap; off every screen means the main one.
      {{1820, 1080, 100, 100}, 1}, {{-500, -500, 100, 100}, 1}, {{100, 100, 0, 0}, 1},
  };
  for (const auto& [rect, number] : rows)
    EXPECT_EQ(list.NumberForRect(rect), number) << rect.x << ", " << rect.y << ", " << rect.width;
}
