#pragma once
// The frame clock a view measures its time steps with.
//
// Seconds as a double on a clock that never goes backwards; only differences
// between readings mean anything. The real clock is MonotonicClock; tests of a
// view's frame rules supply a clock they move by hand.

class FrameClock {
 public:
  virtual ~FrameClock() = default;
  virtual double Now() = 0;  // seconds
};
