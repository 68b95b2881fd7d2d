#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "music/Chorus.h"
#include "music/Dsp.h"
#include "music/Instruments.h"
#include "music/Reverb.h"
#include "music/StereoDelay.h"

namespace {

using namespace music;

double energy(const std::vector<float>& v, size_t from, size_t to) {
  double e = 0.0;
  for (size_t i = from; i < to && i < v.size(); ++i) e += v[i] * v[i];
  return e;
}

TEST(StereoDelay, EchoesArriveOnTimeAndAlternateSides) {
  const double delay = 0.1;
  const size_t d = static_cast<size_t>(delay * kSampleRate);
  StereoDelay echo(delay, 0.5f, 20.0, 20000.0);
  std::vector<float> inL(4 * d, 0.0f), inR(4 * d, 0.0f), outL(4 * d, 0.0f), outR(4 * d, 0.0f);
  inL[0] = inR[0] = 1.0f;
  echo.process(inL.data(), inR.data(), outL.data(), outR.data(), static_cast<int>(inL.size()));
  EXPECT_EQ(energy(outL, 0, d), 0.0);  // wet only: nothing before the first repeat
  EXPECT_GT(energy(outL, d, d + 50), 0.5 * energy(outL, d - 10, 2 * d));
  EXPECT_LT(energy(outR, d - 10, d + 50), 1e-6);                  // first repeat on the left only
  EXPECT_GT(energy(outR, 2 * d, 2 * d + 50), 1e-3);               // second on the right
  EXPECT_LT(energy(outR, 2 * d, 3 * d), energy(outL, d, 2 * d));  // and softer
}

TEST(Reverb, TailDecaysAndStaysFinite) {
  Reverb reverb(2.0, 0.01, 8000.0, 100.0);
  const size_t n = 5 * kSampleRate;
  std::vector<float> in(n, 0.0f), inR(n, 0.0f), outL(n, 0.0f), outR(n, 0.0f);
  for (size_t i = 0; i < 2000; ++i) in[i] = inR[i] = std::sin(static_cast<float>(i) * 0.05f);  // a short burst
  reverb.process(in.data(), inR.data(), outL.data(), outR.data(), static_cast<int>(n));
  for (float v : outL) ASSERT_TRUE(std::isfinite(v));
  double early = energy(outL, 0, kSampleRate / 4);
  double afterDecay = energy(outL, 2 * kSampleRate, 2 * kSampleRate + kSampleRate / 4);
  EXPECT_GT(early, 0.0);
  EXPECT_LT(afterDecay, early * 1e-5);  // about -60 dB at the decay time, with damping
  // The two sides differ (width) but carry similar energy.
  EXPECT_NE(outL, outR);
  EXPECT_NEAR(energy(outL, 0, n) / energy(outR, 0, n), 1.0, 0.5);
}

TEST(Reverb, KeepsLowFrequenciesOutOfTheTail) {
  auto tailOf = [](double hz) {
    Reverb reverb(3.0, 0.01, 8000.0, 220.0);
    const size_t n = kSampleRate;
    std::vector<float> in(n), outL(n, 0.0f), outR(n, 0.0f);
    for (size_t i = 0; i < n; ++i)
      in[i] = static_cast<float>(std::sin(2.0 * kPi * hz * static_cast<double>(i) / kSampleRate));
    reverb.process(in.data(), in.data(), outL.data(), outR.data(), static_cast<int>(n));
    return energy(outL, n / 2, n);
  };
  EXPECT_LT(tailOf(50.0), 0.1 * tailOf(1000.0));
}

TEST(Chorus, SpreadsAMonoSignalAndPassesItDryAtZeroMix) {
  const int n = kSampleRate;
  std::vector<float> l(n), r(n);
  for (int i = 0; i < n; ++i) l[i] = r[i] = static_cast<float>(std::sin(2.0 * kPi * 330.0 * i / kSampleRate));
  std::vector<float> dryL = l, dryR = r;
  Chorus off(0.5, 10.0, 3.0, 0.0f);
  off.process(dryL.data(), dryR.data(), n);
  EXPECT_EQ(dryL, l);
  EXPECT_EQ(dryR, r);

  Chorus chorus(0.5, 10.0, 3.0, 0.5f);
  chorus.process(l.data(), r.data(), n);
  double difference = 0.0;
  float peak = 0.0f;
  for (int i = n / 2; i < n; ++i) {
    difference += (l[i] - r[i]) * (l[i] - r[i]);
    peak = std::max(peak, std::max(std::fabs(l[i]), std::fabs(r[i])));
  }
  EXPECT_GT(difference, 0.01 * energy(dryL, n / 2, n));
  EXPECT_LE(peak, 1.0f);  // a mix of delayed copies never exceeds the input's peak
}

TEST(VoicePool, NotesLandOnTheirSampleWhateverTheBlockSize) {
  auto render = [](int block) {
    std::vector<Note> notes = {{0.01, 0.05, 60.0, 1.0f}, {0.0173, 0.02, 67.0, 1.0f}};
    VoicePool<PluckVoice> pool(notes, 0);
    std::vector<float> duck(block, 1.0f), l(block), r(block), out;
    for (int64_t f = 0; f < kSampleRate / 5; f += block) {
      std::fill(l.begin(), l.end(), 0.0f);
      std::fill(r.begin(), r.end(), 0.0f);
      BlockControls c{frameToSeconds(f), 1000.0f, 400.0f, 2000.0f, 2000.0f, duck.data()};
      pool.render(f, block, c, l.data(), r.data());
      out.insert(out.end(), l.begin(), l.end());
    }
    out.resize(kSampleRate / 5);
    return out;
  };
  std::vector<float> a = render(1), b = render(128);
  // The first sound is at the first note's sample, not at the start of its block.
  size_t first = 0;
  while (first < b.size() && b[first] == 0.0f) ++first;
  EXPECT_EQ(first, static_cast<size_t>(secondsToFrame(0.01)));
  // Enveloped filters retune on track time, so the block size changes nothing.
  EXPECT_EQ(a, b);
  EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.01f);
}

TEST(Instruments, KickCarriesItsEnergyBetween40And90Hz) {
  VoicePool<KickVoice> kicks({{0.0, 0.1, 0.0, 1.0f}}, 0);
  const int n = 8192;
  std::vector<float> l(n, 0.0f), r(n, 0.0f), duck(n, 1.0f);
  BlockControls c{0.0, 1000.0f, 400.0f, 2000.0f, 2000.0f, duck.data()};
  kicks.render(0, n, c, l.data(), r.data());
  auto band = [&](double lo, double hi) {
    double e = 0.0;
    for (double hz = lo; hz < hi; hz += 5.0) {
      double re = 0.0, im = 0.0;
      for (int i = 0; i < n; ++i) {
        double a = 2.0 * kPi * hz * i / kSampleRate;
        re += l[i] * std::cos(a);
        im += l[i] * std::sin(a);
      }
      e += re * re + im * im;
    }
    return e;
  };
  double low = band(40.0, 90.0);
  EXPECT_GT(low, 2.0 * band(90.0, 140.0));
  EXPECT_GT(low, 10.0 * band(200.0, 250.0));
}

}  // namespace
