// Fuzz target for the TGA reader: the input is one image read from memory
// with LoadTGA2, as from a lump's stream. No OpenGL.
#include <cstdint>

#include "util/Diagnostics.h"
#include "util/MemoryStream.h"
#include "util/Texture.h"

namespace {
void Silent(const char*, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetAlertHook(Silent);
  MemoryStream in(data, size);
  Texture texture;
  if (LoadTGA2(&texture, &in)) {
    // Touch every pixel so that a short buffer shows.
    const uint64_t bytes = uint64_t{texture.width} * texture.height * (texture.bpp / 8);
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes; ++i) sum = static_cast<uint8_t>(sum + texture.imageData[i]);
  }
  return 0;
}
