#pragma once
// The native window region a view draws in, as the view sees it.
//
// The real one is an X11Window; a view's logic only needs to know where the
// window is (to find its screen) and to get an OpenGL context on it, so tests
// supply their own.
#include <memory>

#include "platform/OpenGLContext.h"
#include "platform/ViewRect.h"

class ViewWindow {
 public:
  virtual ~ViewWindow() = default;
  // The window's rectangle in root-window coordinates (pixels). A window that
  // is gone reports its last known rectangle.
  virtual ViewRect FrameOnRoot() = 0;
  // A new OpenGL context drawing into this window; null when none can be made.
  virtual std::unique_ptr<OpenGLContext> CreateContext() = 0;
  // The window shows black by itself until a frame is presented in it (a
  // window of ours with a black background), so drawing a black frame first
  // would change nothing on the screen.
  virtual bool BlackUntilDrawn() { return false; }
};
