// StereoBuffer: two equally long channels of float samples in [-1, 1] at the track's rate.
#pragma once

#include <cstddef>
#include <vector>

namespace music {

struct StereoBuffer {
  std::vector<float> left, right;

  explicit StereoBuffer(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t frames() const { return left.size(); }
};

// Largest absolute sample of either channel.
float peakOf(const StereoBuffer& buffer);

}  // namespace music
