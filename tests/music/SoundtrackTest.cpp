#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "music/Arrangement.h"
#include "music/Dsp.h"
#include "music/Limiter.h"
#include "music/Soundtrack.h"

namespace {

using namespace music;

// The flash band as the demo reads it: bin 1 of a 1,024-sample rectangular-window DFT,
// scaled so that a full-scale sine reads 1, averaged over the channels.
double flashBand(const StereoBuffer& b, size_t start) {
  const int n = 1024;
  double total = 0.0;
  for (const std::vector<float>* ch : {&b.left, &b.right}) {
    double re = 0.0, im = 0.0;
    for (int i = 0; i < n; ++i) {
      double a = 2.0 * kPi * i / n;
      re += (*ch)[start + i] * std::cos(a);
      im -= (*ch)[start + i] * std::sin(a);
    }
    total += 2.0 * std::hypot(re, im) / n;
  }
  return total / 2.0;
}

TEST(Soundtrack, RendersTheSameSamplesEveryTime) {
  StereoBuffer a = renderMix(42.5, 44.5);
  StereoBuffer b = renderMix(42.5, 44.5);
  ASSERT_EQ(a.frames(), static_cast<size_t>(2 * kSampleRate));
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.right, b.right);
  EXPECT_GT(peakOf(a), 0.05f);
}

TEST(Soundtrack, KickPulsesTheFlashBandOnEveryBeatAndLittleBetween) {
  const double from = kGrooveStart;
  StereoBuffer mix = renderMix(from, from + 8 * kBeatSeconds + 0.1);
  const double scale = 1.0 / peakOf(mix);  // judge against the excerpt's own level
  for (int beat = 0; beat < 8; ++beat) {
    size_t onset = static_cast<size_t>(std::llround(beat * kBeatSeconds * kSampleRate));
    double on = 0.0;
    for (size_t offset = 0; offset < 4096; offset += 256) on = std::max(on, flashBand(mix, onset + offset));
    size_t half = static_cast<size_t>(std::llround((beat + 0.5) * kBeatSeconds * kSampleRate)) - 512;
    double between = flashBand(mix, half);
    EXPECT_GT(on * scale, 0.3) << "beat " << beat;
    EXPECT_GT(on, 5.0 * between) << "beat " << beat;
  }
}

TEST(Soundtrack, IntroKeepsTheFlashBandQuiet) {
  StereoBuffer intro = renderMix(30.0, 34.0);
  StereoBuffer groove = renderMix(kGrooveStart, kGrooveStart + 1.0);
  double loudest = 0.0;
  for (size_t s = 0; s + 1024 < intro.frames(); s += 2048) loudest = std::max(loudest, flashBand(intro, s));
  EXPECT_LT(loudest, 0.1 * flashBand(groove, 1024));
}

TEST(Soundtrack, EndsInSilence) {
  // From just before the outro's last chord, so the excerpt holds everything that sounds at the end.
  const double from = kKickEnd - 0.5;
  StereoBuffer tail = renderMix(from, kTrackSeconds);
  ASSERT_EQ(tail.frames(), static_cast<size_t>(std::llround((kTrackSeconds - from) * kSampleRate)));
  size_t silentFrom = static_cast<size_t>((kSilentFrom - from) * kSampleRate) + 1;
  size_t at114 = static_cast<size_t>((114.0 - from) * kSampleRate);
  float before = 0.0f;
  for (size_t i = at114; i < at114 + kSampleRate; ++i) before = std::max(before, std::fabs(tail.left[i]));
  EXPECT_GT(before, 1e-3f);  // still playing at 114 s
  for (size_t i = silentFrom; i < tail.frames(); ++i) {
    ASSERT_EQ(tail.left[i], 0.0f) << "at " << from + static_cast<double>(i) / kSampleRate << " s";
    ASSERT_EQ(tail.right[i], 0.0f);
  }
}

TEST(Soundtrack, RisesFromSilence) {
  StereoBuffer start = renderMix(0.0, 3.0);
  EXPECT_EQ(start.left[0], 0.0f);
  float first = 0.0f, third = 0.0f;
  for (size_t i = 0; i < static_cast<size_t>(kSampleRate / 4); ++i) first = std::max(first, std::fabs(start.left[i]));
  for (size_t i = 2 * kSampleRate; i < start.frames(); ++i) third = std::max(third, std::fabs(start.left[i]));
  EXPECT_LT(first, 0.01f * third);
}

TEST(Soundtrack, MasteringHitsTheLoudnessWithoutClipping) {
  StereoBuffer mix = renderMix(60.0, 64.0);
  MasterResult r = master(mix);
  EXPECT_NEAR(r.loudness, kTargetLoudness, 0.1);
  EXPECT_LE(peakOf(mix), static_cast<float>(dbToGain(kPeakCeilingDb)));
  // A far too loud mix is brought down and still never clips.
  StereoBuffer hot = renderMix(60.0, 62.0);
  for (float& v : hot.left) v *= 30.0f;
  for (float& v : hot.right) v *= 30.0f;
  r = master(hot);
  EXPECT_LE(peakOf(hot), static_cast<float>(dbToGain(kPeakCeilingDb)));
  EXPECT_NEAR(r.loudness, kTargetLoudness, 0.5);
  StereoBuffer silence(kSampleRate);
  r = master(silence);
  EXPECT_EQ(peakOf(silence), 0.0f);
}

TEST(Arrangement, StaysInAMinorWithTheBassAboveTheKickBand) {
  Score s = makeScore();
  const std::set<int> aMinor = {9, 11, 0, 2, 4, 5, 7};
  for (const std::vector<Note>* part : {&s.pad, &s.bass, &s.pluck, &s.bell, &s.lead}) {
    ASSERT_FALSE(part->empty());
    for (const Note& n : *part) {
      EXPECT_TRUE(aMinor.count(static_cast<int>(n.midi) % 12)) << "note " << n.midi << " at " << n.start;
      EXPECT_GE(n.start, 0.0);
      EXPECT_LE(n.start + n.length, kSilentFrom);
    }
  }
  for (const Note& n : s.bass) EXPECT_GT(midiToHz(n.midi), 86.0) << "bass note at " << n.start;
}

TEST(Arrangement, KickFallsOnEveryBeatFromTheCarsOn) {
  Score s = makeScore();
  ASSERT_FALSE(s.kick.empty());
  EXPECT_DOUBLE_EQ(s.kick.front().start, 43.0);
  for (size_t i = 1; i < s.kick.size(); ++i) EXPECT_NEAR(s.kick[i].start - s.kick[i - 1].start, kBeatSeconds, 1e-9);
  EXPECT_NEAR(s.kick.back().start, kKickEnd - kBeatSeconds, 1e-9);
  for (const Note& n : s.kick) EXPECT_GE(n.start, 43.0);
  EXPECT_EQ(masterFade(0.0), 0.0);
  EXPECT_EQ(masterFade(60.0), 1.0);
  EXPECT_EQ(masterFade(kSilentFrom), 0.0);
}

}  // namespace
