// Noise: a seeded white-noise source (xorshift32) for drums, breath and risers.
//
// The sequence depends only on the seed, so every render of the track hears the same noise.
// Construct one per voice with a seed derived from the note; not a random number generator
// for anything that needs statistical quality.
#pragma once

#include <cstdint>

namespace music {

class Noise {
 public:
  explicit Noise(uint32_t seed = 0x9e3779b9u) : state_(seed ? seed : 0x9e3779b9u) {}

  // Uniform value in [-1, 1).
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(static_cast<int32_t>(state_)) * (1.0f / 2147483648.0f);
  }

 private:
  uint32_t state_;
};

}  // namespace music
