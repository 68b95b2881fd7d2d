#include "music/Limiter.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "music/Dsp.h"

namespace music {

float peakOf(const StereoBuffer& buffer) {
  float peak = 0.0f;
  for (size_t i = 0; i < buffer.frames(); ++i)
    peak = std::max(peak, std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i])));
  return peak;
}

float limitPeaks(StereoBuffer& buffer, float ceiling, double lookAheadSeconds, double releaseSeconds) {
  const size_t frames = buffer.frames();
  const size_t window = std::max<size_t>(1, static_cast<size_t>(lookAheadSeconds * kSampleRate));
  std::vector<float> required(frames);
  for (size_t i = 0; i < frames; ++i) {
    float a = std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i]));
    required[i] = a > ceiling ? ceiling / a : 1.0f;
  }
  // held[i] = min(required[i .. i + window - 1]) through a monotonic queue of indices.
  std::vector<float> held(frames);
  std::deque<size_t> queue;
  size_t next = 0;
  for (size_t i = 0; i < frames; ++i) {
    while (next < frames && next < i + window) {
      while (!queue.empty() && required[queue.back()] >= required[next]) queue.pop_back();
      queue.push_back(next++);
    }
    while (queue.front() < i) queue.pop_front();
    held[i] = required[queue.front()];
  }
  // Instant attack, exponential release towards unity.
  const double release = 1.0 - std::exp(-1.0 / (releaseSeconds * kSampleRate));
  double envelope = 1.0;
  for (size_t i = 0; i < frames; ++i) {
    envelope = std::min<double>(held[i], envelope + (1.0 - envelope) * release);
    held[i] = static_cast<float>(envelope);
  }
  // Gain at i is the mean of the envelope over the window ending at i; each of those values is
  // at most required[i], so the product stays under the ceiling.
  double running = 0.0;
  float deepest = 1.0f;
  for (size_t i = 0; i < frames; ++i) {
    running += held[i];
    if (i >= window) running -= held[i - window];
    size_t count = std::min(i + 1, window);
    float gain = static_cast<float>(running / static_cast<double>(count));
    gain = std::min(gain, required[i]);  // guards against rounding in the running sum
    deepest = std::min(deepest, gain);
    buffer.left[i] *= gain;
    buffer.right[i] *= gain;
  }
  return deepest;
}

}  // namespace music
