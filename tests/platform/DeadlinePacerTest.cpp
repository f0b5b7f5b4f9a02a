#include "platform/DeadlinePacer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/RunLoop.h"

TEST(DeadlinePacer, KeepsTheGridAndSkipsMissedTicksWithoutABurst) {
  constexpr double kTick = 1.0 / 60.0;
  DeadlinePacer p;
  EXPECT_FALSE(p.Due(0));
  EXPECT_LT(p.SecondsUntilDue(0), 0) << "a stopped pacer has no deadline";
  p.Start(100.0, kTick);
  EXPECT_FALSE(p.Due(100.0));
  EXPECT_NEAR(p.SecondsUntilDue(100.0), kTick, 1e-12);
  EXPECT_EQ(p.SecondsUntilDue(101.0), 0.0);
  // A frame's cost within the tick does not shift the grid.
  double due = p.next();
  EXPECT_TRUE(p.Due(due));
  p.Advance(due + 0.8 * kTick);
  EXPECT_NEAR(p.next(), due + kTick, 1e-12);
  EXPECT_EQ(p.skipped(), 0u);
  // An overrun of 2.5 ticks skips two and lands on the grid.
  due = p.next();
  p.Advance(due + 2.5 * kTick);
  EXPECT_NEAR(p.next(), due + 3 * kTick, 1e-9);
  EXPECT_EQ(p.skipped(), 2u);
  // A very long stall still leaves the next tick less than a tick away.
  p.Advance(1e9 + 0.123);
  EXPECT_GT(p.next(), 1e9 + 0.123);
  EXPECT_LE(p.next() - (1e9 + 0.123), kTick * 1.0001);
  // A frame ending exactly on a grid point waits for the next one.
  p.Start(0, 0.25);
  p.Advance(0.75);
  EXPECT_FALSE(p.Due(0.75));
  for (double unusable : {0.0, std::nan(""), -1.0}) {
    p.Start(0, unusable);
    EXPECT_EQ(p.interval(), DeadlinePacer::kMinInterval) << unusable;
  }
  p.Stop();
  EXPECT_FALSE(p.Due(10));
}

TEST(RunLoop, PollTimeoutNeverWakesEarly) {
  const std::pair<double, int> rows[] = {{0, 0},   {0.016, 16}, {0.0161, 17},        {1e-7, 1},
                                         {-1, -1}, {NAN, -1},   {1e12, INT_MAX}};
  for (const auto& [seconds, ms] : rows) EXPECT_EQ(RunLoop::PollTimeoutMs(seconds), ms) << seconds;
}
