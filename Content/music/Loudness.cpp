#include "music/Loudness.h"

#include <cmath>
#include <vector>

#include "music/Dsp.h"
#include "music/Filter.h"

namespace music {

namespace {
// K-weighting coefficients derived for the track's rate from the filters' analogue definitions.
Biquad shelfStage() {
  const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(kPi * f0 / kSampleRate);
  double vh = std::pow(10.0, gainDb / 20.0);
  double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  return Biquad((vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
}

Biquad highPassStage() {
  const double f0 = 38.13547087602444, q = 0.5003270373238773;
  double k = std::tan(kPi * f0 / kSampleRate);
  double a0 = 1.0 + k / q + k * k;
  return Biquad(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
}

double blockLoudness(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }
}  // namespace

double integratedLoudness(const StereoBuffer& buffer) {
  const size_t step = kSampleRate / 10;  // 100 ms: blocks of four steps overlap by 75 %
  size_t frames = buffer.frames();
  std::vector<double> stepEnergy;
  stepEnergy.reserve(frames / step + 1);
  Biquad shelfL = shelfStage(), shelfR = shelfStage(), highL = highPassStage(), highR = highPassStage();
  double acc = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    double l = highL.process(shelfL.process(buffer.left[i]));
    double r = highR.process(shelfR.process(buffer.right[i]));
    acc += l * l + r * r;
    if ((i + 1) % step == 0) {
      stepEnergy.push_back(acc);
      acc = 0.0;
    }
  }
  std::vector<double> blocks;
  for (size_t s = 0; s + 4 <= stepEnergy.size(); ++s)
    blocks.push_back((stepEnergy[s] + stepEnergy[s + 1] + stepEnergy[s + 2] + stepEnergy[s + 3]) / (4.0 * step));

  double sum = 0.0;
  size_t count = 0;
  for (double z : blocks)
    if (z > 0.0 && blockLoudness(z) > -70.0) {
      sum += z;
      ++count;
    }
  if (count == 0) return -HUGE_VAL;
  double relativeGate = blockLoudness(sum / count) - 10.0;
  sum = 0.0;
  count = 0;
  for (double z : blocks)
    if (z > 0.0 && blockLoudness(z) > -70.0 && blockLoudness(z) > relativeGate) {
      sum += z;
      ++count;
    }
  return blockLoudness(sum / count);
}

}  // namespace music
