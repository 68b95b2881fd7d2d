// SpectrumAnalyser: magnitude spectra of short stretches of one channel, over kissfft.
//
// analyse() turns 2 × bands samples (oldest first) into `bands` magnitudes covering 0 Hz up
// to half the sample rate, so band k is centred on k × rate / (2 × bands). The window is
// applied and the result normalised by the window's sum, so that a full-scale sine on a
// band centre reads 1.0 in that band whatever the window. The FFT plans are made on first
// use of a size and kept, so repeated calls allocate nothing. One thread at a time.
#pragma once

#include <array>
#include <vector>

#include "platform/audio/Result.h"

struct kiss_fftr_state;

namespace audio {

enum class FftWindow : int { Rect = 0, Triangle, Hamming, Hanning, Blackman, BlackmanHarris };

class SpectrumAnalyser {
 public:
  static constexpr int kMinBands = 64;
  static constexpr int kMaxBands = 8192;

  SpectrumAnalyser();
  ~SpectrumAnalyser();
  SpectrumAnalyser(const SpectrumAnalyser&) = delete;
  SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

  // `bands` a power of two in kMinBands … kMaxBands; `samples` holds 2 × bands values.
  Result analyse(const float* samples, int bands, FftWindow window, float* magnitudes);

  // Makes the plan for a size ahead of time (so that the first analyse() allocates nothing).
  Result prepare(int bands);

 private:
  static int slotOf(int bands);
  std::array<kiss_fftr_state*, 8> plans_{};
  std::vector<float> windowed_;
  std::vector<float> spectrum_;  // kiss_fft_cpx pairs
};

}  // namespace audio
