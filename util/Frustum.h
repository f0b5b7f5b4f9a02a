#pragma once
// The six planes of the current view volume and the visibility tests on them.
//
// Each plane is (a, b, c, d) for a*x + b*y + c*z + d = 0, with (a, b, c) a unit
// normal pointing into the volume, so a*x + b*y + c*z + d is the signed
// distance of a point from the plane, positive inside. The planes are in the
// space the model-view matrix maps from when ExtractFrustum runs (world space
// when it runs right after the camera transform). Single precision throughout.
// Main thread only: `frustum` is module state, written once per frame by
// ExtractFrustum and read by the tests that follow it.

#include "util/Math.h"

// Plane order, as the single-plane operations index it.
enum FrustumPlane {
  kFrustumRight = 0,
  kFrustumLeft = 1,
  kFrustumBottom = 2,
  kFrustumTop = 3,
  kFrustumFar = 4,
  kFrustumNear = 5,
  kFrustumPlaneCount = 6,
};

// All zeros until the first ExtractFrustum: then no point is inside and every
// sphere of positive radius is.
extern float frustum[kFrustumPlaneCount][4];

// Refreshes `frustum` from the current GL projection and model-view matrices.
// Needs a current OpenGL context.
void ExtractFrustum();
// The same planes from the two matrices given as sixteen floats each in
// OpenGL's column-major order, without OpenGL: ExtractFrustum reads the
// matrices and hands them here, so both give bit-identical planes.
void SetFrustumFromMatrices(const float projection[16], const float modelView[16]);

// Strictly inside all six planes: a point on a plane is outside. A distance
// that is not a number does not fail a plane.
bool PointInFrustum(VECTOR3D p);
// The sphere reaches into the volume on the inner side of every plane (signed
// distance to each plane greater than -radius).
bool SphereInFrustum(VECTOR3D p, float radius);
// The test of SphereInFrustum against one plane; false for an index outside
// 0..5.
bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D p, float radius);
// p moved along one axis onto the plane: along x for the right and left
// planes, y for bottom and top, z for far and near. (0, 0, 0) for an index
// outside 0..5 and for a plane parallel to that axis, which it never meets.
VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p);
