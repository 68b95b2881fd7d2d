// DelayLine: a circular sample buffer with integer and linearly interpolated reads.
//
// Write one sample per tick with push(); read() looks back a whole number of samples and
// readFractional() between samples (for modulated delays). The length is fixed at
// construction; reads further back than that wrap and are a caller error.
#pragma once

#include <cstddef>
#include <vector>

namespace music {

class DelayLine {
 public:
  explicit DelayLine(size_t length) : buffer_(length < 2 ? 2 : length, 0.0f) {}

  void push(float v) {
    buffer_[pos_] = v;
    if (++pos_ == buffer_.size()) pos_ = 0;
  }
  // The sample written `delay` pushes ago (1 = the latest).
  float read(size_t delay) const {
    size_t i = pos_ + buffer_.size() - delay;
    if (i >= buffer_.size()) i -= buffer_.size();
    return buffer_[i];
  }
  float readFractional(float delay) const {
    size_t whole = static_cast<size_t>(delay);
    float frac = delay - static_cast<float>(whole);
    float a = read(whole);
    float b = read(whole + 1);
    return a + (b - a) * frac;
  }
  size_t length() const { return buffer_.size(); }

 private:
  std::vector<float> buffer_;
  size_t pos_ = 0;
};

}  // namespace music
