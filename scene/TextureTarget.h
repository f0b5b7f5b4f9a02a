#pragma once
// Helpers for drawing into a texture: a blank texture to copy the frame
// buffer into, and a 128 x 128 orthographic view to draw it with. The frame
// loop does not use them. They need the OpenGL context current.
#include <cstdint>

// Side of the texture EmptyTexture makes, pixels.
inline constexpr int kEmptyTextureSize = 128;

// A new 128 x 128 RGBA texture of zeros (unsigned bytes, four components),
// repeating in s and t, linear minification and magnification; returns its
// GL name, which the caller deletes. Leaves it bound. 0 when OpenGL could
// not make it.
uint32_t EmptyTexture();

// Pushes the projection matrix and loads glOrtho(0, 128, 128, 0, -1, 1)
// (y down), then pushes the model-view matrix and loads the identity; the
// model-view matrix stays selected. ViewPerspective undoes it.
void ViewOrtho();
// Pops the projection matrix, then the model-view matrix, which stays
// selected.
void ViewPerspective();
