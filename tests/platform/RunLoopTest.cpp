// The run loop without a display: signals end it, a stopped view sleeps.
#include "platform/RunLoop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

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
    ASSERT_TRUE(loop.signalsOk());
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
    kill(child, signo);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}
