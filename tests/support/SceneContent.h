#pragma once
// What a scene needs to be built in tests and benchmarks: a resource pack,
// a folder of butterfly types and a background picture. The shipped data is
// used when the build has generated it; otherwise stand-ins are written with
// the file writers.
#include <array>
#include <cstdint>
#include <string>

#include "util/SETTINGS.h"

struct SceneContent {
  std::string resourceFile;  // full path of "qorvane.vessimots"
  std::string typeFolder;    // folder of ".bfly" files, ending in "/"
  bool shipped = false;      // both come from the build's generated data
};

// The shipped data of <binaryDir>/data when its resource pack and at least
// one ".bfly" file are there, else stand-ins written into `scratchFolder`
// (which must exist): TestResourcePack(8) and three butterfly types.
SceneContent FindSceneContent(const std::string& binaryDir, const std::string& scratchFolder);

// A "QORF" resource pack of `lumps` opaque 24-bit images (at most 8):
// slot 0 an 8 x 8 grey square; slot 1 the logo, 256 x 32, with red = column
// and green = 64 + 4 * row (rows from the bottom), blue 40; slots 2 and 3 the
// intro images, 256 x 64 purple and 256 x 128 teal; slots 4 to 7 the message
// strips, 512 x 32, with red = column / 2, green = 60 * (slot - 3) and
// blue = 255 - 4 * row.
std::string TestResourcePack(int lumps);

// Settings for a scene over `typeFolder`: `count` butterflies of random
// types at the default size and speed, shadows as given.
SETTINGS SceneSettings(const std::string& typeFolder, int64_t count, bool shadows);

// The background picture: `width` x `height` pixels, a light band over the
// top eighth, and under it four quadrants: red top left, green top right,
// blue bottom left, yellow bottom right. Written as a PNG; false when that
// fails.
bool WriteTestPicture(const std::string& path, int width, int height);
// Its colour at (u, v), fractions of its width and height from the top-left
// corner.
std::array<uint8_t, 3> TestPictureColour(double u, double v);
