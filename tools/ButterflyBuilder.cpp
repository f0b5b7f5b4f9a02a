#include "tools/ButterflyBuilder.h"

#include <cmath>

#include "tools/TgaWriter.h"

namespace {

constexpr float kBodyHalfLength = 2.0f;
constexpr float kBodyRadius = 0.4f;
constexpr float kWingRoot = 0.3f;  // distance of a wing joint from the axis

void AddBody(MS3DWriter* m, int group) {
  const uint16_t nose = m->AddVertex({0, 0, kBodyHalfLength}, 0);
  const uint16_t tail = m->AddVertex({0, 0, -kBodyHalfLength}, 0);
  constexpr int kSides = 6;
  uint16_t ring[kSides];
  for (int i = 0; i < kSides; ++i) {
    const double a = 2 * kPi * i / kSides;
    ring[i] = m->AddVertex({static_cast<float>(kBodyRadius * std::cos(a)),
                            static_cast<float>(kBodyRadius * std::sin(a)), 0.5f},
                           0);
  }
  for (int i = 0; i < kSides; ++i) {
    const uint16_t a = ring[i], b = ring[(i + 1) % kSides];
    m->AddTriangle(group, nose, a, b, {0.5f, 0}, {0, 1}, {1, 1});
    m->AddTriangle(group, tail, b, a, {0.5f, 0}, {1, 1}, {0, 1});
  }
}

// One wing on the side `side` (-1 or 1) of the body, both faces.
void AddWing(MS3DWriter* m, int group, float side, int8_t bone, const ButterflySpec& recipe) {
  const int n = recipe.wingCells < 1 ? 1 : recipe.wingCells;
  std::vector<uint16_t> grid;
  for (int i = 0; i <= n; ++i) {
    for (int k = 0; k <= n; ++k) {
      const float u = static_cast<float>(i) / n;  // out from the body
      const float v = static_cast<float>(k) / n;  // tail to head
      // Rounded outer edge: the far corners pull in a little.
      const float depth = recipe.wingDepth * (1.0f - 0.3f * u * u);
      grid.push_back(m->AddVertex({side * (kWingRoot + u * recipe.wingSpan), 0,
                                   (v - 0.5f) * depth + 0.3f},
                                  bone));
    }
  }
  auto at = [&](int i, int k) { return grid[i * (n + 1) + k]; };
  auto uv = [&](int i, int k) {
    return point2d{static_cast<float>(i) / n, static_cast<float>(k) / n};
  };
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < n; ++k) {
      const uint16_t a = at(i, k), b = at(i + 1, k), c = at(i + 1, k + 1), d = at(i, k + 1);
      const point2d ua = uv(i, k), ub = uv(i + 1, k), uc = uv(i + 1, k + 1), ud = uv(i, k + 1);
      // Both faces, one per winding, so that a wing shows from either side
      // with back faces culled; their normals point opposite ways.
      m->AddTriangle(group, a, d, c, ua, ud, uc);
      m->AddTriangle(group, a, c, b, ua, uc, ub);
      m->AddTriangle(group, a, c, d, ua, uc, ud);
      m->AddTriangle(group, a, b, c, ua, ub, uc);
    }
  }
}

std::string SolidTga(std::array<uint8_t, 3> colour) {
  TgaImage image;
  image.width = 16;
  image.height = 16;
  image.bpp = 24;
  for (int i = 0; i < 16 * 16; ++i) image.pixels.insert(image.pixels.end(), colour.begin(), colour.end());
  return MakeTga(image, false);
}

// Opaque everywhere except a transparent first column.
std::string AlphaTga() {
  TgaImage image;
  image.width = 16;
  image.height = 16;
  image.bpp = 24;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint8_t v = x == 0 ? 0 : 255;
      image.pixels.insert(image.pixels.end(), {v, v, v});
    }
  return MakeTga(image, false);
}

}  // namespace

MS3DWriter ButterflyModel(const ButterflySpec& recipe) {
  MS3DWriter m;
  m.AddJoint("body", "", {0, 0, 0}, {0, 0, 0});
  int8_t left = 0, right = 0;
  if (recipe.wingJoints) {
    m.AddJoint("wingl", "body", {0, 0, 0}, {-kWingRoot, 0, 0});
    m.AddJoint("wingr", "body", {0, 0, 0}, {kWingRoot, 0, 0});
    left = 1;
    right = 2;
  }
  m.AddMaterial("body");
  m.AddMaterial("wings");
  const int body = m.AddGroup("body", 0);
  const int wings = m.AddGroup("wings", 1);
  AddBody(&m, body);
  AddWing(&m, wings, -1.0f, left, recipe);
  AddWing(&m, wings, 1.0f, right, recipe);
  return m;
}

std::string ButterflyFile(const ButterflySpec& recipe, const MS3DWriter& model) {
  BflyHeaderSpec header;
  header.name = recipe.name;
  header.modelScale = recipe.modelScale;
  header.hasAlphaLump = recipe.sharedAlpha ? 1 : 0;
  std::vector<LumpSpec> lumps;
  LumpSpec modelLump;
  modelLump.bytes = model.Bytes();
  modelLump.type = 0;
  modelLump.alphaMode = recipe.alphaMode;
  lumps.push_back(modelLump);
  if (recipe.sharedAlpha) {
    LumpSpec alpha;
    alpha.bytes = AlphaTga();
    alpha.alphaMode = recipe.alphaMode;
    lumps.push_back(alpha);
  }
  for (const auto& colour : recipe.colours) {
    LumpSpec texture;
    texture.bytes = SolidTga(colour);
    texture.alphaMode = recipe.alphaMode;
    lumps.push_back(texture);
  }
  return MakeBflyFile(header, lumps);
}

std::string ButterflyFile(const ButterflySpec& recipe) {
  return ButterflyFile(recipe, ButterflyModel(recipe));
}
