#pragma once
// Flat shadows: geometry flattened along a light direction onto a plane and
// drawn in translucent black. The scene brackets its shadow pass with
// StartShadows and EndShadows, always as a pair within one frame.

#include "util/Math.h"

// The plane shadows fall on, (a, b, c, d) for a*x + b*y + c*z + d = 0: z = -40.5
// in world units, just behind the back limit of the flight space.
inline constexpr float kShadowPlane[4] = {0.0f, 0.0f, 1.0f, 40.5f};

// Fills the sixteen doubles at m (column-major, as glMultMatrixd takes them)
// with the matrix that projects points onto the plane (a, b, c, d) from the
// light (lx, ly, lz, lw): a direction when lw is 0, a point when lw is 1. Each
// element is formed in single precision. A null m is left alone.
void ShadowMatrixf(double* m, float a, float b, float c, float d, float lx, float ly, float lz,
                   float lw);

// Enters the shadow state: pushes the model-view matrix and multiplies onto it
// the projection onto kShadowPlane along the direction `light` (its z must not
// be 0); flat shading, no lighting, no texturing, no depth writes (depth
// testing stays as the scene set it), colour (0, 0, 0, alpha).
void StartShadows(VECTOR3D light, float alpha);

// Leaves it: restores the scene's normal drawing state (texturing, lighting
// and depth writes on, smooth shading, opaque white) and pops the model-view
// matrix. The states are set, not restored from saved values; the argument is
// ignored.
void EndShadows(float alpha);
