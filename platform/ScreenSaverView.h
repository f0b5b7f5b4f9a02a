#pragma once
// The base of a screen-saver view: a rectangle of a native window that a run
// loop animates with a repeating timer.
//
// The view owns its window region (a ViewWindow; null for a view that draws
// nowhere, as in tests of its logic). startAnimation and stopAnimation only
// switch the animating state; the RunLoop that drives the view watches that
// state, calls animateOneFrame every animationTimeInterval seconds while it is
// set, and waits without a timer while it is not. Derived views override the
// four virtual operations and call these base versions from theirs.
// Main thread only.
#include <memory>

#include "platform/ViewRect.h"
#include "platform/ViewWindow.h"

class ScreenSaverView {
 public:
  // `frame`: where the view lies, root coordinates (pixels).
  ScreenSaverView(const ViewRect& frame, bool isPreview, std::unique_ptr<ViewWindow> window);
  virtual ~ScreenSaverView();
  ScreenSaverView(const ScreenSaverView&) = delete;
  ScreenSaverView& operator=(const ScreenSaverView&) = delete;

  virtual void startAnimation();
  virtual void stopAnimation();
  // One timer tick. The base draws nothing.
  virtual void animateOneFrame();
  // The window's size changed (pixels); the base records it in the frame.
  virtual void setFrameSize(double width, double height);
  // The window's contents were lost (exposed): the next frame repaints it
  // all. The base does nothing.
  virtual void setNeedsDisplay() {}

  bool isPreview() const { return isPreview_; }
  bool isAnimating() const { return isAnimating_; }
  const ViewRect& frame() const { return frame_; }
  // The view's own rectangle: origin (0, 0), the frame's size.
  ViewRect bounds() const { return ViewRect{0, 0, frame_.width, frame_.height}; }
  // Seconds between timer ticks; 1/60 until set.
  double animationTimeInterval() const { return animationTimeInterval_; }
  void setAnimationTimeInterval(double seconds) { animationTimeInterval_ = seconds; }
  // Null when the view has no window.
  ViewWindow* window() const { return window_.get(); }

 private:
  ViewRect frame_;
  bool isPreview_ = false;
  bool isAnimating_ = false;
  double animationTimeInterval_ = 1.0 / 60.0;  // seconds
  std::unique_ptr<ViewWindow> window_;
};
