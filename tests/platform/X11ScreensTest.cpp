#include <gtest/gtest.h>

#include <X11/extensions/Xrandr.h>

#include "platform/XRandRScreens.h"
#include "tests/platform/XvfbTest.h"

namespace {

// Adds a RandR monitor without outputs.
void AddMonitor(Display* display, const char* name, int x, int y, int w, int h, bool primary) {
  XRRMonitorInfo* m = XRRAllocateMonitor(display, 0);
  m->name = XInternAtom(display, name, False);
  m->primary = primary ? True : False;
  m->x = x;
  m->y = y;
  m->width = w;
  m->height = h;
  m->mwidth = w / 4;
  m->mheight = h / 4;
  XRRSetMonitor(display, DefaultRootWindow(display), m);
  XFree(m);
  XSync(display, False);
}

}  // namespace

using XRandRScreensTest = XvfbTest;

TEST_F(XRandRScreensTest, ListsMonitorsAndFindsTheMainOne) {
  {  // Xvfb's single output
    const ScreenList list = XRandRScreens(display_).Screens();
    ASSERT_EQ(list.screens.size(), 1u);
    const ScreenInfo& s = list.screens[0];
    EXPECT_EQ(s.number, 0);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.width, kWidth);
    EXPECT_EQ(s.height, kHeight);
    ASSERT_NE(list.Main(), nullptr);
    EXPECT_EQ(list.Main()->number, 0);
  }
  // Two monitors side by side, the right one primary, besides the output's.
  AddMonitor(display_, "LEFT", 0, 0, 320, 480, false);
  AddMonitor(display_, "RIGHT", 320, 0, 320, 480, true);
  const ScreenList list = XRandRScreens(display_).Screens();
  ASSERT_EQ(list.screens.size(), 3u);
  for (size_t i = 0; i < list.screens.size(); ++i) EXPECT_EQ(list.screens[i].number, int(i));
  ASSERT_NE(list.Main(), nullptr);
  EXPECT_EQ(list.Main()->name, "RIGHT");
  EXPECT_EQ(list.Main()->x, 320);
  EXPECT_EQ(list.Main()->width, 320);
  int left = -1;
  for (const ScreenInfo& s : list.screens) {
    if (s.name == "LEFT") left = s.number;
  }
  ASSERT_GE(left, 0);
  EXPECT_EQ(list.NumberForRect(ViewRect{10, 10, 200, 200}), left);
  EXPECT_EQ(list.NumberForRect(ViewRect{400, 10, 200, 200}), list.Main()->number);
}
