#include <gtest/gtest.h>

#include <cmath>

#include "music/Automation.h"
#include "music/Dsp.h"
#include "music/Envelope.h"
#include "music/Filter.h"
#include "music/Limiter.h"
#include "music/Loudness.h"
#include "music/Oscillator.h"

namespace {

using namespace music;

int risingZeroCrossings(Oscillator& osc, float (Oscillator::*wave)(), int frames) {
  int count = 0;
  float previous = (osc.*wave)();
  for (int i = 1; i < frames; ++i) {
    float v = (osc.*wave)();
    if (previous < 0.0f && v >= 0.0f) ++count;
    previous = v;
  }
  return count;
}

double rms(const std::vector<float>& v, size_t from = 0) {
  double e = 0.0;
  for (size_t i = from; i < v.size(); ++i) e += v[i] * v[i];
  return std::sqrt(e / static_cast<double>(v.size() - from));
}

StereoBuffer sine(double hz, double amplitude, double seconds) {
  StereoBuffer b(static_cast<size_t>(seconds * kSampleRate));
  for (size_t i = 0; i < b.frames(); ++i)
    b.left[i] = b.right[i] =
        static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * static_cast<double>(i) / kSampleRate));
  return b;
}

TEST(Oscillator, WaveformsRunAtTheSetFrequencyWithinRange) {
  for (auto wave : {&Oscillator::saw, &Oscillator::sine, &Oscillator::triangle}) {
    Oscillator osc;
    osc.setFrequency(441.0);
    osc.setPhase(0.25);
    EXPECT_NEAR(risingZeroCrossings(osc, wave, kSampleRate), 441, 1);
  }
  Oscillator osc;
  osc.setFrequency(3000.0);
  for (int i = 0; i < kSampleRate; ++i) {
    float v = osc.pulse(0.3f);
    ASSERT_LE(std::fabs(v), 1.3f);  // polyBLEP overshoot stays small
  }
}

TEST(Oscillator, SawIsBandLimitedAtHighPitch) {
  // At 5 kHz the 9th partial (45 kHz) folds back to 900 Hz; polyBLEP must keep that alias far
  // weaker than a naive saw's.
  auto magnitudeAt900 = [](const std::vector<float>& out) {
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
      double a = 2.0 * kPi * 900.0 * static_cast<double>(i) / kSampleRate;
      re += out[i] * std::cos(a);
      im += out[i] * std::sin(a);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(out.size());
  };
  Oscillator osc;
  osc.setFrequency(5000.0);
  std::vector<float> blep(kSampleRate), naive(kSampleRate);
  for (size_t i = 0; i < blep.size(); ++i) {
    naive[i] = static_cast<float>(2.0 * osc.phase() - 1.0);
    blep[i] = osc.saw();
  }
  EXPECT_GT(magnitudeAt900(naive), 0.05);
  EXPECT_LT(magnitudeAt900(blep), magnitudeAt900(naive) / 4.0);
}

TEST(StateVariableFilter, LowPassKeepsLowsAndRemovesHighs) {
  auto through = [](double hz) {
    StateVariableFilter f;
    f.set(500.0, 0.7);
    Oscillator osc;
    osc.setFrequency(hz);
    std::vector<float> out(kSampleRate / 2);
    for (float& v : out) v = f.lowPass(osc.sine());
    return rms(out, out.size() / 2) * std::sqrt(2.0);
  };
  EXPECT_NEAR(through(100.0), 1.0, 0.05);
  EXPECT_LT(through(5000.0), 0.02);  // a decade above: about -40 dB
  StateVariableFilter f;
  f.set(1000.0, 0.7);
  for (int i = 0; i < 1000; ++i) f.process(1.0f);
  EXPECT_NEAR(f.process(1.0f).high, 0.0f, 1e-3f);  // high pass blocks DC
}

TEST(Envelope, RisesWithoutAStepAndDiesAwayAfterRelease) {
  Envelope env(0.01, 0.2, 0.5f, 0.1);
  float previous = 0.0f, largestStep = 0.0f;
  for (int i = 0; i < kSampleRate / 2; ++i) {
    float v = env.next();
    largestStep = std::max(largestStep, std::fabs(v - previous));
    previous = v;
  }
  EXPECT_LT(largestStep, 0.003f);
  EXPECT_NEAR(previous, 0.5f, 0.01f);  // settled on the sustain level
  env.gateOff();
  int frames = 0;
  while (!env.finished() && frames < kSampleRate) {
    env.next();
    ++frames;
  }
  EXPECT_TRUE(env.finished());
  EXPECT_NEAR(frames, 0.1 * kSampleRate * (std::log(1e-5 / 0.5) / std::log(1e-3)), 0.02 * kSampleRate);
  EXPECT_EQ(env.next(), 0.0f);
}

TEST(Automation, InterpolatesBetweenBreakpointsAndHoldsOutside) {
  Automation linear({{2.0, 10.0}, {1.0, 0.0}});  // given out of order
  EXPECT_DOUBLE_EQ(linear.at(0.0), 0.0);
  EXPECT_DOUBLE_EQ(linear.at(1.5), 5.0);
  EXPECT_DOUBLE_EQ(linear.at(9.0), 10.0);
  Automation sweep({{0.0, 100.0}, {1.0, 10000.0}}, Automation::Shape::Exponential);
  EXPECT_NEAR(sweep.at(0.5), 1000.0, 1e-6);
}

TEST(Limiter, KeepsEverySampleUnderTheCeilingAndLeavesQuietAudioAlone) {
  StereoBuffer loud = sine(60.0, 1.0, 1.0);
  for (size_t i = 20000; i < 20100; ++i) loud.left[i] = 3.0f;  // a hard spike
  float ceiling = static_cast<float>(dbToGain(-1.5));
  float deepest = limitPeaks(loud, ceiling);
  EXPECT_LT(deepest, 0.3f);
  EXPECT_LE(peakOf(loud), ceiling);
  // Gain changes smoothly: no sample-to-sample jump bigger than the signal itself allows.
  float largestStep = 0.0f;
  for (size_t i = 1; i < loud.frames(); ++i)
    largestStep = std::max(largestStep, std::fabs(loud.right[i] - loud.right[i - 1]));
  EXPECT_LT(largestStep, 0.02f);

  StereoBuffer quiet = sine(440.0, 0.5, 0.5);
  StereoBuffer copy = quiet;
  EXPECT_EQ(limitPeaks(quiet, ceiling), 1.0f);
  EXPECT_EQ(quiet.left, copy.left);
}

TEST(Loudness, MatchesTheReferenceSineLevels) {
  // A 1 kHz sine at -20 dBFS in both channels reads -20 LUFS; in one channel 3 dB less.
  EXPECT_NEAR(integratedLoudness(sine(997.0, dbToGain(-20.0), 3.0)), -20.0, 0.1);
  StereoBuffer left = sine(997.0, dbToGain(-20.0), 3.0);
  std::fill(left.right.begin(), left.right.end(), 0.0f);
  EXPECT_NEAR(integratedLoudness(left), -23.01, 0.1);
  // K-weighting: low frequencies count for less.
  EXPECT_LT(integratedLoudness(sine(40.0, dbToGain(-20.0), 3.0)), -21.0);
  EXPECT_EQ(integratedLoudness(StereoBuffer(kSampleRate)), -HUGE_VAL);
}

TEST(Loudness, GatesSilenceOut) {
  StereoBuffer tone = sine(997.0, dbToGain(-18.0), 4.0);
  StereoBuffer padded(tone.frames() * 3);
  std::copy(tone.left.begin(), tone.left.end(), padded.left.begin() + static_cast<long>(tone.frames()));
  std::copy(tone.right.begin(), tone.right.end(), padded.right.begin() + static_cast<long>(tone.frames()));
  // Silence falls under the absolute gate. Of the 400 ms blocks stepping by 100 ms, 37 lie wholly
  // in the tone and three at each edge hold a quarter, half and three quarters of it, so the
  // gated mean is 40/43 of the tone's.
  EXPECT_NEAR(integratedLoudness(padded), integratedLoudness(tone) + 10.0 * std::log10(40.0 / 43.0), 0.01);
}

}  // namespace
