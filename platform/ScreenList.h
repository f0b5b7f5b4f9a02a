#pragma once
// The screens of a display at one moment, and the questions a view asks of
// them: which is the main screen, and which screen a window lies on.
// Plain data with no connection to a display, so tests build their own.
#include <vector>

#include "platform/ScreenInfo.h"
#include "platform/ViewRect.h"

class ScreenList {
 public:
  std::vector<ScreenInfo> screens;  // in monitor order; screens[i].number == i

  // The main screen: the primary one, else the first. Null when there are no
  // screens.
  const ScreenInfo* Main() const;
  // Screen number of the screen `rect` (root coordinates) overlaps most;
  // the first of equals wins. The main screen's number when it overlaps none;
  // -1 when there are no screens.
  int NumberForRect(const ViewRect& rect) const;
};
