#include "music/Chorus.h"

#include <cmath>

#include "music/Dsp.h"

namespace music {

Chorus::Chorus(double rate, double baseMs, double depthMs, float mix)
    : left_(static_cast<size_t>((baseMs + depthMs) * kSampleRate / 1000.0) + 4),
      right_(static_cast<size_t>((baseMs + depthMs) * kSampleRate / 1000.0) + 4),
      increment_(rate / kSampleRate),
      base_(static_cast<float>(baseMs * kSampleRate / 1000.0)),
      depth_(static_cast<float>(depthMs * kSampleRate / 1000.0)),
      mix_(mix) {}

void Chorus::process(float* left, float* right, int frames) {
  for (int i = 0; i < frames; ++i) {
    float l = left[i], r = right[i];
    left_.push(l);
    right_.push(r);
    double angle = 2.0 * kPi * phase_;
    float dl = base_ + depth_ * static_cast<float>(std::sin(angle));
    float dr = base_ + depth_ * static_cast<float>(std::cos(angle));
    phase_ += increment_;
    if (phase_ >= 1.0) phase_ -= 1.0;
    // Each side hears the other side's delayed copy too, which spreads the image.
    float wl = 0.7f * left_.readFractional(dl) + 0.3f * right_.readFractional(dr);
    float wr = 0.7f * right_.readFractional(dr) + 0.3f * left_.readFractional(dl);
    left[i] = l + (wl - l) * mix_;
    right[i] = r + (wr - r) * mix_;
  }
}

}  // namespace music
