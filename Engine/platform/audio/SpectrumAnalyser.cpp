#include "platform/audio/SpectrumAnalyser.h"

#include <kiss_fftr.h>

#include <cmath>

namespace audio {
namespace {

constexpr double kPi = 3.14159265358979323846;

double windowValue(FftWindow window, int i, int n) {
  const double x = static_cast<double>(i) / (n - 1);
  switch (window) {
    case FftWindow::Rect:
      return 1.0;
    case FftWindow::Triangle:
      return 1.0 - std::fabs(2.0 * x - 1.0);
    case FftWindow::Hamming:
      return 0.54 - 0.46 * std::cos(2.0 * kPi * x);
    case FftWindow::Hanning:
      return 0.5 - 0.5 * std::cos(2.0 * kPi * x);
    case FftWindow::Blackman:
      return 0.42 - 0.5 * std::cos(2.0 * kPi * x) + 0.08 * std::cos(4.0 * kPi * x);
    case FftWindow::BlackmanHarris:
      return 0.35875 - 0.48829 * std::cos(2.0 * kPi * x) + 0.14128 * std::cos(4.0 * kPi * x) -
             0.01168 * std::cos(6.0 * kPi * x);
  }
  return 1.0;
}

}  // namespace

SpectrumAnalyser::SpectrumAnalyser() : windowed_(2 * kMaxBands), spectrum_(2 * (kMaxBands + 1)) {}

SpectrumAnalyser::~SpectrumAnalyser() {
  for (kiss_fftr_state* plan : plans_) kiss_fftr_free(plan);
}

int SpectrumAnalyser::slotOf(int bands) {
  int slot = 0;
  for (int size = kMinBands; size <= kMaxBands; size *= 2, ++slot) {
    if (size == bands) return slot;
  }
  return -1;
}

Result SpectrumAnalyser::prepare(int bands) {
  const int slot = slotOf(bands);
  if (slot < 0) return Result::InvalidParam;
  if (!plans_[slot]) {
    plans_[slot] = kiss_fftr_alloc(2 * bands, 0, nullptr, nullptr);
    if (!plans_[slot]) return Result::OutOfMemory;
  }
  return Result::Ok;
}

Result SpectrumAnalyser::analyse(const float* samples, int bands, FftWindow window, float* magnitudes) {
  if (!samples || !magnitudes) return Result::InvalidParam;
  if (window < FftWindow::Rect || window > FftWindow::BlackmanHarris) return Result::InvalidParam;
  const Result prepared = prepare(bands);
  if (prepared != Result::Ok) return prepared;
  const int n = 2 * bands;
  double windowSum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double w = windowValue(window, i, n);
    windowSum += w;
    windowed_[i] = static_cast<float>(samples[i] * w);
  }
  auto* bins = reinterpret_cast<kiss_fft_cpx*>(spectrum_.data());
  kiss_fftr(plans_[slotOf(bands)], windowed_.data(), bins);
  // A sine of amplitude A on a band centre gives |X| = A × windowSum / 2 there; the mean
  // (band 0) gives A × windowSum.
  const double scale = 2.0 / windowSum;
  for (int k = 0; k < bands; ++k) {
    const double magnitude = std::hypot(bins[k].r, bins[k].i);
    magnitudes[k] = static_cast<float>(magnitude * (k == 0 ? scale / 2.0 : scale));
  }
  return Result::Ok;
}

}  // namespace audio
