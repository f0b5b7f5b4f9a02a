#pragma once
// Builds butterfly-like types procedurally: a MilkShape 3D body with a
// skeleton ("body" joint 0, "wingl" joint 1 on the -x side, "wingr" joint 2 on
// the +x side, so that the flight model's wing rotation raises both wings),
// two-sided wings of a few hundred vertices, and solid-colour wing textures,
// packed as a ".bfly" file. For tests, benchmarks and soak runs; never
// linked into the product.
//
// Model units: the body runs along z (the butterfly's forward axis) from -2
// to 2; each wing reaches `wingSpan` from the body along x and is `wingDepth`
// deep along z; everything lies in y = 0 except the body's cross-section.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/LumpWriter.h"
#include "tools/MS3DWriter.h"

struct ButterflySpec {
  std::string name = "Test Butterfly";  // display name in the header
  // One texture per entry: its colour (R, G, B), 16 x 16 pixels.
  std::vector<std::array<uint8_t, 3>> colours = {{{220, 120, 30}}};
  int wingCells = 8;        // grid cells per wing edge; (cells + 1)^2 vertices a wing face
  float wingSpan = 4.0f;    // model units
  float wingDepth = 3.0f;   // model units
  bool wingJoints = true;   // false: the wings hang on the body joint
  uint8_t modelScale = 100; // per cent
  bool sharedAlpha = false; // lump 1 holds an alpha image shared by the textures
  int32_t alphaMode = 0;    // alpha rule of every directory entry
};

// The model alone: groups "body" (material 0) and "wings" (material 1).
MS3DWriter ButterflyModel(const ButterflySpec& recipe);
// The whole ".bfly" file for `model` (lump 0), then the alpha image when
// shared, then one TGA lump per colour.
std::string ButterflyFile(const ButterflySpec& recipe, const MS3DWriter& model);
std::string ButterflyFile(const ButterflySpec& recipe);
