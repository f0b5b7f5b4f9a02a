#pragma once
// A picture in its source's own layout: 32-bit pixels read as host-order
// words, each colour channel 8 bits wide at its shift (an X server's usual
// TrueColor image, or an RgbaImage). `keep` holds whatever owns the memory
// (an X image, a shared memory segment), released with the last copy; a view
// without it borrows memory its caller keeps alive.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/RgbaImage.h"

struct PackedPixels {
  const uint8_t* pixels = nullptr;  // first byte of the top row
  int width = 0;                    // pixels
  int height = 0;                   // pixels
  size_t stride = 0;                // bytes from one row to the next
  int redShift = 0;                 // bits, in the host-order word
  int greenShift = 8;
  int blueShift = 16;
  std::shared_ptr<const void> keep;  // the memory's owner; null when borrowed

  // The dimensions are positive and the rows hold them.
  bool Valid() const {
    return pixels != nullptr && width > 0 && height > 0 &&
           stride >= static_cast<size_t>(width) * 4;
  }

  // A borrowed view of `image`'s bytes R, G, B, A.
  static PackedPixels Of(const RgbaImage& image) {
    PackedPixels p;
    if (!image.Valid()) return p;
    p.pixels = image.pixels.data();
    p.width = image.width;
    p.height = image.height;
    p.stride = static_cast<size_t>(image.width) * 4;
    constexpr bool little = std::endian::native == std::endian::little;
    p.redShift = little ? 0 : 24;
    p.greenShift = little ? 8 : 16;
    p.blueShift = little ? 16 : 8;
    return p;
  }
};
