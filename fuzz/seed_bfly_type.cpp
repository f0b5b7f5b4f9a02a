// Writes the seed corpus of fuzz_bfly_type into the folder named by its
// argument: procedural butterfly types whose texture lumps are marked as
// non-images (so they load without OpenGL), with and without wing joints and
// a shared alpha image, and one with real image lumps (which fails to build
// its textures without a context).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"

namespace {

std::string WithoutImages(const ButterflySpec& recipe, int textures) {
  BflyHeaderSpec header;
  header.name = recipe.name;
  header.modelScale = recipe.modelScale;
  header.hasAlphaLump = recipe.sharedAlpha ? 1 : 0;
  std::vector<LumpSpec> lumps(1 + textures + (recipe.sharedAlpha ? 1 : 0));
  lumps[0].bytes = ButterflyModel(recipe).Bytes();
  for (size_t i = 0; i < lumps.size(); ++i) {
    lumps[i].type = 0;
    if (i > 0) lumps[i].bytes = "not an image";
  }
  // The shared alpha image is read whatever its directory type says.
  if (recipe.sharedAlpha) lumps[1].bytes = MakeTga(TgaImage{2, 2, 24, std::vector<uint8_t>(12, 200)}, false);
  return MakeBflyFile(header, lumps);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  ButterflySpec small;
  small.wingCells = 2;
  ButterflySpec still = small;
  still.wingJoints = false;
  ButterflySpec shared = small;
  shared.sharedAlpha = true;
  shared.modelScale = 200;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"type", WithoutImages(small, 2)},
      {"type-still", WithoutImages(still, 1)},
      {"type-shared-alpha", WithoutImages(shared, 3)},
      {"type-images", ButterflyFile(small)},
  };
  bool ok = true;
  for (const auto& [name, bytes] : files) ok &= WriteBytes(folder + name, bytes);
  return ok ? 0 : 1;
}
