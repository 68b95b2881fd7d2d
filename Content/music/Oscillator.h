// Oscillator: a phase accumulator with band-limited saw and pulse (polyBLEP), sine and triangle.
//
// Set the frequency (it may change every sample), then call one waveform function per sample;
// each call advances the phase by one sample. One oscillator per sounding partial; mixing
// waveforms from one oscillator in the same sample needs the `...At` forms plus advance().
#pragma once

namespace music {

class Oscillator {
 public:
  void setFrequency(double hz);
  void setPhase(double phase) { phase_ = phase - static_cast<long>(phase); }
  double phase() const { return phase_; }

  float saw();
  float pulse(float width);
  float sine();
  float triangle();

  // Waveforms at the current phase without advancing it.
  float sawAt() const;
  float pulseAt(float width) const;
  float sineAt() const;
  void advance();

 private:
  double phase_ = 0.0;      // [0, 1)
  double increment_ = 0.0;  // cycles per sample
};

}  // namespace music
