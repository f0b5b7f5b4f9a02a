#include "tools/content/WingGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

float Dist(Vec2 a, Vec2 b) { return std::hypot(a.u - b.u, a.v - b.v); }

float Cross(Vec2 o, Vec2 a, Vec2 b) {
  return (a.u - o.u) * (b.v - o.v) - (a.v - o.v) * (b.u - o.u);
}

// Centripetal Catmull-Rom between p1 and p2 (Barry-Goldman form).
Vec2 CatmullRom(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, float s) {
  const float t0 = 0.0f;
  const float t1 = t0 + std::max(std::sqrt(Dist(p0, p1)), 1e-4f);
  const float t2 = t1 + std::max(std::sqrt(Dist(p1, p2)), 1e-4f);
  const float t3 = t2 + std::max(std::sqrt(Dist(p2, p3)), 1e-4f);
  const float t = t1 + (t2 - t1) * s;
  auto lerp = [](Vec2 a, Vec2 b, float ta, float tb, float tt) {
    const float w = (tt - ta) / (tb - ta);
    return Vec2{a.u + (b.u - a.u) * w, a.v + (b.v - a.v) * w};
  };
  const Vec2 a1 = lerp(p0, p1, t0, t1, t);
  const Vec2 a2 = lerp(p1, p2, t1, t2, t);
  const Vec2 a3 = lerp(p2, p3, t2, t3, t);
  const Vec2 b1 = lerp(a1, a2, t0, t2, t);
  const Vec2 b2 = lerp(a2, a3, t1, t3, t);
  return lerp(b1, b2, t1, t2, t);
}

bool PointInTriangle(Vec2 p, Vec2 a, Vec2 b, Vec2 c) {
  return Cross(a, b, p) >= 0.0f && Cross(b, c, p) >= 0.0f && Cross(c, a, p) >= 0.0f;
}

float SegmentDistance(Vec2 p, Vec2 a, Vec2 b) {
  const float du = b.u - a.u;
  const float dv = b.v - a.v;
  const float len2 = du * du + dv * dv;
  float t = len2 > 0.0f ? ((p.u - a.u) * du + (p.v - a.v) * dv) / len2 : 0.0f;
  t = std::clamp(t, 0.0f, 1.0f);
  return Dist(p, {a.u + du * t, a.v + dv * t});
}

}  // namespace

Outline SampleClosedCurve(const Outline& control, int perSegment) {
  Outline out;
  const int n = static_cast<int>(control.size());
  if (n < 3 || perSegment < 1) return control;
  for (int i = 0; i < n; ++i) {
    const Vec2 p0 = control[static_cast<size_t>((i + n - 1) % n)];
    const Vec2 p1 = control[static_cast<size_t>(i)];
    const Vec2 p2 = control[static_cast<size_t>((i + 1) % n)];
    const Vec2 p3 = control[static_cast<size_t>((i + 2) % n)];
    for (int k = 0; k < perSegment; ++k) {
      out.push_back(CatmullRom(p0, p1, p2, p3, static_cast<float>(k) / perSegment));
    }
  }
  return out;
}

void Scallop(Outline* outline, int first, int last, int notches, float depth) {
  const int n = static_cast<int>(outline->size());
  if (n < 3 || notches < 1) return;
  const float orientation = SignedArea2(*outline) >= 0.0f ? 1.0f : -1.0f;
  const int span = ((last - first) % n + n) % n;
  if (span == 0) return;
  Outline moved = *outline;
  for (int k = 0; k <= span; ++k) {
    const int i = (first + k) % n;
    const Vec2 prev = (*outline)[static_cast<size_t>((i + n - 1) % n)];
    const Vec2 next = (*outline)[static_cast<size_t>((i + 1) % n)];
    float tu = next.u - prev.u;
    float tv = next.v - prev.v;
    const float len = std::hypot(tu, tv);
    if (len <= 0.0f) continue;
    tu /= len;
    tv /= len;
    // Inward normal: left of the direction of travel on a counter-clockwise outline.
    const Vec2 inward{-tv * orientation, tu * orientation};
    const float s = static_cast<float>(k) / span;
    const float d = depth * (1.0f - std::fabs(std::cos(std::numbers::pi_v<float> * notches * s)));
    moved[static_cast<size_t>(i)].u += inward.u * d;
    moved[static_cast<size_t>(i)].v += inward.v * d;
  }
  *outline = moved;
}

int NearestSample(const Outline& outline, Vec2 p) {
  int best = 0;
  float bestDist = 1e30f;
  for (size_t i = 0; i < outline.size(); ++i) {
    const float d = Dist(outline[i], p);
    if (d < bestDist) {
      bestDist = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

float SignedArea2(const Outline& outline) {
  float area = 0.0f;
  for (size_t i = 0; i < outline.size(); ++i) {
    const Vec2 a = outline[i];
    const Vec2 b = outline[(i + 1) % outline.size()];
    area += a.u * b.v - b.u * a.v;
  }
  return area;
}

void MakeCounterClockwise(Outline* outline) {
  if (SignedArea2(*outline) < 0.0f) std::reverse(outline->begin(), outline->end());
}

std::vector<std::array<int, 3>> Triangulate(const Outline& outline) {
  std::vector<std::array<int, 3>> triangles;
  std::vector<int> remaining(outline.size());
  for (size_t i = 0; i < remaining.size(); ++i) remaining[i] = static_cast<int>(i);
  const bool ccw = SignedArea2(outline) >= 0.0f;
  auto at = [&](int i) {
    const Vec2 p = outline[static_cast<size_t>(i)];
    return ccw ? p : Vec2{p.u, -p.v};  // mirrored so the tests below see a CCW polygon
  };
  int guard = 0;
  while (remaining.size() > 3 && guard < 100000) {
    ++guard;
    const int n = static_cast<int>(remaining.size());
    // Clip the ear with the best-shaped triangle, so that long slivers fan
    // out from the fewest points.
    int bestEar = -1;
    float bestScore = -1.0f;
    for (int k = 0; k < n; ++k) {
      const int ia = remaining[static_cast<size_t>((k + n - 1) % n)];
      const int ib = remaining[static_cast<size_t>(k)];
      const int ic = remaining[static_cast<size_t>((k + 1) % n)];
      const Vec2 a = at(ia), b = at(ib), c = at(ic);
      const float cross = Cross(a, b, c);
      if (cross <= 1e-9f) continue;
      bool empty = true;
      for (int j = 0; j < n && empty; ++j) {
        const int ij = remaining[static_cast<size_t>(j)];
        if (ij == ia || ij == ib || ij == ic) continue;
        if (PointInTriangle(at(ij), a, b, c)) empty = false;
      }
      if (!empty) continue;
      const float perimeter = Dist(a, b) + Dist(b, c) + Dist(c, a);
      const float score = cross / (perimeter * perimeter);
      if (score > bestScore) {
        bestScore = score;
        bestEar = k;
      }
    }
    if (bestEar < 0) break;  // degenerate remainder: leave it
    const int ia = remaining[static_cast<size_t>((bestEar + n - 1) % n)];
    const int ib = remaining[static_cast<size_t>(bestEar)];
    const int ic = remaining[static_cast<size_t>((bestEar + 1) % n)];
    triangles.push_back({ia, ib, ic});
    remaining.erase(remaining.begin() + bestEar);
  }
  if (remaining.size() == 3) {
    const int ia = remaining[0], ib = remaining[1], ic = remaining[2];
    if (Cross(at(ia), at(ib), at(ic)) > 0.0f) triangles.push_back({ia, ib, ic});
  }
  return triangles;
}

bool Inside(const Outline& outline, Vec2 p) {
  bool inside = false;
  const size_t n = outline.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const Vec2 a = outline[i];
    const Vec2 b = outline[j];
    if ((a.v > p.v) != (b.v > p.v) && p.u < (b.u - a.u) * (p.v - a.v) / (b.v - a.v) + a.u) {
      inside = !inside;
    }
  }
  return inside;
}

float EdgeDistance(const Outline& outline, Vec2 p) {
  float best = 1e30f;
  for (size_t i = 0; i < outline.size(); ++i) {
    best = std::min(best, SegmentDistance(p, outline[i], outline[(i + 1) % outline.size()]));
  }
  return best;
}
