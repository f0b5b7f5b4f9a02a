#pragma once
// A view's window that is an offscreen OpenGL context: for rendering without
// a display (recording) and for tests of a view's logic. Its frame is the
// context's size at the origin; the contexts it hands out make that context
// current and call `onFlush` each time the view shows a finished frame (with
// the frame still in the colour buffer). With `keepsFrames` the contexts
// report that the buffer keeps the last frame (a pbuffer is never swapped),
// so a view repaints only what changed; without, every frame is drawn whole.
#include <functional>
#include <memory>
#include <utility>

#include "platform/OffscreenGL.h"
#include "platform/ViewWindow.h"

class OffscreenWindow final : public ViewWindow {
 public:
  // `gl` must outlive the window; the window must outlive the contexts it
  // hands out.
  OffscreenWindow(OffscreenGL* gl, std::function<void()> onFlush, bool keepsFrames = false)
      : gl_(gl), onFlush_(std::move(onFlush)), keepsFrames_(keepsFrames) {}

  ViewRect FrameOnRoot() override;
  // Null when `gl` holds no context.
  std::unique_ptr<OpenGLContext> CreateContext() override;

 private:
  OffscreenGL* gl_;
  std::function<void()> onFlush_;
  bool keepsFrames_;
};
