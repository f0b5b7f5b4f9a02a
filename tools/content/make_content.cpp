// Writes the shipped data into one folder at build time: every butterfly
// type (".bfly"), the resource pack "qorvane.vessimots" and the default
// background picture. The output depends on nothing but this program and the
// font files it is given: the same bytes on every build.
//
// Usage: make_content OUTDIR --font REGULAR.ttf --bold BOLD.ttf [--textures DIR]
// With --textures, each wing texture and the picture are also written as PNGs
// for looking at.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/LumpWriter.h"
#include "tools/content/ButterflyBuilder.h"
#include "tools/content/Kinds.h"
#include "tools/content/PackImages.h"
#include "tools/content/TextRenderer.h"
#include "tools/content/RgbImage.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "make_content: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir, font, bold, textureDir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--font" || arg == "--bold" || arg == "--textures") && i + 1 < argc) {
      (arg == "--font" ? font : arg == "--bold" ? bold : textureDir) = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && outDir.empty()) {
      outDir = arg;
    } else {
      return Fail("usage: make_content OUTDIR --font REGULAR.ttf --bold BOLD.ttf [--textures DIR]");
    }
  }
  if (outDir.empty()) return Fail("no output folder given");
  TextRenderer regular, boldFont;
  std::string error;
  if (!regular.Open(font, &error) || !boldFont.Open(bold, &error)) return Fail(error);

  if (!WriteBytes(outDir + "/qorvane.vessimots", BuildResourcePack(regular, boldFont)))
    return Fail("cannot write qorvane.vessimots");
  const RgbImage picture = DefaultPicture(1920, 1080);
  if (!WriteJpeg(outDir + "/Aqua Blue.jpg", picture.width(), picture.height(),
                 picture.Bytes(false), 90, &error))
    return Fail(error);
  if (!textureDir.empty() &&
      !WritePng(textureDir + "/picture.png", picture.width(), picture.height(), 3,
                picture.Bytes(false), &error))
    return Fail(error);

  for (const ButterflyKind& kind : ShippedKinds()) {
    const std::string bytes = BuildBflyFile(kind);
    if (!WriteBytes(outDir + "/" + kind.fileName, bytes)) return Fail("cannot write " + kind.fileName);
    if (!textureDir.empty()) {
      const WingOutlines wings = BuildOutlines(kind);
      for (int v = 0; v < kind.textureCount; ++v) {
        const RgbImage image = PaintTexture(kind, wings, v);
        std::string error;
        const std::string path = textureDir + "/" + kind.fileName + "." + std::to_string(v) + ".png";
        if (!WritePng(path, image.width(), image.height(), 3, image.Bytes(false), &error))
          return Fail(error);
      }
    }
  }
  return 0;
}
