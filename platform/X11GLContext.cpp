#include "platform/X11GLContext.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "platform/X11Errors.h"

namespace {

bool HasExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    const bool startOk = p == list || p[-1] == ' ';
    const bool endOk = p[n] == '\0' || p[n] == ' ';
    if (startOk && endOk) return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<X11GLContext> X11GLContext::Create(Display* display, Window window,
                                                   const GLXPixelFormat& format,
                                                   std::string* error, PresentPath present) {
  X11Errors::Install();
  GLXContext context = nullptr;
  {
    X11Errors::Trap trap(display);
    for (const Bool direct : {True, False}) {
      context = format.config != nullptr
                    ? glXCreateNewContext(display, format.config, GLX_RGBA_TYPE, nullptr, direct)
                    : glXCreateContext(display, const_cast<XVisualInfo*>(&format.visualInfo),
                                       nullptr, direct);
      if (context != nullptr) break;
    }
    if (trap.Sync() != 0 && context != nullptr) {
      glXDestroyContext(display, context);
      context = nullptr;
    }
  }
  if (context == nullptr) {
    if (error != nullptr) *error = "GLX could not create an OpenGL context";
    return nullptr;
  }
  return std::unique_ptr<X11GLContext>(
      new X11GLContext(display, window, context, format, present));
}

X11GLContext::X11GLContext(Display* display, Window window, GLXContext context,
                           const GLXPixelFormat& format, PresentPath requested)
    : display_(display), window_(window), context_(context), format_(format),
      requested_(requested) {
  direct_ = glXIsDirect(display_, context_) != 0;
}

X11GLContext::~X11GLContext() {
  X11Errors::Trap trap(display_);
  if (glXGetCurrentContext() == context_) glXMakeCurrent(display_, None, nullptr);
  glXDestroyContext(display_, context_);
}

void X11GLContext::ReleaseCurrent() { glXMakeCurrent(display_, None, nullptr); }

bool X11GLContext::MakeCurrent() {
  if (X11Errors::Lost(window_)) return false;
  if (glXGetCurrentContext() != context_ || glXGetCurrentDrawable() != window_) {
    if (!glXMakeCurrent(display_, window_, context_)) return false;
  }
  if (!intervalTried_) {
    intervalTried_ = true;
    const char* extensions = glXQueryExtensionsString(display_, format_.visualInfo.screen);
    SetSwapInterval(extensions);
    ChoosePresentPath(extensions);
  }
  return true;
}

void X11GLContext::FlushBuffer() {
  if (X11Errors::Lost(window_)) return;
  // After a swap the back buffer's contents are undefined.
  copiedOnce_ = false;
  if (format_.doubleBuffer) {
    glXSwapBuffers(display_, window_);
  } else {
    glFlush();
  }
}

void X11GLContext::ChoosePresentPath(const char* extensions) {
  path_ = PresentPath::Full;
  // A single buffer is drawn where it is shown.
  if (!format_.doubleBuffer || requested_ == PresentPath::Full) return;
  const bool age = HasExtension(extensions, "GLX_EXT_buffer_age");
  const bool copy = HasExtension(extensions, "GLX_MESA_copy_sub_buffer");
  if (age && (requested_ == PresentPath::BufferAge || requested_ == PresentPath::Auto)) {
    path_ = PresentPath::BufferAge;
    return;
  }
  if (copy && (requested_ == PresentPath::CopySubBuffer || requested_ == PresentPath::Auto)) {
    using Fn = void (*)(Display*, GLXDrawable, int, int, int, int);
    copySubBuffer_ = reinterpret_cast<Fn>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    if (copySubBuffer_ != nullptr) path_ = PresentPath::CopySubBuffer;
  }
}

int X11GLContext::BackBufferAge() {
  switch (path_) {
    case PresentPath::BufferAge: {
      unsigned int age = 0;
      X11Errors::Trap trap(display_);
      glXQueryDrawable(display_, window_, GLX_BACK_BUFFER_AGE_EXT, &age);
      if (trap.Sync() != 0) return 0;
      return age <= 64 ? static_cast<int>(age) : 0;
    }
    case PresentPath::CopySubBuffer:
      return copiedOnce_ ? 1 : 0;
    default:
      return 0;
  }
}

void X11GLContext::FlushBuffer(const std::vector<PixelRect>& drawn) {
  if (path_ != PresentPath::CopySubBuffer) {
    FlushBuffer();
    return;
  }
  if (X11Errors::Lost(window_)) return;
  for (const PixelRect& r : drawn) {
    if (!r.Empty()) copySubBuffer_(display_, window_, r.x, r.y, r.width, r.height);
  }
  glFlush();
  copiedOnce_ = true;
}

void X11GLContext::SetSwapInterval(const char* extensions) {
  if (HasExtension(extensions, "GLX_EXT_swap_control")) {
    using Fn = void (*)(Display*, GLXDrawable, int);
    auto fn = reinterpret_cast<Fn>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
    if (fn != nullptr) {
      X11Errors::Trap trap(display_);
      fn(display_, window_, 1);
      if (trap.Sync() == 0) {
        swapInterval_ = 1;
        return;
      }
    }
  }
  if (HasExtension(extensions, "GLX_MESA_swap_control")) {
    using Fn = int (*)(unsigned);
    auto fn = reinterpret_cast<Fn>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
    if (fn != nullptr && fn(1) == 0) swapInterval_ = 1;
  }
}
