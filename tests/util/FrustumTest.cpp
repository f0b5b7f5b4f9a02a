#include "util/Frustum.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"

using Frustum = GLTest;

namespace {

void ExpectPlanes(const std::vector<std::vector<float>>& planes, float tolerance) {
  for (int p = 0; p < kFrustumPlaneCount; ++p)
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(frustum[p][i], planes[p][i], tolerance) << p;
}

}  // namespace

TEST_F(Frustum, OrthographicCubeAndTheScenesView) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  ExtractFrustum();
  // Right, left, bottom, top, far, near.
  ExpectPlanes({{-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, -1, 0, 1}, {0, 0, 1, 1},
                {0, 0, -1, 1}}, 0);
  EXPECT_TRUE(PointInFrustum({0.999f, -0.999f, 0.999f}));
  // A point on a plane is outside, and so is a sphere only touching one.
  for (VECTOR3D onPlane : {VECTOR3D{1, 0, 0}, {0, -1, 0}, {0, 0, 1}})
    EXPECT_FALSE(PointInFrustum(onPlane));
  EXPECT_TRUE(SphereInFrustum({1.2f, 0, 0}, 0.5f));
  EXPECT_FALSE(SphereInFrustum({1.5f, 0, 0}, 0.5f));
  EXPECT_TRUE(SphereInFrustum({0, 0, -1.4f}, 0.5f));

  // The scene's view: 45 degrees vertically, square, near 1, far 120, camera
  // at (0, 0, 60) looking at the origin.
  SetSceneFrustum(1, 1);
  const float s = static_cast<float>(std::sin(22.5 * kPi / 180));
  const float c = static_cast<float>(std::cos(22.5 * kPi / 180));
  ExpectPlanes({{-c, 0, -s, 60 * s}, {c, 0, -s, 60 * s}, {0, c, -s, 60 * s},
                {0, -c, -s, 60 * s}, {0, 0, 1, 60}, {0, 0, -1, 59}}, 1e-4f);
  EXPECT_TRUE(PointInFrustum({30, 30, -40}));  // the view widens with distance
  EXPECT_FALSE(PointInFrustum({0, 0, -60.5f}));
  EXPECT_TRUE(SphereInFrustum({0, 0, -60.5f}, 1));
  EXPECT_FALSE(SphereInFrustum({0, 0, -62}, 1));
}

TEST_F(Frustum, ADegenerateMatrixGivesNoNaN) {
  // No plane has a normal: nothing becomes infinite or NaN, no point is in.
  const GLfloat zero[16] = {};
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(zero);
  ExtractFrustum();
  for (const float* plane : frustum)
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(plane[i]));
  EXPECT_FALSE(PointInFrustum({0, 0, 0}));
}
