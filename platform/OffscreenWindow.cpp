#include "platform/OffscreenWindow.h"

#include <GL/gl.h>

namespace {

class OffscreenContext final : public OpenGLContext {
 public:
  OffscreenContext(OffscreenGL* gl, const std::function<void()>* onFlush, bool keepsFrames)
      : gl_(gl), onFlush_(onFlush), keepsFrames_(keepsFrames) {}
  bool MakeCurrent() override { return gl_->MakeCurrent(); }
  // A pbuffer has no front buffer to swap to: the frame is done once the
  // commands have run.
  void FlushBuffer() override {
    glFinish();
    shown_ = true;
    if (*onFlush_) (*onFlush_)();
  }
  int BackBufferAge() override { return keepsFrames_ && shown_ ? 1 : 0; }
  void FlushBuffer(const std::vector<PixelRect>&) override { FlushBuffer(); }
  PresentPath presentPath() const override {
    return keepsFrames_ ? PresentPath::CopySubBuffer : PresentPath::Full;
  }

 private:
  OffscreenGL* gl_;
  const std::function<void()>* onFlush_;
  bool keepsFrames_;
  bool shown_ = false;  // a frame has been shown: the buffer holds it
};

}  // namespace

ViewRect OffscreenWindow::FrameOnRoot() {
  return ViewRect{0, 0, static_cast<double>(gl_->width()), static_cast<double>(gl_->height())};
}

std::unique_ptr<OpenGLContext> OffscreenWindow::CreateContext() {
  if (gl_ == nullptr || gl_->width() == 0) return nullptr;
  return std::make_unique<OffscreenContext>(gl_, &onFlush_, keepsFrames_);
}
