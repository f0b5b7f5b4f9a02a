// Writes the seed corpus of fuzz_lump into the folder named by its argument:
// sound "BFLY" and "QORF" files with image and other lumps, and a few broken
// ones next to them.
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
  TgaImage image{4, 2, 32, {}};
  for (int i = 0; i < 4 * 2 * 4; ++i) image.pixels.push_back(static_cast<uint8_t>(i * 7));
  std::vector<LumpSpec> lumps(3);
  lumps[0].bytes = "MS3D000000";
  lumps[0].type = 0;
  lumps[1].bytes = MakeTga(image, false);
  lumps[1].alphaMode = 1;
  lumps[2].bytes = MakeTga(image, true);
  lumps[2].alphaMode = 2;

  BflyHeaderSpec header;
  header.name = "Seed";
  header.hasAlphaLump = 1;
  BflyHeaderSpec old = header;
  old.versionMajor = 0;
  old.versionMinor = 3;
  LumpFileOverrides reserved;
  reserved.reservedFill = 0x5a;
  std::vector<LumpSpec> pastEnd = lumps;
  pastEnd[1].offset = 1u << 20;
  pastEnd[2].size = 1u << 30;

  const std::vector<std::pair<std::string, std::string>> files = {
      {"bfly", MakeBflyFile(header, lumps)},
      {"bfly-v0", MakeBflyFile(old, lumps)},
      {"bfly-empty", MakeBflyFile(header, {})},
      {"bfly-past-end", MakeBflyFile(header, pastEnd)},
      {"qorf", MakeResFile(lumps)},
      {"qorf-reserved", MakeResFile(lumps, reserved)},
      {"qorf-empty", MakeResFile({})},
  };
  bool ok = true;
  for (const auto& [name, bytes] : files) ok &= WriteBytes(folder + name, bytes);
  return ok ? 0 : 1;
}
