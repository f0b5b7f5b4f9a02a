#include "tools/content/TextRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace {

// Code points of a UTF-8 string; malformed bytes are taken as Latin-1.
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0xC0 && c < 0xE0 && i + 1 < text.size()) {
      out.push_back(((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu));
      i += 2;
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < text.size()) {
      out.push_back(((c & 0x0Fu) << 12) |
                    ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                    (static_cast<unsigned char>(text[i + 2]) & 0x3Fu));
      i += 3;
    } else {
      out.push_back(c);
      i += 1;
    }
  }
  return out;
}

}  // namespace

TextRenderer::~TextRenderer() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool TextRenderer::Open(const std::string& fontPath, std::string* error) {
  FT_Library library = nullptr;
  if (!library_) {
    if (FT_Init_FreeType(&library) != 0) {
      *error = "cannot start FreeType";
      return false;
    }
    library_ = library;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(static_cast<FT_Library>(library_), fontPath.c_str(), 0, &face) != 0) {
    *error = "cannot read the font " + fontPath;
    return false;
  }
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  face_ = face;
  return true;
}

TextMask TextRenderer::Render(const std::string& text, int pixelSize, float tracking) const {
  TextMask mask;
  if (!face_ || pixelSize <= 0) return mask;
  FT_Face face = static_cast<FT_Face>(face_);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  const int ascent = static_cast<int>(std::ceil(face->size->metrics.ascender / 64.0));
  const int descent = static_cast<int>(std::ceil(-face->size->metrics.descender / 64.0));
  struct Glyph {
    int x = 0;
    int top = 0;
    int w = 0;
    int h = 0;
    std::vector<uint8_t> pixels;
  };
  std::vector<Glyph> glyphs;
  double pen = 0.0;
  FT_UInt previous = 0;
  int minX = 0, maxX = 0;
  for (uint32_t cp : CodePoints(text)) {
    const FT_UInt index = FT_Get_Char_Index(face, cp);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector kern{};
      FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
      pen += kern.x / 64.0;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) continue;
    const FT_GlyphSlot slot = face->glyph;
    Glyph g;
    g.x = static_cast<int>(std::lround(pen)) + slot->bitmap_left;
    g.top = ascent - slot->bitmap_top;
    g.w = static_cast<int>(slot->bitmap.width);
    g.h = static_cast<int>(slot->bitmap.rows);
    for (int y = 0; y < g.h; ++y) {
      const uint8_t* row = slot->bitmap.buffer + static_cast<ptrdiff_t>(y) * slot->bitmap.pitch;
      g.pixels.insert(g.pixels.end(), row, row + g.w);
    }
    minX = std::min(minX, g.x);
    maxX = std::max(maxX, g.x + g.w);
    pen += slot->advance.x / 64.0 + tracking;
    previous = index;
    glyphs.push_back(std::move(g));
  }
  maxX = std::max(maxX, static_cast<int>(std::ceil(pen - tracking)));
  mask.width = maxX - minX;
  mask.height = ascent + descent;
  mask.baseline = ascent;
  mask.coverage.assign(static_cast<size_t>(std::max(0, mask.width)) * mask.height, 0.0f);
  for (const Glyph& g : glyphs) {
    for (int y = 0; y < g.h; ++y) {
      for (int x = 0; x < g.w; ++x) {
        const int mx = g.x - minX + x;
        const int my = g.top + y;
        if (mx < 0 || my < 0 || mx >= mask.width || my >= mask.height) continue;
        float& c = mask.coverage[static_cast<size_t>(my) * mask.width + mx];
        c = std::min(1.0f, c + g.pixels[static_cast<size_t>(y) * g.w + x] / 255.0f);
      }
    }
  }
  return mask;
}
