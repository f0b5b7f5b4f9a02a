#pragma once
// Description of one shipped butterfly type: its outlines, body, wing
// patterns and how its textures are stored. The builder turns it into a
// ".bfly" file.
//
// Model axes: the butterfly faces +z, its back is +y and its left +x. The
// bind pose has both wings closed upright over the back, upper sides facing
// each other, each hinged along z at the top of the thorax, so that the
// flight model's rotation of a wing joint about z by an angle a opens the
// left wing towards +x (flat at 90) and the right one towards -x.
#include <cstdint>
#include <functional>
#include <string>

#include "tools/content/RgbImage.h"
#include "tools/content/WingGeometry.h"

enum class WingSide { Upper, Under };

// How a type's textures are stored in its file; together the shipped types
// cover every path of the type loader.
enum class TextureStorage {
  Plain,        // uncompressed 24-bit TGAs, opaque alpha rule
  RunLength,    // run-length (type 10) 24-bit TGAs, opaque alpha rule
  SharedAlpha,  // a shared alpha image in lump 1 (hasAlphaLump)
  ColourKey,    // alpha rule 1: the first pixel's colour keys the unused area
};

// What the pattern function is asked to colour: one texel of one side.
struct WingTexel {
  WingSide side = WingSide::Upper;
  bool fore = true;      // the forewing shows here (else the hindwing)
  Vec2 p;                // wing-plane position, half-spans
  float edge = 0.0f;     // distance inside the shown wing's outline; 0 at and beyond it
  float foreInside = 0;  // signed distance to the forewing outline, positive inside
  float hindInside = 0;  // the same for the hindwing
};

struct BodyLook {
  Rgb dorsal = HexRgb(0x2a2420);   // upper side of body parts
  Rgb ventral = HexRgb(0x4a4038);  // belly
  Rgb stripe = HexRgb(0x2a2420);   // abdomen rings
  float stripeStrength = 0.0f;     // 0 none .. 1 solid rings
  int stripes = 6;                 // rings along the abdomen
  Rgb club = HexRgb(0x1a1614);     // antenna club
  // Proportions in wingspans.
  float abdomenLength = 0.34f;
  float abdomenRadius = 0.028f;
  float thoraxRadius = 0.040f;
  float antennaLength = 0.30f;
};

struct ButterflyKind {
  std::string fileName;     // e.g. "GOT-F.bfly"
  std::string displayName;  // at most 39 characters
  uint8_t modelScale = 100; // per cent; sets the kind's size relative to the others
  TextureStorage storage = TextureStorage::Plain;
  int textureCount = 2;     // colour variants
  uint32_t seed = 1;        // for the noise of every texture
  Outline foreControl;      // control points of the forewing outline
  Outline hindControl;      // of the hindwing, with tails where the kind has them
  int samplesPerSegment = 6;  // outline samples between control points
  // Optional refinement of the sampled outlines (scalloped margins).
  std::function<void(Outline* fore, Outline* hind)> refine;
  BodyLook body;
  // Colour of one texel for a variant (0 .. textureCount - 1).
  std::function<Rgb(const WingTexel&, int variant)> paint;
};
