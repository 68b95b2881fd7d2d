#include "music/Filter.h"

#include <cmath>

#include "music/Dsp.h"

namespace music {

void StateVariableFilter::set(double cutoff, double q) {
  if (cutoff < 10.0) cutoff = 10.0;
  if (cutoff > 0.45 * kSampleRate) cutoff = 0.45 * kSampleRate;
  if (q < 0.3) q = 0.3;
  double g = std::tan(kPi * cutoff / kSampleRate);
  double k = 1.0 / q;
  double a1 = 1.0 / (1.0 + g * (g + k));
  k_ = static_cast<float>(k);
  a1_ = static_cast<float>(a1);
  a2_ = static_cast<float>(g * a1);
  a3_ = static_cast<float>(g * g * a1);
}

StateVariableFilter::Output StateVariableFilter::process(float in) {
  float v3 = in - ic2_;
  float v1 = a1_ * ic1_ + a2_ * v3;
  float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
  ic1_ = 2.0f * v1 - ic1_;
  ic2_ = 2.0f * v2 - ic2_;
  return {v2, v1, in - k_ * v1 - v2};
}

void OnePole::setLowPass(double cutoff) {
  if (cutoff > 0.45 * kSampleRate) cutoff = 0.45 * kSampleRate;
  coef_ = static_cast<float>(1.0 - std::exp(-2.0 * kPi * cutoff / kSampleRate));
}

}  // namespace music
