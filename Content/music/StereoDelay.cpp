#include "music/StereoDelay.h"

#include "music/Dsp.h"

namespace music {

StereoDelay::StereoDelay(double delaySeconds, float feedback, double lowCut, double highCut)
    : left_(static_cast<size_t>(delaySeconds * kSampleRate) + 2),
      right_(static_cast<size_t>(delaySeconds * kSampleRate) + 2),
      delay_(static_cast<size_t>(delaySeconds * kSampleRate)),
      feedback_(feedback) {
  lowCutL_.setLowPass(lowCut);
  lowCutR_.setLowPass(lowCut);
  highCutL_.setLowPass(highCut);
  highCutR_.setLowPass(highCut);
}

void StereoDelay::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames) {
  for (int i = 0; i < frames; ++i) {
    float echoL = left_.read(delay_);
    float echoR = right_.read(delay_);
    float in = 0.5f * (inLeft[i] + inRight[i]);
    float toLeft = highCutL_.lowPass(lowCutL_.highPass(in + feedback_ * echoR));
    float toRight = highCutR_.lowPass(lowCutR_.highPass(feedback_ * echoL));
    left_.push(toLeft);
    right_.push(toRight);
    outLeft[i] += echoL;
    outRight[i] += echoR;
  }
}

}  // namespace music
