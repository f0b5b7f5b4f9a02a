#include "platform/ScreenSaverView.h"

#include <utility>

ScreenSaverView::ScreenSaverView(const ViewRect& frame, bool isPreview,
                                 std::unique_ptr<ViewWindow> window)
    : frame_(frame), isPreview_(isPreview), window_(std::move(window)) {}

ScreenSaverView::~ScreenSaverView() = default;

void ScreenSaverView::startAnimation() { isAnimating_ = true; }

void ScreenSaverView::stopAnimation() { isAnimating_ = false; }

void ScreenSaverView::animateOneFrame() {}

void ScreenSaverView::setFrameSize(double width, double height) {
  frame_.width = width;
  frame_.height = height;
}
