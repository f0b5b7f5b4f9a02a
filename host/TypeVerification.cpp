#include "host/TypeVerification.h"

#include <EGL/egl.h>
#include <GL/glx.h>

#include <memory>

#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYFILE.h"
#include "platform/OffscreenGL.h"
#include "util/Diagnostics.h"

namespace {

// What the loaders report while a verification runs; main thread only.
std::string* gReports = nullptr;

void Collect(const char* message) {
  if (gReports == nullptr || message == nullptr) return;
  if (!gReports->empty()) *gReports += "; ";
  *gReports += message;
}

void CollectAlert(const char* caption, const char* text) {
  Collect((std::string(caption) + ": " + text).c_str());
}

// Releases the calling thread's current context for the scope and makes it
// current again at its end.
class CurrentContextKeeper {
 public:
  CurrentContextKeeper()
      : glxContext_(glXGetCurrentContext()),
        eglContext_(eglGetCurrentContext()) {
    if (glxContext_ != nullptr) {
      glxDisplay_ = glXGetCurrentDisplay();
      glxDraw_ = glXGetCurrentDrawable();
      glxRead_ = glXGetCurrentReadDrawable();
      glXMakeContextCurrent(glxDisplay_, None, None, nullptr);
    }
    if (eglContext_ != EGL_NO_CONTEXT) {
      eglDisplay_ = eglGetCurrentDisplay();
      eglDraw_ = eglGetCurrentSurface(EGL_DRAW);
      eglRead_ = eglGetCurrentSurface(EGL_READ);
      eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
  }
  ~CurrentContextKeeper() {
    if (eglContext_ != EGL_NO_CONTEXT) eglMakeCurrent(eglDisplay_, eglDraw_, eglRead_, eglContext_);
    if (glxContext_ != nullptr) glXMakeContextCurrent(glxDisplay_, glxDraw_, glxRead_, glxContext_);
  }
  CurrentContextKeeper(const CurrentContextKeeper&) = delete;
  CurrentContextKeeper& operator=(const CurrentContextKeeper&) = delete;

 private:
  GLXContext glxContext_;
  Display* glxDisplay_ = nullptr;
  GLXDrawable glxDraw_ = None;
  GLXDrawable glxRead_ = None;
  EGLContext eglContext_;
  EGLDisplay eglDisplay_ = EGL_NO_DISPLAY;
  EGLSurface eglDraw_ = EGL_NO_SURFACE;
  EGLSurface eglRead_ = EGL_NO_SURFACE;
};

}  // namespace

bool VerifyButterflyType(const std::string& path, std::string* error) {
  BFLYFILE file;
  if (!file.Open(path.c_str())) {
    *error = "not a butterfly type file";
    return false;
  }
  const CurrentContextKeeper keeper;
  OffscreenGL gl;
  if (!gl.Create(16, 16)) {
    *error = "cannot load it: no OpenGL context (" + gl.error() + ")";
    return false;
  }
  std::string reports;
  gReports = &reports;
  const ReportHook oldClose = SetErrorCloseHook(Collect);
  const ReportHook oldBox = SetErrorBoxHook(Collect);
  const AlertHook oldAlert = SetAlertHook(CollectAlert);
  bool loaded;
  {
    BFLYDATA data;
    loaded = data.Load(&file, 1.0f);
  }  // its textures are released while the context is current
  SetErrorCloseHook(oldClose);
  SetErrorBoxHook(oldBox);
  SetAlertHook(oldAlert);
  gReports = nullptr;
  gl.Destroy();
  if (!loaded) {
    *error = "the butterfly type does not load" + (reports.empty() ? std::string() : ": " + reports);
    return false;
  }
  return true;
}
