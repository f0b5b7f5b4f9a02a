// Writes the seed corpus of fuzz_tga into the folder named by its argument:
// both image types at both depths, run-length images with raw and run
// packets, and short images.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  bool ok = true;
  for (uint8_t bpp : {24, 32}) {
    TgaImage image{9, 5, bpp, {}};
    for (int i = 0; i < 9 * 5; ++i) {
      const int v = i % 11 < 6 ? 1 : i;  // runs between distinct pixels
      for (int c = 0; c < bpp / 8; ++c) image.pixels.push_back(static_cast<uint8_t>(v + 40 * c));
    }
    const std::string depth = std::to_string(bpp);
    const std::string raw = MakeTga(image, false);
    const std::string rle = MakeTga(image, true);
    ok &= WriteBytes(folder + "raw" + depth, raw);
    ok &= WriteBytes(folder + "rle" + depth, rle);
    ok &= WriteBytes(folder + "raw" + depth + "-short", raw.substr(0, raw.size() - 5));
    ok &= WriteBytes(folder + "rle" + depth + "-short", rle.substr(0, rle.size() - 2));
  }
  return ok ? 0 : 1;
}
