#include "sound/Sound.h"

#include <algorithm>
#include <cmath>

#include "platform/MessageBox.h"
#include "platform/audio/Mixer.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"

namespace {
void errorBox(const std::string& text, const char* caption) {
  platform::showMessageBox(text, caption, platform::MessageIcon::Error);
}
}  // namespace

// Brings an offline mix to `seconds`: what playback would have mixed by then. A small step
// forward mixes just the frames in between, so the mixer's history (spectrum, wave data)
// is that of continuous playback; a jump (or a step back) repositions the voice and mixes
// the 2 x kBands frames before the time, silence before the start. `mixed` counts the
// frames mixed so far on the output's clock.
void Sound::mixUpTo(audio::System* system, audio::Channel* voice, int rate, double seconds, int64_t& mixed) {
  constexpr int64_t kWindow = 2 * kBands;
  const int64_t end = seconds > 0.0 ? static_cast<int64_t>(seconds * audio::Mixer::kRate + 1e-6) : 0;
  if (end >= mixed && end - mixed <= kWindow) {
    if (end > mixed) system->renderFrames(nullptr, static_cast<int>(end - mixed));
    mixed = end;
    return;
  }
  const int64_t frames = std::min(end, kWindow);
  const int64_t start = (end - frames) * rate / audio::Mixer::kRate;
  voice->setPosition(static_cast<unsigned>(start), audio::TimeUnit::Pcm);
  system->renderFrames(nullptr, static_cast<int>(frames));
  mixed = end;
}

Sound::Sound(Runtime* runtime) : engine(runtime) {}

std::string Sound::musicError(audio::Result result) const {
  std::string text = audio::errorString(result);
  // What is wrong with the music's data names the file it came from.
  if (result == audio::Result::NotVorbis || result == audio::Result::DamagedStream ||
      result == audio::Result::UnsupportedStream)
    text += "\n\n" + musicMember + " in " + engine->loader->archivePath;
  return text;
}

Sound::~Sound() {
  // The stream reads the music block until the system stops mixing: system first.
  if (system) system->release();
}

std::vector<SoundOutputChoice> Sound::outputMethods() {
  std::vector<SoundOutputChoice> choices;
  for (const audio::OutputMethod& method : audio::outputMethods()) {
    choices.push_back({method.label, static_cast<int>(method.type)});
  }
  return choices;
}

int Sound::spectrumAt(const char* data, uint32_t size, double seconds, float* bands, std::string* error) {
  using audio::Result;
  audio::System* offline = nullptr;
  Result result = audio::System_Create(&offline);
  if (result != Result::Ok) {
    *error = audio::errorString(result);
    return 1;
  }
  std::unique_ptr<audio::System, void (*)(audio::System*)> owner(offline, [](audio::System* s) { s->release(); });
  offline->setOutput(audio::OutputType::Offline);
  audio::CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = size;
  audio::Sound* track = nullptr;
  audio::Channel* voice = nullptr;
  result = offline->init(1, audio::kInitNormal, nullptr);
  if (result == Result::Ok) {
    result = offline->createSound(
        data, audio::kModeSoftware | audio::kModeCreateStream | audio::kModeAccurateTime | audio::kModeOpenMemoryPoint,
        &info, &track);
  }
  if (result == Result::Ok) result = offline->playSound(audio::kChannelFree, track, false, &voice);
  if (result != Result::Ok) {
    *error = audio::errorString(result);
    return 1;
  }
  unsigned lengthMs = 0;
  int rate = 0;
  track->getLength(&lengthMs, audio::TimeUnit::Ms);
  track->getFormat(&rate, nullptr);
  if (!(seconds >= 0.0) || seconds * 1000.0 > lengthMs) {
    *error = "the time is outside the music (0 to " + std::to_string(lengthMs / 1000.0) + " s)";
    return 1;
  }
  int64_t mixed = 0;
  mixUpTo(offline, voice, rate, seconds, mixed);
  float right[kBands];
  offline->getSpectrum(bands, kBands, 0, audio::FftWindow::Rect);
  offline->getSpectrum(right, kBands, 1, audio::FftWindow::Rect);
  for (int i = 0; i < kBands; ++i) bands[i] = (right[i] + bands[i]) * 0.5f;
  return 0;
}

int Sound::createSystem(const char* caption) {
  lastResult = audio::System_Create(&system);
  if (lastResult != audio::Result::Ok) {
    system = nullptr;
    errorBox(audio::errorString(lastResult), caption);
    return 1;
  }
  unsigned version = 0;
  lastResult = system->getVersion(&version);
  std::string failure;
  if (lastResult != audio::Result::Ok)
    failure = audio::errorString(lastResult);
  else if (version < kMinimumVersion)
    failure = "You are using too old FMOD version, please upgrade.";
  if (!failure.empty()) {
    system->release();
    system = nullptr;
    errorBox(failure, caption);
    return 1;
  }
  return 0;
}

int Sound::getDeviceName(std::vector<std::string>& drivers) {
  if (!system && createSystem("Sound::getDeviceName") != 0) return 1;
  int count = 0;
  lastResult = system->getNumDrivers(&count);
  if (lastResult != audio::Result::Ok) {
    errorBox(audio::errorString(lastResult), "Sound::getDeviceName");
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    char name[128] = {};
    system->getDriverInfo(i, name, sizeof(name), nullptr);
    drivers.push_back(name);
    *engine->logger << "sounddriver: " << name << "\n";
  }
  return 0;
}

int Sound::init() {
  if (!system && createSystem("Sound::init") != 0) return 1;

  const UserConfig& config = engine->screen->config;
  auto output = static_cast<audio::OutputType>(config.soundOutput);
  const std::string& forced = programOptions().soundOutput;
  if (!forced.empty() && !audio::outputTypeFromName(forced, &output)) {
    std::string names;
    for (const audio::OutputMethod& method : audio::knownOutputMethods()) {
      names += std::string(names.empty() ? "" : ", ") + method.name;
    }
    errorBox("Unknown sound output method \"" + forced + "\" (known: " + names + ").", "Sound::init");
    return 1;
  }
  // Capture and --shot render demo time, not wall time: the mix follows that time through
  // advanceTo() instead of a device, so the spectrum and the beat flash match each frame.
  followsDemoTime = demoTimeWanted || config.captureEnabled || programOptions().shotTime.has_value();
  if (followsDemoTime) output = audio::OutputType::Offline;
  system->setDriver(config.soundDriver);
  system->setOutput(output);

  // No output method of this platform takes driver data (the window handle was for
  // DirectSound alone).
  lastResult = system->init(1, audio::kInitNormal, nullptr);
  if (lastResult == audio::Result::OutputCreateBuffer) {
    system->setSpeakerMode(audio::SpeakerMode::Stereo);
    lastResult = system->init(1, audio::kInitNormal, nullptr);
  }
  if (lastResult != audio::Result::Ok) {
    *engine->logger << " sound init: " << system->outputDetail() << "\n";
    errorBox(audio::errorString(lastResult), "Sound::init");
    return 1;
  }
  *engine->logger << "sound output: " << system->outputDetail() << "\n";

  if (musicMember.empty()) {
    *engine->logger << "sound init: the production has no music\n";
    return 0;
  }
  const uint32_t size = engine->loader->getSize(musicMember);
  if (size == 0) {
    *engine->logger << " sound init: no data.\n";
    // The loader's line says whether the music is missing, empty or too large.
    errorBox("The music cannot be read from the data archive " + engine->loader->archivePath + ":\n" +
                 engine->logger->recentLines(2),
             "Sound::init");
    return 1;
  }
  musicData.reset(new char[size]);
  if (engine->loader->read(musicMember, musicData.get()) != 0) return 1;

  createInfo = audio::CreateSoundExInfo{};
  createInfo.cbsize = sizeof(createInfo);
  createInfo.length = size;
  lastResult = system->createSound(
      musicData.get(),
      audio::kModeSoftware | audio::kModeCreateStream | audio::kModeAccurateTime | audio::kModeOpenMemoryPoint,
      &createInfo, &music);
  if (lastResult != audio::Result::Ok) {
    errorBox(musicError(lastResult), "Sound::init");
    return 1;
  }
  music->getFormat(&musicRate, nullptr);  // the stream's own rate, for advanceTo()'s seeks
  loaded = true;
  return 0;
}

void Sound::play() {
  if (!loaded) return;
  lastResult = system->playSound(audio::kChannelFree, music, false, &channel);
  if (lastResult != audio::Result::Ok) errorBox(audio::errorString(lastResult), "Sound::play");
}

void Sound::advanceTo(double seconds) {
  if (!loaded || !followsDemoTime || !channel) return;
  mixUpTo(system, channel, musicRate, seconds, mixedFrames);
}

void Sound::update() {
  if (!loaded) return;
  lastResult = system->update();
  if (lastResult != audio::Result::Ok) errorBox(musicError(lastResult), "Sound::update");
}

float* Sound::getSpectrum() {
  if (!loaded) return spectrumLeft;
  system->getSpectrum(spectrumLeft, kBands, 0, audio::FftWindow::Rect);
  system->getSpectrum(spectrumRight, kBands, 1, audio::FftWindow::Rect);
  // Averaged in place: the demo keeps this pointer.
  for (int i = 0; i < kBands; ++i) spectrumLeft[i] = (spectrumRight[i] + spectrumLeft[i]) * 0.5f;
  return spectrumLeft;
}

float* Sound::getWaveData() {
  if (!loaded) return spectrumLeft;
  system->getWaveData(waveData, kWaveValues, 0);
  return waveData;
}

int Sound::getHeardTime(double* seconds) {
  if (!loaded || !channel || followsDemoTime) return 1;
  double heard = 0.0;
  if (channel->getHeardPosition(&heard) != audio::Result::Ok) return 1;
  // For the output's latency after a seek, what is heard is still what came before it.
  if (seekTarget >= 0.0) {
    const bool reached = heard >= seekTarget - 0.002 && heard < seekTarget + 0.25;
    if (!reached && audio::Mixer::steadySeconds() - seekAt < 1.0) return 1;
    seekTarget = -1.0;
  }
  *seconds = heard;
  return 0;
}

// The channel operations: nothing before the music is loaded, nothing either while no
// channel has been started (play failed), and the layer's results are not needed.
void Sound::pause() {
  if (loaded && channel) channel->setPaused(true);
}

void Sound::resume() {
  if (loaded && channel) channel->setPaused(false);
}

void Sound::seek(double seconds) {
  if (!loaded || !channel) return;
  const double ms = seconds * 1000.0;
  // Truncated toward zero; a negative time is the start, not a huge unsigned number.
  channel->setPosition(ms > 0.0 ? static_cast<unsigned>(ms) : 0u, audio::TimeUnit::Ms);
  seekTarget = ms > 0.0 ? std::floor(ms) / 1000.0 : 0.0;
  seekAt = audio::Mixer::steadySeconds();
}

void Sound::setVolume(float volume) {
  if (loaded && channel) channel->setVolume(volume);
}

float Sound::getVolume() {
  float volume = 0.0f;
  if (loaded && channel) channel->getVolume(&volume);
  return volume;
}

void Sound::stop() {
  if (loaded && channel) channel->stop();
}
