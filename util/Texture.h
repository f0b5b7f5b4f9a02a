#pragma once
// Textures and the TGA reader.
//
// A Texture goes from empty (no pixels, no GL name) to loaded (pixels,
// dimensions, type) through a reader or another producer, and to built (GL
// name and dimensions, no pixels) through a build function. The destructor
// frees the pixels and deletes the GL name, so the record that created a GL
// texture is the only one that deletes it; everything else only refers to the
// name. Build functions and the destructor of a built texture need the
// texture's OpenGL context current.
#include <cstdint>
#include <istream>
#include <memory>

struct Texture {
  // Tightly packed pixels, bpp / 8 bytes each, R, G, B (then A), rows in file
  // order (bottom row first for the usual TGA); null when there are none.
  std::unique_ptr<uint8_t[]> imageData;
  uint32_t bpp = 0;     // bits per pixel: 24 or 32
  uint32_t width = 0;   // pixels
  uint32_t height = 0;  // pixels
  uint32_t texID = 0;   // OpenGL texture name; 0 when there is none
  uint32_t type = 0;    // GL_RGB (24 bits) or GL_RGBA (32 bits)

  Texture() = default;
  ~Texture();
  Texture(Texture&& other) noexcept;
  Texture& operator=(Texture&& other) noexcept;
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  // Frees the pixels and deletes the GL name; safe to call repeatedly.
  void Release();
};

// Reads one TGA image (types 2 and 10, 24 or 32 bits, no ID, no colour map)
// from the stream's current position and leaves the stream just after it.
// On failure shows the reader's message through MessageBox and leaves
// imageData null.
bool LoadTGA2(Texture* texture, std::istream* stream);
bool LoadUncompressedTGA2(Texture* texture, std::istream* stream);
bool LoadCompressedTGA2(Texture* texture, std::istream* stream);
// The same reader over a file opened by path.
bool LoadTGA(Texture* texture, const char* path);

// Uploads the pixels as an RGBA texture under an alpha rule (1 colour key:
// the first pixel's colour is transparent; 2 alpha from brightness; any other
// value opaque) and frees them. False when OpenGL refused the upload.
bool BuildTexture(Texture* texture, int alphaMode);
// Uploads `texture`'s colour with the alpha channel taken from the red
// channel of `alpha`, which must be at least as large; frees `texture`'s
// pixels only.
bool BuildTGATextureWithAlpha(Texture* texture, Texture* alpha);
