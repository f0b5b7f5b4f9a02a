#pragma once
// Arithmetic shared by the keyframe playback of MS3D and ONEMODEL. Each rule
// keeps a malformed clock or track from dividing by zero or producing NaN.
#include <cmath>

// Milliseconds of a frame number: frame * 1000 / fps in double precision.
// A frame rate that is not a positive number (0, negative, NaN) has no frame
// times, and neither has a NaN frame: both give 0.
inline float FrameToMilliseconds(double frame, float fps) {
  if (!(fps > 0.0f)) return 0.0f;
  const double ms = frame * 1000.0 / fps;
  return std::isnan(ms) ? 0.0f : static_cast<float>(ms);
}

// How far `now` lies from key time t0 towards key time t1, in single
// precision as the tracks store it, held within [0, 1]. Two keys at the same
// time give 1: the later key wins.
inline float KeyFraction(float now, float t0, float t1) {
  const float span = t1 - t0;
  if (!(span > 0.0f)) return 1.0f;
  const float f = (now - t0) / span;
  if (!(f > 0.0f)) return 0.0f;
  return f < 1.0f ? f : 1.0f;
}

// Advance of a clock for rate * dt; a negative or NaN rate or dt does not
// move it (the key cursors only run forwards).
inline double ClockStep(double rate, double dt) {
  return (rate > 0.0 && dt > 0.0) ? rate * dt : 0.0;
}
