// The run loop without a display: the animation timer and the signals.
#include "platform/RunLoop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

// Counts its frames and runs `onFrame` in each.
class CountingView : public ScreenSaverView {
 public:
  CountingView() : ScreenSaverView(ViewRect{0, 0, 100, 100}, false, nullptr) {}
  void animateOneFrame() override {
    times.push_back(MonotonicClock::Seconds());
    if (onFrame) onFrame(static_cast<int>(times.size()));
  }
  std::vector<double> times;  // seconds, when each frame began
  std::function<void(int frame)> onFrame;
};

}  // namespace

TEST(RunLoop, PacesFramesToDeadlinesWithoutBursts) {
  RunLoop loop(nullptr);
  CountingView view;
  loop.Add(&view, nullptr);
  constexpr double kTick = 1.0 / 60.0;
  double stallEnd = 0;
  view.onFrame = [&](int frame) {
    if (frame == 10) {  // a frame that takes six ticks
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      stallEnd = MonotonicClock::Seconds();
    }
    if (frame == 30) loop.Quit();
  };
  view.startAnimation();
  const double start = MonotonicClock::Seconds();
  EXPECT_EQ(loop.Run(), RunLoop::Exit::Quit);
  ASSERT_EQ(view.times.size(), 30u);
  for (size_t i = 0; i < view.times.size(); ++i) {
    // Never ahead of the grid: tick i is due (i + 1) intervals after the start.
    EXPECT_GE(view.times[i] - start, (static_cast<double>(i) + 1) * kTick - 1e-3) << "frame " << i;
  }
  // After the stall the missed ticks are dropped, not delivered at once: in
  // the 50 ms that follow, at most the grid's share of ticks (a burst would
  // bring five or six at once).
  int soon = 0;
  for (double t : view.times) soon += (t >= stallEnd && t < stallEnd + 0.050) ? 1 : 0;
  EXPECT_LE(soon, 4);
}

TEST(RunLoop, SignalsEndTheLoopAndAStoppedViewSleeps) {
  {  // SIGTERM during a frame ends the loop before the next frame
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
      RunLoop loop(nullptr);
      ASSERT_TRUE(loop.signalsOk());
      CountingView view;
      loop.Add(&view, nullptr);
      view.onFrame = [](int frame) {
        if (frame == 3) kill(getpid(), SIGTERM);
      };
      view.startAnimation();
      EXPECT_EQ(loop.Run(), RunLoop::Exit::Signal);
      EXPECT_EQ(view.times.size(), 3u);
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the previous handler is back";
  }
  {  // SIGINT too; a view that stopped animating makes the loop wait without waking
    RunLoop loop(nullptr);
    CountingView view;
    loop.Add(&view, nullptr);
    unsigned long long wakeupsWhenStopped = 0;
    view.onFrame = [&](int frame) {
      if (frame == 3) {
        view.stopAnimation();
        wakeupsWhenStopped = loop.wakeups();
      }
    };
    view.startAnimation();
    std::thread sender([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      kill(getpid(), SIGINT);
    });
    const RunLoop::Exit exit = loop.Run();
    sender.join();
    EXPECT_EQ(exit, RunLoop::Exit::Signal);
    EXPECT_EQ(view.times.size(), 3u);
    // A timer left running would wake the loop about 18 times in 300 ms.
    EXPECT_LE(loop.wakeups() - wakeupsWhenStopped, 3u);
  }
}

TEST(RunLoop, ASignalEndsTheProcessEvenDuringASlowSetUp) {
  // The program's arrangement: the loop (and its handlers) exist, then a
  // set-up that takes far longer than anyone waits (a minute of work that
  // retries whatever a signal interrupts). Each signal must end the process
  // promptly, with status 0.
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signo);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SignalPipe::EndProcessAfterGrace(true);
      RunLoop loop(nullptr);
      const char byte = 1;
      if (write(ready[1], &byte, 1) != 1) _exit(3);
      const double end = MonotonicClock::Seconds() + 60.0;
      while (MonotonicClock::Seconds() < end) {
        timespec pause{0, 10'000'000};
        while (nanosleep(&pause, &pause) != 0) {
        }
      }
      _exit(2);  // the set-up finished: the signal was not heeded
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    const double sent = MonotonicClock::Seconds();
    kill(child, signo);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    // Generous for a loaded machine; the set-up alone would take a minute.
    EXPECT_LT(MonotonicClock::Seconds() - sent, 20.0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}
