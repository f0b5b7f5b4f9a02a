// The run loop without a display: the animation timer and the signals.
#include "platform/RunLoop.h"

#include <gtest/gtest.h>
#include <signal.h>
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
