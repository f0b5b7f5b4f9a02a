#pragma once
// The OpenGL context of one view, on the view's window.
//
// Created by ViewWindow::CreateContext with the view's pixel format (double
// buffer, 8 bits per colour channel, at least 16 depth bits). Destroying it
// releases it first if it is current. Tests of a view's logic may supply one
// that wraps an offscreen context.
//
// A view that repaints only what changed asks BackBufferAge before it draws
// and hands FlushBuffer the rectangles it drew.
#include <vector>

#include "util/PixelRect.h"

// How a context shows a frame of which only parts were drawn.
enum class PresentPath {
  Auto,           // the best the driver offers, in the order below
  BufferAge,      // swap; the driver says how old the new back buffer's contents are
  CopySubBuffer,  // copy the drawn rectangles to the front; the back buffer persists
  Full,           // swap; every frame is drawn whole
};

class OpenGLContext {
 public:
  virtual ~OpenGLContext() = default;
  // Makes the context current on the calling thread with the view's window as
  // its drawable. False when the window is gone or the context was refused.
  virtual bool MakeCurrent() = 0;
  // Leaves no OpenGL context current on the calling thread (whichever was),
  // so that stray GL calls reach no other view's objects.
  virtual void ReleaseCurrent() = 0;
  // Shows what was drawn: swaps the buffers (waiting for the vertical blank
  // where the driver supports a swap interval), or flushes a single-buffered
  // drawable. The context must be current.
  virtual void FlushBuffer() = 0;

  // How many frames old the contents of the buffer the next frame draws
  // into are: 1 when it holds the frame shown last, n when it holds the one
  // shown n frames ago, 0 when they are unknown (the whole frame must be
  // drawn). The context must be current.
  virtual int BackBufferAge() { return 0; }
  // Shows a frame of which only `drawn` (window pixels) was drawn into a
  // buffer of the age BackBufferAge gave; the rest is as it was then. The
  // base shows the whole buffer, as FlushBuffer.
  virtual void FlushBuffer(const std::vector<PixelRect>& drawn) {
    (void)drawn;
    FlushBuffer();
  }
  // The path FlushBuffer(drawn) takes; never Auto.
  virtual PresentPath presentPath() const { return PresentPath::Full; }
};
