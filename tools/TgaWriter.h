#pragma once
// Builds TGA images (true colour, 24 or 32 bits, uncompressed type 2 or
// run-length type 10) for tests, fuzz seeds and content tools. Never linked
// into the product. Results are byte strings.
#include <cstdint>
#include <string>
#include <vector>

struct TgaImage {
  uint16_t width = 0;   // pixels
  uint16_t height = 0;  // pixels
  uint8_t bpp = 24;     // bits per pixel: 24 or 32
  // R, G, B (then A) per pixel, rows in file order (bottom row first).
  std::vector<uint8_t> pixels;
};

// The 18-byte header with every field as given, unchecked, so that tests can
// write headers the reader must refuse. No image ID bytes are written even
// when idLength is not 0.
struct TgaHeaderSpec {
  uint8_t idLength = 0;
  uint8_t colourMapType = 0;
  uint8_t imageType = 2;  // 2 uncompressed, 10 run-length
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t bpp = 24;
  uint8_t descriptor = 0;
};
std::string MakeTgaHeader(const TgaHeaderSpec& header);

// The pixels as stored in a type-2 file: B, G, R (then A) per pixel.
std::string TgaPixelBytes(const TgaImage& image);

// Run-length packets for the pixels: repeats of two or more equal pixels
// become run packets, everything else raw packets, at most 128 pixels each;
// packets run on across row ends.
std::string EncodeTgaRunLength(const TgaImage& image);

// A whole file: the header for `image` (type 10 when `runLength`, else 2)
// followed by its pixel data.
std::string MakeTga(const TgaImage& image, bool runLength);
