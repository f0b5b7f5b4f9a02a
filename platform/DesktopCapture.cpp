#include "platform/DesktopCapture.h"

#include <GL/gl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int CaptureSizeCap(int detail, int glMaxTextureSize) {
  if (detail == 0) return 512;
  if (detail == 1) return 1024;
  return glMaxTextureSize;
}

int CaptureTextureSide(int screenSide, int cap) {
  if (screenSide < 1 || cap < 1) return 0;
  const double exponent = std::floor(std::log2(static_cast<double>(screenSide)) + 0.5);
  // A side of 2^31 or more is beyond any cap an int can hold.
  if (exponent >= 31) return cap;
  return std::min(1 << static_cast<int>(exponent), cap);
}

void FlipRows(uint8_t* pixels, size_t rowBytes, int height) {
  if (pixels == nullptr || height < 2 || rowBytes == 0) return;
  std::vector<uint8_t> row(rowBytes);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = pixels + static_cast<size_t>(top) * rowBytes;
    uint8_t* b = pixels + static_cast<size_t>(bottom) * rowBytes;
    std::memcpy(row.data(), a, rowBytes);
    std::memcpy(a, b, rowBytes);
    std::memcpy(b, row.data(), rowBytes);
  }
}

bool HasNonBlackPixel(const uint8_t* rgba, size_t pixelCount) {
  if (rgba == nullptr) return false;
  for (size_t i = 0; i < pixelCount; ++i, rgba += 4) {
    if ((rgba[0] | rgba[1] | rgba[2]) != 0) return true;
  }
  return false;
}

bool ScaleForTexture(const RgbaImage& source, int width, int height, std::vector<uint8_t>* out) {
  if (out == nullptr || !source.Valid() || width < 1 || height < 1) return false;
  if (static_cast<size_t>(source.width) * 4 > static_cast<size_t>(INT32_MAX)) return false;
  GdkPixbuf* src = gdk_pixbuf_new_from_data(source.pixels.data(), GDK_COLORSPACE_RGB, TRUE, 8,
                                            source.width, source.height, source.width * 4,
                                            nullptr, nullptr);
  if (src == nullptr) return false;
  GdkPixbuf* scaled = gdk_pixbuf_scale_simple(src, width, height, GDK_INTERP_BILINEAR);
  g_object_unref(src);
  if (scaled == nullptr) return false;
  const bool shapeOk = gdk_pixbuf_get_n_channels(scaled) == 4 &&
                       gdk_pixbuf_get_bits_per_sample(scaled) == 8 &&
                       gdk_pixbuf_get_width(scaled) == width &&
                       gdk_pixbuf_get_height(scaled) == height;
  if (shapeOk) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const size_t stride = static_cast<size_t>(gdk_pixbuf_get_rowstride(scaled));
    const uint8_t* pixels = gdk_pixbuf_read_pixels(scaled);
    out->resize(rowBytes * static_cast<size_t>(height));
    for (int r = 0; r < height; ++r) {
      std::memcpy(out->data() + static_cast<size_t>(height - 1 - r) * rowBytes,
                  pixels + static_cast<size_t>(r) * stride, rowBytes);
    }
  }
  g_object_unref(scaled);
  return shapeOk;
}

void UploadDesktopTexture(unsigned* name, int width, int height, const uint8_t* rgba) {
  if (name == nullptr) return;
  while (glGetError() != GL_NO_ERROR) {
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (*name == 0) glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  // Stretched over the whole view with linear filtering, a repeating texture
  // would blend the opposite edge into the outermost pixels.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, name);
    *name = 0;
  }
}

bool IsWaylandSession(const char* waylandDisplay, const char* sessionType) {
  if (waylandDisplay != nullptr && waylandDisplay[0] != '\0') return true;
  return sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0;
}

namespace {

bool Fail(unsigned* name, CaptureResult* result, const char* why) {
  if (*name != 0) glDeleteTextures(1, name);
  *name = 0;
  if (result != nullptr) {
    result->why = why;
    if (IsWaylandSession(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"))) {
      result->why += " (a Wayland session cannot be captured)";
    }
  }
  return false;
}

}  // namespace

bool CaptureDesktopTexture(DesktopSource& source, const ViewRect& area, int detail, unsigned* name,
                           CaptureResult* result) {
  if (name == nullptr) return false;
  RgbaImage image;
  if (!source.GrabArea(area, &image) || !image.Valid()) {
    return Fail(name, result, "the screen could not be read");
  }
  GLint maxSize = 0;
  if (detail != 0 && detail != 1) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  const int cap = CaptureSizeCap(detail, maxSize);
  const int width = CaptureTextureSide(image.width, cap);
  const int height = CaptureTextureSide(image.height, cap);
  std::vector<uint8_t> texture;
  if (width < 1 || height < 1 || !ScaleForTexture(image, width, height, &texture)) {
    return Fail(name, result, "the picture could not be scaled");
  }
  if (!HasNonBlackPixel(texture.data(), texture.size() / 4)) {
    return Fail(name, result, "the capture came out black");
  }
  UploadDesktopTexture(name, width, height, texture.data());
  if (*name == 0) return Fail(name, result, "OpenGL refused the texture");
  if (result != nullptr) {
    result->width = image.width;
    result->height = image.height;
  }
  return true;
}
