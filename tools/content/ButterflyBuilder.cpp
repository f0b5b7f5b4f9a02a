#include "tools/content/ButterflyBuilder.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "tools/content/Paint.h"
#include "tools/content/Prng.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Each half of the texture maps the wing plane onto kHalf columns and
// kWingRows rows (TextureMap).
constexpr int kHalf = kTextureSize / 2;
constexpr int kWingRows = 208;
constexpr float kMapMargin = 0.04f;  // wing-plane units around the outlines

// The body strip: rows kBodyTop to kBodyBottom (exclusive), one column range
// per body part.
constexpr int kBodyTop = 212;
constexpr int kBodyBottom = 251;
struct Columns {
  int first;
  int last;  // exclusive
};
constexpr Columns kAbdomenCols{8, 120};
constexpr Columns kThoraxCols{128, 176};
constexpr Columns kHeadCols{184, 216};
constexpr Columns kLimbCols{224, 248};

// Colour of the texels no mapping reaches in a colour-keyed texture; also the
// first pixel of the file, which the alpha rule takes as the key. Near
// black: with multisampling, a pixel a thin part only partly covers samples
// the texture at the pixel's centre, beyond the part's own texels, and a dark
// key blends into the dark bodies and wing borders there.
const Rgb kKeyColour = HexRgb(0x050403);

// Wing-plane offsets (model units, along x) that keep the forewing above the
// hindwing on the upper side and below it on the under side without
// z-fighting; the upper side of the left wing faces -x.
constexpr float kForeOffset = 0.004f * kModelSpan;
constexpr float kHindOffset = 0.008f * kModelSpan;

// Hinge of both wing joints relative to the body joint.
const VECTOR3D kHinge{0.0f, 0.036f * kModelSpan, 0.008f * kModelSpan};
constexpr float kHalfSpan = kModelSpan * 0.5f;  // model units per wing-plane unit

Vec2 TexelCentre(const TextureMap& map, int x, int y) {
  return {map.u0 + (x + 0.5f) / map.texelsPerUnit, map.vTop - (y + 0.5f) / map.texelsPerUnit};
}

point2d WingUv(const TextureMap& map, Vec2 p, WingSide side) {
  const float x = (p.u - map.u0) * map.texelsPerUnit + (side == WingSide::Under ? kHalf : 0);
  const float y = (map.vTop - p.v) * map.texelsPerUnit;
  return {x / kTextureSize, y / kTextureSize};
}

point2d BodyUv(Columns cols, float along, float vertical) {
  const float x = cols.first + 0.5f + (cols.last - cols.first - 1.0f) * std::clamp(along, 0.0f, 1.0f);
  const float y = kBodyTop + 1.5f + (kBodyBottom - kBodyTop - 3.0f) * std::clamp(vertical, 0.0f, 1.0f);
  return {x / kTextureSize, y / kTextureSize};
}

VECTOR3D Add(VECTOR3D a, VECTOR3D b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
VECTOR3D Sub(VECTOR3D a, VECTOR3D b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
VECTOR3D Mul(VECTOR3D a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(VECTOR3D a, VECTOR3D b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
VECTOR3D Cross3(VECTOR3D a, VECTOR3D b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
VECTOR3D Unit(VECTOR3D a) {
  const float len = std::sqrt(Dot(a, a));
  return len > 0.0f ? Mul(a, 1.0f / len) : VECTOR3D{0.0f, 1.0f, 0.0f};
}

void AddTriangle(MS3DWriter* model, int group, const uint16_t v[3], const VECTOR3D n[3],
                 const point2d uv[3]) {
  MS3DWriter::Triangle t;
  for (int i = 0; i < 3; ++i) {
    t.vertices[i] = v[i];
    t.normals[i] = n[i];
    t.uv[i] = uv[i];
  }
  t.group = static_cast<uint8_t>(group);
  model->triangles.push_back(t);
  model->groups[static_cast<size_t>(group)].triangles.push_back(
      static_cast<uint16_t>(model->triangles.size() - 1));
}

// A closed tube along path(a), a from 0 to 1, with elliptic cross-sections
// of radii radius(a) (x across, y up); ends of radius 0 close it. Smooth
// normals from the surface grid, texture coordinates into a body column:
// along the path, and from the dorsal row (top) to the ventral row (bottom).
void AddTube(MS3DWriter* model, int group, const std::function<VECTOR3D(float)>& path,
             const std::function<point2d(float)>& radius, int rings, int segments,
             Columns cols) {
  struct RingPoint {
    VECTOR3D pos;
    float vertical;  // 0 top .. 1 bottom
  };
  std::vector<std::vector<RingPoint>> grid(static_cast<size_t>(rings) + 1);
  std::vector<VECTOR3D> centres(static_cast<size_t>(rings) + 1);
  for (int i = 0; i <= rings; ++i) {
    const float a = static_cast<float>(i) / rings;
    const VECTOR3D c = path(a);
    centres[static_cast<size_t>(i)] = c;
    const float da = 1e-3f;
    const VECTOR3D tangent = Unit(Sub(path(std::min(1.0f, a + da)), path(std::max(0.0f, a - da))));
    VECTOR3D up = Sub(VECTOR3D{0, 1, 0}, Mul(tangent, tangent.y));
    if (Dot(up, up) < 1e-6f) up = Sub(VECTOR3D{0, 0, 1}, Mul(tangent, tangent.z));
    up = Unit(up);
    const VECTOR3D side = Unit(Cross3(up, tangent));
    const point2d r = radius(a);
    for (int j = 0; j < segments; ++j) {
      const float th = 2.0f * kPi * j / segments;
      const VECTOR3D pos = Add(c, Add(Mul(side, r.x * std::cos(th)), Mul(up, r.y * std::sin(th))));
      grid[static_cast<size_t>(i)].push_back({pos, 0.5f - 0.5f * std::sin(th)});
    }
  }
  auto at = [&](int i, int j) -> const RingPoint& {
    return grid[static_cast<size_t>(std::clamp(i, 0, rings))][static_cast<size_t>((j + segments) % segments)];
  };
  std::vector<std::vector<uint16_t>> index(grid.size());
  std::vector<std::vector<VECTOR3D>> normal(grid.size());
  for (int i = 0; i <= rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      const VECTOR3D pos = at(i, j).pos;
      index[static_cast<size_t>(i)].push_back(model->AddVertex(pos, 0));
      VECTOR3D n = Cross3(Sub(at(i + 1, j).pos, at(i - 1, j).pos), Sub(at(i, j + 1).pos, at(i, j - 1).pos));
      const VECTOR3D outward = Sub(pos, centres[static_cast<size_t>(i)]);
      if (Dot(n, n) < 1e-12f) {
        // A closed end: the normal points along the path, away from the tube.
        n = i == 0 ? Sub(centres[0], centres[1])
                   : Sub(centres[static_cast<size_t>(rings)], centres[static_cast<size_t>(rings - 1)]);
      } else if (Dot(n, outward) < 0.0f) {
        n = Mul(n, -1.0f);
      }
      normal[static_cast<size_t>(i)].push_back(Unit(n));
    }
  }
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      const int j1 = (j + 1) % segments;
      const int quad[4][2] = {{i, j}, {i + 1, j}, {i + 1, j1}, {i, j1}};
      for (int tri = 0; tri < 2; ++tri) {
        const int corners[3] = {0, tri == 0 ? 1 : 2, tri == 0 ? 2 : 3};
        uint16_t v[3];
        VECTOR3D n[3];
        point2d uv[3];
        for (int k = 0; k < 3; ++k) {
          const int ci = quad[corners[k]][0];
          const int cj = quad[corners[k]][1];
          v[k] = index[static_cast<size_t>(ci)][static_cast<size_t>(cj)];
          n[k] = normal[static_cast<size_t>(ci)][static_cast<size_t>(cj)];
          uv[k] = BodyUv(cols, static_cast<float>(ci) / rings, at(ci, cj).vertical);
        }
        const VECTOR3D p0 = model->vertices[v[0]].position;
        const VECTOR3D face = Cross3(Sub(model->vertices[v[1]].position, p0),
                                     Sub(model->vertices[v[2]].position, p0));
        if (Dot(face, face) < 1e-14f) continue;  // collapsed at a closed end
        if (Dot(face, Add(Add(n[0], n[1]), n[2])) < 0.0f) {
          std::swap(v[1], v[2]);
          std::swap(n[1], n[2]);
          std::swap(uv[1], uv[2]);
        }
        AddTriangle(model, group, v, n, uv);
      }
    }
  }
}

// One wing (fore or hind, left or right) as two one-sided sheets: the upper
// side mapped to the upper-side half of the texture, the under side to the
// other half, each with its own winding and normal.
void AddWingSheet(MS3DWriter* model, int group, int8_t joint, const Outline& outline,
                  const TextureMap& map, bool left, float offset) {
  const float x = left ? offset : -offset;
  std::vector<uint16_t> index;
  for (const Vec2& p : outline) {
    index.push_back(model->AddVertex(
        {kHinge.x + x, kHinge.y + p.u * kHalfSpan, kHinge.z + p.v * kHalfSpan}, joint));
  }
  const auto triangles = Triangulate(outline);
  // A counter-clockwise (u, v) triangle faces +x. The left wing's upper side
  // faces -x (towards the right wing in the bind pose, up once opened).
  for (WingSide side : {WingSide::Upper, WingSide::Under}) {
    const bool facesPlusX = (side == WingSide::Upper) != left;
    const VECTOR3D n{facesPlusX ? 1.0f : -1.0f, 0.0f, 0.0f};
    for (const auto& tri : triangles) {
      const int order[3] = {tri[0], facesPlusX ? tri[1] : tri[2], facesPlusX ? tri[2] : tri[1]};
      uint16_t v[3];
      VECTOR3D normals[3] = {n, n, n};
      point2d uv[3];
      for (int k = 0; k < 3; ++k) {
        v[k] = index[static_cast<size_t>(order[k])];
        uv[k] = WingUv(map, outline[static_cast<size_t>(order[k])], side);
      }
      AddTriangle(model, group, v, normals, uv);
    }
  }
}

void AddBody(MS3DWriter* model, int group, const BodyLook& look) {
  const float S = kModelSpan;
  // Thorax: an ellipsoid at the origin, a little higher than wide.
  const float tr = look.thoraxRadius * S;
  const float tl = 0.07f * S;
  AddTube(model, group, [&](float a) { return VECTOR3D{0.0f, 0.0f, tl - 2.0f * tl * a}; },
          [&](float a) {
            const float k = std::sqrt(std::max(0.0f, 1.0f - (2.0f * a - 1.0f) * (2.0f * a - 1.0f)));
            return point2d{tr * k, tr * 1.12f * k};
          },
          10, 10, kThoraxCols);
  // Head: a ball in front of the thorax.
  const float hr = 0.032f * S;
  const float hz = tl + hr * 0.7f;
  AddTube(model, group, [&](float a) { return VECTOR3D{0.0f, 0.004f * S, hz + hr - 2.0f * hr * a}; },
          [&](float a) {
            const float k = std::sqrt(std::max(0.0f, 1.0f - (2.0f * a - 1.0f) * (2.0f * a - 1.0f)));
            return point2d{hr * 1.08f * k, hr * k};
          },
          8, 10, kHeadCols);
  // Abdomen: thin, tapering, curving slightly down towards its tip.
  const float al = look.abdomenLength * S;
  const float ar = look.abdomenRadius * S;
  const float az = -tl * 0.75f;
  AddTube(model, group,
          [&](float a) { return VECTOR3D{0.0f, -0.006f * S - 0.03f * S * a * a, az - al * a}; },
          [&](float a) {
            // sin(pi) rounds to just below 0 in float: clamp before the power.
            const float k = std::pow(std::max(0.0f, std::sin(kPi * std::clamp(a, 0.0f, 1.0f))), 0.45f) *
                            (1.0f - 0.5f * a);
            return point2d{ar * k, ar * k};
          },
          14, 10, kAbdomenCols);
  // Antennae: thin, curving up and out, with clubs at the tips.
  for (float sideSign : {1.0f, -1.0f}) {
    const VECTOR3D base{sideSign * 0.012f * S, 0.026f * S, hz + 0.45f * hr};
    const VECTOR3D dir = Unit({sideSign * 0.36f, 0.42f, 0.83f});
    const float len = look.antennaLength * S;
    AddTube(model, group,
            [&, base, dir, len](float a) {
              VECTOR3D p = Add(base, Mul(dir, len * a));
              p.y += 0.05f * len * std::sin(kPi * a);
              return p;
            },
            [&](float a) {
              const float shaft = 0.0045f * S;
              const float club = 0.012f * S;
              float r = shaft;
              if (a > 0.8f) {
                const float c = (a - 0.8f) / 0.2f;
                r = shaft + (club - shaft) * std::sin(kPi * std::min(c * 0.75f, 0.5f) );
                r *= std::sqrt(std::max(0.0f, 1.0f - std::pow(std::max(0.0f, c - 0.55f) / 0.45f, 2.0f)));
              }
              if (a == 0.0f) r = 0.0f;
              return point2d{r, r};
            },
            12, 5, kLimbCols);
  }
  // Legs: three pairs folded under the thorax.
  for (float sideSign : {1.0f, -1.0f}) {
    for (int pair = 0; pair < 3; ++pair) {
      const float z = (0.045f - 0.042f * pair) * S;
      const float reach = (pair - 1) * 0.05f * S;
      const VECTOR3D hip{sideSign * 0.018f * S, -0.028f * S, z};
      const VECTOR3D knee{sideSign * 0.065f * S, -0.05f * S, z + reach * 0.5f};
      const VECTOR3D foot{sideSign * 0.085f * S, -0.105f * S, z + reach * 1.2f};
      AddTube(model, group,
              [=](float a) {
                return a < 0.5f ? Add(hip, Mul(Sub(knee, hip), a * 2.0f))
                                : Add(knee, Mul(Sub(foot, knee), a * 2.0f - 1.0f));
              },
              [&](float a) {
                const float r = 0.0045f * S * (1.0f - 0.4f * a);
                const float end = std::min(1.0f, std::min(a, 1.0f - a) * 16.0f);
                return point2d{r * std::sqrt(end), r * std::sqrt(end)};
              },
              6, 4, kLimbCols);
    }
  }
}

// Per-texel geometry of one side's half, shared by every variant.
struct TexelGeometry {
  std::vector<WingTexel> texels;  // kHalf * kWingRows, row by row
};

TexelGeometry MeasureSide(const WingOutlines& wings, WingSide side) {
  TexelGeometry g;
  g.texels.resize(static_cast<size_t>(kHalf) * kWingRows);
  for (int y = 0; y < kWingRows; ++y) {
    for (int x = 0; x < kHalf; ++x) {
      WingTexel& t = g.texels[static_cast<size_t>(y) * kHalf + x];
      t.side = side;
      t.p = TexelCentre(wings.map, x, y);
      const float df = EdgeDistance(wings.fore, t.p);
      const float dh = EdgeDistance(wings.hind, t.p);
      t.foreInside = Inside(wings.fore, t.p) ? df : -df;
      t.hindInside = Inside(wings.hind, t.p) ? dh : -dh;
      if (side == WingSide::Upper) {
        t.fore = t.foreInside > 0.0f || (t.hindInside <= 0.0f && t.foreInside >= t.hindInside);
      } else {
        t.fore = !(t.hindInside > 0.0f || (t.foreInside <= 0.0f && t.hindInside >= t.foreInside));
      }
      t.edge = std::max(0.0f, t.fore ? t.foreInside : t.hindInside);
    }
  }
  return g;
}

Rgb BodyTexel(const BodyLook& look, int x, int y, uint32_t seed) {
  const float vertical = std::clamp((y - kBodyTop) / float(kBodyBottom - kBodyTop - 1), 0.0f, 1.0f);
  Rgb c = MixRgb(look.dorsal, look.ventral, SmoothStep(0.25f, 0.85f, vertical));
  if (x >= kAbdomenCols.first && x < kAbdomenCols.last) {
    const float a = (x - kAbdomenCols.first) / float(kAbdomenCols.last - kAbdomenCols.first);
    const float ring = 0.5f + 0.5f * std::cos(2.0f * kPi * look.stripes * a);
    c = Over(c, look.stripe, look.stripeStrength * SmoothStep(0.55f, 0.8f, ring));
  } else if (x >= kLimbCols.first && x < kLimbCols.last) {
    const float a = (x - kLimbCols.first) / float(kLimbCols.last - kLimbCols.first);
    c = MixRgb(look.dorsal, look.club, SmoothStep(0.7f, 0.85f, a));
  }
  const float fur = Fbm(x * 0.45f, y * 0.45f, seed ^ 0xB0D1u, 3);
  return ScaleRgb(c, 0.88f + 0.24f * fur);
}

}  // namespace

WingOutlines BuildOutlines(const ButterflyKind& kind) {
  WingOutlines w;
  w.fore = SampleClosedCurve(kind.foreControl, kind.samplesPerSegment);
  w.hind = SampleClosedCurve(kind.hindControl, kind.samplesPerSegment);
  MakeCounterClockwise(&w.fore);
  MakeCounterClockwise(&w.hind);
  if (kind.refine) {
    kind.refine(&w.fore, &w.hind);
    MakeCounterClockwise(&w.fore);
    MakeCounterClockwise(&w.hind);
  }
  float uMin = 1e9f, uMax = -1e9f, vMin = 1e9f, vMax = -1e9f;
  for (const Outline* o : {&w.fore, &w.hind}) {
    for (const Vec2& p : *o) {
      uMin = std::min(uMin, p.u);
      uMax = std::max(uMax, p.u);
      vMin = std::min(vMin, p.v);
      vMax = std::max(vMax, p.v);
    }
  }
  uMin -= kMapMargin;
  uMax += kMapMargin;
  vMin -= kMapMargin;
  vMax += kMapMargin;
  w.map.texelsPerUnit = std::min(kHalf / (uMax - uMin), kWingRows / (vMax - vMin));
  // Centred in the half.
  w.map.u0 = (uMin + uMax) * 0.5f - 0.5f * kHalf / w.map.texelsPerUnit;
  w.map.vTop = (vMin + vMax) * 0.5f + 0.5f * kWingRows / w.map.texelsPerUnit;
  return w;
}

MS3DWriter BuildModel(const ButterflyKind& kind, const WingOutlines& wings) {
  MS3DWriter model;
  const int material = model.AddMaterial("wings");
  model.materials[static_cast<size_t>(material)].ambient = {0.2f, 0.2f, 0.2f, 1.0f};
  model.materials[static_cast<size_t>(material)].diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
  model.materials[static_cast<size_t>(material)].texture = kind.fileName + ".tga";
  model.AddJoint("body", "", {}, {});
  model.AddJoint("wingl", "body", {}, kHinge);
  model.AddJoint("wingr", "body", {}, kHinge);
  const int body = model.AddGroup("body", static_cast<int8_t>(material));
  const int wingL = model.AddGroup("wingl", static_cast<int8_t>(material));
  const int wingR = model.AddGroup("wingr", static_cast<int8_t>(material));
  AddBody(&model, body, kind.body);
  AddWingSheet(&model, wingL, 1, wings.fore, wings.map, true, kForeOffset);
  AddWingSheet(&model, wingL, 1, wings.hind, wings.map, true, kHindOffset);
  AddWingSheet(&model, wingR, 2, wings.fore, wings.map, false, kForeOffset);
  AddWingSheet(&model, wingR, 2, wings.hind, wings.map, false, kHindOffset);
  model.fps = 24.0f;
  // Snap every stored coordinate to a fine binary grid, so that compilers
  // which round the last bit of a sine or a square root differently still
  // write the same file.
  auto snap = [](float v, float steps) { return std::round(v * steps) / steps; };
  for (MS3DWriter::Vertex& v : model.vertices) {
    v.position = {snap(v.position.x, 4096.0f), snap(v.position.y, 4096.0f),
                  snap(v.position.z, 4096.0f)};
  }
  for (MS3DWriter::Triangle& t : model.triangles) {
    for (int k = 0; k < 3; ++k) {
      t.normals[k] = {snap(t.normals[k].x, 4096.0f), snap(t.normals[k].y, 4096.0f),
                      snap(t.normals[k].z, 4096.0f)};
      t.uv[k] = {snap(t.uv[k].x, 65536.0f), snap(t.uv[k].y, 65536.0f)};
    }
  }
  return model;
}

RgbImage PaintTexture(const ButterflyKind& kind, const WingOutlines& wings, int variant) {
  RgbImage image(kTextureSize, kTextureSize);
  const bool keyed = kind.storage == TextureStorage::ColourKey;
  const float keyMargin = 4.0f / wings.map.texelsPerUnit;
  for (WingSide side : {WingSide::Upper, WingSide::Under}) {
    const TexelGeometry g = MeasureSide(wings, side);
    const int x0 = side == WingSide::Under ? kHalf : 0;
    for (int y = 0; y < kWingRows; ++y) {
      for (int x = 0; x < kHalf; ++x) {
        const WingTexel& t = g.texels[static_cast<size_t>(y) * kHalf + x];
        Rgb c = kind.paint(t, variant);
        if (keyed && t.foreInside < -keyMargin && t.hindInside < -keyMargin) c = kKeyColour;
        image.Set(x0 + x, y, c);
      }
    }
  }
  for (int y = kWingRows; y < kTextureSize; ++y) {
    for (int x = 0; x < kTextureSize; ++x) {
      const bool strip = y >= kBodyTop - 2 && y < kBodyBottom + 2 && x >= 4 && x < kTextureSize - 4;
      if (!strip && keyed) {
        image.Set(x, y, kKeyColour);
      } else {
        image.Set(x, y, BodyTexel(kind.body, x, std::clamp(y, kBodyTop, kBodyBottom - 1),
                                  kind.seed + static_cast<uint32_t>(variant)));
      }
    }
  }
  if (keyed) {
    // Only the unused texels may carry the key colour: nudge any painted
    // texel that rounds to it.
    const std::vector<uint8_t> bytes = image.Bytes(false);
    const std::vector<uint8_t> key = [&] {
      RgbImage one(1, 1);
      one.Set(0, 0, kKeyColour);
      return one.Bytes(false);
    }();
    for (int y = 0; y < kTextureSize; ++y) {
      for (int x = 0; x < kTextureSize; ++x) {
        const size_t i = (static_cast<size_t>(y) * kTextureSize + x) * 3;
        Rgb c = image.Get(x, y);
        const bool isKey = bytes[i] == key[0] && bytes[i + 1] == key[1] && bytes[i + 2] == key[2];
        if (isKey && !(c.r == kKeyColour.r && c.g == kKeyColour.g && c.b == kKeyColour.b)) {
          c.r += 2.0f / 255.0f;
          image.Set(x, y, c);
        }
      }
    }
  }
  return image;
}

RgbImage PaintAlphaImage(const WingOutlines& wings) {
  RgbImage image(kTextureSize, kTextureSize);
  const float margin = 2.0f / wings.map.texelsPerUnit;
  for (int y = 0; y < kTextureSize; ++y) {
    for (int x = 0; x < kTextureSize; ++x) {
      float a = 0.0f;
      if (y < kWingRows) {
        const Vec2 p = TexelCentre(wings.map, x % kHalf, y);
        const float df = Inside(wings.fore, p) ? EdgeDistance(wings.fore, p) : -EdgeDistance(wings.fore, p);
        const float dh = Inside(wings.hind, p) ? EdgeDistance(wings.hind, p) : -EdgeDistance(wings.hind, p);
        a = SmoothStep(-margin, 0.0f, std::max(df, dh));
      } else if (y >= kBodyTop - 2 && y < kBodyBottom + 2) {
        a = 1.0f;
      }
      image.Set(x, y, {a, a, a});
    }
  }
  return image;
}

std::string BuildBflyFile(const ButterflyKind& kind) {
  const WingOutlines wings = BuildOutlines(kind);
  const MS3DWriter model = BuildModel(kind, wings);
  BflyHeaderSpec header;
  header.name = kind.displayName;
  header.versionMajor = 1;
  header.versionMinor = 0;
  header.flags = 0;
  header.modelScale = kind.modelScale;
  header.hasAlphaLump = kind.storage == TextureStorage::SharedAlpha ? 1 : 0;
  // Texture k takes the alpha rule of directory entry k (the entry before
  // its own lump), so every entry carries the type's rule.
  const int32_t alphaMode = kind.storage == TextureStorage::ColourKey ? 1 : 0;
  std::vector<LumpSpec> lumps;
  LumpSpec modelLump;
  modelLump.bytes = model.Bytes();
  modelLump.type = 0;
  modelLump.alphaMode = alphaMode;
  lumps.push_back(modelLump);
  if (kind.storage == TextureStorage::SharedAlpha) {
    LumpSpec alpha;
    alpha.bytes = MakeTga(PaintAlphaImage(wings).ToTga(false), false);
    alpha.type = 1;
    lumps.push_back(alpha);
  }
  for (int variant = 0; variant < kind.textureCount; ++variant) {
    LumpSpec texture;
    texture.bytes = MakeTga(PaintTexture(kind, wings, variant).ToTga(false),
                            kind.storage == TextureStorage::RunLength);
    texture.type = 1;
    texture.alphaMode = alphaMode;
    lumps.push_back(texture);
  }
  return MakeBflyFile(header, lumps);
}
