#pragma once
// The system's monotonic clock (CLOCK_MONOTONIC) in seconds. Unaffected by
// changes of the wall-clock time, so a clock set back never yields a negative
// frame step.
#include "platform/FrameClock.h"

class MonotonicClock final : public FrameClock {
 public:
  double Now() override;
  // The same reading without an instance.
  static double Seconds();
};
