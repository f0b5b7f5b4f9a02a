#include "platform/DeadlinePacer.h"

#include <cmath>

void DeadlinePacer::Start(double now, double interval) {
  interval_ = (std::isfinite(interval) && interval >= kMinInterval) ? interval : kMinInterval;
  next_ = now + interval_;
  skipped_ = 0;
  running_ = true;
}

void DeadlinePacer::Advance(double now) {
  if (!running_) return;
  next_ += interval_;
  if (next_ <= now) {
    const double missed = std::floor((now - next_) / interval_) + 1.0;
    next_ += missed * interval_;
    skipped_ += static_cast<unsigned long long>(missed);
    // Rounding can leave the sum on `now` itself after a very long stall.
    if (next_ <= now) next_ = now + interval_;
  }
}

double DeadlinePacer::SecondsUntilDue(double now) const {
  if (!running_) return -1.0;
  return next_ > now ? next_ - now : 0.0;
}
