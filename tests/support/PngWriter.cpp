#include "tests/support/PngWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <filesystem>

bool WriteRgbaPng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4) return false;
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);

  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  if (!pixbuf) return false;
  guint8* pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y)
    std::memcpy(pixels + static_cast<size_t>(y) * stride, rgba.data() + (height - 1 - y) * rowBytes, rowBytes);
  GError* error = nullptr;
  const bool saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, nullptr);
  if (error) g_error_free(error);
  g_object_unref(pixbuf);
  return saved;
}
