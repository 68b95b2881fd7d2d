#include "music/Arrangement.h"

namespace music {

namespace {

struct Chord {
  std::vector<int> voicing;  // pad notes, MIDI
  int bassRoot;              // MIDI, kept at or above F2 (87 Hz) so the bass stays above the kick's band
};

const Chord kAm9{{57, 60, 64, 67, 71}, 45};
const Chord kFmaj7{{53, 57, 60, 64, 67}, 41};
const Chord kCadd9{{55, 60, 62, 64, 67}, 48};
const Chord kEm7{{52, 55, 59, 62, 64}, 52};
const Chord kG6{{55, 59, 62, 64, 67}, 43};
const Chord kDm9{{50, 53, 57, 60, 64}, 50};

struct Span {
  int bar, bars;
  const Chord* chord;
};

// The harmony, bar by bar.
const std::vector<Span> kChords = {
    {0, 4, &kAm9},    {4, 4, &kFmaj7},  {8, 4, &kCadd9},  {12, 4, &kEm7},   {16, 2, &kFmaj7}, {18, 2, &kG6},
    {20, 2, &kAm9},   {22, 2, &kFmaj7}, {24, 2, &kCadd9}, {26, 2, &kG6},    {28, 2, &kAm9},   {30, 2, &kFmaj7},
    {32, 2, &kCadd9}, {34, 2, &kG6},    {36, 2, &kDm9},   {38, 2, &kFmaj7}, {40, 2, &kEm7},   {42, 2, &kG6},
    {44, 2, &kAm9},   {46, 2, &kFmaj7}, {48, 2, &kCadd9}, {50, 2, &kG6},
};

double at(double bar, double beat = 0.0) { return (bar * 4.0 + beat) * kBeatSeconds; }

bool inGroove(int bar) { return (bar >= 20 && bar < 36) || (bar >= 44 && bar < 52); }

struct Phrase {
  double bar, beat, beats;
  int midi;
};

const std::vector<Phrase> kBells = {
    {6, 0, 2, 72},  {6, 2, 2, 76},  {7, 0, 4, 79},                   // over F
    {8, 0, 2, 76},  {8, 2, 1, 74},  {8, 3, 1, 72},  {9, 0, 4, 67},   // over C
    {10, 0, 2, 76}, {10, 2, 2, 79}, {11, 0, 4, 74},                  //
    {12, 0, 2, 71}, {12, 2, 2, 74}, {13, 0, 4, 76},                  // over Em7
    {14, 0, 2, 79}, {14, 2, 1, 76}, {14, 3, 1, 74}, {15, 0, 4, 71},  //
    {36, 0, 2, 81}, {36, 2, 2, 77}, {37, 0, 4, 76},                  // bridge: Dm9
    {38, 0, 2, 72}, {38, 2, 2, 76}, {39, 0, 4, 79},                  // F
    {40, 0, 2, 79}, {40, 2, 2, 76}, {41, 0, 4, 71},                  // Em7
    {42, 0, 2, 74}, {42, 2, 2, 76}, {43, 0, 4, 79},                  // G6
    {52, 0, 4, 76}, {53, 0, 4, 72}, {54, 0, 6, 69},                  // outro
};

// Eight bars of lead over Am9 - F - C - G, bars counted from the phrase's start.
const std::vector<Phrase> kLead = {
    {0, 0, 1.5, 76}, {0, 1.5, 0.5, 74}, {0, 2, 1, 72},     {0, 3, 1, 69}, {1, 0, 2, 72}, {1, 2, 2, 76},
    {2, 0, 1.5, 72}, {2, 1.5, 0.5, 69}, {2, 2, 1, 72},     {2, 3, 1, 76}, {3, 0, 3, 74}, {3, 3, 1, 72},
    {4, 0, 1.5, 76}, {4, 1.5, 0.5, 79}, {4, 2, 1, 76},     {4, 3, 1, 74}, {5, 0, 2, 72}, {5, 2, 1, 74},
    {5, 3, 1, 76},   {6, 0, 1.5, 74},   {6, 1.5, 0.5, 71}, {6, 2, 2, 67}, {7, 0, 2, 71}, {7, 2, 2, 74},
};

void addPhrases(std::vector<Note>& out, const std::vector<Phrase>& phrases, double barOffset, float velocity,
                double legato) {
  for (const Phrase& p : phrases)
    out.push_back(
        {at(p.bar + barOffset, p.beat), p.beats * kBeatSeconds * legato, static_cast<double>(p.midi), velocity});
}

}  // namespace

Score makeScore() {
  Score s{{},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          Automation({{0, 600},
                      {17.2, 1000},
                      {34.4, 1400},
                      {43, 2400},
                      {77.4, 2200},
                      {79.5, 1300},
                      {94.6, 2400},
                      {111.8, 1700},
                      {120, 450}},
                     Automation::Shape::Exponential),
          Automation({{43, 420}, {77.4, 420}, {79, 300}, {94.6, 480}}, Automation::Shape::Exponential),
          Automation({{25.8, 280}, {34.4, 900}, {43, 3000}, {77.4, 2600}, {80, 1200}, {94.6, 3000}, {111.8, 1400}},
                     Automation::Shape::Exponential),
          Automation({{0, 2400}}),
          Automation({{25.8, 0.35}, {43, 1.0}}),
          Automation({{0, 1.7}, {34.4, 1.7}, {43, 1.0}, {77.4, 1.0}, {80, 1.3}, {94.6, 1.0}, {111.8, 1.4}})};

  for (const Span& span : kChords) {
    const Chord& chord = *span.chord;
    for (int n : chord.voicing) s.pad.push_back({at(span.bar), span.bars * kBarSeconds, static_cast<double>(n), 1.0f});

    for (int b = span.bar; b < span.bar + span.bars; ++b) {
      const bool secondBar = b > span.bar;
      if (inGroove(b)) {
        // Bass on the off-beats, where the kick's ducking lets it breathe.
        for (int k = 0; k < 4; ++k) {
          int note = chord.bassRoot;
          if (secondBar && k == 2) note += 12;
          if (secondBar && k == 3) note += 7;
          s.bass.push_back({at(b, k + 0.5), 0.42 * kBeatSeconds, static_cast<double>(note), 1.0f});
        }
      } else if (b >= 36 && b < 44 && !secondBar) {
        s.bass.push_back({at(b, 0.5), 7.0 * kBeatSeconds, static_cast<double>(chord.bassRoot), 0.75f});
      }

      // Arpeggio: chord tones an octave above the pad, up and down.
      static const int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
      int steps = 0;
      float velocity = 1.0f;
      if (b >= 12 && b < 16) steps = 8;
      if (b >= 16 && b < 20) steps = 16;
      if (inGroove(b)) steps = 16;
      if (b >= 40 && b < 44) {
        steps = 8;
        velocity = 0.7f;
      }
      for (int k = 0; k < steps; ++k) {
        double beat = k * 4.0 / steps;
        int tone = chord.voicing[kOrder[(b * steps + k) % 8] % chord.voicing.size()] + 12;
        float accent = (k * 4) % steps == 0 ? 1.0f : 0.72f;
        s.pluck.push_back(
            {at(b, beat), 0.22 * kBeatSeconds * (16.0 / steps), static_cast<double>(tone), velocity * accent});
      }
    }
  }
  // The outro holds A minor until the fade has taken it.
  for (int n : kAm9.voicing) s.pad.push_back({at(52), 117.0 - at(52), static_cast<double>(n), 1.0f});

  addPhrases(s.bell, kBells, 0, 0.9f, 1.0);
  addPhrases(s.lead, kLead, 28, 1.0f, 0.92);
  addPhrases(s.lead, kLead, 44, 1.0f, 0.92);
  s.lead.push_back({at(52), 6 * kBeatSeconds, 69.0, 0.9f});

  for (int bar = 0; bar < 56; ++bar) {
    for (int beat = 0; beat < 4; ++beat) {
      if (bar >= 20 && bar < 52) s.kick.push_back({at(bar, beat), 0.1, 0.0, bar >= 36 && bar < 44 ? 0.9f : 1.0f});
      if (inGroove(bar) && (beat == 1 || beat == 3)) s.clap.push_back({at(bar, beat), 0.1, 0.0, 1.0f});
      if (inGroove(bar)) {
        s.hat.push_back({at(bar, beat + 0.5), 0.09, 0.0, 0.8f});
        s.hat.push_back({at(bar, beat + 0.25), 0.045, 0.0, 0.28f});
        s.hat.push_back({at(bar, beat + 0.75), 0.045, 0.0, 0.28f});
      } else if (bar >= 36 && bar < 44) {
        s.hat.push_back({at(bar, beat + 0.5), 0.07, 0.0, 0.5f});
      } else if (bar >= 16 && bar < 20) {
        // The build's hats grow over its four bars.
        for (int q = 0; q < 4; ++q) {
          double progress = ((bar - 16) * 16 + beat * 4 + q) / 64.0;
          s.hat.push_back({at(bar, beat + q * 0.25), 0.05, 0.0, static_cast<float>(0.12 + 0.5 * progress)});
        }
      }
    }
  }
  s.riser.push_back({at(17), kGrooveStart - at(17), 0.0, 1.0f});
  s.riser.push_back({at(42), at(44) - at(42), 0.0, 0.7f});
  s.fall.push_back({kGrooveStart, 3.0, 0.0, 1.0f});
  s.fall.push_back({at(44), 3.0, 0.0, 0.7f});
  return s;
}

double masterFade(double seconds) {
  if (seconds >= kSilentFrom) return 0.0;
  return smoothStep(seconds / 2.0) * (1.0 - smoothStep((seconds - kFadeOutStart) / (kSilentFrom - kFadeOutStart)));
}

}  // namespace music
