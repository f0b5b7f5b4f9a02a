#pragma once
// A view's OpenGL context on an X11 window, through GLX.
//
// Direct rendering where the driver offers it (hardware acceleration where
// there is any), indirect otherwise. Swapping waits for the vertical blank
// when GLX offers a swap interval (GLX_EXT_swap_control or
// GLX_MESA_swap_control); the interval is set on the first MakeCurrent.
// Frames drawn in part are shown with GLX_EXT_buffer_age (swap, repaint
// what changed since the frame the new back buffer holds) or
// GLX_MESA_copy_sub_buffer (copy the drawn rectangles to the front; nothing
// is swapped, so the back buffer keeps the last frame), whichever the
// requested PresentPath names and the driver offers, else in full; the path
// is chosen on the first MakeCurrent.
// The window must outlive the context. Main thread only.
#include <GL/glx.h>

#include <memory>
#include <string>

#include "platform/GLXPixelFormat.h"
#include "platform/OpenGLContext.h"

class X11GLContext final : public OpenGLContext {
 public:
  // Null with the reason in `error` (when not null) when GLX refuses.
  static std::unique_ptr<X11GLContext> Create(Display* display, Window window,
                                              const GLXPixelFormat& format, std::string* error,
                                              PresentPath present = PresentPath::Auto);
  ~X11GLContext() override;
  X11GLContext(const X11GLContext&) = delete;
  X11GLContext& operator=(const X11GLContext&) = delete;

  bool MakeCurrent() override;
  void ReleaseCurrent() override;
  void FlushBuffer() override;
  int BackBufferAge() override;
  void FlushBuffer(const std::vector<PixelRect>& drawn) override;
  PresentPath presentPath() const override { return path_; }

  bool direct() const { return direct_; }
  bool doubleBuffered() const { return format_.doubleBuffer; }
  // Swap interval in effect: 1 when an extension accepted it, 0 otherwise.
  int swapInterval() const { return swapInterval_; }
  const GLXPixelFormat& format() const { return format_; }

 private:
  X11GLContext(Display* display, Window window, GLXContext context, const GLXPixelFormat& format,
               PresentPath requested);
  void SetSwapInterval(const char* extensions);
  void ChoosePresentPath(const char* extensions);

  Display* display_;
  Window window_;
  GLXContext context_;
  GLXPixelFormat format_;
  bool direct_ = false;
  bool intervalTried_ = false;
  int swapInterval_ = 0;
  PresentPath requested_;
  PresentPath path_ = PresentPath::Full;
  // glXCopySubBufferMESA, once the copy path is chosen.
  void (*copySubBuffer_)(Display*, GLXDrawable, int, int, int, int) = nullptr;
  bool copiedOnce_ = false;  // the back buffer holds a frame that was shown
};
