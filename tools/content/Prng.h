#pragma once
// Deterministic randomness for generated content: the same seed gives the
// same bytes on every build and machine. Nothing here touches the C library's
// generator or the clock.
#include <cmath>
#include <cstdint>

// SplitMix64 finaliser: a well-mixed 64-bit hash of one value.
inline uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A small sequential generator (SplitMix64).
class Prng {
 public:
  explicit Prng(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return Mix64(state_);
  }
  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  float Range(float lo, float hi) { return lo + static_cast<float>(Uniform()) * (hi - lo); }

 private:
  uint64_t state_;
};

// Value in [0, 1) fixed by a lattice point and a seed.
inline float LatticeValue(int32_t x, int32_t y, uint32_t seed) {
  const uint64_t key = (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) ^
                       static_cast<uint32_t>(y) ^ (static_cast<uint64_t>(seed) << 17);
  return static_cast<float>(Mix64(key) >> 40) * (1.0f / 16777216.0f);
}

// Smooth value noise in [0, 1), one lattice cell per unit.
inline float ValueNoise(float x, float y, uint32_t seed) {
  const float fx = std::floor(x);
  const float fy = std::floor(y);
  const int32_t ix = static_cast<int32_t>(fx);
  const int32_t iy = static_cast<int32_t>(fy);
  float tx = x - fx;
  float ty = y - fy;
  tx = tx * tx * (3.0f - 2.0f * tx);
  ty = ty * ty * (3.0f - 2.0f * ty);
  const float a = LatticeValue(ix, iy, seed);
  const float b = LatticeValue(ix + 1, iy, seed);
  const float c = LatticeValue(ix, iy + 1, seed);
  const float d = LatticeValue(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Sum of `octaves` noise layers, each twice the frequency and half the weight
// of the one before; normalised to [0, 1).
inline float Fbm(float x, float y, uint32_t seed, int octaves) {
  float sum = 0.0f;
  float weight = 0.5f;
  float total = 0.0f;
  for (int i = 0; i < octaves; ++i) {
    sum += weight * ValueNoise(x, y, seed + 977u * static_cast<uint32_t>(i));
    total += weight;
    x *= 2.0f;
    y *= 2.0f;
    weight *= 0.5f;
  }
  return sum / total;
}
