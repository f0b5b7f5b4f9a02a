#include "platform/OffscreenWindow.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

namespace {

// Framebuffer objects through EGL, which hands out every entry point.
struct FboCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

  bool Load() {
    auto get = [](const char* name) { return eglGetProcAddress(name); };
    genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
    deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
    bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
    framebufferRenderbuffer =
        reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
    genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
    deleteRenderbuffers =
        reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
    bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
    renderbufferStorage =
        reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
    blitFramebuffer = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(get("glBlitFramebuffer"));
    return genFramebuffers && deleteFramebuffers && bindFramebuffer && framebufferRenderbuffer &&
           genRenderbuffers && deleteRenderbuffers && bindRenderbuffer && renderbufferStorage &&
           blitFramebuffer;
  }
};

class OffscreenContext final : public OpenGLContext {
 public:
  OffscreenContext(OffscreenGL* gl, const std::function<void()>* onFlush, int buffers)
      : gl_(gl), onFlush_(onFlush), buffers_(buffers) {}
  ~OffscreenContext() override {
    if (fbos_.empty() || !gl_->MakeCurrent()) return;
    calls_.bindFramebuffer(GL_FRAMEBUFFER, 0);
    calls_.deleteFramebuffers(static_cast<GLsizei>(fbos_.size()), fbos_.data());
    calls_.deleteRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()), renderbuffers_.data());
  }
  bool MakeCurrent() override {
    if (!gl_->MakeCurrent()) return false;
    if (buffers_ >= 2 && fbos_.empty() && !BuildChain()) buffers_ = 0;
    return true;
  }
  void ReleaseCurrent() override { gl_->ReleaseCurrent(); }
  // A pbuffer has no front buffer to swap to: the frame is done once the
  // commands have run. A chain shows its buffer by copying it into the
  // pbuffer and draws the next frame into the next one.
  void FlushBuffer() override {
    if (!fbos_.empty()) {
      calls_.bindFramebuffer(GL_READ_FRAMEBUFFER, fbos_[current_]);
      calls_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
      calls_.blitFramebuffer(0, 0, gl_->width(), gl_->height(), 0, 0, gl_->width(),
                             gl_->height(), GL_COLOR_BUFFER_BIT, GL_NEAREST);
      calls_.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    }
    glFinish();
    ++shown_;
    if (!fbos_.empty()) {
      shownAt_[current_] = shown_;
      current_ = (current_ + 1) % fbos_.size();
      calls_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, fbos_[current_]);
    }
    if (*onFlush_) (*onFlush_)();
  }
  int BackBufferAge() override {
    if (buffers_ == 1) return shown_ > 0 ? 1 : 0;
    if (fbos_.empty() || shownAt_[current_] == 0) return 0;
    return static_cast<int>(shown_ - shownAt_[current_] + 1);
  }
  void FlushBuffer(const std::vector<PixelRect>&) override { FlushBuffer(); }
  PresentPath presentPath() const override {
    if (buffers_ == 1) return PresentPath::CopySubBuffer;
    return buffers_ >= 2 ? PresentPath::BufferAge : PresentPath::Full;
  }

 private:
  // `buffers_` colour buffers sharing one depth buffer (each frame clears
  // the depth it draws over), the first bound for drawing.
  bool BuildChain() {
    if (!calls_.Load()) return false;
    fbos_.assign(static_cast<size_t>(buffers_), 0);
    renderbuffers_.assign(fbos_.size() + 1, 0);
    calls_.genFramebuffers(static_cast<GLsizei>(fbos_.size()), fbos_.data());
    calls_.genRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()), renderbuffers_.data());
    const GLuint depth = renderbuffers_.back();
    calls_.bindRenderbuffer(GL_RENDERBUFFER, depth);
    calls_.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, gl_->width(), gl_->height());
    for (size_t i = 0; i < fbos_.size(); ++i) {
      calls_.bindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[i]);
      calls_.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, gl_->width(), gl_->height());
      calls_.bindFramebuffer(GL_FRAMEBUFFER, fbos_[i]);
      calls_.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                     renderbuffers_[i]);
      calls_.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
    }
    calls_.bindRenderbuffer(GL_RENDERBUFFER, 0);
    calls_.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    calls_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, fbos_[0]);
    shownAt_.assign(fbos_.size(), 0);
    return glGetError() == GL_NO_ERROR;
  }

  OffscreenGL* gl_;
  const std::function<void()>* onFlush_;
  int buffers_;
  long shown_ = 0;  // frames shown so far
  FboCalls calls_;
  std::vector<GLuint> fbos_, renderbuffers_;  // the chain; the last renderbuffer is depth
  std::vector<long> shownAt_;                 // per buffer, the frame it showed last (1-based)
  size_t current_ = 0;                        // the buffer drawn into
};

}  // namespace

ViewRect OffscreenWindow::FrameOnRoot() {
  return ViewRect{0, 0, static_cast<double>(gl_->width()), static_cast<double>(gl_->height())};
}

std::unique_ptr<OpenGLContext> OffscreenWindow::CreateContext() {
  if (gl_ == nullptr || gl_->width() == 0) return nullptr;
  return std::make_unique<OffscreenContext>(gl_, &onFlush_, buffers_);
}
