#include "music/Oscillator.h"

#include <cmath>

#include "music/Dsp.h"

namespace music {

namespace {
// Polynomial correction around a discontinuity of the naive waveform; t is the phase and dt the
// phase increment. Removes most of the aliasing a hard edge would fold back.
double polyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}
}  // namespace

void Oscillator::setFrequency(double hz) {
  increment_ = hz / kSampleRate;
  if (increment_ < 0.0) increment_ = 0.0;
  if (increment_ > 0.45) increment_ = 0.45;
}

void Oscillator::advance() {
  phase_ += increment_;
  if (phase_ >= 1.0) phase_ -= 1.0;
}

float Oscillator::sawAt() const { return static_cast<float>(2.0 * phase_ - 1.0 - polyBlep(phase_, increment_)); }

float Oscillator::pulseAt(float width) const {
  double v = phase_ < width ? 1.0 : -1.0;
  v += polyBlep(phase_, increment_);
  double shifted = phase_ + 1.0 - width;
  if (shifted >= 1.0) shifted -= 1.0;
  v -= polyBlep(shifted, increment_);
  return static_cast<float>(v);
}

float Oscillator::sineAt() const { return static_cast<float>(std::sin(2.0 * kPi * phase_)); }

float Oscillator::saw() {
  float v = sawAt();
  advance();
  return v;
}

float Oscillator::pulse(float width) {
  float v = pulseAt(width);
  advance();
  return v;
}

float Oscillator::sine() {
  float v = sineAt();
  advance();
  return v;
}

float Oscillator::triangle() {
  double v = phase_ < 0.5 ? 4.0 * phase_ - 1.0 : 3.0 - 4.0 * phase_;
  advance();
  return static_cast<float>(v);
}

}  // namespace music
