#include "tools/TgaWriter.h"

#include <algorithm>
#include <cstring>

#include "tools/ByteWriter.h"

namespace {

constexpr size_t kMaxPacketPixels = 128;

size_t BytesPerPixel(const TgaImage& image) { return image.bpp == 32 ? 4 : 3; }

size_t PixelCount(const TgaImage& image) {
  return std::min(size_t{image.width} * image.height, image.pixels.size() / BytesPerPixel(image));
}

// Appends pixel `i` in file order (B, G, R, then A).
void PutPixel(std::string* out, const TgaImage& image, size_t i) {
  const uint8_t* p = image.pixels.data() + i * BytesPerPixel(image);
  PutU8(out, p[2]);
  PutU8(out, p[1]);
  PutU8(out, p[0]);
  if (BytesPerPixel(image) == 4) PutU8(out, p[3]);
}

bool SamePixel(const TgaImage& image, size_t a, size_t b) {
  const size_t n = BytesPerPixel(image);
  return std::memcmp(image.pixels.data() + a * n, image.pixels.data() + b * n, n) == 0;
}

}  // namespace

std::string MakeTgaHeader(const TgaHeaderSpec& h) {
  std::string out;
  PutU8(&out, h.idLength);
  PutU8(&out, h.colourMapType);
  PutU8(&out, h.imageType);
  out.append(5, '\0');  // colour-map specification
  PutU16(&out, 0);      // x origin
  PutU16(&out, 0);      // y origin
  PutU16(&out, h.width);
  PutU16(&out, h.height);
  PutU8(&out, h.bpp);
  PutU8(&out, h.descriptor);
  return out;
}

std::string TgaPixelBytes(const TgaImage& image) {
  std::string out;
  const size_t count = PixelCount(image);
  for (size_t i = 0; i < count; ++i) PutPixel(&out, image, i);
  return out;
}

std::string EncodeTgaRunLength(const TgaImage& image) {
  std::string out;
  const size_t count = PixelCount(image);
  size_t i = 0;
  while (i < count) {
    size_t run = 1;
    while (i + run < count && run < kMaxPacketPixels && SamePixel(image, i, i + run)) ++run;
    if (run >= 2) {
      PutU8(&out, static_cast<uint8_t>(127 + run));
      PutPixel(&out, image, i);
      i += run;
      continue;
    }
    // Raw packet: up to the next pair of equal pixels.
    size_t raw = 1;
    while (i + raw < count && raw < kMaxPacketPixels &&
           !(i + raw + 1 < count && SamePixel(image, i + raw, i + raw + 1)))
      ++raw;
    PutU8(&out, static_cast<uint8_t>(raw - 1));
    for (size_t k = 0; k < raw; ++k) PutPixel(&out, image, i + k);
    i += raw;
  }
  return out;
}

std::string MakeTga(const TgaImage& image, bool runLength) {
  TgaHeaderSpec header;
  header.imageType = runLength ? 10 : 2;
  header.width = image.width;
  header.height = image.height;
  header.bpp = image.bpp;
  header.descriptor = image.bpp == 32 ? 8 : 0;  // alpha bits; origin lower left
  return MakeTgaHeader(header) + (runLength ? EncodeTgaRunLength(image) : TgaPixelBytes(image));
}
