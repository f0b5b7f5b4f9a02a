#pragma once
// A picture file decoded whole into 8-bit RGB or RGBA pixels (GdkPixbuf:
// JPEG, PNG, GIF and whatever other loaders the system has).
//
// Grey, indexed and 16-bit-per-channel pictures come out of the decoder as
// 8-bit RGB(A) already; any other layout is refused.
#include <cstddef>
#include <cstdint>

// Largest picture decoded, in pixels (512 MiB at 32 bits, e.g. 16384 x 8192).
// The size is read from the file's header before anything is decoded.
inline constexpr uint64_t kMaxPicturePixels = uint64_t{1} << 27;

typedef struct _GdkPixbuf GdkPixbuf;

class Picture {
 public:
  Picture() = default;
  ~Picture() { Release(); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Decodes the file. False, with nothing held, when it cannot be read or
  // decoded whole or its declared size is 0 or above kMaxPicturePixels.
  // Whatever was held before is released first.
  bool Decode(const char* path);
  // Frees the pixels; safe to call repeatedly.
  void Release();

  bool decoded() const { return pixbuf_ != nullptr; }
  uint32_t width() const { return width_; }    // pixels
  uint32_t height() const { return height_; }  // pixels
  uint32_t channels() const { return channels_; }  // 3 (R, G, B) or 4 (R, G, B, A)
  size_t rowBytes() const { return rowBytes_; }    // distance between rows, >= width * channels
  // Rows top row first; null when nothing is decoded.
  const uint8_t* pixels() const { return pixels_; }

 private:
  GdkPixbuf* pixbuf_ = nullptr;  // owned reference
  const uint8_t* pixels_ = nullptr;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t channels_ = 0;
  size_t rowBytes_ = 0;
};
