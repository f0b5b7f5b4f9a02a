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

// Largest image the TGA reader allocates, in pixels (256 MiB at 32 bits). A
// TGA header can claim 65535 x 65535 pixels; anything above this is refused
// with "Could not allocate memory for image" instead of trying.
inline constexpr uint64_t kMaxTgaPixels = uint64_t{1} << 26;

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
// from the stream's current position and leaves the stream just after it
// (bytes after the last run-length packet stay unread). On success fills
// imageData, bpp, width, height and type and leaves texID alone. On failure
// shows the reader's message through MessageBox (caption "ERROR", or
// "Invalid Image" for a type the reader does not take) and leaves imageData
// null; width, height and bpp may hold the rejected header's values.
// An image the rest of the stream cannot possibly hold is refused before
// anything is allocated, with the message of the read that would come up
// short. Main thread only, as MessageBox is.
bool LoadTGA2(Texture* texture, std::istream* stream);
// The two bodies LoadTGA2 runs after the 12-byte header.
bool LoadUncompressedTGA2(Texture* texture, std::istream* stream);
bool LoadCompressedTGA2(Texture* texture, std::istream* stream);
// The same reader over a file it opens by path and closes again.
bool LoadTGA(Texture* texture, const char* path);

// Uploads the pixels as an RGBA texture under an alpha rule (1 colour key:
// the first pixel's colour is transparent; 2 alpha from brightness; any other
// value opaque; a 32-bit image's own alpha is never used), frees them and
// leaves the new texture bound. False, with imageData kept and no texture
// left behind, when there are no pixels, the image has more than
// kMaxTgaPixels pixels or its work buffer cannot be allocated, or OpenGL
// refused the upload (a side above GL_MAX_TEXTURE_SIZE, a size the
// implementation cannot hold, no current context).
bool BuildTexture(Texture* texture, int alphaMode);
// Uploads `texture`'s colour with the alpha channel taken from the red
// channel of `alpha`, pixel i from pixel i, each image read with its own
// bytes per pixel; frees `texture`'s pixels only. False, as BuildTexture,
// also when `alpha` has no pixels or fewer pixels than `texture`.
bool BuildTGATextureWithAlpha(Texture* texture, Texture* alpha);
