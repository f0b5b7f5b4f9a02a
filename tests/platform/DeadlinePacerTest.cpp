#include "platform/DeadlinePacer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/RunLoop.h"

namespace {
constexpr double kTick = 1.0 / 60.0;
}

TEST(DeadlinePacer, KeepsTheGridAndSkipsMissedTicks) {
  {  // the first tick one interval after the start
    DeadlinePacer p;
    EXPECT_FALSE(p.Due(0));
    EXPECT_LT(p.SecondsUntilDue(0), 0) << "a stopped pacer has no deadline";
    p.Start(100.0, kTick);
    EXPECT_FALSE(p.Due(100.0));
    EXPECT_NEAR(p.SecondsUntilDue(100.0), kTick, 1e-12);
    EXPECT_TRUE(p.Due(100.0 + kTick));
    EXPECT_EQ(p.SecondsUntilDue(101.0), 0.0);
  }
  {  // the frame's cost does not shift the grid
    DeadlinePacer p;
    p.Start(0, kTick);
    const double due = p.next();
    p.Advance(due + 0.8 * kTick);
    EXPECT_NEAR(p.next(), due + kTick, 1e-12);
    EXPECT_EQ(p.skipped(), 0u);
  }
  {  // an overrun of 2.5 ticks skips two and lands on the grid, not in a burst
    DeadlinePacer p;
    p.Start(0, kTick);
    const double due = p.next();
    const double now = due + 2.5 * kTick;
    p.Advance(now);
    EXPECT_NEAR(p.next(), due + 3 * kTick, 1e-9);
    EXPECT_GT(p.next(), now);
    EXPECT_EQ(p.skipped(), 2u);
  }
  {  // a frame ending exactly on a grid point waits for the next one
    DeadlinePacer p;
    p.Start(0, 0.25);
    p.Advance(0.25 + 0.5);
    EXPECT_GT(p.next(), 0.75);
    EXPECT_FALSE(p.Due(0.75));
  }
  {  // a very long stall still leaves the next tick less than an interval away
    DeadlinePacer p;
    p.Start(0, kTick);
    const double now = 1e9 + 0.123;
    p.Advance(now);
    EXPECT_GT(p.next(), now);
    EXPECT_LE(p.next() - now, kTick * 1.0001);
  }
  {  // unusable intervals fall back to the minimum
    DeadlinePacer p;
    p.Start(0, 0);
    EXPECT_EQ(p.interval(), DeadlinePacer::kMinInterval);
    p.Start(0, std::nan(""));
    EXPECT_EQ(p.interval(), DeadlinePacer::kMinInterval);
    p.Start(0, -1);
    EXPECT_EQ(p.interval(), DeadlinePacer::kMinInterval);
  }
  {  // stopped
    DeadlinePacer p;
    p.Start(0, kTick);
    p.Stop();
    EXPECT_FALSE(p.Due(10));
    EXPECT_LT(p.SecondsUntilDue(10), 0);
  }
}

TEST(RunLoop, PollTimeoutNeverWakesEarly) {
  EXPECT_EQ(RunLoop::PollTimeoutMs(0), 0);
  EXPECT_EQ(RunLoop::PollTimeoutMs(0.016), 16);
  EXPECT_EQ(RunLoop::PollTimeoutMs(0.0161), 17);
  EXPECT_EQ(RunLoop::PollTimeoutMs(1e-7), 1);
  EXPECT_EQ(RunLoop::PollTimeoutMs(-1), -1);
  EXPECT_EQ(RunLoop::PollTimeoutMs(std::nan("")), -1);
  EXPECT_EQ(RunLoop::PollTimeoutMs(1e12), INT_MAX);
}
