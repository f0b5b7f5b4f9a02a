#include "platform/OffscreenGL.h"

#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#ifndef EGL_PLATFORM_SURFACELESS_MESA
#define EGL_PLATFORM_SURFACELESS_MESA 0x31DD
#endif

OffscreenGL::~OffscreenGL() { Destroy(); }

bool OffscreenGL::Create(int width, int height, int samples) {
  Destroy();
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    error_ = "eglGetPlatformDisplayEXT is not available";
    return false;
  }
  display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr)) {
    error_ = "no EGL display on Mesa's surfaceless platform";
    display_ = EGL_NO_DISPLAY;
    return false;
  }
  EGLConfig config = nullptr;
  EGLint count = 0;
  // The most samples up to the wish that the driver offers (Mesa: 4 or none).
  for (int s = std::max(samples, 0); s >= 0 && count < 1; s = s > 2 ? s / 2 : s - 2) {
    const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                    EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                    EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                    EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8,
                                    EGL_SAMPLE_BUFFERS, s > 0 ? 1 : 0, EGL_SAMPLES, s,
                                    EGL_NONE};
    if (!eglChooseConfig(display_, configAttribs, &config, 1, &count)) count = 0;
  }
  EGLint chosenSamples = 0;
  if (count > 0 && eglGetConfigAttrib(display_, config, EGL_SAMPLES, &chosenSamples)) {
    samples_ = chosenSamples;
  }
  if (count < 1) {
    error_ = "no EGL pbuffer config with desktop OpenGL";
    Destroy();
    return false;
  }
  const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  surface_ = eglCreatePbufferSurface(display_, config, surfaceAttribs);
  if (surface_ == EGL_NO_SURFACE || !eglBindAPI(EGL_OPENGL_API)) {
    error_ = "cannot create an EGL pbuffer";
    Destroy();
    return false;
  }
  const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, contextAttribs);
  if (context_ == EGL_NO_CONTEXT) {
    error_ = "cannot create a compatibility-profile OpenGL context";
    Destroy();
    return false;
  }
  width_ = width;
  height_ = height;
  if (!MakeCurrent()) {
    error_ = "cannot make the OpenGL context current";
    Destroy();
    return false;
  }
  glViewport(0, 0, width, height);
  return true;
}

bool OffscreenGL::MakeCurrent() {
  return display_ != EGL_NO_DISPLAY && eglMakeCurrent(display_, surface_, surface_, context_);
}

void OffscreenGL::ReleaseCurrent() {
  if (display_ != EGL_NO_DISPLAY) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void OffscreenGL::Destroy() {
  if (display_ == EGL_NO_DISPLAY) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
  if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
  eglTerminate(display_);
  display_ = EGL_NO_DISPLAY;
  context_ = EGL_NO_CONTEXT;
  surface_ = EGL_NO_SURFACE;
  width_ = height_ = 0;
  samples_ = 0;
}

std::vector<uint8_t> OffscreenGL::ReadPixels() const {
  std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
  if (pixels.empty()) return pixels;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}
