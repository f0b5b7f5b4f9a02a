// The large kinds: monarch, blue morpho and eastern tiger swallowtail.
#include "tools/content/KindHelpers.h"
#include "tools/content/Kinds.h"

namespace {

// --- Monarch: deep orange cells between heavy black veins, a black margin
// with two rows of white dots, white spots at the forewing tip.

struct MonarchPalette {
  Rgb orange, deep, under, black;
};

MonarchPalette MonarchColours(int variant) {
  switch (variant) {
    case 1: return {HexRgb(0xD9561A), HexRgb(0xA8401A), HexRgb(0xDC8A3E), HexRgb(0x120E0C)};
    case 2: return {HexRgb(0xF0902E), HexRgb(0xCC6A22), HexRgb(0xEDB76A), HexRgb(0x1C1612)};
    default: return {HexRgb(0xE8741C), HexRgb(0xC2501A), HexRgb(0xE5A049), HexRgb(0x141010)};
  }
}

Rgb MonarchPaint(const WingTexel& t, int variant) {
  const MonarchPalette pal = MonarchColours(variant);
  const bool upper = t.side == WingSide::Upper;
  const Vec2 p = t.p;
  Rgb ground = upper ? MixRgb(pal.deep, pal.orange, SmoothStep(0.05f, 0.4f, RootDistance(t)))
                     : MixRgb(pal.orange, pal.under, SmoothStep(0.1f, 0.5f, RootDistance(t)));
  Rgb c = ground;
  c = Over(c, pal.black, Veins(t, 0.016f, 0.06f));
  if (t.fore) {
    // Black leading edge and tip with white and orange spots.
    const float costa = SmoothStep(0.23f, 0.27f, p.v - 0.05f * p.u);
    const Vec2 apex{0.96f, 0.27f};
    const float tip = Disc(p, apex, upper ? 0.30f : 0.24f, 0.02f);
    const Rgb tipColour = upper ? pal.black : MixRgb(pal.black, pal.under, 0.55f);
    c = Over(c, tipColour, std::max(costa, tip));
    const Vec2 whites[] = {{0.72f, 0.23f}, {0.78f, 0.19f}, {0.84f, 0.16f}, {0.90f, 0.12f},
                           {0.74f, 0.30f}, {0.82f, 0.30f}};
    for (const Vec2& w : whites) c = Over(c, HexRgb(0xF4EEE2), Disc(p, w, 0.018f));
    const Vec2 oranges[] = {{0.64f, 0.18f}, {0.68f, 0.12f}};
    for (const Vec2& o : oranges) c = Over(c, pal.orange, Disc(p, o, 0.022f));
  } else {
    // The hindwing's discal cell outlined in black.
    c = Over(c, pal.black, Stroke(p, {0.12f, -0.12f}, {0.40f, -0.26f}, 0.012f));
    c = Over(c, pal.black, Stroke(p, {0.40f, -0.26f}, {0.30f, -0.40f}, 0.010f));
  }
  const float band = Margin(t, 0.075f);
  c = Over(c, pal.black, band);
  const Rgb dot = HexRgb(0xF2EEE6);
  c = Over(c, dot, band * MarginDots(t, 0.022f, 0.052f, 0.0095f));
  c = Over(c, dot, band * MarginDots(t, 0.052f, 0.062f, 0.0115f, 0.0f));
  return Finish(t, c, 0x303A2C1Fu + variant, 0.1f);
}

// --- Blue morpho: brilliant blue with a wide black forewing margin above;
// brown with bronze and cream bands and a row of eyespots below.

struct MorphoPalette {
  Rgb blue, bright, black;
  float margin;  // forewing black margin width
};

MorphoPalette MorphoColours(int variant) {
  switch (variant) {
    case 1: return {HexRgb(0x1F5FC8), HexRgb(0x4AA8F0), HexRgb(0x0E0F16), 0.17f};
    case 2: return {HexRgb(0x1E86C8), HexRgb(0x5AD6F0), HexRgb(0x0E1214), 0.11f};
    default: return {HexRgb(0x2070E0), HexRgb(0x62C4FF), HexRgb(0x0C0E14), 0.13f};
  }
}

Rgb Eyespot(Rgb c, Vec2 p, Vec2 centre, float r) {
  c = Over(c, HexRgb(0x2A1A10), Disc(p, centre, r * 1.25f));
  c = Over(c, HexRgb(0xE8C050), Disc(p, centre, r));
  c = Over(c, HexRgb(0x1A1210), Disc(p, centre, r * 0.68f));
  c = Over(c, HexRgb(0xF0E8D8), Disc(p, {centre.u - r * 0.15f, centre.v + r * 0.15f}, r * 0.25f));
  return c;
}

Rgb MorphoPaint(const WingTexel& t, int variant) {
  const MorphoPalette pal = MorphoColours(variant);
  const Vec2 p = t.p;
  if (t.side == WingSide::Upper) {
    // Iridescence: a sheen that shifts across the wing.
    const float sheen = Fbm(p.u * 3.0f, p.v * 3.0f, 0x3E7A11u + variant, 3);
    Rgb c = MixRgb(pal.blue, pal.bright, SmoothStep(0.1f, 0.6f, RootDistance(t)) * (0.6f + 0.5f * sheen));
    c = MixRgb(HexRgb(0x0E1A3A), c, SmoothStep(0.0f, 0.2f, RootDistance(t)));
    c = Over(c, ScaleRgb(pal.blue, 0.55f), Veins(t, 0.006f, 0.2f) * 0.5f);
    if (t.fore) {
      const float costa = SmoothStep(pal.margin * 0.5f + 0.17f, pal.margin * 0.5f + 0.21f,
                                     p.v - 0.08f * p.u);
      const float widen = 0.6f + 0.8f * SmoothStep(0.3f, 0.9f, p.u);
      c = Over(c, pal.black, std::max(costa, Margin(t, pal.margin * widen)));
      const Vec2 whites[] = {{0.80f, 0.20f}, {0.86f, 0.13f}, {0.74f, 0.25f}};
      for (const Vec2& w : whites) c = Over(c, HexRgb(0xEEF2F6), Disc(p, w, 0.016f));
    } else {
      c = Over(c, pal.black, Margin(t, 0.05f));
      c = Over(c, pal.blue, MarginDots(t, 0.028f, 0.09f, 0.011f) * 0.7f);
    }
    return Finish(t, c, 0x3E7A11u + variant, 0.1f);
  }
  // Under side: brown with bands and eyespots.
  const float bands = Fbm(p.u * 8.0f, p.v * 8.0f, 0x51A2u, 3);
  Rgb c = MixRgb(HexRgb(0x5A3A24), HexRgb(0x7A5234), bands);
  const float r = RootDistance(t);
  c = Over(c, HexRgb(0xB08A4A), (1.0f - SmoothStep(0.02f, 0.03f, std::fabs(r - 0.28f))) * 0.8f);
  c = Over(c, HexRgb(0xD8C49A), (1.0f - SmoothStep(0.015f, 0.025f, std::fabs(r - 0.34f))) * 0.7f);
  c = Over(c, HexRgb(0xA87A44), Margin(t, 0.05f) * 0.6f);
  c = Over(c, HexRgb(0xE0CCA4), MarginDots(t, 0.02f, 0.05f, 0.008f) * 0.8f);
  if (t.fore) {
    const Vec2 eyes[] = {{0.58f, 0.14f}, {0.70f, 0.02f}, {0.60f, -0.15f}};
    for (const Vec2& e : eyes) c = Eyespot(c, p, e, 0.045f);
  } else {
    const Vec2 eyes[] = {{0.58f, -0.22f}, {0.60f, -0.40f}, {0.48f, -0.56f}, {0.30f, -0.62f}};
    for (const Vec2& e : eyes) c = Eyespot(c, p, e, 0.048f);
  }
  return Finish(t, c, 0x51A2u + variant, 0.2f);
}

// --- Eastern tiger swallowtail: lemon yellow with four black stripes from
// the leading edge, black margins with yellow lunules, blue and an orange
// spot near the tail.

struct TigerPalette {
  Rgb yellow, pale, black;
  float blue;  // how much blue on the hindwing
};

TigerPalette TigerColours(int variant) {
  switch (variant) {
    case 1: return {HexRgb(0xF0C832), HexRgb(0xF2DA7A), HexRgb(0x141210), 1.0f};
    case 2: return {HexRgb(0xF6E060), HexRgb(0xF6EAA0), HexRgb(0x1C1A16), 0.4f};
    default: return {HexRgb(0xF6D43A), HexRgb(0xF4E088), HexRgb(0x121010), 0.45f};
  }
}

Rgb TigerPaint(const WingTexel& t, int variant) {
  const TigerPalette pal = TigerColours(variant);
  const bool upper = t.side == WingSide::Upper;
  const Vec2 p = t.p;
  Rgb c = upper ? pal.yellow : pal.pale;
  c = Over(c, pal.black, Veins(t, upper ? 0.008f : 0.007f, 0.15f) * 0.9f);
  const float stripeScale = upper ? 1.0f : 0.8f;
  if (t.fore) {
    // Stripes across the wing from the leading edge towards the inner edge.
    struct Stripe { float u, depth, width; };
    const Stripe stripes[] = {{0.10f, -0.36f, 0.05f}, {0.26f, -0.36f, 0.032f},
                              {0.43f, -0.30f, 0.036f}, {0.61f, -0.02f, 0.032f}};
    for (const Stripe& s : stripes) {
      const Vec2 top{s.u + 0.05f, 0.42f};
      const Vec2 bottom{s.u - 0.07f, s.depth};
      c = Over(c, pal.black, Stroke(p, top, bottom, s.width * stripeScale));
    }
    c = Over(c, pal.black, Margin(t, 0.085f));
    c = Over(c, upper ? pal.yellow : pal.pale, MarginDots(t, 0.032f, 0.075f, 0.015f));
  } else {
    // The first stripe runs on along the inner edge of the hindwing.
    c = Over(c, pal.black, Stroke(p, {0.06f, -0.05f}, {0.12f, -0.60f}, 0.06f * stripeScale));
    const float band = Margin(t, 0.10f);
    c = Over(c, pal.black, band);
    const Rgb blue = HexRgb(0x4E86D8);
    c = Over(c, blue, band * (1.0f - Margin(t, 0.05f)) * SmoothStep(0.2f, 0.7f, -p.v) *
                          (upper ? pal.blue : 0.9f));
    c = Over(c, upper ? pal.yellow : HexRgb(0xF0A040), MarginDots(t, 0.028f, 0.09f, 0.02f) * band);
    c = Over(c, HexRgb(0xE8782A), Disc(p, {0.30f, -0.68f}, 0.03f));
    c = Over(c, pal.black, Disc(p, {0.30f, -0.68f}, 0.011f));
  }
  return Finish(t, c, 0x71CE4u + variant, 0.15f);
}

}  // namespace

ButterflyKind MonarchKind() {
  ButterflyKind k;
  k.fileName = "Monarch.bfly";
  k.displayName = "Monarch";
  k.modelScale = 112;
  k.storage = TextureStorage::ColourKey;
  k.textureCount = 3;
  k.seed = 0x303A2C1Fu;
  k.foreControl = {{0.02f, 0.07f},  {0.22f, 0.18f},  {0.52f, 0.28f}, {0.82f, 0.33f},
                   {0.98f, 0.30f},  {1.00f, 0.20f},  {0.93f, 0.02f}, {0.80f, -0.16f},
                   {0.64f, -0.28f}, {0.45f, -0.30f}, {0.25f, -0.22f}, {0.06f, -0.09f}};
  k.hindControl = {{0.03f, 0.00f},  {0.28f, 0.02f},  {0.55f, -0.06f}, {0.72f, -0.22f},
                   {0.74f, -0.40f}, {0.64f, -0.58f}, {0.46f, -0.68f}, {0.27f, -0.67f},
                   {0.12f, -0.56f}, {0.04f, -0.36f}, {0.02f, -0.15f}};
  k.body.dorsal = HexRgb(0x141010);
  k.body.ventral = HexRgb(0x2A2424);
  k.body.stripe = HexRgb(0xE8E4DC);
  k.body.stripeStrength = 0.35f;
  k.body.stripes = 5;
  k.body.club = HexRgb(0x141010);
  k.paint = MonarchPaint;
  return k;
}

ButterflyKind BlueMorphoKind() {
  ButterflyKind k;
  k.fileName = "BlueMorpho.bfly";
  k.displayName = "Blue Morpho";
  k.modelScale = 116;
  k.storage = TextureStorage::SharedAlpha;
  k.textureCount = 3;
  k.seed = 0x3E7A11u;
  k.foreControl = {{0.02f, 0.08f},  {0.25f, 0.20f},  {0.55f, 0.28f},  {0.85f, 0.30f},
                   {1.00f, 0.24f},  {0.98f, 0.10f},  {0.88f, -0.08f}, {0.74f, -0.24f},
                   {0.55f, -0.32f}, {0.35f, -0.30f}, {0.18f, -0.20f}, {0.05f, -0.08f}};
  k.hindControl = {{0.03f, -0.01f}, {0.30f, 0.00f},  {0.58f, -0.08f}, {0.78f, -0.24f},
                   {0.80f, -0.44f}, {0.70f, -0.62f}, {0.50f, -0.74f}, {0.30f, -0.74f},
                   {0.14f, -0.62f}, {0.05f, -0.40f}, {0.02f, -0.18f}};
  k.refine = [](Outline* fore, Outline* hind) {
    (void)fore;
    Scallop(hind, NearestSample(*hind, {0.79f, -0.32f}), NearestSample(*hind, {0.22f, -0.70f}), 7,
            0.010f);
  };
  k.body.dorsal = HexRgb(0x2A2220);
  k.body.ventral = HexRgb(0x6A5040);
  k.body.club = HexRgb(0x3A2E26);
  k.body.abdomenLength = 0.30f;
  k.paint = MorphoPaint;
  return k;
}

ButterflyKind TigerSwallowtailKind() {
  ButterflyKind k;
  k.fileName = "TigerSwallowtail.bfly";
  k.displayName = "Tiger Swallowtail";
  k.modelScale = 113;
  k.storage = TextureStorage::Plain;
  k.textureCount = 3;
  k.seed = 0x71CE4u;
  k.foreControl = {{0.02f, 0.07f},  {0.25f, 0.19f},  {0.55f, 0.29f}, {0.85f, 0.36f},
                   {0.99f, 0.33f},  {0.97f, 0.20f},  {0.86f, 0.00f}, {0.74f, -0.16f},
                   {0.60f, -0.27f}, {0.42f, -0.29f}, {0.22f, -0.21f}, {0.05f, -0.09f}};
  k.hindControl = {{0.03f, -0.01f}, {0.28f, 0.01f},  {0.52f, -0.07f}, {0.68f, -0.22f},
                   {0.70f, -0.38f}, {0.62f, -0.52f}, {0.54f, -0.64f}, {0.50f, -0.80f},
                   {0.49f, -0.96f}, {0.44f, -1.00f}, {0.42f, -0.86f}, {0.38f, -0.72f},
                   {0.24f, -0.71f}, {0.12f, -0.62f}, {0.05f, -0.42f}, {0.02f, -0.18f}};
  k.refine = [](Outline* fore, Outline* hind) {
    (void)fore;
    Scallop(hind, NearestSample(*hind, {0.69f, -0.30f}), NearestSample(*hind, {0.55f, -0.63f}), 4,
            0.016f);
    Scallop(hind, NearestSample(*hind, {0.38f, -0.72f}), NearestSample(*hind, {0.14f, -0.64f}), 3,
            0.012f);
  };
  k.body.dorsal = HexRgb(0x141210);
  k.body.ventral = HexRgb(0xE8D070);
  k.body.stripe = HexRgb(0xE8D070);
  k.body.stripeStrength = 0.25f;
  k.body.club = HexRgb(0x141210);
  k.paint = TigerPaint;
  return k;
}
