// Filter: the soundtrack's filters.
//
// StateVariableFilter is a trapezoidal (zero-delay feedback) state-variable filter giving
// low-, band- and high-pass at once; it stays stable while its cutoff is swept, which the
// synth voices do every block. OnePole is a gentle 6 dB/octave low- or high-pass for tone
// shaping and damping. Biquad runs fixed coefficients (loudness weighting). One instance per
// signal path; none of them allocates.
#pragma once

namespace music {

class StateVariableFilter {
 public:
  struct Output {
    float low, band, high;
  };

  // cutoff in Hz (clamped below Nyquist), resonance as Q (0.5 = soft, 5 = ringing).
  void set(double cutoff, double q);
  Output process(float in);
  float lowPass(float in) { return process(in).low; }
  float bandPass(float in) { return process(in).band; }
  float highPass(float in) { return process(in).high; }

 private:
  float k_ = 1.4142f, a1_ = 0.0f, a2_ = 0.0f, a3_ = 0.0f;
  float ic1_ = 0.0f, ic2_ = 0.0f;
};

class OnePole {
 public:
  void setLowPass(double cutoff);
  float lowPass(float in) {
    state_ += coef_ * (in - state_);
    return state_;
  }
  float highPass(float in) { return in - lowPass(in); }

 private:
  float coef_ = 1.0f;
  float state_ = 0.0f;
};

class Biquad {
 public:
  Biquad(double b0, double b1, double b2, double a1, double a2) : b0_(b0), b1_(b1), b2_(b2), a1_(a1), a2_(a2) {}
  double process(double in) {
    double out = b0_ * in + z1_;
    z1_ = b1_ * in - a1_ * out + z2_;
    z2_ = b2_ * in - a2_ * out;
    return out;
  }

 private:
  double b0_, b1_, b2_, a1_, a2_;
  double z1_ = 0.0, z2_ = 0.0;
};

}  // namespace music
