#pragma once
// The scene's view without OpenGL: the projection the view sets every frame
// (45 degrees vertically, aspect width / height in single precision, near 1,
// far 120) and the camera at (0, 0, 60) looking at the origin with up
// (0, 1, 0), built as gluPerspective and gluLookAt build them, so that flight
// tests and benchmarks can set the frustum without a context.
#include <cmath>

#include "util/Frustum.h"
#include "util/Math.h"

struct SceneViewMatrices {
  float projection[16] = {};
  float modelView[16] = {};
};

inline SceneViewMatrices MakeSceneViewMatrices(int width, int height) {
  SceneViewMatrices v;
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  const double fovy = 45.0, zNear = 1.0, zFar = 120.0;
  const double half = fovy / 2 * kPi / 180;
  const double cotangent = std::cos(half) / std::sin(half);
  const double deltaZ = zFar - zNear;
  double p[16] = {};
  p[0] = cotangent / aspect;
  p[5] = cotangent;
  p[10] = -(zFar + zNear) / deltaZ;
  p[11] = -1;
  p[14] = -2 * zNear * zFar / deltaZ;
  for (int i = 0; i < 16; ++i) v.projection[i] = static_cast<float>(p[i]);

  // Eye (0, 0, 60), centre at the origin, up (0, 1, 0): forward (0, 0, -1),
  // side (1, 0, 0), up (0, 1, 0), so the rotation is the identity and only
  // the translation by -eye is left.
  const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -60, 1};
  for (int i = 0; i < 16; ++i) v.modelView[i] = m[i];
  return v;
}

// Sets `frustum` for a viewport of the given size.
inline void SetSceneFrustum(int width, int height) {
  const SceneViewMatrices v = MakeSceneViewMatrices(width, height);
  SetFrustumFromMatrices(v.projection, v.modelView);
}
