#include "music/Envelope.h"

#include "music/Dsp.h"

namespace music {

Envelope::Envelope(double attack, double decay, float sustain, double release)
    : decayCoef_(decayCoefficient(decay)),
      sustain_(sustain),
      releaseCoef_(decayCoefficient(release < 0.002 ? 0.002 : release)) {
  if (attack < 0.001) attack = 0.001;
  attackStep_ = static_cast<float>(1.0 / (attack * kSampleRate));
}

float Envelope::next() {
  switch (stage_) {
    case Stage::Attack:
      level_ += attackStep_;
      if (level_ >= 1.0f) {
        level_ = 1.0f;
        stage_ = Stage::Decay;
      }
      break;
    case Stage::Decay:
      level_ = sustain_ + (level_ - sustain_) * decayCoef_;
      break;
    case Stage::Release:
      level_ *= releaseCoef_;
      if (level_ < 1e-5f) {
        level_ = 0.0f;
        stage_ = Stage::Done;
      }
      break;
    case Stage::Done:
      break;
  }
  return level_;
}

void Envelope::gateOff() {
  if (stage_ != Stage::Done) stage_ = Stage::Release;
}

}  // namespace music
