// Brush-footed kinds with angular, scalloped wings: peacock and red admiral.
#include "tools/content/KindHelpers.h"
#include "tools/content/Kinds.h"

namespace {

// Fine dark streaks along the wing, like the under side of a dead leaf.
float Streaks(Vec2 p, Vec2 root, uint32_t seed) {
  const float r = Length(p, root);
  const float a = std::atan2(p.v - root.v, p.u - root.u);
  return Fbm(a * 60.0f, r * 6.0f, seed, 3);
}

// --- Peacock: rusty red with one large eyespot at the tip of each wing;
// under side almost black, finely streaked.

Rgb PeacockPaint(const WingTexel& t, int variant) {
  const Vec2 p = t.p;
  const Rgb red = variant == 1 ? HexRgb(0x9C2A24) : variant == 2 ? HexRgb(0xC84A2A) : HexRgb(0xB2342A);
  if (t.side == WingSide::Upper) {
    Rgb c = MixRgb(HexRgb(0x5A2A22), red, SmoothStep(0.05f, 0.3f, RootDistance(t)));
    c = Over(c, HexRgb(0x4A3A34), Margin(t, 0.035f));
    if (t.fore) {
      // Black and cream bars along the leading edge, then the eye.
      for (int i = 0; i < 4; ++i) {
        const float u = 0.26f + i * 0.11f;
        c = Over(c, HexRgb(0x1A1412), Ellipse(p, {u, 0.25f + 0.03f * u}, 0.035f, 0.05f, 0.0f));
      }
      c = Over(c, HexRgb(0xE8D8A8), Ellipse(p, {0.67f, 0.27f}, 0.035f, 0.03f, 0.0f));
      const Vec2 eye{0.80f, 0.17f};
      c = Over(c, HexRgb(0xE6D6A6), Ellipse(p, eye, 0.15f, 0.11f, -0.5f));
      c = Over(c, HexRgb(0x6A78B8), Ellipse(p, eye, 0.11f, 0.08f, -0.5f));
      c = Over(c, HexRgb(0xC8343A), Ellipse(p, {eye.u - 0.01f, eye.v}, 0.075f, 0.05f, -0.5f));
      c = Over(c, HexRgb(0x18141A), Ellipse(p, {eye.u - 0.01f, eye.v}, 0.055f, 0.038f, -0.5f));
      c = Over(c, HexRgb(0x9AA8E0), Disc(p, {eye.u + 0.02f, eye.v + 0.01f}, 0.012f));
      c = Over(c, HexRgb(0x9AA8E0), Disc(p, {eye.u - 0.03f, eye.v - 0.015f}, 0.009f));
    } else {
      const Vec2 eye{0.52f, -0.38f};
      c = Over(c, HexRgb(0x6A6A6A), Disc(p, eye, 0.14f, 0.02f));
      c = Over(c, HexRgb(0x141216), Disc(p, eye, 0.11f));
      c = Over(c, HexRgb(0x3A4CA0), Disc(p, {eye.u + 0.01f, eye.v}, 0.07f) *
                                         (0.6f + 0.4f * Fbm(p.u * 30.0f, p.v * 30.0f, 0xEE1u, 2)));
      c = Over(c, HexRgb(0x141216), Disc(p, {eye.u + 0.01f, eye.v}, 0.04f) * 0.7f);
      c = Over(c, HexRgb(0xD8D0C8), Disc(p, {eye.u + 0.04f, eye.v + 0.03f}, 0.01f));
    }
    return Finish(t, c, 0x9EAC0u + variant, 0.1f);
  }
  const float s = Streaks(p, t.fore ? kForeRoot : kHindRoot, 0x9EAC1u + variant);
  Rgb c = MixRgb(HexRgb(0x15110F), HexRgb(0x3A2E28), s);
  // A faint paler line across both wings, like a leaf's midrib.
  const float line = t.fore ? SegmentDist(p, {0.05f, -0.20f}, {0.95f, 0.22f})
                            : SegmentDist(p, {0.02f, -0.22f}, {0.70f, -0.30f});
  c = Over(c, HexRgb(0x5A4A40), (1.0f - SmoothStep(0.006f, 0.016f, line)) * 0.45f);
  return Finish(t, c, 0x9EAC2u + variant, 0.0f);
}

// --- Red admiral: velvet black with an orange-red band across the forewing
// and along the hindwing's edge, white spots near the forewing tip; under
// side a dim band and a mottled bark pattern.

Rgb AdmiralPaint(const WingTexel& t, int variant) {
  const Vec2 p = t.p;
  const Rgb band = variant == 1 ? HexRgb(0xC82418) : variant == 2 ? HexRgb(0xE86A1E) : HexRgb(0xE2401E);
  const Rgb white = HexRgb(0xF2F0EA);
  if (t.side == WingSide::Upper) {
    Rgb c = MixRgb(HexRgb(0x2A201C), HexRgb(0x141012), SmoothStep(0.05f, 0.3f, RootDistance(t)));
    if (t.fore) {
      c = Over(c, band, Polyline(p, {{0.45f, 0.31f}, {0.52f, 0.06f}, {0.67f, -0.25f}}, 0.052f));
      const Vec2 whites[] = {{0.80f, 0.26f}, {0.86f, 0.20f}, {0.76f, 0.14f}, {0.90f, 0.10f},
                             {0.70f, 0.22f}};
      const float sizes[] = {0.028f, 0.02f, 0.022f, 0.014f, 0.016f};
      for (int i = 0; i < 5; ++i) c = Over(c, white, Disc(p, whites[i], sizes[i]));
      c = Over(c, HexRgb(0x5A6AA0), MarginDots(t, 0.012f, 0.05f, 0.006f) * 0.6f);
    } else {
      const float edgeBand = Margin(t, 0.085f) * (1.0f - Margin(t, 0.022f));
      c = Over(c, band, edgeBand * SmoothStep(0.1f, 0.35f, -p.v + 0.05f) * SmoothStep(0.14f, 0.26f, p.u));
      c = Over(c, HexRgb(0x141012), MarginDots(t, 0.052f, 0.085f, 0.012f) * edgeBand);
      c = Over(c, HexRgb(0x6A7AB0), Disc(p, {0.25f, -0.64f}, 0.018f) * 0.8f);
    }
    return Finish(t, c, 0xAD31u + variant, 0.0f);
  }
  if (t.fore) {
    Rgb c = HexRgb(0x1E1A1C);
    c = Over(c, MixRgb(band, HexRgb(0xD87A8A), 0.35f), Stroke(p, {0.42f, 0.30f}, {0.58f, -0.22f}, 0.05f) * 0.85f);
    c = Over(c, HexRgb(0x6A5A5A), Disc(p, {0.92f, 0.24f}, 0.22f, 0.05f) * 0.7f);
    c = Over(c, white, Disc(p, {0.80f, 0.24f}, 0.024f));
    c = Over(c, HexRgb(0x8AA0D0), Stroke(p, {0.36f, 0.26f}, {0.38f, 0.16f}, 0.012f));
    return Finish(t, c, 0xAD32u + variant, 0.0f);
  }
  // Bark: brown-grey mottling with darker streaks.
  const float m = Fbm(p.u * 10.0f, p.v * 10.0f, 0xBA2Cu + variant, 4);
  const float s = Streaks(p, kHindRoot, 0xBA2Du + variant);
  Rgb c = MixRgb(HexRgb(0x4A3C36), HexRgb(0x9A8C80), m);
  c = MixRgb(c, HexRgb(0x2A2220), SmoothStep(0.45f, 0.7f, s) * 0.6f);
  c = Over(c, HexRgb(0x8A7A70), Margin(t, 0.02f) * 0.6f);
  return Finish(t, c, 0xAD33u + variant, 0.0f);
}

}  // namespace

ButterflyKind PeacockKind() {
  ButterflyKind k;
  k.fileName = "Peacock.bfly";
  k.displayName = "Peacock";
  k.modelScale = 98;
  k.storage = TextureStorage::Plain;
  k.textureCount = 3;
  k.seed = 0x9EAC0u;
  k.foreControl = {{0.02f, 0.07f},  {0.22f, 0.18f},  {0.50f, 0.27f},  {0.80f, 0.32f},
                   {0.96f, 0.28f},  {0.95f, 0.14f},  {0.87f, 0.04f},  {0.85f, -0.06f},
                   {0.76f, -0.17f}, {0.62f, -0.27f}, {0.42f, -0.29f}, {0.22f, -0.21f},
                   {0.05f, -0.09f}};
  k.hindControl = {{0.03f, -0.01f}, {0.28f, 0.01f},  {0.54f, -0.08f}, {0.68f, -0.22f},
                   {0.70f, -0.38f}, {0.61f, -0.50f}, {0.53f, -0.62f}, {0.38f, -0.66f},
                   {0.22f, -0.62f}, {0.10f, -0.50f}, {0.04f, -0.32f}, {0.02f, -0.14f}};
  k.refine = [](Outline* fore, Outline* hind) {
    Scallop(fore, NearestSample(*fore, {0.96f, 0.24f}), NearestSample(*fore, {0.66f, -0.26f}), 7,
            0.014f);
    Scallop(hind, NearestSample(*hind, {0.67f, -0.20f}), NearestSample(*hind, {0.18f, -0.60f}), 8,
            0.018f);
  };
  k.body.dorsal = HexRgb(0x1E1614);
  k.body.ventral = HexRgb(0x3A2C26);
  k.body.club = HexRgb(0xC8B8A0);
  k.paint = PeacockPaint;
  return k;
}

ButterflyKind RedAdmiralKind() {
  ButterflyKind k;
  k.fileName = "RedAdmiral.bfly";
  k.displayName = "Red Admiral";
  k.modelScale = 100;
  k.storage = TextureStorage::Plain;
  k.textureCount = 3;
  k.seed = 0xAD31u;
  k.foreControl = {{0.02f, 0.07f},  {0.22f, 0.18f},  {0.50f, 0.27f},  {0.80f, 0.33f},
                   {0.97f, 0.30f},  {0.97f, 0.16f},  {0.88f, 0.04f},  {0.84f, -0.08f},
                   {0.72f, -0.20f}, {0.58f, -0.27f}, {0.40f, -0.28f}, {0.20f, -0.20f},
                   {0.05f, -0.08f}};
  k.hindControl = {{0.03f, -0.01f}, {0.28f, 0.01f},  {0.52f, -0.07f}, {0.67f, -0.22f},
                   {0.68f, -0.40f}, {0.58f, -0.56f}, {0.42f, -0.64f}, {0.26f, -0.63f},
                   {0.12f, -0.52f}, {0.04f, -0.32f}, {0.02f, -0.14f}};
  k.refine = [](Outline* fore, Outline* hind) {
    Scallop(fore, NearestSample(*fore, {0.95f, 0.14f}), NearestSample(*fore, {0.62f, -0.26f}), 5,
            0.008f);
    Scallop(hind, NearestSample(*hind, {0.67f, -0.25f}), NearestSample(*hind, {0.16f, -0.56f}), 7,
            0.012f);
  };
  k.body.dorsal = HexRgb(0x161214);
  k.body.ventral = HexRgb(0x4A4242);
  k.body.club = HexRgb(0xE8E0D0);
  k.paint = AdmiralPaint;
  return k;
}
