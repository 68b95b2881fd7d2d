// StereoDelay: a tempo-synced ping-pong echo. A mono sum of the input enters the left line;
// each repeat crosses to the other side, losing highs and lows on the way so the echoes
// stay soft. process() reads a send block and adds the echoes (wet only) to an output block.
#pragma once

#include "music/DelayLine.h"
#include "music/Filter.h"

namespace music {

class StereoDelay {
 public:
  StereoDelay(double delaySeconds, float feedback, double lowCut, double highCut);
  void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames);

 private:
  DelayLine left_, right_;
  size_t delay_;
  float feedback_;
  OnePole lowCutL_, lowCutR_, highCutL_, highCutR_;
};

}  // namespace music
