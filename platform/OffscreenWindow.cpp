#include "platform/OffscreenWindow.h"

#include <GL/gl.h>

namespace {

class OffscreenContext final : public OpenGLContext {
 public:
  OffscreenContext(OffscreenGL* gl, const std::function<void()>* onFlush)
      : gl_(gl), onFlush_(onFlush) {}
  bool MakeCurrent() override { return gl_->MakeCurrent(); }
  void ReleaseCurrent() override { gl_->ReleaseCurrent(); }
  // A pbuffer has no front buffer to swap to: the frame is done once the
  // commands have run.
  void FlushBuffer() override {
    glFinish();
    if (*onFlush_) (*onFlush_)();
  }

 private:
  OffscreenGL* gl_;
  const std::function<void()>* onFlush_;
};

}  // namespace

ViewRect OffscreenWindow::FrameOnRoot() {
  return ViewRect{0, 0, static_cast<double>(gl_->width()), static_cast<double>(gl_->height())};
}

std::unique_ptr<OpenGLContext> OffscreenWindow::CreateContext() {
  if (gl_ == nullptr || gl_->width() == 0) return nullptr;
  return std::make_unique<OffscreenContext>(gl_, &onFlush_);
}
