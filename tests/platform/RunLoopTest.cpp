// The run loop without a display: its pacing, signals end it, a stopped
// view sleeps.
#include "platform/RunLoop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <functional>
#include <thread>

#include "platform/DeadlinePacer.h"

namespace {

class CountingView : public ScreenSaverView {
 public:
  CountingView() : ScreenSaverView(ViewRect{0, 0, 100, 100}, false, nullptr) {}
  void animateOneFrame() override { onFrame(++frames); }
  int frames = 0;
  std::function<void(int frame)> onFrame;
};

}  // namespace

TEST(RunLoop, SignalsEndTheLoopAndAStoppedViewSleeps) {
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  for (const int signo : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signo);
    RunLoop loop(nullptr);
    CountingView view;
    loop.Add(&view, nullptr);
    unsigned long long wakeupsWhenStopped = 0;
    // SIGTERM during a frame ends the loop before the next frame; a view
    // that stopped animating makes the loop wait without waking until SIGINT.
    view.onFrame = [&](int frame) {
      if (frame < 3) return;
      if (signo == SIGTERM) kill(getpid(), SIGTERM);
      view.stopAnimation();
      wakeupsWhenStopped = loop.wakeups();
    };
    view.startAnimation();
    std::thread sender([signo] {
      if (signo != SIGINT) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      kill(getpid(), SIGINT);
    });
    EXPECT_EQ(loop.Run(), RunLoop::Exit::Signal);
    sender.join();
    EXPECT_EQ(view.frames, 3);
    // A timer left running would wake the loop about 18 times in 300 ms.
    EXPECT_LE(loop.wakeups() - wakeupsWhenStopped, 3u);
  }
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler) << "the previous handler is back";
}

TEST(RunLoop, ASignalEndsTheProcessEvenDuringASlowSetUp) {
  // The program's arrangement: the loop (and its handlers) exist, then a
  // minute of set-up that retries whatever a signal interrupts. Each signal
  // must end the process promptly, with status 0.
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signo);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SignalPipe::EndProcessAfterGrace(true);
      RunLoop loop(nullptr);
      if (write(ready[1], "+", 1) != 1) _exit(3);
      for (timespec pause{60, 0}; nanosleep(&pause, &pause) != 0;) {
      }
      _exit(2);  // the set-up finished: the signal was not heeded
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, signo);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

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
  // An overrun of 2.5 ticks skips two and lands on the grid.
  due = p.next();
  p.Advance(due + 2.5 * kTick);
  EXPECT_NEAR(p.next(), due + 3 * kTick, 1e-9);
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
    EXPECT_EQ(p.SecondsUntilDue(0), DeadlinePacer::kMinInterval) << unusable;
  }
}

TEST(RunLoop, PollTimeoutNeverWakesEarly) {
  const std::pair<double, int> rows[] = {{0, 0},   {0.016, 16}, {0.0161, 17},        {1e-7, 1},
                                         {-1, -1}, {NAN, -1},   {1e12, INT_MAX}};
  for (const auto& [seconds, ms] : rows) EXPECT_EQ(RunLoop::PollTimeoutMs(seconds), ms) << seconds;
}
