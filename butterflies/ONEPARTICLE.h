#pragma once
// A particle record: a point that rises and fades. No part of the system
// uses particles yet; the record and its reset are kept for effects.
#include <cstdlib>

#include "util/Math.h"

struct ONEPARTICLE {
  VECTOR3D position;         // world units
  VECTOR3D velocity;         // units/s
  float life = 1.0f;         // 1 when reset, falls to 0
  float alpha = 1.0f;        // opacity, 0 to 1
  float fade = 0.0f;         // life lost per second
  bool alive = false;

  // Restarts the particle at a random point within +-0.5 of `at` (three
  // rand() draws, x, y, z), rising at 5 units/s, fading at 0.11 to 0.3 per
  // second (one more draw).
  void Reset(VECTOR3D at) {
    position.x = at.x + static_cast<float>(std::rand() % 100) / 100.0f - 0.5f;
    position.y = at.y + static_cast<float>(std::rand() % 100) / 100.0f - 0.5f;
    position.z = at.z + static_cast<float>(std::rand() % 100) / 100.0f - 0.5f;
    velocity = {0.0f, 5.0f, 0.0f};
    life = 1.0f;
    alpha = 1.0f;
    fade = static_cast<float>(std::rand() % 20) / 100.0f + 0.11f;
    alive = true;
  }
};
