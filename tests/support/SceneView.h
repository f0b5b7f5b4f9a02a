#pragma once
// The scene's view without OpenGL: the projection the view sets every frame
// (45 degrees vertically, aspect width / height in single precision, near 1,
// far 120) and the camera at (0, 0, 60) looking at the origin with up
// (0, 1, 0), built as gluPerspective and gluLookAt build them, so that flight
// tests and benchmarks can set the frustum without a context.
#include <cmath>

#include "util/Frustum.h"
#include "util/Math.h"

// Sets `frustum` for a viewport of the given size.
inline void SetSceneFrustum(int width, int height) {
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  const double half = 45.0 / 2 * kPi / 180, zNear = 1.0, zFar = 120.0;
  const double cotangent = std::cos(half) / std::sin(half);
  float projection[16] = {};
  projection[0] = static_cast<float>(cotangent / aspect);
  projection[5] = static_cast<float>(cotangent);
  projection[10] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
  projection[11] = -1;
  projection[14] = static_cast<float>(-2 * zNear * zFar / (zFar - zNear));
  // Forward (0, 0, -1), side (1, 0, 0), up (0, 1, 0): the rotation is the
  // identity and only the translation by -eye is left.
  const float modelView[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -60, 1};
  SetFrustumFromMatrices(projection, modelView);
}
