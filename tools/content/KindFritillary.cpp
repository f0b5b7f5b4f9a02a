// "GOT-F.bfly", the default type: a golden fritillary with the gulf
// fritillary's look. Long pointed forewings of bright orange-gold with a few
// black spots and black veins near the edge; under side buff-orange with
// elongated silver spots outlined in black.
#include "tools/content/KindHelpers.h"
#include "tools/content/Kinds.h"

namespace {

struct Palette {
  Rgb base;      // upper side ground
  Rgb deep;      // towards the root
  Rgb black;
  Rgb underFore; // under side of the forewing
  Rgb underHind; // under side of the hindwing
  float ink;     // how much black the upper side carries, 0..1
};

Palette PaletteFor(int variant) {
  switch (variant) {
    case 1:  // a darker, duskier female
      return {HexRgb(0xE0661A), HexRgb(0xA8441A), HexRgb(0x1A1210), HexRgb(0xE59A58),
              HexRgb(0xA77A4E), 1.0f};
    case 2:  // a pale golden form
      return {HexRgb(0xF7A23A), HexRgb(0xD47A2A), HexRgb(0x2A1C14), HexRgb(0xF1C084),
              HexRgb(0xC49A66), 0.7f};
    default:  // the bright orange-gold male
      return {HexRgb(0xF5841F), HexRgb(0xD2561A), HexRgb(0x16100E), HexRgb(0xEFA560),
              HexRgb(0xB4865A), 0.85f};
  }
}

Rgb Upper(const WingTexel& t, const Palette& pal) {
  Rgb c = MixRgb(pal.deep, pal.base, SmoothStep(0.05f, 0.45f, RootDistance(t)));
  const Vec2 p = t.p;
  if (t.fore) {
    // Black tracing along the veins towards the edge and the apex.
    const float outer = SmoothStep(0.55f, 0.85f, Length(p, kForeRoot));
    c = Over(c, pal.black, Veins(t, 0.010f + 0.010f * outer, 0.35f) * outer * pal.ink);
    // The spots in and beyond the cell, three with pale centres.
    const Vec2 spots[] = {{0.34f, 0.13f}, {0.47f, 0.17f}, {0.42f, 0.05f}, {0.62f, 0.12f},
                          {0.58f, -0.02f}};
    for (int i = 0; i < 5; ++i) {
      const float r = (i < 3 ? 0.038f : 0.030f) * (0.8f + 0.3f * pal.ink);
      c = Over(c, pal.black, Disc(p, spots[i], r));
      if (i < 3) c = Over(c, HexRgb(0xF6EEE0), Disc(p, spots[i], r * 0.42f) * 0.9f);
    }
    c = Over(c, pal.black, Margin(t, 0.022f) * 0.9f);
  } else {
    // A black border band holding round orange spots.
    const float band = Margin(t, 0.085f);
    c = Over(c, pal.black, band);
    c = Over(c, pal.base, MarginDots(t, 0.045f, 0.11f, 0.026f) * band);
    c = Over(c, pal.black, Veins(t, 0.008f, 0.4f) * 0.5f * pal.ink);
    // Two dark spots near the front of the hindwing.
    c = Over(c, pal.black, Disc(p, {0.36f, -0.17f}, 0.022f) * pal.ink);
  }
  return c;
}

Rgb Under(const WingTexel& t, const Palette& pal) {
  const Vec2 p = t.p;
  const Rgb silver = HexRgb(0xE8ECEE);
  if (t.fore) {
    Rgb c = MixRgb(HexRgb(0xE86A24), pal.underFore, SmoothStep(0.1f, 0.6f, RootDistance(t)));
    // Black spots as above, dimmer, and silver spots near the apex.
    const Vec2 spots[] = {{0.34f, 0.13f}, {0.47f, 0.17f}, {0.42f, 0.05f}};
    for (const Vec2& s : spots) c = Over(c, pal.black, Disc(p, s, 0.032f) * 0.8f);
    const Vec2 silverSpots[] = {{0.80f, 0.27f}, {0.86f, 0.18f}, {0.74f, 0.18f}, {0.66f, 0.23f}};
    for (const Vec2& s : silverSpots) {
      c = Over(c, HexRgb(0x3A2A1E), Ellipse(p, s, 0.045f, 0.027f, 0.2f));
      c = Over(c, silver, Ellipse(p, s, 0.035f, 0.019f, 0.2f));
    }
    c = Over(c, HexRgb(0x8A6A4A), Margin(t, 0.015f) * 0.6f);
    return c;
  }
  Rgb c = MixRgb(pal.underHind, HexRgb(0xC8A070), SmoothStep(0.3f, 0.7f, RootDistance(t)));
  // Elongated silver spots outlined in black, in rows following the veins.
  const Vec2 root = kHindRoot;
  const float angles[] = {-16, -30, -44, -58, -72, -88, -104};
  const float radii[] = {0.22f, 0.42f, 0.58f};
  for (int row = 0; row < 3; ++row) {
    for (int i = 0; i < 7; ++i) {
      if ((row + i) % 3 == 2 && row != 2) continue;
      const float a = (angles[i] + (row == 1 ? 7.0f : 0.0f)) * kDeg;
      const float r = radii[row] * (1.0f - 0.08f * std::fabs(i - 3.0f) / 3.0f);
      const Vec2 centre{root.u + r * std::cos(a), root.v + r * std::sin(a)};
      const float len = row == 2 ? 0.036f : 0.05f;
      c = Over(c, HexRgb(0x241810), Ellipse(p, centre, len + 0.011f, 0.024f, a));
      c = Over(c, silver, Ellipse(p, centre, len, 0.014f, a));
    }
  }
  c = Over(c, HexRgb(0x7A5A3A), Margin(t, 0.02f) * 0.7f);
  return c;
}

}  // namespace

ButterflyKind GulfFritillaryKind() {
  ButterflyKind k;
  k.fileName = "GOT-F.bfly";
  k.displayName = "Golden Fritillary";
  k.modelScale = 100;
  k.storage = TextureStorage::Plain;
  k.textureCount = 3;
  k.seed = 0x601DF217u;
  k.foreControl = {{0.02f, 0.07f},  {0.20f, 0.17f},  {0.50f, 0.27f}, {0.80f, 0.34f},
                   {0.97f, 0.33f},  {1.00f, 0.25f},  {0.91f, 0.08f}, {0.78f, -0.10f},
                   {0.63f, -0.25f}, {0.45f, -0.28f}, {0.25f, -0.21f}, {0.06f, -0.09f}};
  k.hindControl = {{0.03f, 0.00f},  {0.25f, 0.02f},  {0.50f, -0.05f}, {0.67f, -0.19f},
                   {0.71f, -0.36f}, {0.63f, -0.52f}, {0.47f, -0.63f}, {0.30f, -0.65f},
                   {0.14f, -0.55f}, {0.05f, -0.36f}, {0.02f, -0.16f}};
  k.refine = [](Outline* fore, Outline* hind) {
    (void)fore;
    Scallop(hind, NearestSample(*hind, {0.69f, -0.25f}), NearestSample(*hind, {0.24f, -0.64f}), 6,
            0.012f);
  };
  k.body.dorsal = HexRgb(0x3A2418);
  k.body.ventral = HexRgb(0xB0784A);
  k.body.stripe = HexRgb(0xC8803A);
  k.body.stripeStrength = 0.35f;
  k.body.club = HexRgb(0xB06A30);
  k.paint = [](const WingTexel& t, int variant) {
    const Palette pal = PaletteFor(variant);
    const Rgb c = t.side == WingSide::Upper ? Upper(t, pal) : Under(t, pal);
    return Finish(t, c, 0x601DF217u + static_cast<uint32_t>(variant) * 7u, 0.15f);
  };
  return k;
}
