// Arrangement: the soundtrack's score, written against the picture's timeline.
//
// A minor at 43/80 s per beat (about 111.6 beats per minute), so the beat enters exactly on
// bar 20 at 43 s, when the cars appear. Sections, in bars of 2.15 s:
//    0 - 12   intro: slow pads (the picture fades in over the first 2 s), bells from bar 6
//   12 - 20   build: the arpeggio enters closed and opens, hats, a noise riser into bar 20
//   20 - 36   groove: kick on every beat, bass, clap, hats, arpeggio; the lead from bar 28
//   36 - 44   bridge: new chords, held bass, bells; the kick goes on
//   44 - 52   groove again with the lead
//   52 -      outro: pads alone; the master fades to silence by 119.8 s, silence to 125 s
// The score is plain data; Soundtrack plays it.
#pragma once

#include <vector>

#include "music/Automation.h"
#include "music/Instruments.h"

namespace music {

constexpr double kBeatSeconds = 43.0 / 80.0;
constexpr double kBarSeconds = 4.0 * kBeatSeconds;
constexpr double kGrooveStart = 20 * kBarSeconds;  // 43 s
constexpr double kKickEnd = 52 * kBarSeconds;      // 111.8 s
constexpr double kFadeOutStart = 106.0;
constexpr double kSilentFrom = 119.8;
constexpr double kTrackSeconds = 125.0;

struct Score {
  std::vector<Note> pad, bass, pluck, bell, lead, kick, hat, clap, riser, fall;
  Automation padCutoff, bassCutoff, pluckCutoff, leadCutoff, pluckLevel, padLevel;
};

Score makeScore();

// The master gain at time t: rises over the first 2 s, falls to exactly 0 at kSilentFrom.
double masterFade(double seconds);

}  // namespace music
