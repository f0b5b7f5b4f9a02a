#pragma once
// A picture file decoded into 8-bit RGB or RGBA pixels (GdkPixbuf: JPEG,
// PNG, GIF and whatever other loaders the system has), at its own size or at
// the size it will be drawn.
//
// The file is opened without blocking and decoded only when it is a regular
// file; the decoder reads it through that descriptor, never by name. Its size
// is learnt from the header before the pixels are decoded, so a picture can
// be refused or scaled before it costs memory: JPEG pictures decode directly
// at a fraction of their size, other formats are scaled once decoded.
//
// Grey, indexed and 16-bit-per-channel pictures come out of the decoder as
// 8-bit RGB(A) already; any other layout is refused.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Largest picture decoded, in pixels (512 MiB at 32 bits, e.g. 16384 x 8192).
// The size is read from the file's header before anything is decoded.
inline constexpr uint64_t kMaxPicturePixels = uint64_t{1} << 27;

typedef struct _GdkPixbuf GdkPixbuf;

class Picture {
 public:
  // Given the picture's own size, chooses the size to decode it at (each
  // side at least 1). Returns false to refuse the picture.
  using SizeChooser = std::function<bool(uint32_t width, uint32_t height, uint32_t* decodeWidth,
                                         uint32_t* decodeHeight)>;

  Picture() = default;
  ~Picture() { Release(); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Decodes the file at its own size. False, with nothing held, when it
  // cannot be opened, is not a regular file, cannot be decoded whole or its
  // declared size is 0 or above kMaxPicturePixels; `why` (may be null) then
  // says which, in a few words ("is not a regular file"). Whatever was held
  // before is released first.
  bool Decode(const char* path, std::string* why = nullptr);
  // The same, decoded at the size `choose` picks (the picture stretched to
  // it). ownWidth()/ownHeight() give the file's size afterwards.
  bool DecodeAtSize(const char* path, const SizeChooser& choose, std::string* why = nullptr);
  // Frees the pixels; safe to call repeatedly.
  void Release();

  bool decoded() const { return pixbuf_ != nullptr; }
  uint32_t width() const { return width_; }        // decoded pixels
  uint32_t height() const { return height_; }      // decoded pixels
  uint32_t ownWidth() const { return ownWidth_; }  // the file's pixels
  uint32_t ownHeight() const { return ownHeight_; }
  uint32_t channels() const { return channels_; }  // 3 (R, G, B) or 4 (R, G, B, A)
  size_t rowBytes() const { return rowBytes_; }    // distance between rows, >= width * channels
  // Rows top row first; null when nothing is decoded.
  const uint8_t* pixels() const { return pixels_; }

 private:
  GdkPixbuf* pixbuf_ = nullptr;  // owned reference
  const uint8_t* pixels_ = nullptr;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t ownWidth_ = 0;
  uint32_t ownHeight_ = 0;
  uint32_t channels_ = 0;
  size_t rowBytes_ = 0;
};
