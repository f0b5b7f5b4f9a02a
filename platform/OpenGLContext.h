#pragma once
// The OpenGL context of one view, on the view's window.
//
// Created by ViewWindow::CreateContext with the view's pixel format (double
// buffer, 8 bits per colour channel, at least 16 depth bits). Destroying it
// releases it first if it is current. Tests of a view's logic may supply one
// that wraps an offscreen context.

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
};
