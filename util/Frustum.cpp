#include "util/Frustum.h"

#include <GL/gl.h>

#include <cmath>

float frustum[kFrustumPlaneCount][4] = {};

namespace {

float PlaneDistance(const float* plane, VECTOR3D p) {
  return plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3];
}

bool ValidPlane(int plane) { return plane >= 0 && plane < kFrustumPlaneCount; }

}  // namespace

void ExtractFrustum() {
  float proj[16];
  float modl[16];
  glGetFloatv(GL_PROJECTION_MATRIX, proj);
  glGetFloatv(GL_MODELVIEW_MATRIX, modl);
  SetFrustumFromMatrices(proj, modl);
}

void SetFrustumFromMatrices(const float proj[16], const float modl[16]) {
  // Clip matrix = projection * model-view, column-major.
  float clip[16];
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) {
      clip[c * 4 + r] = proj[r] * modl[c * 4] + proj[4 + r] * modl[c * 4 + 1] +
                        proj[8 + r] * modl[c * 4 + 2] + proj[12 + r] * modl[c * 4 + 3];
    }
  }

  // Each plane is the fourth row of the clip matrix plus or minus one of the
  // other three: w + x keeps the side where clip x > -w, w - x the side where
  // x < w.
  struct Source {
    int row;
    bool plus;
  };
  static constexpr Source kSources[kFrustumPlaneCount] = {
      {0, false},  // right
      {0, true},   // left
      {1, true},   // bottom
      {1, false},  // top
      {2, false},  // far
      {2, true},   // near
  };
  for (int p = 0; p < kFrustumPlaneCount; ++p) {
    float* plane = frustum[p];
    for (int i = 0; i < 4; ++i) {
      const float w = clip[i * 4 + 3];
      const float other = clip[i * 4 + kSources[p].row];
      plane[i] = kSources[p].plus ? w + other : w - other;
    }
    const float t = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
    // A degenerate matrix can leave a plane without a normal; it stays as it
    // is rather than turning into infinities.
    if (t != 0.0f) {
      for (int i = 0; i < 4; ++i) plane[i] /= t;
    }
  }
}

bool PointInFrustum(VECTOR3D p) {
  for (const float* plane : frustum) {
    if (PlaneDistance(plane, p) <= 0.0f) return false;
  }
  return true;
}

bool SphereInFrustum(VECTOR3D p, float radius) {
  for (const float* plane : frustum) {
    if (PlaneDistance(plane, p) <= -radius) return false;
  }
  return true;
}

bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D p, float radius) {
  if (!ValidPlane(plane)) return false;
  return PlaneDistance(frustum[plane], p) > -radius;
}

VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p) {
  if (!ValidPlane(plane)) return {0.0f, 0.0f, 0.0f};
  const float a = frustum[plane][0], b = frustum[plane][1];
  const float c = frustum[plane][2], d = frustum[plane][3];
  switch (plane) {
    case kFrustumRight:
    case kFrustumLeft:
      if (a == 0.0f) break;
      return {-(b * p.y + c * p.z + d) / a, p.y, p.z};
    case kFrustumBottom:
    case kFrustumTop:
      if (b == 0.0f) break;
      return {p.x, -(a * p.x + c * p.z + d) / b, p.z};
    default:
      if (c == 0.0f) break;
      return {p.x, p.y, -(a * p.x + b * p.y + d) / c};
  }
  return {0.0f, 0.0f, 0.0f};
}
