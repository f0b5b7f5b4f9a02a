#pragma once
// A floating-point RGB(A) picture for painting generated content, with rows
// top first, and its conversions to the byte formats the project writes.
// Channel values are 0..1 in display (sRGB) space.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/TgaWriter.h"

struct Rgb {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
};

inline Rgb MixRgb(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Rgb ScaleRgb(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
// From 0xRRGGBB.
inline Rgb HexRgb(uint32_t hex) {
  return {static_cast<float>((hex >> 16) & 0xFF) / 255.0f,
          static_cast<float>((hex >> 8) & 0xFF) / 255.0f,
          static_cast<float>(hex & 0xFF) / 255.0f};
}

class RgbImage {
 public:
  RgbImage() = default;
  RgbImage(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  Rgb Get(int x, int y) const;
  void Set(int x, int y, Rgb c);
  float Alpha(int x, int y) const;
  void SetAlpha(int x, int y, float a);

  // Bytes per pixel 3 (R, G, B) or 4 (with alpha), rows top first, each
  // channel rounded and clamped to 0..255.
  std::vector<uint8_t> Bytes(bool withAlpha) const;
  // A TGA description with the rows reversed into file order (bottom first).
  TgaImage ToTga(bool withAlpha) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Rgb> colour_;
  std::vector<float> alpha_;
};

// Image files of 8-bit channels, rows top first. Each returns false, leaving
// `error` set, when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<uint8_t>& pixels, std::string* error);
bool WriteJpeg(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
               int quality, std::string* error);
