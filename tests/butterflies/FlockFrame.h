#pragma once
// One frame of the flock the way the scene draws it, without the background
// and the overlay: the view's perspective projection, the camera at
// (0, 0, 60) and the light, the frustum, AQUARIUM::Move, the shadow pass and
// the normal pass. For GL tests and the soak run. Needs a current OpenGL
// context; PrepareFlockGL once per context first.
#include "butterflies/AQUARIUM.h"

// The view's one-time GL state for a drawable of width x height pixels, and
// light 0 as the scene sets it.
void PrepareFlockGL(int width, int height);
// Clears to a light grey and draws one frame of `dt` seconds into a viewport
// of width x height pixels; moves the flock unless `move` is false.
void DrawFlockFrame(AQUARIUM* aquarium, int width, int height, float speedFactor, float dt,
                    bool move = true);

// Texture names 1 to `upTo` that are live textures now (glIsTexture).
int CountLiveTextures(unsigned upTo = 4096);
