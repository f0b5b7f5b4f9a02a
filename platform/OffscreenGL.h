#pragma once
// A real, hidden OpenGL context for tests, tools and offscreen rendering:
// EGL on Mesa's surfaceless platform with a pbuffer, desktop OpenGL,
// compatibility profile (fixed-function calls and GLU work).
#include <EGL/egl.h>

#include <cstdint>
#include <string>
#include <vector>

class OffscreenGL {
 public:
  OffscreenGL() = default;
  ~OffscreenGL();
  OffscreenGL(const OffscreenGL&) = delete;
  OffscreenGL& operator=(const OffscreenGL&) = delete;

  // Creates the context with an RGBA8 colour, 24-bit depth and 8-bit stencil
  // pbuffer of the given size and makes it current. With `samples` above 0
  // the pbuffer is multisampled with that many samples where the driver
  // offers them, else with the most it offers below that, else none
  // (samples() tells); reading pixels resolves the samples. On failure
  // `error` says why and nothing is left current.
  bool Create(int width, int height, int samples = 0);
  void Destroy();
  bool MakeCurrent();
  // Leaves no context current on the calling thread.
  void ReleaseCurrent();

  int width() const { return width_; }
  int height() const { return height_; }
  int samples() const { return samples_; }  // samples per pixel, 0: not multisampled
  const std::string& error() const { return error_; }

  // Reads the colour buffer as RGBA rows, bottom row first (glReadPixels).
  std::vector<uint8_t> ReadPixels() const;

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
  EGLSurface surface_ = EGL_NO_SURFACE;
  int width_ = 0;
  int height_ = 0;
  int samples_ = 0;
  std::string error_;
};
