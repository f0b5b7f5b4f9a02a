#include "tests/support/SceneContent.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tests/support/PngWriter.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/CString.h"

namespace {

// Rows bottom first, as a TGA stores them.
template <typename Colour>
std::string Image(int width, int height, Colour colour) {
  TgaImage image{static_cast<uint16_t>(width), static_cast<uint16_t>(height), 24, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::array<uint8_t, 3> c = colour(x, y);
      image.pixels.insert(image.pixels.end(), c.begin(), c.end());
    }
  return MakeTga(image, false);
}

std::array<uint8_t, 3> Rgb(int r, int g, int b) {
  return {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

}  // namespace

std::string TestResourcePack(int lumps) {
  std::vector<std::string> images = {
      Image(8, 8, [](int, int) { return Rgb(128, 128, 128); }),
      Image(256, 32, [](int x, int y) { return Rgb(x, 64 + 4 * y, 40); }),
      Image(256, 64, [](int, int) { return Rgb(150, 60, 190); }),
      Image(256, 128, [](int, int) { return Rgb(30, 160, 160); })};
  for (int slot = 4; slot < 8; ++slot)
    images.push_back(
        Image(512, 32, [slot](int x, int y) { return Rgb(x / 2, 60 * (slot - 3), 255 - 4 * y); }));
  std::vector<LumpSpec> specs(std::min(lumps, 8));
  for (size_t i = 0; i < specs.size(); ++i) specs[i].bytes = images[i];
  return MakeResFile(specs);
}

SceneContent FindSceneContent(const std::string& binaryDir, const std::string& scratchFolder) {
  const std::string data = binaryDir + "/data/";
  std::error_code ec;
  bool hasType = false;  // a ".bfly" file; not ".bfly" alone: a hidden file
  for (const auto& entry : std::filesystem::directory_iterator(data, ec))
    hasType = hasType || entry.path().extension() == ".bfly";
  if (std::filesystem::is_regular_file(data + "qorvane.vessimots", ec) && hasType)
    return {data + "qorvane.vessimots", data, true};
  const SceneContent content{scratchFolder + "/qorvane.vessimots", scratchFolder + "/", false};
  WriteBytes(content.resourceFile, TestResourcePack(8));
  const struct {
    const char* file;
    const char* name;
    std::array<uint8_t, 3> colour;
  } types[] = {{"GOT-F.bfly", "Orange", {{230, 120, 30}}},
               {"Blue.bfly", "Blue", {{60, 110, 230}}},
               {"White.bfly", "White", {{235, 235, 225}}}};
  for (const auto& type : types) {
    ButterflySpec recipe;
    recipe.name = type.name;
    recipe.colours = {type.colour};
    WriteBytes(content.typeFolder + type.file, ButterflyFile(recipe));
  }
  return content;
}

SETTINGS SceneSettings(const std::string& typeFolder, int64_t count, bool shadows) {
  SETTINGS s;
  s.WANTSHADOW = shadows;
  s.LBFLYSIZE = 70;
  s.LFLYSPEED = 75;
  s.MIXBFLY = 0;
  s.MAX_BFLY = count;
  CopyCString(s.BFlyPath, typeFolder.c_str());
  CopyCString(s.SelectedBFlyName, "GOT-F.bfly");
  return s;
}

std::array<uint8_t, 3> TestPictureColour(double u, double v) {
  if (v < 0.125) return Rgb(235, 235, 235);
  if (v < 0.5625) return u < 0.5 ? Rgb(200, 40, 40) : Rgb(40, 180, 60);
  return u < 0.5 ? Rgb(40, 60, 200) : Rgb(220, 200, 40);
}

bool WriteTestPicture(const std::string& path, int width, int height) {
  std::vector<uint8_t> rgba;
  for (int y = height - 1; y >= 0; --y) {  // bottom row first
    for (int x = 0; x < width; ++x) {
      const auto c = TestPictureColour((x + 0.5) / width, (y + 0.5) / height);
      rgba.insert(rgba.end(), {c[0], c[1], c[2], 255});
    }
  }
  return WriteFramePng(path, rgba, width, height);
}
