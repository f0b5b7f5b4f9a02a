#pragma once
// Arithmetic shared by the keyframe playback of MS3D and ONEMODEL. Each rule
// keeps a malformed clock or track from dividing by zero or producing NaN.
#include <cmath>

#include "util/Math.h"

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

// Skinning of one point or normal with a joint's absolute matrix, reading the
// matrix in place. Each computes exactly what the named util/Math.h
// composition computes (double arithmetic, one rounding to float per step);
// these run for every buffer entry twice a frame, where copying a 128-byte
// matrix per call would cost more than the arithmetic.

// MatrixTranslatePoint(m, MatrixRotatePoint(m, p)).
inline VECTOR3D SkinPoint(const MATRIX& m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  const float rx = static_cast<float>(m.m[0] * x + m.m[4] * y + m.m[8] * z);
  const float ry = static_cast<float>(m.m[1] * x + m.m[5] * y + m.m[9] * z);
  const float rz = static_cast<float>(m.m[2] * x + m.m[6] * y + m.m[10] * z);
  return {static_cast<float>(rx + m.m[12]), static_cast<float>(ry + m.m[13]),
          static_cast<float>(rz + m.m[14])};
}

// MatrixRotatePoint(m, n).
inline VECTOR3D SkinNormal(const MATRIX& m, VECTOR3D n) {
  const double x = n.x, y = n.y, z = n.z;
  return {static_cast<float>(m.m[0] * x + m.m[4] * y + m.m[8] * z),
          static_cast<float>(m.m[1] * x + m.m[5] * y + m.m[9] * z),
          static_cast<float>(m.m[2] * x + m.m[6] * y + m.m[10] * z)};
}

// MatrixInverseRotatePoint(m, MatrixInverseTranslatePoint(m, p)).
inline VECTOR3D UnskinPoint(const MATRIX& m, VECTOR3D p) {
  const double x = static_cast<float>(p.x - m.m[12]);
  const double y = static_cast<float>(p.y - m.m[13]);
  const double z = static_cast<float>(p.z - m.m[14]);
  return {static_cast<float>(m.m[0] * x + m.m[1] * y + m.m[2] * z),
          static_cast<float>(m.m[4] * x + m.m[5] * y + m.m[6] * z),
          static_cast<float>(m.m[8] * x + m.m[9] * y + m.m[10] * z)};
}

// MatrixInverseRotatePoint(m, n).
inline VECTOR3D UnskinNormal(const MATRIX& m, VECTOR3D n) {
  const double x = n.x, y = n.y, z = n.z;
  return {static_cast<float>(m.m[0] * x + m.m[1] * y + m.m[2] * z),
          static_cast<float>(m.m[4] * x + m.m[5] * y + m.m[6] * z),
          static_cast<float>(m.m[8] * x + m.m[9] * y + m.m[10] * z)};
}
