// bench_audio_sync: how far the beat flash and the demo clock are from the sound heard.
//
//   bench_audio_sync [--seconds N] [ARCHIVE]
//
// Plays the production's music through the engine's Sound service on SDL's "disk" audio
// driver, which consumes the output in real time into a file, while the main thread does
// what the player's frames do, once a millisecond: steer the Timer onto the music
// (DemoPlayer::followMusic) and read the spectrum for the beat flash (bin 2, x 0.1). A
// watcher thread notes when each buffer reaches the file: the frames of a buffer are heard
// from that moment on, one per 1/44100 s. Afterwards it works out, from the file alone, the
// music time heard at every reading and the flash that sound should give, and prints
//   - the demo clock's offset from the heard music (median, 95th percentile) near the
//     start and around 120 s;
//   - how far the sound the engine analyses (the end of its spectrum window) is from the
//     sound heard at that moment;
//   - the lag between the flash the engine computed and the flash of the heard sound,
//     found by matching the two over 4 s of beats near the start and around 120 s (at
//     116 s of playing the music is moved back to its first beat, 43 s, as the tweak
//     bar's Time would move it, since its own beats end at 111.8 s).
// Readings the scheduler interrupted are left out; on a busy machine run it under
// `chrt -f 10`, so that the disk output, the watcher and the readings keep their times.
// Positive numbers mean the picture is late. Defaults: 125 s, data.zip here.
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "DemoPlayer.h"
#include "platform/MessageBox.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/SpectrumAnalyser.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "sound/Sound.h"

namespace {

struct Arrival {
  double at;
  long long bytes;
};
struct Reading {
  double at, demoTime, flash, analysed;  // analysed: the music time the engine takes as heard
};

constexpr double kRate = audio::Mixer::kRate;
constexpr double kSeekAt = 116.0;  // seconds of playing
constexpr double kSeekTo = 43.0;   // the first beat

// Frames heard by `at`: buffer i holds frames [bytes(i-1), bytes(i)) / 8, heard from its arrival.
double heardFrames(const std::vector<Arrival>& arrivals, double at) {
  auto next =
      std::upper_bound(arrivals.begin(), arrivals.end(), at, [](double t, const Arrival& a) { return t < a.at; });
  if (next == arrivals.begin()) return 0.0;
  const Arrival& arrival = *(next - 1);
  const double before = next - 1 == arrivals.begin() ? 0.0 : static_cast<double>((next - 2)->bytes) / 8.0;
  return before + std::min((at - arrival.at) * kRate, static_cast<double>(arrival.bytes) / 8.0 - before);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 125.0;
  ProgramOptions& options = programOptions();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc)
      seconds = std::atof(argv[++i]);
    else if (arg[0] != '-')
      options.dataFile = arg;
    else {
      std::fprintf(stderr, "usage: bench_audio_sync [--seconds N] [ARCHIVE]\n");
      return 2;
    }
  }
  if (!(seconds > 5.0 && seconds <= 125.0)) return 2;
  const std::string file = "audio-sync-" + std::to_string(getpid()) + ".f32";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  platform::setUnattended(true);

  Runtime* runtime = Runtime::instance();
  Sound& sound = *runtime->sound;
  if (!runtime->loader->opened || sound.init() != 0) {
    std::fprintf(stderr, "bench_audio_sync: no music (archive or audio output)\n");
    return 1;
  }
  std::printf("output: %s\n", sound.system->outputDetail().c_str());

  std::vector<Arrival> arrivals;
  arrivals.reserve(1 << 16);
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    long long last = 0;
    while (!done) {
      struct stat info;
      if (stat(file.c_str(), &info) == 0 && info.st_size != last) {
        last = info.st_size;
        arrivals.push_back({audio::Mixer::steadySeconds(), last});
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });

  std::vector<Reading> readings;
  readings.reserve(static_cast<size_t>(seconds * 1100));
  DemoPlayer& player = demoPlayer();
  runtime->timer->reset();
  sound.play();
  const double begin = audio::Mixer::steadySeconds();
  long preempted = 0;
  bool seeked = false;
  while (audio::Mixer::steadySeconds() - begin < seconds) {
    // The beats end at 111.8 s of the music: to have beats after 120 s of playing, the music
    // is moved back into the groove, as the tweak bar's Time does.
    if (!seeked && audio::Mixer::steadySeconds() - begin >= kSeekAt) {
      seeked = true;
      sound.seek(kSeekTo);
    }
    const double before = audio::Mixer::steadySeconds();
    const double demoTime = player.followMusic();
    const double flash = sound.getSpectrum()[1] * 0.1;
    double analysed = NAN;
    sound.getHeardTime(&analysed);
    const double after = audio::Mixer::steadySeconds();
    // A reading the scheduler cut in two belongs to no one instant: left out.
    if (after - before < 0.0005)
      readings.push_back({0.5 * (before + after), demoTime, flash, analysed});
    else
      ++preempted;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  sound.stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  done = true;
  watcher.join();
  // The working out needs no priority over the machine's other work.
  sched_param normal{};
  sched_setscheduler(0, SCHED_OTHER, &normal);

  // The heard output, and where the music's first sound sits in it.
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::remove(file.c_str());
  std::vector<float> heard(bytes.size() / sizeof(float));
  std::copy_n(bytes.data(), heard.size() * sizeof(float), reinterpret_cast<char*>(heard.data()));
  const size_t frames = heard.size() / 2;
  std::vector<char> music(sound.createInfo.length);
  runtime->loader->read(Sound::kMusicPath, music.data());
  audio::System* offline = nullptr;
  audio::System_Create(&offline);
  offline->setOutput(audio::OutputType::Offline);
  offline->init(1, audio::kInitNormal, nullptr);
  audio::CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = sound.createInfo.length;
  audio::Sound* track = nullptr;
  offline->createSound(music.data(), audio::kModeCreateStream | audio::kModeOpenMemoryPoint, &info, &track);
  audio::Channel* voice = nullptr;
  offline->playSound(audio::kChannelFree, track, false, &voice);
  std::vector<float> opening(2 * 10 * static_cast<size_t>(kRate)), groove(2 * 256);
  offline->renderFrames(opening.data(), static_cast<int>(opening.size() / 2));
  voice->setPosition(static_cast<unsigned>(kSeekTo * 1000.0), audio::TimeUnit::Ms);
  offline->renderFrames(groove.data(), 256);
  offline->release();
  auto firstSound = [](const std::vector<float>& v) {
    size_t i = 0;
    while (i < v.size() && v[i] == 0.0f) ++i;
    return static_cast<double>(i / 2);
  };
  const double musicStart = firstSound(heard) - firstSound(opening);
  // Where the seek took effect: the first output frame carrying the music from kSeekTo on.
  double seekFrame = INFINITY;
  for (size_t f = static_cast<size_t>(musicStart + (kSeekAt - 1.0) * kRate); f + 256 < frames && std::isinf(seekFrame);
       ++f)
    if (std::equal(groove.begin(), groove.end(), heard.begin() + static_cast<long>(2 * f))) seekFrame = f;
  auto musicTimeOf = [&](double frame) {
    return frame < seekFrame ? (frame - musicStart) / kRate : kSeekTo + (frame - seekFrame) / kRate;
  };
  if (arrivals.size() < 10 || frames == 0) {
    std::fprintf(stderr, "bench_audio_sync: the disk output wrote nothing\n");
    return 1;
  }
  std::printf("disk output: %zu buffers, %.3f s of sound in %.3f s (%+.2f%% against the steady clock)\n",
              arrivals.size(), static_cast<double>(frames) / kRate, arrivals.back().at - arrivals.front().at,
              100.0 * ((static_cast<double>(arrivals.back().bytes - arrivals.front().bytes) / 8.0 / kRate) /
                           (arrivals.back().at - arrivals.front().at) -
                       1.0));

  audio::SpectrumAnalyser analyser;
  analyser.prepare(512);
  std::vector<float> window(1024), bands(512);
  auto flashOfHeard = [&](double at) {
    const long long end = static_cast<long long>(heardFrames(arrivals, at));
    double sum = 0.0;
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < 1024; ++i) {
        const long long f = end - 1024 + i;
        window[static_cast<size_t>(i)] =
            f >= 0 && f < static_cast<long long>(frames) ? heard[static_cast<size_t>(2 * f + side)] : 0.0f;
      }
      analyser.analyse(window.data(), 512, audio::FftWindow::Rect, bands.data());
      sum += bands[1];
    }
    return sum * 0.5 * 0.1;
  };

  std::printf("%zu readings, %ld left out (preempted)\n", readings.size(), preempted);
  auto spread = [](const std::vector<double>& v) {
    std::vector<double> sizes;
    for (double c : v) sizes.push_back(std::fabs(c));
    std::sort(sizes.begin(), sizes.end());
    return sizes.empty() ? NAN : sizes[sizes.size() * 95 / 100];
  };
  if (seconds > kSeekAt && std::isinf(seekFrame)) std::printf("the seek's music was not found in the output\n");
  if (seconds > kSeekAt && !std::isinf(seekFrame))
    std::printf("the seek to %.0f s was heard from %.3f s of output on\n", kSeekTo, seekFrame / kRate);
  for (double from : {1.0, 44.0, seconds - 4.5}) {
    const double to = std::min(from + 4.0, seconds - 0.2);
    std::vector<double> clock, analysis;
    std::vector<const Reading*> stretch;
    for (const Reading& r : readings) {
      const double t = r.at - begin;
      if (t < from || t >= to) continue;
      const double heardMusic = musicTimeOf(heardFrames(arrivals, r.at));
      clock.push_back(r.demoTime - heardMusic);
      if (!std::isnan(r.analysed)) analysis.push_back(r.analysed - heardMusic);
      stretch.push_back(&r);
    }
    // The lag at which the heard sound's flash best matches the engine's.
    double bestLag = 0.0, bestError = INFINITY, level = 0.0;
    for (double lag = -0.040; lag <= 0.0401; lag += 0.0005) {
      double error = 0.0;
      for (const Reading* r : stretch) {
        const double d = r->flash - flashOfHeard(r->at - lag);
        error += d * d;
        level = std::max(level, r->flash);
      }
      if (error < bestError) bestError = error, bestLag = lag;
    }
    std::printf(
        "%5.1f-%5.1f s: clock minus heard music %+.2f ms median, %.2f ms p95; analysed sound minus heard %+.2f "
        "ms median, %.2f ms p95; flash matches the heard sound %+.1f ms later (flash up to %.4f, %zu readings)\n",
        from, to, 1000.0 * median(clock), 1000.0 * spread(clock), 1000.0 * median(analysis), 1000.0 * spread(analysis),
        1000.0 * bestLag, level, stretch.size());
  }
  return 0;
}
