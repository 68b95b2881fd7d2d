#include "music/Reverb.h"

#include <cmath>

#include "music/Dsp.h"

namespace music {

namespace {
constexpr std::array<size_t, 4> kDiffuserLengths = {142, 107, 379, 277};
// Mutually prime loop lengths between 32 and 62 ms, so the echoes do not pile up in step.
constexpr std::array<size_t, 8> kLineLengths = {1423, 1597, 1777, 1949, 2137, 2311, 2503, 2719};
constexpr float kDiffusion = 0.62f;

DelayLine makeLine(size_t length) { return DelayLine(length + 1); }
}  // namespace

Reverb::Reverb(double decaySeconds, double preDelaySeconds, double damping, double lowCut)
    : preDelay_(static_cast<size_t>(preDelaySeconds * kSampleRate) + 2),
      preDelayLength_(static_cast<size_t>(preDelaySeconds * kSampleRate) + 1),
      diffusers_{makeLine(kDiffuserLengths[0]), makeLine(kDiffuserLengths[1]), makeLine(kDiffuserLengths[2]),
                 makeLine(kDiffuserLengths[3])},
      diffuserLengths_(kDiffuserLengths),
      lines_{makeLine(kLineLengths[0]), makeLine(kLineLengths[1]), makeLine(kLineLengths[2]),
             makeLine(kLineLengths[3]), makeLine(kLineLengths[4]), makeLine(kLineLengths[5]),
             makeLine(kLineLengths[6]), makeLine(kLineLengths[7])},
      lengths_(kLineLengths) {
  for (int i = 0; i < kLines; ++i) {
    // -60 dB after decaySeconds: each pass through a line of n samples loses 60 dB * n / (T * rate).
    gains_[i] =
        static_cast<float>(std::pow(10.0, -3.0 * static_cast<double>(lengths_[i]) / (decaySeconds * kSampleRate)));
    damping_[i].setLowPass(damping);
  }
  lowCut_.setLowPass(lowCut);
}

void Reverb::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames) {
  for (int f = 0; f < frames; ++f) {
    float in = lowCut_.highPass(0.5f * (inLeft[f] + inRight[f]));
    preDelay_.push(in);
    float x = preDelay_.read(preDelayLength_);
    for (size_t d = 0; d < diffusers_.size(); ++d) {
      float delayed = diffusers_[d].read(diffuserLengths_[d]);
      float v = x + kDiffusion * delayed;
      diffusers_[d].push(v);
      x = delayed - kDiffusion * v;
    }
    std::array<float, kLines> out;
    float sum = 0.0f;
    for (int i = 0; i < kLines; ++i) {
      out[i] = lines_[i].read(lengths_[i]);
      sum += out[i];
    }
    // Householder feedback: every line hears every other, energy preserved before the gains.
    float reflect = sum * (2.0f / kLines);
    for (int i = 0; i < kLines; ++i) {
      float feedback = damping_[i].lowPass((out[i] - reflect) * gains_[i]);
      lines_[i].push(feedback + x);
    }
    outLeft[f] += 0.35f * (out[0] - out[1] + out[2] + out[3] - out[4] + out[5] - out[6] + out[7]) * 0.5f;
    outRight[f] += 0.35f * (out[0] + out[1] - out[2] + out[3] + out[4] - out[5] - out[6] + out[7]) * 0.5f;
  }
}

}  // namespace music
