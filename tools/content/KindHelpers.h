#pragma once
// Shared pieces of the wing patterns: vein layouts, shading and noise.
#include <cmath>
#include <vector>

#include "tools/content/ButterflyKind.h"
#include "tools/content/Paint.h"
#include "tools/content/Prng.h"

inline constexpr float kDeg = 3.14159265f / 180.0f;

// Where the veins of each wing spring from, and their directions (radians).
inline const Vec2 kForeRoot{0.02f, 0.0f};
inline const Vec2 kHindRoot{0.03f, -0.06f};
inline std::vector<float> ForeVeinAngles() {
  return {14 * kDeg, 6 * kDeg, -2 * kDeg, -10 * kDeg, -18 * kDeg, -27 * kDeg, -37 * kDeg};
}
inline std::vector<float> HindVeinAngles() {
  return {-12 * kDeg, -26 * kDeg, -40 * kDeg, -54 * kDeg, -68 * kDeg, -82 * kDeg, -97 * kDeg};
}

// Vein coverage for the wing shown at the texel.
inline float Veins(const WingTexel& t, float width, float start = 0.12f) {
  return t.fore ? RayVeins(t.p, kForeRoot, ForeVeinAngles(), width, start)
                : RayVeins(t.p, kHindRoot, HindVeinAngles(), width, start);
}

// Distance from the wing root.
inline float RootDistance(const WingTexel& t) {
  return Length(t.p, t.fore ? kForeRoot : kHindRoot);
}

// Fine mottling in [-1, 1].
inline float Grain(const WingTexel& t, uint32_t seed, float scale = 40.0f) {
  return Fbm(t.p.u * scale, t.p.v * scale, seed, 3) * 2.0f - 1.0f;
}

// The finishing touches every pattern shares: a little grain, darker towards
// the root, a thin dark rim at the very edge.
inline Rgb Finish(const WingTexel& t, Rgb c, uint32_t seed, float rootDark = 0.25f) {
  const float grain = Grain(t, seed) * 0.06f;
  c = ScaleRgb(c, 1.0f + grain);
  c = ScaleRgb(c, 1.0f - rootDark * (1.0f - SmoothStep(0.02f, 0.3f, RootDistance(t))));
  c = ScaleRgb(c, 0.65f + 0.35f * SmoothStep(0.0f, 0.018f, t.edge));
  return c;
}

// A row of dots of `radius` at `inset` inside the wing's edge, `spacing`
// apart along it (positions measured as arcs around the wing root).
inline float MarginDots(const WingTexel& t, float inset, float spacing, float radius,
                        float phase = 0.5f) {
  const Vec2 root = t.fore ? kForeRoot : kHindRoot;
  const float r = RootDistance(t);
  const float theta = std::atan2(t.p.v - root.v, t.p.u - root.u);
  const float s = theta * r / spacing + phase;
  const float along = (s - std::floor(s) - 0.5f) * spacing;
  const float across = t.edge - inset;
  return 1.0f - SmoothStep(radius - kSoft * 0.5f, radius + kSoft * 0.5f,
                           std::sqrt(along * along + across * across));
}

// 1 within `width` of the edge (a margin band), soft inside.
inline float Margin(const WingTexel& t, float width) {
  return 1.0f - SmoothStep(width - kSoft * 0.5f, width + kSoft * 0.5f, t.edge);
}
