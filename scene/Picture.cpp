#include "scene/Picture.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "util/RegularFile.h"

namespace {

// What the loader's size callback learnt and decided.
struct SizeState {
  const Picture::SizeChooser* choose = nullptr;
  uint32_t ownWidth = 0;
  uint32_t ownHeight = 0;
  uint32_t width = 0;  // chosen decode size
  uint32_t height = 0;
  const char* refused = nullptr;  // why the size was refused; null when taken
};

void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
  SizeState& s = *static_cast<SizeState*>(data);
  if (width <= 0 || height <= 0) {
    s.refused = "has no pixels";
    return;
  }
  s.ownWidth = static_cast<uint32_t>(width);
  s.ownHeight = static_cast<uint32_t>(height);
  if (uint64_t(width) * uint64_t(height) > kMaxPicturePixels) {
    s.refused = "is too large";
    // Stop the decoder from allocating the whole picture.
    gdk_pixbuf_loader_set_size(loader, 1, 1);
    return;
  }
  uint32_t w = s.ownWidth, h = s.ownHeight;
  if (s.choose != nullptr && *s.choose && !(*s.choose)(s.ownWidth, s.ownHeight, &w, &h)) {
    s.refused = "is too large";
    gdk_pixbuf_loader_set_size(loader, 1, 1);
    return;
  }
  s.width = w;
  s.height = h;
  if (w != s.ownWidth || h != s.ownHeight) {
    gdk_pixbuf_loader_set_size(loader, static_cast<int>(w), static_cast<int>(h));
  }
}

}  // namespace

bool Picture::Decode(const char* path, std::string* why) { return DecodeAtSize(path, {}, why); }

bool Picture::DecodeAtSize(const char* path, const SizeChooser& choose, std::string* why) {
  Release();
  const auto fail = [why](const std::string& reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  const int fd = OpenRegularFileDescriptor(path);
  if (fd < 0) {
    if (errno == EINVAL) return fail("is not a regular file");
    return fail(std::string("cannot be opened (") + std::strerror(errno) + ")");
  }

  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  SizeState state;
  state.choose = &choose;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSizePrepared), &state);
  std::vector<guchar> chunk(64 * 1024);
  bool written = true;
  // The loaders show what arrived of a file cut short; a PNG must end with
  // its IEND chunk to count as whole.
  static constexpr guchar kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr guchar kPngEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  guchar head[8] = {};
  guchar tail[12] = {};
  size_t total = 0;
  for (;;) {
    const ssize_t n = read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      written = false;
      break;
    }
    if (n == 0) break;
    const size_t got = static_cast<size_t>(n);
    if (total < sizeof head) std::memcpy(head + total, chunk.data(), std::min(sizeof head - total, got));
    if (got >= sizeof tail) {
      std::memcpy(tail, chunk.data() + got - sizeof tail, sizeof tail);
    } else {
      std::memmove(tail, tail + got, sizeof tail - got);
      std::memcpy(tail + sizeof tail - got, chunk.data(), got);
    }
    total += got;
    GError* error = nullptr;
    written = gdk_pixbuf_loader_write(loader, chunk.data(), static_cast<gsize>(n), &error);
    if (error) g_error_free(error);
    if (!written || state.refused != nullptr) break;
  }
  close(fd);
  GError* error = nullptr;
  const bool closed = gdk_pixbuf_loader_close(loader, &error);
  if (error) g_error_free(error);
  GdkPixbuf* pixbuf = closed && written && state.refused == nullptr
                          ? gdk_pixbuf_loader_get_pixbuf(loader)
                          : nullptr;
  if (pixbuf != nullptr) g_object_ref(pixbuf);
  g_object_unref(loader);
  if (state.refused != nullptr) {
    return fail(std::string(state.refused) + " (" + std::to_string(state.ownWidth) + " x " +
                std::to_string(state.ownHeight) + " pixels)");
  }
  if (pixbuf != nullptr && std::memcmp(head, kPngSignature, sizeof head) == 0 &&
      (total < sizeof head + sizeof tail || std::memcmp(tail, kPngEnd, sizeof tail) != 0)) {
    g_object_unref(pixbuf);
    return fail("did not decode (the file is cut short)");
  }
  if (pixbuf == nullptr) return fail("did not decode");
  // Loaders of animations (GIF) hand out their frames unscaled.
  if (gdk_pixbuf_get_width(pixbuf) != static_cast<int>(state.width) ||
      gdk_pixbuf_get_height(pixbuf) != static_cast<int>(state.height)) {
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, static_cast<int>(state.width),
                                                static_cast<int>(state.height), GDK_INTERP_BILINEAR);
    g_object_unref(pixbuf);
    if (scaled == nullptr) return fail("did not decode");
    pixbuf = scaled;
  }

  // Only whole 8-bit RGB(A) buffers of the size asked for go any further.
  const int w = gdk_pixbuf_get_width(pixbuf);
  const int h = gdk_pixbuf_get_height(pixbuf);
  const int n = gdk_pixbuf_get_n_channels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const bool usable = gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB &&
                      gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && n == (alpha ? 4 : 3) && w > 0 &&
                      h > 0 && uint32_t(w) == state.width && uint32_t(h) == state.height &&
                      stride >= w * n &&
                      gdk_pixbuf_get_byte_length(pixbuf) >= size_t(h - 1) * size_t(stride) + size_t(w) * size_t(n);
  const guint8* pixels = usable ? gdk_pixbuf_read_pixels(pixbuf) : nullptr;
  if (!pixels) {
    g_object_unref(pixbuf);
    return fail("did not decode");
  }
  pixbuf_ = pixbuf;
  pixels_ = pixels;
  width_ = static_cast<uint32_t>(w);
  height_ = static_cast<uint32_t>(h);
  ownWidth_ = state.ownWidth;
  ownHeight_ = state.ownHeight;
  channels_ = static_cast<uint32_t>(n);
  rowBytes_ = static_cast<size_t>(stride);
  return true;
}

void Picture::Release() {
  if (pixbuf_) g_object_unref(pixbuf_);
  pixbuf_ = nullptr;
  pixels_ = nullptr;
  width_ = height_ = ownWidth_ = ownHeight_ = channels_ = 0;
  rowBytes_ = 0;
}
