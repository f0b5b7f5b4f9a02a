#include "scene/Picture.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

bool Picture::Decode(const char* path) {
  Release();
  if (!path) return false;

  int declaredWidth = 0, declaredHeight = 0;
  if (!gdk_pixbuf_get_file_info(path, &declaredWidth, &declaredHeight)) return false;
  if (declaredWidth <= 0 || declaredHeight <= 0 ||
      uint64_t(declaredWidth) * uint64_t(declaredHeight) > kMaxPicturePixels)
    return false;

  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path, &error);
  if (error) g_error_free(error);
  if (!pixbuf) return false;

  // Only whole 8-bit RGB(A) buffers of a size we accept go any further (the
  // file may have changed since its header was read).
  const int w = gdk_pixbuf_get_width(pixbuf);
  const int h = gdk_pixbuf_get_height(pixbuf);
  const int n = gdk_pixbuf_get_n_channels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const bool usable = gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB &&
                      gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && n == (alpha ? 4 : 3) && w > 0 &&
                      h > 0 && uint64_t(w) * uint64_t(h) <= kMaxPicturePixels &&
                      stride >= w * n &&
                      gdk_pixbuf_get_byte_length(pixbuf) >= size_t(h - 1) * size_t(stride) + size_t(w) * size_t(n);
  const guint8* pixels = usable ? gdk_pixbuf_read_pixels(pixbuf) : nullptr;
  if (!pixels) {
    g_object_unref(pixbuf);
    return false;
  }
  pixbuf_ = pixbuf;
  pixels_ = pixels;
  width_ = static_cast<uint32_t>(w);
  height_ = static_cast<uint32_t>(h);
  channels_ = static_cast<uint32_t>(n);
  rowBytes_ = static_cast<size_t>(stride);
  return true;
}

void Picture::Release() {
  if (pixbuf_) g_object_unref(pixbuf_);
  pixbuf_ = nullptr;
  pixels_ = nullptr;
  width_ = height_ = channels_ = 0;
  rowBytes_ = 0;
}
