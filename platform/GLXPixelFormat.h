#pragma once
// The pixel format of a view's OpenGL context on X11 (GLX).
//
// A window's visual fixes its pixel format, so the format is chosen before a
// window is created (ForNewWindow) or read off a window someone else created
// (ForVisual). Main thread only.
#include <GL/glx.h>

#include <string>

class GLXPixelFormat {
 public:
  // For a window we create on `screen`: RGBA with 8 bits per colour channel,
  // an 8-bit alpha channel where one comes with a visual of the screen's
  // default depth, at least 16 depth bits, double-buffered; hardware-
  // accelerated configurations before slow ones. Visuals of the default depth
  // are preferred, as a deeper (ARGB) visual would let a compositor show the
  // desktop through pixels of alpha below 1. False when GLX offers nothing
  // suitable.
  // With `samples` above 0, multisampled with that many samples per pixel
  // where GLX offers them, else with fewer, else none.
  static bool ForNewWindow(Display* display, int screen, GLXPixelFormat* out, int samples = 0);
  // For a window of the visual `visualId` on `screen`: the RGBA configuration
  // of that visual that comes closest to the above (double buffer first, then
  // depth bits, then speed), through GLX 1.3 configurations or, failing those,
  // the visual itself. False when GLX cannot draw to that visual.
  static bool ForVisual(Display* display, int screen, VisualID visualId, GLXPixelFormat* out);

  // The renderer GLX draws with on a screen, asked without a context.
  struct Renderer {
    std::string name;       // as the driver names it, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)"
    bool software = false;  // the CPU draws every pixel (Mesa's llvmpipe, softpipe, swrast)
  };
  // Through GLX_MESA_query_renderer; a driver without it (a vendor's own)
  // counts as hardware, with an empty name.
  static Renderer QueryRenderer(Display* display, int screen);

  GLXFBConfig config = nullptr;  // null when only the visual path applies
  XVisualInfo visualInfo{};      // the window's visual
  bool doubleBuffer = false;
  int depthBits = 0;             // depth-buffer bits
  int alphaBits = 0;             // alpha-channel bits
  int samples = 0;               // multisample samples per pixel; 0: not multisampled
};
