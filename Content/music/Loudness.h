// Loudness: integrated programme loudness of a stereo buffer in LUFS (ITU-R BS.1770 / EBU R128).
//
// K-weighting (a high shelf and a high pass) on each channel, mean square over 400 ms blocks
// overlapping by 75 %, an absolute gate at -70 LUFS and a relative gate 10 LU below the
// ungated mean. The soundtrack's mastering measures with it so that the track can be set to
// its target loudness without an outside tool. Returns -HUGE_VAL for silence.
#pragma once

#include "music/StereoBuffer.h"

namespace music {

double integratedLoudness(const StereoBuffer& buffer);

}  // namespace music
