#include "platform/audio/Output.h"

#include <SDL.h>
#include <strings.h>
#ifdef __EMSCRIPTEN__
#include <emscripten/eventloop.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/Clock.h"
#include "platform/audio/Mixer.h"

namespace audio {

const std::vector<OutputMethod>& knownOutputMethods() {
  static const std::vector<OutputMethod> methods{
      {OutputType::AutoDetect, "Auto detect best method", "auto", nullptr},
      {OutputType::PipeWire, "PipeWire", "pipewire", "pipewire"},
      {OutputType::PulseAudio, "PulseAudio", "pulseaudio", "pulseaudio"},
      {OutputType::Alsa, "ALSA", "alsa", "alsa"},
      {OutputType::Jack, "JACK", "jack", "jack"},
      {OutputType::Sndio, "sndio", "sndio", "sndio"},
      {OutputType::Oss, "OSS", "oss", "dsp"},
      {OutputType::NoSound, "No Sound", "nosound", nullptr},
  };
  return methods;
}

std::vector<OutputMethod> outputMethods() {
  std::vector<OutputMethod> offered;
  for (const OutputMethod& method : knownOutputMethods()) {
    bool available = !method.sdlDriver;
    for (int i = 0; method.sdlDriver && i < SDL_GetNumAudioDrivers(); ++i) {
      if (std::strcmp(SDL_GetAudioDriver(i), method.sdlDriver) == 0) available = true;
    }
    if (available) offered.push_back(method);
  }
  return offered;
}

bool outputTypeFromName(const std::string& name, OutputType* type) {
  for (const OutputMethod& method : knownOutputMethods()) {
    if (strcasecmp(name.c_str(), method.name) == 0) {
      *type = method.type;
      return true;
    }
  }
  return false;
}

namespace {
int channelsOf(SpeakerMode mode) {
  switch (mode) {
    case SpeakerMode::Mono:
      return 1;
    case SpeakerMode::Quad:
      return 4;
    case SpeakerMode::Surround:
      return 5;
    case SpeakerMode::FivePointOne:
      return 6;
    case SpeakerMode::SevenPointOne:
      return 8;
    case SpeakerMode::Default:
    case SpeakerMode::Stereo:
      return 2;
  }
  return 2;
}
}  // namespace

Result SdlOutput::open(const char* device, SpeakerMode mode, Mixer* mixer, std::string* detail) {
  mixer_ = mixer;
  SDL_AudioSpec wanted{};
  wanted.freq = Mixer::kRate;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = static_cast<Uint8>(channelsOf(mode));
  wanted.samples = 1024;
  wanted.callback = callback;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  // In the default mode the device may choose its channel count; a fixed mode gets exactly
  // what it asks for, with SDL converting behind the scenes.
  const int changes = mode == SpeakerMode::Default ? SDL_AUDIO_ALLOW_CHANNELS_CHANGE : 0;
  platform::UnpinnedScope unpinned;  // the mixing thread starts here
  id_ = SDL_OpenAudioDevice(device, 0, &wanted, &obtained, changes);
  if (id_ == 0) {
    if (detail) *detail = SDL_GetError();
    return Result::OutputCreateBuffer;
  }
  channels_ = obtained.channels;
  latency_ = latencyOf(SDL_GetCurrentAudioDriver(), static_cast<double>(obtained.samples) / std::max(obtained.freq, 1),
                       std::getenv("PYLON_AUDIO_LATENCY_MS"));
  SDL_PauseAudioDevice(id_, 0);
  return Result::Ok;
}

SdlOutput::~SdlOutput() {
  if (id_) SDL_CloseAudioDevice(id_);  // waits for the callback to return
}

double SdlOutput::latencyOf(const char* driver, double bufferSeconds, const char* extraMilliseconds) {
  const bool direct = driver && (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0);
  double latency = direct ? 0.0 : bufferSeconds;
  if (extraMilliseconds) {
    char* end = nullptr;
    const double extra = std::strtod(extraMilliseconds, &end);
    if (end != extraMilliseconds && *end == '\0' && std::isfinite(extra) && extra >= 0.0 && extra <= 300.0)
      latency += extra / 1000.0;
  }
  return latency;
}

void SdlOutput::callback(void* self, uint8_t* stream, int length) {
  auto* output = static_cast<SdlOutput*>(self);
  const int frames = length / static_cast<int>(sizeof(float) * output->channels_);
  const int64_t first = output->mixer_->mix(reinterpret_cast<float*>(stream), frames, output->channels_);
  // The buffer leaves for the device when the callback returns, and is heard after the
  // buffers queued before it.
  output->mixer_->noteHeard(first, Mixer::steadySeconds() + output->latency_);
}

#ifdef __EMSCRIPTEN__
VirtualOutput::VirtualOutput(Mixer* mixer) : mixer_(mixer) {
  beginSeconds_ = Mixer::steadySeconds();
  interval_ = emscripten_set_interval([](void* self) { static_cast<VirtualOutput*>(self)->step(); }, 5.0, this);
}

VirtualOutput::~VirtualOutput() {
  quit_ = true;
  emscripten_clear_interval(interval_);
}

void VirtualOutput::run() {}

void VirtualOutput::step() {
  constexpr int64_t kMaxLag = Mixer::kRate / 4;
  const int64_t due = static_cast<int64_t>((Mixer::steadySeconds() - beginSeconds_) * Mixer::kRate);
  if (due - mixed_ > kMaxLag) mixed_ = due - kMaxLag;
  while (mixed_ + Mixer::kChunkFrames / 2 <= due) {
    const int frames = static_cast<int>(std::min<int64_t>(due - mixed_, Mixer::kChunkFrames));
    const int64_t first = mixer_->mix(nullptr, frames, 2);
    mixer_->noteHeard(first, beginSeconds_ + static_cast<double>(mixed_) / Mixer::kRate);
    mixed_ += frames;
  }
}
#else
VirtualOutput::VirtualOutput(Mixer* mixer) : mixer_(mixer), thread_([this] { run(); }) {}

VirtualOutput::~VirtualOutput() {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void VirtualOutput::run() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point begin = Clock::now();
  const double beginSeconds = std::chrono::duration<double>(begin.time_since_epoch()).count();
  int64_t mixed = 0;
  // A stall longer than this (a stopped process, a suspended machine) is not made up
  // afterwards: the music waits, as a sound card would.
  constexpr int64_t kMaxLag = Mixer::kRate / 4;
  std::unique_lock<std::mutex> guard(wakeLock_);
  while (!quit_) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    const int64_t due = static_cast<int64_t>(elapsed * Mixer::kRate);
    if (due - mixed > kMaxLag) mixed = due - kMaxLag;
    guard.unlock();
    while (mixed + Mixer::kChunkFrames / 2 <= due) {
      const int frames = static_cast<int>(std::min<int64_t>(due - mixed, Mixer::kChunkFrames));
      // These frames are due now: heard, on this clock, when they were due.
      const int64_t first = mixer_->mix(nullptr, frames, 2);
      mixer_->noteHeard(first, beginSeconds + static_cast<double>(mixed) / Mixer::kRate);
      mixed += frames;
    }
    guard.lock();
    wake_.wait_for(guard, std::chrono::milliseconds(5), [this] { return quit_; });
  }
}
#endif

}  // namespace audio
