#pragma once
// A picture in memory: 4 bytes per pixel (R, G, B, A), rows tightly packed,
// top row first (screen order).
#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbaImage {
  int width = 0;                // pixels
  int height = 0;               // pixels
  std::vector<uint8_t> pixels;  // width * height * 4 bytes

  // The dimensions are positive and the pixels fill them exactly.
  bool Valid() const {
    return width > 0 && height > 0 &&
           pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  }
};
