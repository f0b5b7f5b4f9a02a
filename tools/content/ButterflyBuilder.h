#pragma once
// Turns a ButterflyKind into the parts of a ".bfly" file: the MilkShape 3D
// body with its skeleton, the wing textures and the file itself.
//
// Scale: a model's wingspan is kModelSpan model units. Loaded at the default
// size (0.7, dividing by 1.3) with modelScale 100 it spans 4.5 world units,
// about 9% of the view's height at z = 0 (camera at z = 60, 45 degrees).
//
// Texture layout (kTextureSize square, rows top first): the left half holds
// the upper side of the wings, the right half the under side, both mapping
// the same wing-plane rectangle (as large as the kind's wings allow); a strip along the bottom holds the body's
// colours. Both wings of a side share their half (they are mirror images).
#include <string>

#include "tools/MS3DWriter.h"
#include "tools/content/ButterflyKind.h"
#include "tools/content/RgbImage.h"

inline constexpr float kModelSpan = 5.85f;  // model units
inline constexpr int kTextureSize = 256;    // texels

// Where the wing plane lands in each half of the texture: u0 at the half's
// left edge, vTop at the top row, the same scale both ways.
struct TextureMap {
  float u0 = 0.0f;
  float vTop = 0.0f;
  float texelsPerUnit = 1.0f;
};

struct WingOutlines {
  Outline fore;
  Outline hind;
  TextureMap map;  // the smallest rectangle around both, with a margin
};

// Sampled, refined, counter-clockwise outlines.
WingOutlines BuildOutlines(const ButterflyKind& kind);
MS3DWriter BuildModel(const ButterflyKind& kind, const WingOutlines& wings);
RgbImage PaintTexture(const ButterflyKind& kind, const WingOutlines& wings, int variant);
// The shared alpha image of a SharedAlpha kind: opaque over the wings and
// the body strip, transparent elsewhere (red channel).
RgbImage PaintAlphaImage(const WingOutlines& wings);
// The whole ".bfly" file.
std::string BuildBflyFile(const ButterflyKind& kind);
