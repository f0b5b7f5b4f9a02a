#include "tests/support/PngWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <filesystem>

bool WriteFramePng(const std::string& path, const std::vector<uint8_t>& rgba, int width,
                   int height) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    return false;
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);

  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (!pixbuf) return false;
  guint8* pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = rgba.data() + static_cast<size_t>(height - 1 - y) * width * 4;
    guint8* to = pixels + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) to[x * 3 + c] = from[x * 4 + c];
  }
  GError* error = nullptr;
  const bool saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, nullptr);
  if (error) g_error_free(error);
  g_object_unref(pixbuf);
  return saved;
}
