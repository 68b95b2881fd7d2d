// Envelope: an ADSR amplitude envelope, one per voice, advanced one sample per call.
//
// Attack rises linearly (never shorter than a millisecond, so a note cannot click in); decay
// and release fall exponentially, times given as the time to fall by 60 dB. gateOff() starts
// the release from wherever the envelope is. finished() turns true once the release has died
// away, which is when the voice can be dropped.
#pragma once

namespace music {

class Envelope {
 public:
  Envelope(double attack, double decay, float sustain, double release);

  float next();
  void gateOff();
  bool finished() const { return stage_ == Stage::Done; }
  float level() const { return level_; }

 private:
  enum class Stage { Attack, Decay, Release, Done };
  Stage stage_ = Stage::Attack;
  float level_ = 0.0f;
  float attackStep_;
  float decayCoef_;
  float sustain_;
  float releaseCoef_;
};

}  // namespace music
