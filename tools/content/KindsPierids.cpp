// Pale, plain-patterned kinds stored as run-length TGAs: cabbage white and
// common brimstone; and the zebra longwing.
#include "tools/content/KindHelpers.h"
#include "tools/content/Kinds.h"

namespace {

// Softer finish for the large plain areas of these kinds: little grain, so
// that the run-length packets stay long where the colour is even.
Rgb Plain(const WingTexel& t, Rgb c, float rootDark) {
  c = ScaleRgb(c, 1.0f - rootDark * (1.0f - SmoothStep(0.02f, 0.3f, RootDistance(t))));
  return ScaleRgb(c, 0.7f + 0.3f * SmoothStep(0.0f, 0.015f, t.edge));
}

// Rounds each channel to steps of 1/64, which keeps gradients smooth to the
// eye and gives the run-length encoding runs to find.
Rgb Posterise(Rgb c) {
  auto q = [](float v) { return std::round(v * 64.0f) / 64.0f; };
  return {q(c.r), q(c.g), q(c.b)};
}

// --- Cabbage white: creamy white, charcoal forewing tips, one (male) or
// two (female) black spots; under side pale yellow-green.

Rgb CabbagePaint(const WingTexel& t, int variant) {
  const Vec2 p = t.p;
  const bool female = variant == 1;
  const bool spring = variant == 2;
  const Rgb cream = spring ? HexRgb(0xF6F5EC) : HexRgb(0xF4F0E2);
  const Rgb charcoal = spring ? HexRgb(0x6A6A66) : HexRgb(0x3A3A38);
  Rgb c = cream;
  if (t.side == WingSide::Upper) {
    c = MixRgb(HexRgb(0x9A9C98), c, SmoothStep(0.02f, 0.2f, RootDistance(t)));
    if (t.fore) {
      const float tip = Disc(p, {0.98f, 0.24f}, female ? 0.26f : 0.22f, 0.03f) *
                        SmoothStep(0.0f, 0.02f, t.edge + 0.02f);
      c = Over(c, charcoal, tip);
      c = Over(c, charcoal, Disc(p, {0.58f, 0.02f}, 0.035f));
      if (female) {
        c = Over(c, charcoal, Disc(p, {0.56f, -0.15f}, 0.034f));
        c = Over(c, charcoal, Stroke(p, {0.30f, -0.27f}, {0.46f, -0.28f}, 0.018f));
      }
    } else {
      c = Over(c, charcoal, Disc(p, {0.46f, -0.03f}, 0.03f));
    }
    return Posterise(Plain(t, c, 0.1f));
  }
  if (t.fore) {
    c = Over(c, HexRgb(0xEAE4A8), Disc(p, {0.98f, 0.22f}, 0.30f, 0.06f));
    c = Over(c, HexRgb(0x5A5A56), Disc(p, {0.58f, 0.02f}, 0.03f) * 0.7f);
    c = Over(c, HexRgb(0x5A5A56), Disc(p, {0.56f, -0.15f}, 0.03f) * 0.7f);
  } else {
    const Rgb green = spring ? HexRgb(0xD4DCA0) : HexRgb(0xE2E2AE);
    c = MixRgb(green, HexRgb(0xC8CC98), SmoothStep(0.4f, 0.0f, RootDistance(t)) * 0.6f);
    c = Over(c, HexRgb(0x9AA070), Fbm(p.u * 14.0f, p.v * 14.0f, 0xCAB0u, 2) *
                                       (spring ? 0.5f : 0.3f) * SmoothStep(0.55f, 0.75f, Fbm(p.u * 14.0f, p.v * 14.0f, 0xCAB0u, 2)));
  }
  return Posterise(Plain(t, c, 0.05f));
}

// --- Common brimstone: lemon yellow (male) or pale green-white (female)
// with a small orange dot in each wing; under side like a leaf.

Rgb BrimstonePaint(const WingTexel& t, int variant) {
  const Vec2 p = t.p;
  const bool female = variant == 1;
  const Vec2 dot = t.fore ? Vec2{0.46f, 0.06f} : Vec2{0.40f, -0.30f};
  if (t.side == WingSide::Upper) {
    Rgb c = female ? HexRgb(0xE6EDCF) : HexRgb(0xF4E23A);
    c = MixRgb(female ? HexRgb(0xCDD6B0) : HexRgb(0xE2C82E), c,
               SmoothStep(0.05f, 0.35f, RootDistance(t)));
    c = Over(c, HexRgb(0xE8862A), Disc(p, dot, 0.03f));
    c = Over(c, female ? HexRgb(0xA8A878) : HexRgb(0xC0A028), Margin(t, 0.012f));
    return Posterise(Plain(t, c, 0.05f));
  }
  // A leaf: pale green-yellow with raised vein lines and a midrib.
  Rgb c = female ? HexRgb(0xDCE4C0) : HexRgb(0xE0E49A);
  const float veins = Veins(t, 0.007f, 0.05f);
  c = Over(c, female ? HexRgb(0xC2CC9C) : HexRgb(0xC4C878), veins * 0.8f);
  c = Over(c, HexRgb(0xF4F4D0), Veins(t, 0.003f, 0.05f) * 0.6f);
  c = Over(c, HexRgb(0x9A6A3A), Disc(p, dot, 0.022f));
  c = Over(c, HexRgb(0xB08060), Disc(p, {dot.u + 0.01f, dot.v + 0.01f}, 0.009f));
  return Posterise(Plain(t, c, 0.05f));
}

// --- Zebra longwing: black with narrow lemon-yellow stripes along the long
// wings; under side paler, with red dots at the wing root.

Rgb ZebraPaint(const WingTexel& t, int variant) {
  const Vec2 p = t.p;
  const bool upper = t.side == WingSide::Upper;
  const Rgb yellow = variant == 1 ? HexRgb(0xF4ECC0) : HexRgb(0xF6E45A);
  const float w = variant == 2 ? 1.35f : 1.0f;
  Rgb c = upper ? HexRgb(0x121012) : HexRgb(0x3A3230);
  const Rgb stripe = upper ? yellow : MixRgb(yellow, HexRgb(0xF4F0E0), 0.4f);
  if (t.fore) {
    c = Over(c, stripe, Stroke(p, {0.10f, 0.06f}, {0.62f, 0.15f}, 0.026f * w));
    c = Over(c, stripe, Stroke(p, {0.16f, -0.07f}, {0.52f, -0.04f}, 0.022f * w));
    // A band of yellow spots across the tip.
    const Vec2 spots[] = {{0.72f, 0.17f}, {0.74f, 0.10f}, {0.70f, 0.04f}, {0.64f, -0.02f}};
    for (const Vec2& s : spots) c = Over(c, stripe, Ellipse(p, s, 0.024f * w, 0.03f, 0.3f));
  } else {
    c = Over(c, stripe, Stroke(p, {0.08f, -0.10f}, {0.56f, -0.24f}, 0.03f * w));
    c = Over(c, stripe, MarginDots(t, 0.03f, 0.05f, 0.009f) * SmoothStep(0.2f, 0.4f, p.u));
    if (!upper) {
      const Vec2 reds[] = {{0.06f, -0.10f}, {0.10f, -0.18f}, {0.05f, -0.22f}};
      for (const Vec2& r : reds) c = Over(c, HexRgb(0xD8342A), Disc(p, r, 0.013f));
    }
  }
  if (!upper && t.fore) {
    c = Over(c, HexRgb(0xD8342A), Disc(p, {0.07f, 0.04f}, 0.012f));
  }
  return Finish(t, c, 0x2EB2Au + variant, 0.0f);
}

}  // namespace

ButterflyKind CabbageWhiteKind() {
  ButterflyKind k;
  k.fileName = "CabbageWhite.bfly";
  k.displayName = "Cabbage White";
  k.modelScale = 90;
  k.storage = TextureStorage::RunLength;
  k.textureCount = 3;
  k.seed = 0xCAB0u;
  k.foreControl = {{0.02f, 0.07f},  {0.22f, 0.17f},  {0.50f, 0.25f}, {0.78f, 0.29f},
                   {0.95f, 0.24f},  {0.98f, 0.10f},  {0.90f, -0.08f}, {0.74f, -0.22f},
                   {0.55f, -0.28f}, {0.35f, -0.26f}, {0.18f, -0.18f}, {0.05f, -0.08f}};
  k.hindControl = {{0.03f, -0.01f}, {0.28f, 0.01f},  {0.52f, -0.07f}, {0.66f, -0.22f},
                   {0.66f, -0.40f}, {0.56f, -0.55f}, {0.40f, -0.62f}, {0.24f, -0.60f},
                   {0.11f, -0.50f}, {0.04f, -0.32f}, {0.02f, -0.14f}};
  k.body.dorsal = HexRgb(0x3A3A3C);
  k.body.ventral = HexRgb(0xC8C8C0);
  k.body.club = HexRgb(0x2A2A2A);
  k.body.abdomenRadius = 0.026f;
  k.paint = CabbagePaint;
  return k;
}

ButterflyKind BrimstoneKind() {
  ButterflyKind k;
  k.fileName = "Brimstone.bfly";
  k.displayName = "Common Brimstone";
  k.modelScale = 98;
  k.storage = TextureStorage::RunLength;
  k.textureCount = 2;
  k.seed = 0xB215u;
  k.foreControl = {{0.02f, 0.07f},  {0.25f, 0.19f},  {0.55f, 0.29f}, {0.84f, 0.35f},
                   {0.99f, 0.38f},  {0.93f, 0.22f},  {0.85f, 0.02f}, {0.72f, -0.18f},
                   {0.54f, -0.28f}, {0.34f, -0.28f}, {0.16f, -0.19f}, {0.05f, -0.08f}};
  k.hindControl = {{0.03f, -0.01f}, {0.28f, 0.01f},  {0.52f, -0.07f}, {0.66f, -0.22f},
                   {0.74f, -0.40f}, {0.63f, -0.47f}, {0.52f, -0.59f}, {0.36f, -0.65f},
                   {0.20f, -0.61f}, {0.09f, -0.48f}, {0.03f, -0.30f}, {0.02f, -0.13f}};
  k.body.dorsal = HexRgb(0x4A4438);
  k.body.ventral = HexRgb(0xD8D8B0);
  k.body.club = HexRgb(0xC86A5A);
  k.paint = BrimstonePaint;
  return k;
}

ButterflyKind ZebraLongwingKind() {
  ButterflyKind k;
  k.fileName = "ZebraLongwing.bfly";
  k.displayName = "Zebra Longwing";
  k.modelScale = 104;
  k.storage = TextureStorage::Plain;
  k.textureCount = 3;
  k.seed = 0x2EB2Au;
  k.foreControl = {{0.02f, 0.06f},  {0.25f, 0.14f},  {0.55f, 0.20f},  {0.85f, 0.22f},
                   {1.00f, 0.17f},  {0.98f, 0.08f},  {0.82f, -0.02f}, {0.60f, -0.10f},
                   {0.38f, -0.14f}, {0.20f, -0.13f}, {0.05f, -0.07f}};
  k.hindControl = {{0.03f, -0.02f}, {0.30f, -0.02f}, {0.58f, -0.08f}, {0.72f, -0.16f},
                   {0.70f, -0.26f}, {0.54f, -0.36f}, {0.34f, -0.42f}, {0.16f, -0.40f},
                   {0.05f, -0.28f}, {0.02f, -0.12f}};
  k.body.dorsal = HexRgb(0x141214);
  k.body.ventral = HexRgb(0x3A3432);
  k.body.stripe = HexRgb(0xF0E070);
  k.body.stripeStrength = 0.5f;
  k.body.stripes = 7;
  k.body.abdomenLength = 0.38f;
  k.body.antennaLength = 0.36f;
  k.paint = ZebraPaint;
  return k;
}
