// Dsp: the constants and small conversions every synthesis block of the soundtrack shares.
//
// Everything runs at one fixed rate; times are seconds in double precision and frames are
// 64-bit sample indices from the start of the track, so a note lands on the same sample
// whatever excerpt is being rendered. Not for real-time audio: nothing here is thread-safe
// or tuned for latency.
#pragma once

#include <cmath>
#include <cstdint>

namespace music {

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

inline int64_t secondsToFrame(double seconds) { return static_cast<int64_t>(std::llround(seconds * kSampleRate)); }
inline double frameToSeconds(int64_t frame) { return static_cast<double>(frame) / kSampleRate; }

// Equal-tempered pitch, A4 (MIDI 69) = 440 Hz.
inline double midiToHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }
inline double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
inline double gainToDb(double gain) { return 20.0 * std::log10(gain); }

// Per-sample multiplier that makes an exponential decay fall by 60 dB in `seconds`.
inline float decayCoefficient(double seconds) {
  if (seconds <= 0.0) return 0.0f;
  return static_cast<float>(std::exp(std::log(0.001) / (seconds * kSampleRate)));
}

// A smooth 0 -> 1 step (raised cosine) for x in [0, 1], clamped outside.
inline double smoothStep(double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  return 0.5 - 0.5 * std::cos(kPi * x);
}

}  // namespace music
