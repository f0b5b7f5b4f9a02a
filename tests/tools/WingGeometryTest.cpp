// Outline sampling and triangulation of the content generator.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/content/WingGeometry.h"

namespace {

float TriangleArea2(const Outline& o, const std::array<int, 3>& t) {
  const Vec2 a = o[static_cast<size_t>(t[0])], b = o[static_cast<size_t>(t[1])],
             c = o[static_cast<size_t>(t[2])];
  return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

void ExpectTiles(const Outline& outline) {
  const auto triangles = Triangulate(outline);
  EXPECT_EQ(triangles.size(), outline.size() - 2);
  float sum = 0.0f;
  for (const auto& t : triangles) {
    const float a = TriangleArea2(outline, t);
    EXPECT_GT(a * SignedArea2(outline), 0.0f) << "each triangle turns the way the outline does";
    sum += a;
  }
  EXPECT_NEAR(sum, SignedArea2(outline), 1e-4f * std::fabs(SignedArea2(outline)));
}

TEST(WingGeometry, TriangulationTilesConcaveOutlinesExactly) {
  {  // An L shape, counter-clockwise.
    ExpectTiles({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});
  }
  {  // The same clockwise: triangles follow the outline's turn.
    ExpectTiles({{0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}, {0, 0}});
  }
  {  // A sampled hindwing with a tail and a scalloped margin.
    Outline wing = SampleClosedCurve({{0.03f, -0.01f}, {0.28f, 0.01f}, {0.52f, -0.07f},
                                      {0.68f, -0.22f}, {0.70f, -0.38f}, {0.54f, -0.64f},
                                      {0.50f, -0.80f}, {0.49f, -0.96f}, {0.44f, -1.00f},
                                      {0.42f, -0.86f}, {0.38f, -0.72f}, {0.12f, -0.62f},
                                      {0.02f, -0.18f}},
                                     8);
    MakeCounterClockwise(&wing);
    Scallop(&wing, NearestSample(wing, {0.69f, -0.3f}), NearestSample(wing, {0.55f, -0.63f}), 4,
            0.016f);
    ExpectTiles(wing);
  }
}

TEST(WingGeometry, ScallopsCutInwardAndTheCurvePassesThroughItsPoints) {
  const Outline control{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  Outline square = SampleClosedCurve(control, 16);
  ASSERT_EQ(square.size(), 64u);
  for (size_t i = 0; i < control.size(); ++i) {
    EXPECT_FLOAT_EQ(square[i * 16].u, control[i].u);
    EXPECT_FLOAT_EQ(square[i * 16].v, control[i].v);
  }
  const Outline before = square;
  Scallop(&square, 16, 32, 3, 0.05f);
  ASSERT_EQ(square.size(), before.size());
  for (size_t i = 17; i < 32; ++i) {
    EXPECT_TRUE(Inside(before, square[i]) || EdgeDistance(before, square[i]) < 1e-5f);
  }
  EXPECT_FLOAT_EQ(square[16].u, before[16].u);
  EXPECT_FLOAT_EQ(square[32].v, before[32].v);
  const size_t notch = 19;  // next to the first notch, a sixth along the side
  EXPECT_GT(EdgeDistance(before, square[notch]), 0.035f);
  EXPECT_TRUE(Inside(before, {0.5f, 0.5f}));
  EXPECT_FALSE(Inside(before, {1.5f, 0.5f}));
}

}  // namespace
