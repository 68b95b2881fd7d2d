// Soundtrack: the production's music, "music/ambient_adventure_by_tessar.ogg", made from code.
//
// renderMix() plays the score (Arrangement) through the instruments, chorus, echo and reverb
// into a stereo buffer, for the whole track or an excerpt (an excerpt starts from silence: notes
// that began before it are left out, so it matches the full track only once those have ended).
// master() sets the finished track to its target loudness and limits its peaks. buildSoundtrack()
// does both for the whole 125 s and encodes the result as Ogg Vorbis. Every step is
// single-threaded and seeded by constants, so the bytes are the same on every build.
#pragma once

#include <string>
#include <vector>

#include "music/StereoBuffer.h"

namespace music {

constexpr double kTargetLoudness = -16.0;  // LUFS
constexpr double kPeakCeilingDb = -1.5;    // below -1 dBFS with room for the encoder's ripple

StereoBuffer renderMix(double fromSeconds, double toSeconds);

struct MasterResult {
  double gainDb;      // loudness gain applied before limiting
  double loudness;    // LUFS after mastering
  float peak;         // largest sample after mastering
  float limiterGain;  // deepest limiter gain (1 = untouched)
};
MasterResult master(StereoBuffer& mix);

// The whole track, mastered and encoded. Returns 0 on success; on failure `error` says why.
int buildSoundtrack(std::vector<unsigned char>& ogg, std::string& error, MasterResult* result = nullptr);

}  // namespace music
