#include "platform/MonotonicClock.h"

#include <time.h>

double MonotonicClock::Now() { return Seconds(); }

double MonotonicClock::Seconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
