#include "platform/GLXPixelFormat.h"

#include <GL/glxext.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

int ConfigAttrib(Display* display, GLXFBConfig config, int attrib) {
  int value = 0;
  glXGetFBConfigAttrib(display, config, attrib, &value);
  return value;
}

// Fills `out` from a configuration; false when it has no visual.
bool FromConfig(Display* display, GLXFBConfig config, GLXPixelFormat* out) {
  XVisualInfo* vi = glXGetVisualFromFBConfig(display, config);
  if (vi == nullptr) return false;
  out->config = config;
  out->visualInfo = *vi;
  XFree(vi);
  out->doubleBuffer = ConfigAttrib(display, config, GLX_DOUBLEBUFFER) != 0;
  out->depthBits = ConfigAttrib(display, config, GLX_DEPTH_SIZE);
  out->alphaBits = ConfigAttrib(display, config, GLX_ALPHA_SIZE);
  out->samples = ConfigAttrib(display, config, GLX_SAMPLE_BUFFERS) != 0
                     ? ConfigAttrib(display, config, GLX_SAMPLES)
                     : 0;
  return true;
}

// GLX 1.3 or later: configurations rather than visuals alone.
bool HaveFBConfigs(Display* display) {
  int major = 0, minor = 0;
  if (!glXQueryVersion(display, &major, &minor)) return false;
  return major > 1 || (major == 1 && minor >= 3);
}

}  // namespace

bool GLXPixelFormat::ForNewWindow(Display* display, int screen, GLXPixelFormat* out,
                                  int samples) {
  if (display == nullptr || out == nullptr || !HaveFBConfigs(display)) return false;
  const int defaultDepth = DefaultDepth(display, screen);
  GLXFBConfig fallback = nullptr;
  // The most samples up to the wish that GLX offers, then none.
  for (int s = std::max(samples, 0); s >= 0; s = s > 2 ? s / 2 : s - 2) {
    for (const int alpha : {8, 0}) {
      const int attribs[] = {GLX_X_RENDERABLE, True,
                             GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                             GLX_RENDER_TYPE, GLX_RGBA_BIT,
                             GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
                             GLX_RED_SIZE, 8,
                             GLX_GREEN_SIZE, 8,
                             GLX_BLUE_SIZE, 8,
                             GLX_ALPHA_SIZE, alpha,
                             GLX_DEPTH_SIZE, 16,
                             GLX_DOUBLEBUFFER, True,
                             GLX_SAMPLE_BUFFERS, s > 0 ? 1 : 0,
                             GLX_SAMPLES, s,
                             None};
      int count = 0;
      GLXFBConfig* configs = glXChooseFBConfig(display, screen, attribs, &count);
      if (configs == nullptr) continue;
      // glXChooseFBConfig sorts non-slow configurations first, and fewer
      // samples before more.
      GLXFBConfig chosen = nullptr;
      for (int i = 0; i < count && chosen == nullptr; ++i) {
        XVisualInfo* vi = glXGetVisualFromFBConfig(display, configs[i]);
        if (vi == nullptr) continue;
        if (vi->depth == defaultDepth) chosen = configs[i];
        XFree(vi);
      }
      if (fallback == nullptr && count > 0 && s == 0) fallback = configs[0];
      XFree(configs);
      if (chosen != nullptr) return FromConfig(display, chosen, out);
    }
  }
  return fallback != nullptr && FromConfig(display, fallback, out);
}

GLXPixelFormat::Renderer GLXPixelFormat::QueryRenderer(Display* display, int screen) {
  Renderer r;
  if (display == nullptr) return r;
  const char* extensions = glXQueryExtensionsString(display, screen);
  if (extensions == nullptr || std::strstr(extensions, "GLX_MESA_query_renderer") == nullptr) {
    return r;
  }
  const auto queryInteger = reinterpret_cast<PFNGLXQUERYRENDERERINTEGERMESAPROC>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryRendererIntegerMESA")));
  const auto queryString = reinterpret_cast<PFNGLXQUERYRENDERERSTRINGMESAPROC>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryRendererStringMESA")));
  unsigned accelerated = 1;
  if (queryInteger != nullptr &&
      queryInteger(display, screen, 0, GLX_RENDERER_ACCELERATED_MESA, &accelerated)) {
    r.software = accelerated == 0;
  }
  if (queryString != nullptr) {
    if (const char* name = queryString(display, screen, 0, GLX_RENDERER_DEVICE_ID_MESA)) {
      r.name = name;
    }
  }
  return r;
}

bool GLXPixelFormat::ForVisual(Display* display, int screen, VisualID visualId,
                               GLXPixelFormat* out) {
  if (display == nullptr || out == nullptr) return false;
  if (HaveFBConfigs(display)) {
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    GLXFBConfig best = nullptr;
    int bestScore = -1;
    for (int i = 0; i < count; ++i) {
      GLXFBConfig c = configs[i];
      if (static_cast<VisualID>(ConfigAttrib(display, c, GLX_VISUAL_ID)) != visualId) continue;
      if ((ConfigAttrib(display, c, GLX_RENDER_TYPE) & GLX_RGBA_BIT) == 0) continue;
      if ((ConfigAttrib(display, c, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) == 0) continue;
      const int score = (ConfigAttrib(display, c, GLX_DOUBLEBUFFER) ? 8 : 0) +
                        (ConfigAttrib(display, c, GLX_DEPTH_SIZE) >= 16 ? 4 : 0) +
                        (ConfigAttrib(display, c, GLX_CONFIG_CAVEAT) != GLX_SLOW_CONFIG ? 2 : 0) +
                        (ConfigAttrib(display, c, GLX_STEREO) ? 0 : 1);
      if (score > bestScore) {
        best = c;
        bestScore = score;
      }
    }
    const bool found = best != nullptr && FromConfig(display, best, out);
    if (configs != nullptr) XFree(configs);
    if (found) return true;
  }
  // Pre-1.3 servers, or a visual without a configuration of its own.
  XVisualInfo templ{};
  templ.visualid = visualId;
  templ.screen = screen;
  int n = 0;
  XVisualInfo* vi = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &templ, &n);
  if (vi == nullptr) return false;
  int useGL = 0, rgba = 0, doubleBuffer = 0, depth = 0, alpha = 0;
  glXGetConfig(display, vi, GLX_USE_GL, &useGL);
  glXGetConfig(display, vi, GLX_RGBA, &rgba);
  glXGetConfig(display, vi, GLX_DOUBLEBUFFER, &doubleBuffer);
  glXGetConfig(display, vi, GLX_DEPTH_SIZE, &depth);
  glXGetConfig(display, vi, GLX_ALPHA_SIZE, &alpha);
  const bool usable = useGL != 0 && rgba != 0;
  if (usable) {
    out->config = nullptr;
    out->visualInfo = vi[0];
    out->doubleBuffer = doubleBuffer != 0;
    out->depthBits = depth;
    out->alphaBits = alpha;
    out->samples = 0;
  }
  XFree(vi);
  return usable;
}
