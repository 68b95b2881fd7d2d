#include "music/Soundtrack.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "music/Arrangement.h"
#include "music/Chorus.h"
#include "music/Dsp.h"
#include "music/Limiter.h"
#include "music/Loudness.h"
#include "music/OggEncoder.h"
#include "music/Reverb.h"
#include "music/StereoDelay.h"

namespace music {

namespace {

constexpr int kBlock = 128;

// One instrument's block of output.
struct Stem {
  std::array<float, kBlock> left{}, right{};
  void clear() {
    left.fill(0.0f);
    right.fill(0.0f);
  }
};

// Where a stem goes: dry level and the sends to the echo and the reverb.
struct Route {
  float dry, echo, reverb;
};

void mixInto(const Stem& stem, const Route& route, float level, Stem& dry, Stem& echo, Stem& reverb, int frames) {
  for (int i = 0; i < frames; ++i) {
    float l = stem.left[i] * level, r = stem.right[i] * level;
    dry.left[i] += l * route.dry;
    dry.right[i] += r * route.dry;
    echo.left[i] += l * route.echo;
    echo.right[i] += r * route.echo;
    reverb.left[i] += l * route.reverb;
    reverb.right[i] += r * route.reverb;
  }
}

// Side-chain gain: dips as each kick lands and recovers before the next beat.
class Ducker {
 public:
  Ducker(const std::vector<Note>& kicks) {
    for (const Note& k : kicks) starts_.push_back(secondsToFrame(k.start));
  }
  void fill(int64_t frame0, int frames, float depth, float* out) {
    for (int i = 0; i < frames; ++i) {
      int64_t frame = frame0 + i;
      while (next_ < starts_.size() && starts_[next_] <= frame) last_ = starts_[next_++];
      float g = 1.0f;
      if (last_ >= 0) {
        double t = frameToSeconds(frame - last_);
        double dip = t < 0.004 ? t / 0.004 : std::exp(-(t - 0.004) / 0.11);
        g = static_cast<float>(1.0 - depth * dip);
      }
      out[i] = g;
    }
  }

 private:
  std::vector<int64_t> starts_;
  size_t next_ = 0;
  int64_t last_ = -1;
};

}  // namespace

StereoBuffer renderMix(double fromSeconds, double toSeconds) {
  const int64_t first = secondsToFrame(std::max(0.0, fromSeconds));
  const int64_t last = std::max(first, secondsToFrame(std::min(kTrackSeconds, toSeconds)));
  StereoBuffer out(static_cast<size_t>(last - first));

  Score score = makeScore();
  VoicePool<PadVoice> pads(score.pad, first);
  VoicePool<BassVoice> bass(score.bass, first);
  VoicePool<PluckVoice> plucks(score.pluck, first);
  VoicePool<BellVoice> bells(score.bell, first);
  VoicePool<LeadVoice> lead(score.lead, first);
  VoicePool<KickVoice> kicks(score.kick, first);
  VoicePool<HatVoice> hats(score.hat, first);
  VoicePool<ClapVoice> claps(score.clap, first);
  VoicePool<RiserVoice> risers(score.riser, first);
  VoicePool<FallVoice> falls(score.fall, first);
  Ducker ducker(score.kick);
  Ducker padDucker(score.kick);

  Chorus chorus(0.23, 14.0, 4.0, 0.5f);
  StereoDelay echo(3.0 * kBeatSeconds / 4.0, 0.42f, 250.0, 3800.0);
  Reverb reverb(5.5, 0.03, 5200.0, 220.0);
  StateVariableFilter lowCutL, lowCutR, padLowCutL, padLowCutR;
  lowCutL.set(28.0, 0.7);
  lowCutR.set(28.0, 0.7);
  padLowCutL.set(110.0, 0.7);
  padLowCutR.set(110.0, 0.7);

  const Route padRoute{0.75f, 0.0f, 0.55f};
  const Route bassRoute{1.0f, 0.0f, 0.0f};
  const Route pluckRoute{0.7f, 0.35f, 0.3f};
  const Route bellRoute{0.7f, 0.3f, 0.6f};
  const Route leadRoute{0.8f, 0.3f, 0.45f};
  const Route drumRoute{1.0f, 0.0f, 0.0f};
  const Route hatRoute{0.9f, 0.0f, 0.15f};
  const Route clapRoute{0.8f, 0.0f, 0.4f};
  const Route noiseRoute{0.6f, 0.0f, 0.6f};

  Stem stem, dry, echoSend, reverbSend, wet;
  std::array<float, kBlock> duck{}, padDuck{}, noDuck;
  noDuck.fill(1.0f);

  for (int64_t frame0 = first; frame0 < last; frame0 += kBlock) {
    const int frames = static_cast<int>(std::min<int64_t>(kBlock, last - frame0));
    const double time = frameToSeconds(frame0);
    ducker.fill(frame0, frames, 0.8f, duck.data());
    padDucker.fill(frame0, frames, 0.3f, padDuck.data());
    BlockControls c{time,
                    static_cast<float>(score.padCutoff.at(time)),
                    static_cast<float>(score.bassCutoff.at(time)),
                    static_cast<float>(score.pluckCutoff.at(time)),
                    static_cast<float>(score.leadCutoff.at(time)),
                    duck.data()};
    BlockControls soft = c;
    soft.duck = padDuck.data();
    BlockControls free = c;
    free.duck = noDuck.data();
    dry.clear();
    echoSend.clear();
    reverbSend.clear();

    stem.clear();
    pads.render(frame0, frames, free, stem.left.data(), stem.right.data());
    chorus.process(stem.left.data(), stem.right.data(), frames);
    for (int i = 0; i < frames; ++i) {
      stem.left[i] = padLowCutL.highPass(stem.left[i]) * padDuck[i];
      stem.right[i] = padLowCutR.highPass(stem.right[i]) * padDuck[i];
    }
    mixInto(stem, padRoute, static_cast<float>(score.padLevel.at(time)), dry, echoSend, reverbSend, frames);

    stem.clear();
    bass.render(frame0, frames, c, stem.left.data(), stem.right.data());
    mixInto(stem, bassRoute, 1.0f, dry, echoSend, reverbSend, frames);

    stem.clear();
    plucks.render(frame0, frames, soft, stem.left.data(), stem.right.data());
    mixInto(stem, pluckRoute, static_cast<float>(score.pluckLevel.at(time)), dry, echoSend, reverbSend, frames);

    stem.clear();
    bells.render(frame0, frames, free, stem.left.data(), stem.right.data());
    mixInto(stem, bellRoute, 1.0f, dry, echoSend, reverbSend, frames);

    stem.clear();
    lead.render(frame0, frames, free, stem.left.data(), stem.right.data());
    mixInto(stem, leadRoute, 1.0f, dry, echoSend, reverbSend, frames);

    stem.clear();
    kicks.render(frame0, frames, free, stem.left.data(), stem.right.data());
    mixInto(stem, drumRoute, 1.0f, dry, echoSend, reverbSend, frames);

    stem.clear();
    hats.render(frame0, frames, free, stem.left.data(), stem.right.data());
    mixInto(stem, hatRoute, 1.0f, dry, echoSend, reverbSend, frames);

    stem.clear();
    claps.render(frame0, frames, free, stem.left.data(), stem.right.data());
    mixInto(stem, clapRoute, 1.0f, dry, echoSend, reverbSend, frames);

    stem.clear();
    risers.render(frame0, frames, free, stem.left.data(), stem.right.data());
    falls.render(frame0, frames, free, stem.left.data(), stem.right.data());
    mixInto(stem, noiseRoute, 1.0f, dry, echoSend, reverbSend, frames);

    // The echo's repeats also feed the reverb, so they sit in the same room.
    wet.clear();
    echo.process(echoSend.left.data(), echoSend.right.data(), wet.left.data(), wet.right.data(), frames);
    for (int i = 0; i < frames; ++i) {
      dry.left[i] += wet.left[i];
      dry.right[i] += wet.right[i];
      reverbSend.left[i] += 0.5f * wet.left[i];
      reverbSend.right[i] += 0.5f * wet.right[i];
    }
    reverb.process(reverbSend.left.data(), reverbSend.right.data(), dry.left.data(), dry.right.data(), frames);

    const size_t base = static_cast<size_t>(frame0 - first);
    for (int i = 0; i < frames; ++i) {
      float fade = static_cast<float>(masterFade(frameToSeconds(frame0 + i)));
      out.left[base + i] = lowCutL.highPass(dry.left[i]) * fade;
      out.right[base + i] = lowCutR.highPass(dry.right[i]) * fade;
    }
  }
  return out;
}

MasterResult master(StereoBuffer& mix) {
  MasterResult result{0.0, -HUGE_VAL, 0.0f, 1.0f};
  double loudness = integratedLoudness(mix);
  if (!std::isfinite(loudness)) return result;
  const float ceiling = static_cast<float>(dbToGain(kPeakCeilingDb));
  // The limiter takes a little loudness off; one measured correction brings it back.
  double gainDb = kTargetLoudness - loudness;
  for (int pass = 0; pass < 2; ++pass) {
    StereoBuffer trial = mix;
    float g = static_cast<float>(dbToGain(gainDb));
    for (size_t i = 0; i < trial.frames(); ++i) {
      trial.left[i] *= g;
      trial.right[i] *= g;
    }
    result.limiterGain = limitPeaks(trial, ceiling);
    result.loudness = integratedLoudness(trial);
    result.gainDb = gainDb;
    if (pass == 1 || std::fabs(result.loudness - kTargetLoudness) < 0.05) {
      mix = std::move(trial);
      break;
    }
    gainDb += kTargetLoudness - result.loudness;
  }
  result.peak = peakOf(mix);
  return result;
}

int buildSoundtrack(std::vector<unsigned char>& ogg, std::string& error, MasterResult* result) {
  StereoBuffer mix = renderMix(0.0, kTrackSeconds);
  MasterResult mastered = master(mix);
  if (result) *result = mastered;
  OggEncoder::Settings settings;
  settings.tags = {{"TITLE", "Ambient Adventure"}, {"ARTIST", "Tessar"}, {"ALBUM", "Veltro 12"}};
  OggEncoder encoder(settings);
  if (encoder.encode(mix, ogg) != 0) {
    error = encoder.error();
    return 1;
  }
  return 0;
}

}  // namespace music
