#pragma once
// Anti-aliased text through FreeType, as coverage masks (0..1 per pixel)
// that the generators and the preview paint with.
#include <string>
#include <vector>

struct TextMask {
  int width = 0;     // pixels
  int height = 0;    // pixels: ascent + descent of the face at this size
  int baseline = 0;  // rows from the top to the baseline
  std::vector<float> coverage;  // width * height, rows top first

  float At(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height
               ? 0.0f
               : coverage[static_cast<size_t>(y) * width + x];
  }
};

class TextRenderer {
 public:
  TextRenderer() = default;
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // Loads a font file; false with `error` set when FreeType cannot.
  bool Open(const std::string& fontPath, std::string* error);
  bool IsOpen() const { return face_ != nullptr; }
  // One line of text (Latin-1 range of UTF-8 is enough for our messages) at
  // `pixelSize` pixels per em, kerned, with `tracking` extra pixels between
  // letters. An empty mask when no font is open.
  TextMask Render(const std::string& text, int pixelSize, float tracking = 0.0f) const;

 private:
  void* library_ = nullptr;  // FT_Library
  void* face_ = nullptr;     // FT_Face
};
