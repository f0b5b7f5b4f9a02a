#pragma once
// A frame clock that shows whatever time it is set to: for rendering at a
// fixed step without a display, and for tests of a view's frame rules.
#include "platform/FrameClock.h"

class ManualClock final : public FrameClock {
 public:
  explicit ManualClock(double start = 0.0) : now(start) {}
  double Now() override { return now; }

  double now;  // seconds
};
