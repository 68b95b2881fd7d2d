// Reverb: a feedback-delay-network hall for the whole mix's send bus.
//
// Pre-delay, four series all-pass diffusers, then eight delay lines mixed through a
// Householder matrix with a damping low-pass in each loop; the decay time sets each line's
// loop gain. Input is summed to mono after a low cut (keeping the low end out of the tail, so
// the kick band stays clean between beats); the two outputs take different sign patterns of
// the lines for width. process() adds the wet signal to an output block.
#pragma once

#include <array>

#include "music/DelayLine.h"
#include "music/Filter.h"

namespace music {

class Reverb {
 public:
  Reverb(double decaySeconds, double preDelaySeconds, double damping, double lowCut);
  void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames);

 private:
  static constexpr int kLines = 8;
  DelayLine preDelay_;
  size_t preDelayLength_;
  std::array<DelayLine, 4> diffusers_;
  std::array<size_t, 4> diffuserLengths_;
  std::array<DelayLine, kLines> lines_;
  std::array<size_t, kLines> lengths_;
  std::array<float, kLines> gains_;
  std::array<OnePole, kLines> damping_;
  OnePole lowCut_;
};

}  // namespace music
