#include "music/Instruments.h"

#include <cmath>

namespace music {

namespace {
double cents(double c) { return std::pow(2.0, c / 1200.0); }
// A seed-derived value in [0, 1).
double unit(uint32_t seed, int salt) {
  Noise n(seed ^ (0x9e3779b9u * static_cast<uint32_t>(salt + 1)));
  n.next();
  return 0.5 + 0.5 * n.next();
}
// Equal-power pan, p in [-1, 1].
void panGains(float p, float& l, float& r) {
  double a = (p + 1.0) * kPi / 4.0;
  l = static_cast<float>(std::cos(a));
  r = static_cast<float>(std::sin(a));
}
}  // namespace

// ---- Pad ---------------------------------------------------------------------------------

PadVoice::PadVoice(const Note& note, uint32_t seed) : VoiceBase(note), env_(1.8, 6.0, 0.75f, 2.6) {
  double hz = midiToHz(note.midi);
  const double detune[3] = {-9.0, 0.0, 8.0};
  for (int i = 0; i < 3; ++i) {
    osc_[i].setFrequency(hz * cents(detune[i]));
    osc_[i].setPhase(unit(seed, i));
  }
  lfoPhase_ = unit(seed, 7);
}

bool PadVoice::render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right) {
  double wobble = 1.0 + 0.18 * std::sin(2.0 * kPi * lfoPhase_);
  lfoPhase_ += 0.11 * frames / kSampleRate;
  filterL_.set(c.padCutoff * wobble, 0.8);
  filterR_.set(c.padCutoff / wobble, 0.8);
  const float gain = 0.12f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    if (frame0 + i == release_) env_.gateOff();
    float a = osc_[0].saw(), b = osc_[1].saw(), d = osc_[2].saw();
    float e = env_.next() * gain;
    left[i] += filterL_.lowPass(a + 0.6f * b) * e;
    right[i] += filterR_.lowPass(d + 0.6f * b) * e;
  }
  return !env_.finished();
}

// ---- Bass --------------------------------------------------------------------------------

BassVoice::BassVoice(const Note& note, uint32_t seed)
    : VoiceBase(note), env_(0.004, 0.5, 0.7f, 0.07), filterEnv_(0.001, 0.35, 0.0f, 0.1) {
  double hz = midiToHz(note.midi);
  saw_.setFrequency(hz);
  sub_.setFrequency(hz);
  saw_.setPhase(unit(seed, 1));
  lowCut_.set(80.0, 0.7);
}

bool BassVoice::render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right) {
  const float gain = 0.32f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    if (frame0 + i == release_) env_.gateOff();
    if (filterDue(frame0 + i)) filter_.set(c.bassCutoff * (1.0 + 2.5 * filterEnv_.level()), 1.1);
    filterEnv_.next();
    float tone = filter_.lowPass(0.55f * saw_.saw() + 0.6f * sub_.sine());
    float v = lowCut_.highPass(tone) * env_.next() * gain * c.duck[i];
    left[i] += v;
    right[i] += v;
  }
  return !env_.finished();
}

// ---- Pluck (arpeggio) --------------------------------------------------------------------

PluckVoice::PluckVoice(const Note& note, uint32_t seed)
    : VoiceBase(note), env_(0.002, 0.5, 0.0f, 0.12), filterEnv_(0.001, 0.25, 0.0f, 0.1) {
  double hz = midiToHz(note.midi);
  pulse_.setFrequency(hz);
  saw_.setFrequency(hz * cents(6.0));
  saw_.setPhase(unit(seed, 2));
  pan_ = static_cast<float>(unit(seed, 3) * 0.8 - 0.4);
}

bool PluckVoice::render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right) {
  float pl, pr;
  panGains(pan_, pl, pr);
  const float gain = 0.16f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    if (frame0 + i == release_) env_.gateOff();
    if (filterDue(frame0 + i)) filter_.set(c.pluckCutoff * (0.5 + 1.8 * filterEnv_.level()), 2.0);
    filterEnv_.next();
    float v = filter_.lowPass(0.6f * pulse_.pulse(0.32f) + 0.4f * saw_.saw()) * env_.next() * gain * c.duck[i];
    left[i] += v * pl;
    right[i] += v * pr;
  }
  return !env_.finished();
}

// ---- Bell --------------------------------------------------------------------------------

BellVoice::BellVoice(const Note& note, uint32_t seed) : VoiceBase(note), env_(0.003, 3.2, 0.0f, 1.4) {
  double hz = midiToHz(note.midi);
  carrier_.setFrequency(hz);
  modulator_.setFrequency(hz * 2.0);
  shimmer_.setFrequency(hz * 4.007);
  indexLevel_ = 1.6f;
  indexCoef_ = decayCoefficient(1.6);
  pan_ = static_cast<float>(unit(seed, 4) * 1.0 - 0.5);
}

bool BellVoice::render(int64_t frame0, int frames, const BlockControls&, float* left, float* right) {
  float pl, pr;
  panGains(pan_, pl, pr);
  const float gain = 0.14f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    if (frame0 + i == release_) env_.gateOff();
    float index = 0.15f + indexLevel_;
    indexLevel_ *= indexCoef_;
    float mod = modulator_.sine() * index;
    float car = static_cast<float>(std::sin(2.0 * kPi * carrier_.phase() + mod));
    carrier_.advance();
    float e = env_.next();
    float v = (car + 0.12f * shimmer_.sine() * e) * e * gain;
    left[i] += v * pl;
    right[i] += v * pr;
  }
  return !env_.finished();
}

// ---- Lead --------------------------------------------------------------------------------

LeadVoice::LeadVoice(const Note& note, uint32_t seed) : VoiceBase(note), env_(0.05, 1.2, 0.75f, 0.4) {
  hz_ = midiToHz(note.midi);
  vibrato_.setFrequency(5.1);
  b_.setPhase(unit(seed, 5));
}

bool LeadVoice::render(int64_t frame0, int frames, const BlockControls& c, float* left, float* right) {
  filter_.set(c.leadCutoff, 0.9);
  const float gain = 0.11f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    if (frame0 + i == release_) env_.gateOff();
    // Vibrato fades in after the first 0.3 s of the note, up to a quarter semitone.
    double age = static_cast<double>(age_++) / kSampleRate;
    double depth = age < 0.3 ? 0.0 : std::min(1.0, (age - 0.3) / 0.6) * 0.25;
    double bend = std::pow(2.0, depth * vibrato_.sine() / 12.0);
    a_.setFrequency(hz_ * bend * 0.9965);
    b_.setFrequency(hz_ * bend * 1.0035);
    float v = filter_.lowPass(a_.saw() + b_.saw()) * env_.next() * gain;
    left[i] += v;
    right[i] += v;
  }
  return !env_.finished();
}

// ---- Kick --------------------------------------------------------------------------------

KickVoice::KickVoice(const Note& note, uint32_t seed) : VoiceBase(note), noise_(seed) { clickTone_.setLowPass(2500.0); }

bool KickVoice::render(int64_t frame0, int frames, const BlockControls&, float* left, float* right) {
  const double length = 0.48;
  const float gain = 0.9f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    double t = static_cast<double>(age_++) / kSampleRate;
    if (t >= length) return false;
    // Pitch falls from about 160 Hz to 50 Hz: the body sits in the 40 - 90 Hz range.
    body_.setFrequency(50.0 + 110.0 * std::exp(-t / 0.032));
    double amp = std::min(1.0, t / 0.0015) * (t < 0.045 ? 1.0 : std::exp(-(t - 0.045) / 0.075));
    amp *= 1.0 - smoothStep((t - (length - 0.06)) / 0.06);  // ends at exactly zero
    float body = static_cast<float>(std::tanh(1.4 * body_.sine() * amp) / std::tanh(1.4));
    float click = clickTone_.lowPass(noise_.next()) * static_cast<float>(std::exp(-t / 0.004) * 0.35);
    float v = (body + click) * gain;
    left[i] += v;
    right[i] += v;
  }
  return true;
}

// ---- Hat ---------------------------------------------------------------------------------

HatVoice::HatVoice(const Note& note, uint32_t seed) : VoiceBase(note), noise_(seed) {
  highPass_.set(7500.0, 0.8);
  soften_.setLowPass(11000.0);
  decay_ = decayCoefficient(note.length);
  pan_ = static_cast<float>(0.15 + unit(seed, 6) * 0.2);
}

bool HatVoice::render(int64_t frame0, int frames, const BlockControls&, float* left, float* right) {
  float pl, pr;
  panGains(pan_, pl, pr);
  const float gain = 0.11f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    if (level_ < 1e-4f) return false;
    float attack = age_ < 44 ? static_cast<float>(age_) / 44.0f : 1.0f;
    ++age_;
    float v = soften_.lowPass(highPass_.highPass(noise_.next())) * level_ * attack * gain;
    level_ *= decay_;
    left[i] += v * pl;
    right[i] += v * pr;
  }
  return true;
}

// ---- Clap --------------------------------------------------------------------------------

ClapVoice::ClapVoice(const Note& note, uint32_t seed) : VoiceBase(note), noise_(seed) {
  bandL_.set(1300.0, 1.1);
  bandR_.set(1500.0, 1.1);
}

bool ClapVoice::render(int64_t frame0, int frames, const BlockControls&, float* left, float* right) {
  const float gain = 0.5f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    double t = static_cast<double>(age_++) / kSampleRate;
    if (t > 0.6) return false;
    // Three quick bursts, then a short noisy tail.
    double amp = 0.0;
    for (int b = 0; b < 3; ++b) {
      double tb = t - 0.011 * b;
      if (tb >= 0.0) amp += std::min(1.0, tb / 0.0008) * std::exp(-tb / 0.006);
    }
    if (t >= 0.022) amp += 0.6 * std::exp(-(t - 0.022) / 0.07);
    amp *= 1.0 - smoothStep((t - 0.5) / 0.1);
    float n = noise_.next();
    float v = static_cast<float>(amp) * gain;
    left[i] += bandL_.bandPass(n) * v;
    right[i] += bandR_.bandPass(n) * v;
  }
  return true;
}

// ---- Riser and fall ----------------------------------------------------------------------

RiserVoice::RiserVoice(const Note& note, uint32_t seed) : VoiceBase(note), noiseL_(seed), noiseR_(seed * 3 + 1) {}

bool RiserVoice::render(int64_t frame0, int frames, const BlockControls&, float* left, float* right) {
  const double length = note_.length;
  double x = static_cast<double>(age_ + firstIndex(frame0)) / kSampleRate / length;
  double cutoff = 350.0 * std::pow(12.0, std::min(1.0, x));
  bandL_.set(cutoff, 2.5);
  bandR_.set(cutoff * 1.07, 2.5);
  const float gain = 0.15f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    double t = static_cast<double>(age_++) / kSampleRate;
    if (t >= length) return false;
    double u = t / length;
    double amp = u * u * (1.0 - smoothStep((t - (length - 0.03)) / 0.03));
    float v = static_cast<float>(amp) * gain;
    left[i] += bandL_.bandPass(noiseL_.next()) * v;
    right[i] += bandR_.bandPass(noiseR_.next()) * v;
  }
  return true;
}

FallVoice::FallVoice(const Note& note, uint32_t seed) : VoiceBase(note), noiseL_(seed), noiseR_(seed * 5 + 3) {}

bool FallVoice::render(int64_t frame0, int frames, const BlockControls&, float* left, float* right) {
  const double length = note_.length;
  double x = static_cast<double>(age_ + firstIndex(frame0)) / kSampleRate / length;
  double cutoff = 9000.0 * std::pow(0.03, std::min(1.0, x));
  lowL_.set(cutoff, 0.9);
  lowR_.set(cutoff * 0.93, 0.9);
  const float gain = 0.12f * note_.velocity;
  for (int i = firstIndex(frame0); i < frames; ++i) {
    double t = static_cast<double>(age_++) / kSampleRate;
    if (t >= length) return false;
    double amp = std::min(1.0, t / 0.01) * std::exp(-t / (0.35 * length));
    amp *= 1.0 - smoothStep((t - (length - 0.2)) / 0.2);
    float v = static_cast<float>(amp) * gain;
    left[i] += lowL_.lowPass(noiseL_.next()) * v;
    right[i] += lowR_.lowPass(noiseR_.next()) * v;
  }
  return true;
}

}  // namespace music
