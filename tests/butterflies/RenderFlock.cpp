// Renders the test flock into one PNG contact sheet, to look at how
// butterflies fly, flap, land and cast shadows:
//   flock_render OUT.png [START] [EVERY] [SEED]
// flies the flock at 1/60 s per frame and tiles 16 frames of 640 x 360
// pixels, halved, four by four: the frames at START seconds (default 2) and
// every EVERY seconds (default 0.5) after it. START "landing" starts a
// quarter of a second before the first landing.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/support/OffscreenGL.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;
constexpr int kColumns = 4, kRows = 4;
constexpr int kTileWidth = kWidth / 2, kTileHeight = kHeight / 2;

// Copies a frame (RGBA, bottom row first), halved by averaging 2 x 2 pixels,
// into tile `index` of the sheet (RGB, top row first).
void AddTile(std::vector<uint8_t>* sheet, const std::vector<uint8_t>& rgba, int index) {
  const int sheetWidth = kColumns * kTileWidth;
  const int left = (index % kColumns) * kTileWidth;
  const int top = (index / kColumns) * kTileHeight;
  for (int y = 0; y < kTileHeight; ++y) {
    for (int x = 0; x < kTileWidth; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const int sy = kHeight - 1 - (2 * y + dy);
            sum += rgba[(static_cast<size_t>(sy) * kWidth + 2 * x + dx) * 4 + c];
          }
        (*sheet)[(static_cast<size_t>(top + y) * sheetWidth + left + x) * 3 + c] =
            static_cast<uint8_t>(sum / 4);
      }
    }
  }
  // Dark lines between tiles.
  for (int y = 0; y < kTileHeight; ++y)
    for (int c = 0; c < 3; ++c) (*sheet)[(static_cast<size_t>(top + y) * sheetWidth + left) * 3 + c] = 60;
  for (int x = 0; x < kTileWidth; ++x)
    for (int c = 0; c < 3; ++c) (*sheet)[(static_cast<size_t>(top) * sheetWidth + left + x) * 3 + c] = 60;
}

bool WritePng(const std::string& path, std::vector<uint8_t>& rgb, int w, int h) {
  GdkPixbuf* pixbuf =
      gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, w, h, w * 3, nullptr, nullptr);
  GError* error = nullptr;
  const bool ok = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, nullptr);
  if (error) g_error_free(error);
  g_object_unref(pixbuf);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [START] [EVERY] [SEED]\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  const bool atLanding = argc > 2 && std::string(argv[2]) == "landing";
  double start = argc > 2 && !atLanding ? std::atof(argv[2]) : 2.0;
  const double every = argc > 3 ? std::atof(argv[3]) : 0.5;
  const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1;

  OffscreenGL gl;
  if (!gl.Create(kWidth, kHeight)) {
    std::fprintf(stderr, "%s\n", gl.error().c_str());
    return 1;
  }
  TempDir types;
  ButterflySpec amber;
  amber.name = "Amber";
  amber.colours = {{{230, 140, 20}}, {{200, 60, 40}}, {{240, 220, 60}}};
  WriteButterflyType(types.path(), "Amber.bfly", amber);
  ButterflySpec blue;
  blue.name = "Blue";
  blue.wingSpan = 3.0f;
  blue.colours = {{{40, 90, 230}}};
  WriteButterflyType(types.path(), "Blue.bfly", blue);

  const SETTINGS settings = FlockSettings(types.path(), 10);
  if (atLanding) {
    // A dry run finds the first landing; the same seed repeats it.
    std::srand(seed);
    AQUARIUM dry;
    if (!dry.Setup(&settings)) return 1;
    PrepareFlockGL();
    bool landed = false;
    for (int f = 1; !landed && f < 60 * 600; ++f) {
      DrawFlockFrame(&dry, 16, 9, 0.75f, 1.0f / 60.0f, false);
      for (int i = 0; i < dry.numBFlys; ++i) landed = landed || dry.bflys[i].action == ONEBFLY::kLanded;
      start = (f - 15) / 60.0;
    }
  }
  std::srand(seed);
  AQUARIUM aquarium;
  if (!aquarium.Setup(&settings)) {
    std::fprintf(stderr, "aquarium set-up failed\n");
    return 1;
  }
  PrepareFlockGL();
  const float dt = 1.0f / 60.0f;
  const int first = static_cast<int>(start * 60 + 0.5);
  const int step = every > 0 ? static_cast<int>(every * 60 + 0.5) : 30;
  std::vector<uint8_t> sheet(static_cast<size_t>(kColumns * kTileWidth) * kRows * kTileHeight * 3);
  int tile = 0;
  for (int f = 1; tile < kColumns * kRows; ++f) {
    DrawFlockFrame(&aquarium, kWidth, kHeight, 0.75f, dt, true);
    if (f < first || (f - first) % step != 0) continue;
    AddTile(&sheet, gl.ReadPixels(), tile++);
  }
  if (!WritePng(out, sheet, kColumns * kTileWidth, kRows * kTileHeight)) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
