#pragma once
// Small painting helpers for wing patterns: soft coverage masks with edges
// about one texel wide, so that patterns stay smooth when sampled.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/content/RgbImage.h"
#include "tools/content/WingGeometry.h"

// Width of a soft edge in wing units (about one texel of a 256-texel texture).
inline constexpr float kSoft = 0.012f;

inline float SmoothStep(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

inline float Length(Vec2 a, Vec2 b) { return std::hypot(a.u - b.u, a.v - b.v); }

// 1 inside a disc of `radius` around `c`, 0 outside, soft at the rim.
inline float Disc(Vec2 p, Vec2 c, float radius, float soft = kSoft) {
  return 1.0f - SmoothStep(radius - soft, radius + soft, Length(p, c));
}

// An ellipse with radii (ru, rv) turned by `angle` radians.
inline float Ellipse(Vec2 p, Vec2 c, float ru, float rv, float angle, float soft = kSoft) {
  const float cu = std::cos(angle), su = std::sin(angle);
  const float du = p.u - c.u, dv = p.v - c.v;
  const float x = (du * cu + dv * su) / ru;
  const float y = (-du * su + dv * cu) / rv;
  const float r = std::sqrt(x * x + y * y);
  const float scale = std::min(ru, rv);
  return 1.0f - SmoothStep(1.0f - soft / scale, 1.0f + soft / scale, r);
}

// Distance from p to the segment a-b.
inline float SegmentDist(Vec2 p, Vec2 a, Vec2 b) {
  const float du = b.u - a.u, dv = b.v - a.v;
  const float len2 = du * du + dv * dv;
  const float t = len2 > 0 ? std::clamp(((p.u - a.u) * du + (p.v - a.v) * dv) / len2, 0.0f, 1.0f)
                           : 0.0f;
  return std::hypot(p.u - (a.u + du * t), p.v - (a.v + dv * t));
}

// A stroke of half-width `width` along the segment a-b.
inline float Stroke(Vec2 p, Vec2 a, Vec2 b, float width, float soft = kSoft) {
  return 1.0f - SmoothStep(width - soft * 0.5f, width + soft * 0.5f, SegmentDist(p, a, b));
}

// A stroke along a polyline.
inline float Polyline(Vec2 p, const std::vector<Vec2>& pts, float width, float soft = kSoft) {
  float best = 1e9f;
  for (size_t i = 0; i + 1 < pts.size(); ++i) best = std::min(best, SegmentDist(p, pts[i], pts[i + 1]));
  return 1.0f - SmoothStep(width - soft * 0.5f, width + soft * 0.5f, best);
}

// Veins: rays from `root` at the given angles (radians, 0 = outward along u,
// positive towards +v), each from radius `start` on, `width` half-wide and
// widening slightly towards the root.
inline float RayVeins(Vec2 p, Vec2 root, const std::vector<float>& angles, float width,
                      float start = 0.0f) {
  const float du = p.u - root.u, dv = p.v - root.v;
  const float r = std::hypot(du, dv);
  if (r < start) return 0.0f;
  float best = 0.0f;
  for (float a : angles) {
    const float along = du * std::cos(a) + dv * std::sin(a);
    if (along <= 0.0f) continue;
    const float across = std::fabs(-du * std::sin(a) + dv * std::cos(a));
    const float w = width * (1.0f + 0.6f * std::max(0.0f, 0.5f - along));
    best = std::max(best, 1.0f - SmoothStep(w - kSoft * 0.4f, w + kSoft * 0.4f, across));
  }
  return best * SmoothStep(start, start + 0.05f, r);
}

// Colour a painted over b with coverage t (0..1).
inline Rgb Over(Rgb b, Rgb a, float t) { return MixRgb(b, a, std::clamp(t, 0.0f, 1.0f)); }
