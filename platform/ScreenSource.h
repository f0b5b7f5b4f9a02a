#pragma once
// Where a view learns the display's screens (the stand-in for the host's
// screen list). The real source asks XRandR each time; tests supply a fixed
// list.
#include "platform/ScreenList.h"

class ScreenSource {
 public:
  virtual ~ScreenSource() = default;
  virtual ScreenList Screens() = 0;
};
