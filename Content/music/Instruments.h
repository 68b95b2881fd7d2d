// Instruments: the voices that play the soundtrack's score, and the pool that schedules them.
//
// A Note is a start time, a length and a pitch. A VoicePool<Voice> holds one instrument's
// notes in time order; each render block it starts the voices whose notes begin in the block
// (on their exact sample) and lets every sounding voice add itself into the block, dropping
// voices whose release has died away. A voice renders from its own start sample and knows
// its release sample, so blocks of any size give the same samples. Block-rate parameters
// (filter cutoffs, the side-chain gain of the kick) arrive in BlockControls.
//
// Voices: PadVoice (three detuned saws, swept low-pass), BassVoice (saw and sine, enveloped
// low-pass, ducked by the kick), PluckVoice (the arpeggio: pulse and saw, resonant
// low-pass), BellVoice (two-operator FM), LeadVoice (detuned saws with delayed vibrato),
// KickVoice (swept sine with a soft click), HatVoice and ClapVoice (filtered noise),
// RiserVoice (rising band-passed noise) and FallVoice (falling low-passed noise).
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "music/Dsp.h"
#include "music/Envelope.h"
#include "music/Filter.h"
#include "music/Noise.h"
#include "music/Oscillator.h"

namespace music {

struct Note {
  double start;   // seconds from the start of the track
  double length;  // seconds until the gate closes
  double midi;    // pitch (unused by the drums)
  float velocity;
};

struct BlockControls {
  double time;  // seconds at the block's first sample
  float padCutoff, bassCutoff, pluckCutoff, leadCutoff;
  const float* duck;  // per-sample side-chain gain, 1 = no ducking
};

// What every voice shares: its note, first sample and the sample at which its gate closes.
class VoiceBase {
 protected:
  VoiceBase(const Note& note)
      : note_(note), start_(secondsToFrame(note.start)), release_(secondsToFrame(note.start + note.length)) {}
  // Index of the voice's first sample in the block starting at frame0.
  int firstIndex(int64_t frame0) const { return start_ > frame0 ? static_cast<int>(start_ - frame0) : 0; }
  // Enveloped filters are retuned every 16 samples of track time (and on the first sample), so
  // a fast filter envelope is followed closely and the result does not depend on the block size.
  bool filterDue(int64_t frame) {
    bool due = !filterTuned_ || (frame & 15) == 0;
    filterTuned_ = true;
    return due;
  }
  Note note_;
  int64_t start_, release_;
  bool filterTuned_ = false;
};

class PadVoice : VoiceBase {
 public:
  PadVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Oscillator osc_[3];
  StateVariableFilter filterL_, filterR_;
  Envelope env_;
  double lfoPhase_;
};

class BassVoice : VoiceBase {
 public:
  BassVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Oscillator saw_, sub_;
  StateVariableFilter filter_, lowCut_;
  Envelope env_, filterEnv_;
};

class PluckVoice : VoiceBase {
 public:
  PluckVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Oscillator pulse_, saw_;
  StateVariableFilter filter_;
  Envelope env_, filterEnv_;
  float pan_;
};

class BellVoice : VoiceBase {
 public:
  BellVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Oscillator carrier_, modulator_, shimmer_;
  Envelope env_;
  float indexLevel_, indexCoef_;
  float pan_;
};

class LeadVoice : VoiceBase {
 public:
  LeadVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Oscillator a_, b_, vibrato_;
  StateVariableFilter filter_;
  Envelope env_;
  double hz_;
  int64_t age_ = 0;
};

class KickVoice : VoiceBase {
 public:
  KickVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Oscillator body_;
  Noise noise_;
  OnePole clickTone_;
  int64_t age_ = 0;
};

class HatVoice : VoiceBase {
 public:
  HatVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Noise noise_;
  StateVariableFilter highPass_;
  OnePole soften_;
  float level_ = 1.0f, decay_;
  int64_t age_ = 0;
  float pan_;
};

class ClapVoice : VoiceBase {
 public:
  ClapVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Noise noise_;
  StateVariableFilter bandL_, bandR_;
  int64_t age_ = 0;
};

class RiserVoice : VoiceBase {
 public:
  RiserVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Noise noiseL_, noiseR_;
  StateVariableFilter bandL_, bandR_;
  int64_t age_ = 0;
};

class FallVoice : VoiceBase {
 public:
  FallVoice(const Note& note, uint32_t seed);
  bool render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right);

 private:
  Noise noiseL_, noiseR_;
  StateVariableFilter lowL_, lowR_;
  int64_t age_ = 0;
};

template <class Voice>
class VoicePool {
 public:
  // Notes starting before firstFrame are left out (an excerpt starts with silence).
  VoicePool(std::vector<Note> notes, int64_t firstFrame) : notes_(std::move(notes)) {
    std::stable_sort(notes_.begin(), notes_.end(), [](const Note& a, const Note& b) { return a.start < b.start; });
    while (next_ < notes_.size() && secondsToFrame(notes_[next_].start) < firstFrame) ++next_;
  }

  void render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right) {
    while (next_ < notes_.size() && secondsToFrame(notes_[next_].start) < frame0 + frames) {
      // The seed depends only on the note, so an excerpt hears the same noise as the full track.
      voices_.emplace_back(notes_[next_], static_cast<uint32_t>(0x51ed270bu * (next_ + 1)));
      ++next_;
    }
    // Finished voices leave the pool; the others keep their order (the order they are mixed
    // in). One tail erase instead of one per voice, which GCC 14 also misreads as an overflow.
    size_t kept = 0;
    for (size_t i = 0; i < voices_.size(); ++i) {
      if (!voices_[i].render(frame0, frames, c, left, right)) continue;
      if (kept != i) voices_[kept] = std::move(voices_[i]);
      ++kept;
    }
    voices_.erase(voices_.begin() + static_cast<long>(kept), voices_.end());
  }

 private:
  std::vector<Note> notes_;
  size_t next_ = 0;
  std::vector<Voice> voices_;
};

}  // namespace music
