#pragma once
// A view's window that is an offscreen OpenGL context: for rendering without
// a display (recording) and for tests of a view's logic. Its frame is the
// context's size at the origin; the contexts it hands out make that context
// current and call `onFlush` each time the view shows a finished frame (with
// the frame still in the colour buffer). `buffers` sets what the contexts
// report to a view that repaints only what changed: 0, the buffer's
// contents are unknown (every frame is drawn whole); 1, the pbuffer keeps
// the last frame (as with copy-sub-buffer); 2 or more, frames are drawn into
// that many buffers in turn, each shown by copying it into the pbuffer, with
// their ages reported as a swap chain with buffer age would.
#include <functional>
#include <memory>
#include <utility>

#include "platform/OffscreenGL.h"
#include "platform/ViewWindow.h"

class OffscreenWindow final : public ViewWindow {
 public:
  // `gl` must outlive the window; the window must outlive the contexts it
  // hands out.
  OffscreenWindow(OffscreenGL* gl, std::function<void()> onFlush, int buffers = 0)
      : gl_(gl), onFlush_(std::move(onFlush)), buffers_(buffers) {}

  ViewRect FrameOnRoot() override;
  // Null when `gl` holds no context.
  std::unique_ptr<OpenGLContext> CreateContext() override;

 private:
  OffscreenGL* gl_;
  std::function<void()> onFlush_;
  int buffers_;
};
