// What the shadows look like is checked in whole frames; here, where the
// shadow matrix puts a point.
#include "scene/Shadows.h"

#include <gtest/gtest.h>

#include <array>

TEST(Shadows, MatrixFlattensOntoThePlaneAlongTheLight) {
  const struct {
    const char* what;
    std::array<float, 4> light;  // x, y, z, w (0: a direction, as the scene uses)
    std::array<double, 3> point, shadow;
  } rows[] = {
      {"oblique light: 10 out slides 10 along -x", {10, 0, 10, 0}, {0, 0, -30.5}, {-10, 0, -40.5}},
      {"light along z: x and y stay", {0, 0, 100, 0}, {3, -7, 12}, {3, -7, -40.5}},
      {"a point on the plane stays", {3, -4, 20, 0}, {5, 6, -40.5}, {5, 6, -40.5}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    double m[16];
    ShadowMatrixf(m, kShadowPlane[0], kShadowPlane[1], kShadowPlane[2], kShadowPlane[3],
                  row.light[0], row.light[1], row.light[2], row.light[3]);
    std::array<double, 4> p{};
    for (int i = 0; i < 4; ++i)
      p[i] = m[i] * row.point[0] + m[4 + i] * row.point[1] + m[8 + i] * row.point[2] + m[12 + i];
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i] / p[3], row.shadow[i], 1e-9) << i;
  }
  // Each element is a float product: 0.1f * 3 rounded to float, not the
  // exact double product of the two floats.
  double m[16];
  ShadowMatrixf(m, 0, 0.1f, 1, 0, 3, 0, 1, 0);
  EXPECT_EQ(m[4], static_cast<double>(-(0.1f * 3.0f)));
  EXPECT_NE(m[4], -(static_cast<double>(0.1f) * 3.0));
  ShadowMatrixf(nullptr, 0, 0, 1, 0, 0, 0, 1, 0);  // ignored
}
