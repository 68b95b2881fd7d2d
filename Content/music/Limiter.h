// Limiter: an offline look-ahead peak limiter for the finished mix.
//
// For every sample the gain needed to keep both channels under the ceiling is taken, the
// minimum over the next look-ahead window is followed with an instant attack and a smooth
// exponential release, and the result is averaged over the window so the gain never steps.
// Because each gain sample is at most the requirement of every sample it touches, no output
// sample exceeds the ceiling. Works on a whole buffer in place; returns the deepest gain
// reduction applied (1 = untouched).
#pragma once

#include "music/StereoBuffer.h"

namespace music {

float limitPeaks(StereoBuffer& buffer, float ceiling, double lookAheadSeconds = 0.003, double releaseSeconds = 0.15);

}  // namespace music
