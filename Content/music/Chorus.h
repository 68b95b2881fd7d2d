// Chorus: widens a stereo signal with two slowly modulated short delays, one per side, their
// modulations a quarter cycle apart. Used on the pads; process() works in place on a block.
#pragma once

#include "music/DelayLine.h"

namespace music {

class Chorus {
 public:
  // rate in Hz, base delay and depth in milliseconds, mix 0 (dry) to 1 (wet only).
  Chorus(double rate, double baseMs, double depthMs, float mix);
  void process(float* left, float* right, int frames);

 private:
  DelayLine left_, right_;
  double phase_ = 0.0;
  double increment_;
  float base_, depth_, mix_;
};

}  // namespace music
