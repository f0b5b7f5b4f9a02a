#include "util/Frustum.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"

using Frustum = GLTest;

namespace {

void ExpectPlane(int index, float a, float b, float c, float d, float tol = 0.0f) {
  const float* p = frustum[index];
  EXPECT_NEAR(p[0], a, tol) << "plane " << index;
  EXPECT_NEAR(p[1], b, tol) << "plane " << index;
  EXPECT_NEAR(p[2], c, tol) << "plane " << index;
  EXPECT_NEAR(p[3], d, tol) << "plane " << index;
}

// The scene's view: 45 degrees vertically, square, near 1, far 120, camera at
// (0, 0, 60) looking at the origin.
void LoadSceneView() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
}

}  // namespace

TEST_F(Frustum, OrthographicCube) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  ExtractFrustum();

  ExpectPlane(kFrustumRight, -1, 0, 0, 1);
  ExpectPlane(kFrustumLeft, 1, 0, 0, 1);
  ExpectPlane(kFrustumBottom, 0, 1, 0, 1);
  ExpectPlane(kFrustumTop, 0, -1, 0, 1);
  ExpectPlane(kFrustumFar, 0, 0, 1, 1);
  ExpectPlane(kFrustumNear, 0, 0, -1, 1);

  EXPECT_TRUE(PointInFrustum({0, 0, 0}));
  EXPECT_TRUE(PointInFrustum({0.999f, -0.999f, 0.999f}));
  // A point on a plane is outside.
  EXPECT_FALSE(PointInFrustum({1, 0, 0}));
  EXPECT_FALSE(PointInFrustum({0, -1, 0}));
  EXPECT_FALSE(PointInFrustum({0, 0, 1}));

  EXPECT_TRUE(SphereInFrustum({1.2f, 0, 0}, 0.5f));
  EXPECT_FALSE(SphereInFrustum({1.6f, 0, 0}, 0.5f));
  EXPECT_FALSE(SphereInFrustum({1.5f, 0, 0}, 0.5f));  // only touching
  EXPECT_TRUE(SphereInFrustum({0, 0, -1.4f}, 0.5f));

  // Radius 0 is the point test, on the planes too.
  for (float x = -1.5f; x <= 1.5f; x += 0.25f) {
    for (float z = -1.5f; z <= 1.5f; z += 0.25f) {
      const VECTOR3D p{x, 0.5f, z};
      EXPECT_EQ(SphereInFrustum(p, 0.0f), PointInFrustum(p)) << x << ", " << z;
    }
  }

  EXPECT_FALSE(SphereInsideSinglePlaneFrustum(kFrustumRight, {1.6f, 0, 0}, 0.5f));
  EXPECT_TRUE(SphereInsideSinglePlaneFrustum(kFrustumLeft, {1.6f, 0, 0}, 0.5f));
  EXPECT_TRUE(SphereInsideSinglePlaneFrustum(kFrustumNear, {0, 0, 1.4f}, 0.5f));

  const VECTOR3D p{0.3f, 0.2f, 0.1f};
  const VECTOR3D onRight = PointAtEdgeOfFrustum(kFrustumRight, p);
  EXPECT_TRUE(CompareVectors(onRight, {1, 0.2f, 0.1f}));
  EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumLeft, p), {-1, 0.2f, 0.1f}));
  EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumTop, p), {0.3f, 1, 0.1f}));
  EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumBottom, p), {0.3f, -1, 0.1f}));
  EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumFar, p), {0.3f, 0.2f, -1}));
  EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumNear, p), {0.3f, 0.2f, 1}));

  // Indices outside the table are answered without reading it.
  for (int bad : {-1, 6, 7, INT_MIN, INT_MAX}) {
    EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(bad, p), {0, 0, 0})) << bad;
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(bad, p, 100.0f)) << bad;
  }
}

TEST_F(Frustum, SceneView) {
  LoadSceneView();
  ExtractFrustum();

  const float s = static_cast<float>(std::sin(22.5 * kPi / 180));
  const float c = static_cast<float>(std::cos(22.5 * kPi / 180));
  ExpectPlane(kFrustumRight, -c, 0, -s, 60 * s, 1e-5f);
  ExpectPlane(kFrustumTop, 0, -c, -s, 60 * s, 1e-5f);
  ExpectPlane(kFrustumNear, 0, 0, -1, 59, 1e-4f);
  ExpectPlane(kFrustumFar, 0, 0, 1, 60, 1e-4f);

  EXPECT_TRUE(PointInFrustum({0, 0, 0}));
  EXPECT_TRUE(PointInFrustum({0, 24, 0}));  // the top is 60 tan 22.5 = 24.85 up
  EXPECT_FALSE(PointInFrustum({0, 26, 0}));
  EXPECT_FALSE(PointInFrustum({-26, 0, 0}));
  EXPECT_TRUE(PointInFrustum({30, 30, -40}));  // the view widens with distance

  // Behind the near plane (z = 59) or beyond the far one (z = -60), though
  // within the side planes.
  EXPECT_TRUE(PointInFrustum({0, 0, 58.5f}));
  EXPECT_FALSE(PointInFrustum({0, 0, 59.5f}));
  EXPECT_FALSE(PointInFrustum({0, 0, 61}));
  EXPECT_TRUE(PointInFrustum({0, 0, -59.5f}));
  EXPECT_FALSE(PointInFrustum({0, 0, -60.5f}));
  EXPECT_TRUE(SphereInFrustum({0, 0, -60.5f}, 1));
  EXPECT_FALSE(SphereInFrustum({0, 0, -62}, 1));

  // The planes live in the space the model-view matrix maps from.
  glTranslatef(100, 0, 0);
  ExtractFrustum();
  EXPECT_FALSE(PointInFrustum({0, 0, 0}));
  EXPECT_TRUE(PointInFrustum({-100, 0, 0}));
}

TEST_F(Frustum, DegenerateMatrices) {
  {
    // No plane has a normal: nothing becomes infinite or NaN, and no point is
    // inside.
    const GLfloat zero[16] = {};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(zero);
    glMatrixMode(GL_MODELVIEW);
    ExtractFrustum();
    for (const float* plane : frustum) {
      for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(plane[i]));
    }
    EXPECT_FALSE(PointInFrustum({0, 0, 0}));
  }
  {
    // The cube turned a quarter about Z: the right and left planes become
    // parallel to x, the bottom and top ones to y, so moving a point along
    // that axis never reaches them.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    const GLfloat quarter[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glLoadMatrixf(quarter);
    ExtractFrustum();
    const VECTOR3D p{0.5f, 0.5f, 0};
    EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumRight, p), {0, 0, 0}));
    EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumTop, p), {0, 0, 0}));
    EXPECT_TRUE(CompareVectors(PointAtEdgeOfFrustum(kFrustumFar, p), {0.5f, 0.5f, -1}));
    EXPECT_TRUE(PointInFrustum(p));
  }
}

TEST_F(Frustum, FromMatricesWithoutGL) {
  // Whatever matrices GL holds, the planes from the same sixteen floats are
  // bit-identical to the extracted ones.
  for (int view = 0; view < 3; ++view) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (view == 2)
      glFrustum(-3, 2, -1, 4, 2, 50);
    else
      gluPerspective(45.0, view == 0 ? 16.0f / 9.0f : 4.0f / 3.0f, 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(3, -2, 60, 1, 0.5, 0, 0.1, 1, 0);
    glRotatef(17, 1, 2, 3);
    ExtractFrustum();
    float extracted[kFrustumPlaneCount][4];
    std::copy(&frustum[0][0], &frustum[0][0] + 24, &extracted[0][0]);

    float proj[16], modl[16];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    glGetFloatv(GL_MODELVIEW_MATRIX, modl);
    std::fill(&frustum[0][0], &frustum[0][0] + 24, 0.0f);
    SetFrustumFromMatrices(proj, modl);
    for (int p = 0; p < kFrustumPlaneCount; ++p)
      for (int i = 0; i < 4; ++i) EXPECT_EQ(frustum[p][i], extracted[p][i]) << view << " " << p;
  }

  // The scene's view built without GL matches what GLU builds, for a wide
  // and a narrow screen.
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{1024, 768}}) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<float>(w) / static_cast<float>(h), 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
    float proj[16], modl[16];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    glGetFloatv(GL_MODELVIEW_MATRIX, modl);
    const SceneViewMatrices v = MakeSceneViewMatrices(w, h);
    for (int i = 0; i < 16; ++i) {
      EXPECT_NEAR(v.projection[i], proj[i], 1e-6f) << w << " " << i;
      EXPECT_NEAR(v.modelView[i], modl[i], 1e-6f) << w << " " << i;
    }
    ExtractFrustum();
    float extracted[kFrustumPlaneCount][4];
    std::copy(&frustum[0][0], &frustum[0][0] + 24, &extracted[0][0]);
    SetSceneFrustum(w, h);
    for (int p = 0; p < kFrustumPlaneCount; ++p)
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(frustum[p][i], extracted[p][i], 1e-5f) << w << " " << p;
  }
}
