// What the shadows look like is checked in whole frames; here, where the
// shadow matrix puts a point under an oblique light.
#include "scene/Shadows.h"

#include <gtest/gtest.h>

TEST(Shadows, MatrixFlattensOntoThePlaneAlongTheLight) {
  // A light direction of (10, 0, 10): a point 10 out from the plane slides
  // 10 along -x onto it.
  double m[16];
  ShadowMatrixf(m, kShadowPlane[0], kShadowPlane[1], kShadowPlane[2], kShadowPlane[3], 10, 0, 10,
                0);
  const double p[3] = {0, 0, -30.5}, shadow[3] = {-10, 0, -40.5};
  const double w = m[3] * p[0] + m[7] * p[1] + m[11] * p[2] + m[15];
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR((m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i]) / w, shadow[i], 1e-9);
  // Each element is a float product: 0.1f * 3 rounded to float, not the
  // exact double product of the two floats.
  ShadowMatrixf(m, 0, 0.1f, 1, 0, 3, 0, 1, 0);
  EXPECT_EQ(m[4], static_cast<double>(-(0.1f * 3.0f)));
  ShadowMatrixf(nullptr, 0, 0, 1, 0, 0, 0, 1, 0);  // ignored
}
