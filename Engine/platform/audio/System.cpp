#include "platform/audio/System.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/Mixer.h"

namespace audio {

TestOverrides& testOverrides() {
  static TestOverrides overrides;
  return overrides;
}

Result System_Create(System** system) {
  if (!system) return Result::InvalidParam;
  *system = nullptr;
  if (testOverrides().createResult != Result::Ok) return testOverrides().createResult;
  *system = new (std::nothrow) System();
  return *system ? Result::Ok : Result::OutOfMemory;
}

System::System() : scratch_(Mixer::kHistoryFrames) {}

System::~System() {
  device_.reset();  // no more mixing from here on
  mixer_.reset();
  sounds_.clear();
  closeDriver();
}

Result System::release() {
  delete this;
  return Result::Ok;
}

Result System::getVersion(unsigned* version) {
  if (!version) return Result::InvalidParam;
  *version = testOverrides().version ? testOverrides().version : kLayerVersion;
  return Result::Ok;
}

namespace {
const OutputMethod* methodOf(OutputType type) {
  for (const OutputMethod& method : knownOutputMethods()) {
    if (method.type == type) return &method;
  }
  return nullptr;
}
}  // namespace

// SDL's audio driver for the current output: the one SDL picks (or SDL_AUDIODRIVER names)
// under auto detect, the named one otherwise, none for the layer's own outputs.
Result System::ensureDriver() {
  if (driverOpen_) return Result::Ok;
  if (output_ == OutputType::NoSound || output_ == OutputType::Offline) return Result::Ok;
  const OutputMethod* method = methodOf(output_);
  if (!method) return Result::OutputUnavailable;
  if (SDL_AudioInit(method->sdlDriver) != 0) {
    outputDetail_ = SDL_GetError();
    return Result::OutputInit;
  }
  driverOpen_ = true;
  return Result::Ok;
}

Result System::closeDriver() {
  if (driverOpen_) SDL_AudioQuit();
  driverOpen_ = false;
  return Result::Ok;
}

Result System::getNumDrivers(int* count) {
  if (!count) return Result::InvalidParam;
  *count = 0;
  // A machine whose audio library cannot start has no drivers; that is not a failure.
  if (ensureDriver() != Result::Ok || !driverOpen_) return Result::Ok;
  *count = std::max(0, SDL_GetNumAudioDevices(0));
  return Result::Ok;
}

Result System::getDriverInfo(int index, char* name, int nameLength, void*) {
  int count = 0;
  getNumDrivers(&count);
  if (index < 0 || index >= count || !name || nameLength < 1) return Result::InvalidParam;
  const char* deviceName = SDL_GetAudioDeviceName(index, 0);
  if (!deviceName) deviceName = "";
  std::strncpy(name, deviceName, static_cast<size_t>(nameLength) - 1);
  name[nameLength - 1] = '\0';
  return Result::Ok;
}

Result System::setDriver(int index) {
  if (initialised_) return Result::AlreadyInitialized;
  if (index < 0) return Result::InvalidParam;
  driver_ = index;
  return Result::Ok;
}

Result System::setOutput(OutputType output) {
  if (initialised_) return Result::AlreadyInitialized;
  if (!methodOf(output) && output != OutputType::Offline) return Result::OutputUnavailable;
  if (output == output_) return Result::Ok;
  closeDriver();
  output_ = output;
  return Result::Ok;
}

Result System::getOutput(OutputType* output) {
  if (!output) return Result::InvalidParam;
  *output = output_;
  return Result::Ok;
}

Result System::setSpeakerMode(SpeakerMode mode) {
  if (initialised_) return Result::AlreadyInitialized;
  if (mode < SpeakerMode::Default || mode > SpeakerMode::SevenPointOne) return Result::InvalidParam;
  speakerMode_ = mode;
  return Result::Ok;
}

Result System::getSpeakerMode(SpeakerMode* mode) {
  if (!mode) return Result::InvalidParam;
  *mode = speakerMode_;
  return Result::Ok;
}

Result System::init(int maxChannels, InitFlags, void*) {
  TestOverrides& overrides = testOverrides();
  ++overrides.initCalls;
  if (!overrides.initResults.empty()) {
    const Result forced = overrides.initResults.front();
    overrides.initResults.erase(overrides.initResults.begin());
    if (forced != Result::Ok) return forced;
  }
  if (initialised_) return Result::AlreadyInitialized;
  if (maxChannels < 1 || maxChannels > 4093) return Result::InvalidParam;
  if (analyser_.prepare(512) != Result::Ok) return Result::OutOfMemory;

  auto mixer = std::make_unique<Mixer>(maxChannels);
  outputDetail_.clear();
  if (output_ == OutputType::Offline) {
    outputDetail_ = "offline";
  } else if (output_ == OutputType::NoSound) {
    outputDetail_ = "no sound";
  } else {
    Result result = ensureDriver();
    if (result == Result::Ok) {
      int count = 0;
      getNumDrivers(&count);
      const char* device = driver_ < count ? SDL_GetAudioDeviceName(driver_, 0) : nullptr;
      auto sdl = std::make_unique<SdlOutput>();
      std::string detail;
      result = sdl->open(device, speakerMode_, mixer.get(), &detail);
      if (result == Result::Ok) {
        outputDetail_ = std::string(SDL_GetCurrentAudioDriver()) + ", " + (device ? device : "default device") + ", " +
                        std::to_string(sdl->channels()) + " channels, " +
                        std::to_string(static_cast<int>(std::lround(sdl->latency() * 1000.0))) + " ms latency";
        mixer_ = std::move(mixer);
        device_ = std::move(sdl);
        initialised_ = true;
        return Result::Ok;
      }
      outputDetail_ = detail;
      // Under auto detect a default-mode refusal still gets its stereo retry; only then
      // (or when there is no device at all) does the run fall back to silence.
      if (output_ != OutputType::AutoDetect || (speakerMode_ == SpeakerMode::Default && count > 0)) return result;
    } else if (output_ != OutputType::AutoDetect) {
      return result;
    }
    closeDriver();
    outputDetail_ = "no audio device (" + outputDetail_ + "), playing without sound";
    output_ = OutputType::NoSound;
  }
  mixer_ = std::move(mixer);
  if (output_ == OutputType::NoSound) device_ = std::make_unique<VirtualOutput>(mixer_.get());
  initialised_ = true;
  return Result::Ok;
}

Result System::update() { return initialised_ ? Result::Ok : Result::NotInitialized; }

Result System::createSound(const char* data, Mode mode, CreateSoundExInfo* info, Sound** sound) {
  if (!sound) return Result::InvalidParam;
  *sound = nullptr;
  if (!initialised_) return Result::NotInitialized;
  if (!(mode & kModeOpenMemoryPoint)) return Result::Unsupported;  // only memory streams here
  if (!data || !info || info->cbsize != static_cast<int>(sizeof(CreateSoundExInfo)) || info->length == 0) {
    return Result::InvalidParam;
  }
  std::unique_ptr<Sound> created(new Sound());
  created->system_ = this;
  const Result result = created->stream_.open(data, info->length);
  if (result != Result::Ok) return result;
  *sound = created.get();
  sounds_.push_back(std::move(created));
  return Result::Ok;
}

Result System::playSound(int channelIndex, Sound* sound, bool paused, Channel** channel) {
  if (channel) *channel = nullptr;
  if (!initialised_) return Result::NotInitialized;
  if (!sound || sound->system_ != this) return Result::InvalidHandle;
  if (channelIndex < kChannelFree || channelIndex >= mixer_->channelCount()) return Result::InvalidParam;

  std::lock_guard<std::mutex> guard(mixer_->lock());
  Channel* chosen = nullptr;
  if (channelIndex >= 0) {
    chosen = mixer_->channel(channelIndex);
  } else {
    for (int i = 0; i < mixer_->channelCount() && !chosen; ++i) {
      Channel* candidate = mixer_->channel(i);
      if (!candidate->sound_ || candidate->stopped_ || candidate->finished_) chosen = candidate;
    }
    for (int i = 0; i < mixer_->channelCount() && !chosen; ++i) {
      Channel* candidate = mixer_->channel(i);
      if (!chosen || candidate->serial_ < chosen->serial_) chosen = candidate;
    }
    if (!chosen) chosen = mixer_->channel(0);
  }
  // A stream has one decoder: it leaves the channel that played it before.
  if (sound->channel_ && sound->channel_ != chosen) {
    sound->channel_->sound_ = nullptr;
    sound->channel_->stopped_ = true;
  }
  if (chosen->sound_ && chosen->sound_ != sound) chosen->sound_->channel_ = nullptr;
  const Result rewound = sound->stream_.seek(0);
  if (rewound != Result::Ok) return rewound;
  chosen->paused_ = paused;
  mixer_->start(chosen, sound, ++serial_);
  sound->channel_ = chosen;
  if (channel) *channel = chosen;
  return Result::Ok;
}

Result System::getSpectrum(float* spectrum, int numValues, int channelOffset, FftWindow window) {
  if (!initialised_) return Result::NotInitialized;
  if (!spectrum || channelOffset < 0 || channelOffset > 1 || numValues < SpectrumAnalyser::kMinBands ||
      numValues > SpectrumAnalyser::kMaxBands) {
    return Result::InvalidParam;
  }
  mixer_->history(channelOffset, scratch_.data(), 2 * numValues);
  return analyser_.analyse(scratch_.data(), numValues, window, spectrum);
}

Result System::getWaveData(float* wave, int numValues, int channelOffset) {
  if (!initialised_) return Result::NotInitialized;
  if (!wave || channelOffset < 0 || channelOffset > 1 || numValues < 1 || numValues > Mixer::kHistoryFrames) {
    return Result::InvalidParam;
  }
  mixer_->history(channelOffset, wave, numValues);
  return Result::Ok;
}

Result System::renderFrames(float* out, int frames) {
  if (!initialised_) return Result::NotInitialized;
  if (output_ != OutputType::Offline) return Result::Unsupported;
  if (frames < 0) return Result::InvalidParam;
  mixer_->mix(out, frames, 2);
  return Result::Ok;
}

// Sound ------------------------------------------------------------------------------------

Result Sound::getLength(unsigned* length, TimeUnit unit) {
  if (!length) return Result::InvalidParam;
  const uint64_t frames = stream_.lengthFrames();
  if (unit == TimeUnit::Pcm)
    *length = static_cast<unsigned>(frames);
  else if (unit == TimeUnit::Ms)
    *length = static_cast<unsigned>(frames * 1000 / stream_.rate());
  else
    return Result::Unsupported;
  return Result::Ok;
}

Result Sound::getFormat(int* rate, int* channels) {
  if (rate) *rate = stream_.rate();
  if (channels) *channels = stream_.channels();
  return Result::Ok;
}

Result Sound::release() {
  System* owner = system_;
  {
    std::lock_guard<std::mutex> guard(owner->mixer_->lock());
    if (channel_) {
      channel_->sound_ = nullptr;
      channel_->stopped_ = true;
    }
  }
  auto& sounds = owner->sounds_;
  sounds.erase(std::remove_if(sounds.begin(), sounds.end(), [this](const auto& s) { return s.get() == this; }),
               sounds.end());
  return Result::Ok;
}

// Channel ----------------------------------------------------------------------------------

Result Channel::setPaused(bool paused) {
  if (stopped_) return Result::ChannelEnded;
  paused_ = paused;
  return Result::Ok;
}

Result Channel::getPaused(bool* paused) {
  if (!paused) return Result::InvalidParam;
  if (stopped_) return Result::ChannelEnded;
  *paused = paused_;
  return Result::Ok;
}

Result Channel::setPosition(unsigned position, TimeUnit unit) {
  std::lock_guard<std::mutex> guard(mixer_->lock());
  if (stopped_ || !sound_) return Result::ChannelEnded;
  uint64_t frame = position;
  if (unit == TimeUnit::Ms) {
    // Rounded up, so that reading the position back in milliseconds gives the same number.
    const uint64_t rate = static_cast<uint64_t>(sound_->stream_.rate());
    frame = (static_cast<uint64_t>(position) * rate + 999) / 1000;
  } else if (unit != TimeUnit::Pcm) {
    return Result::Unsupported;
  }
  return mixer_->seek(this, frame);
}

Result Channel::getPosition(unsigned* position, TimeUnit unit) {
  if (!position) return Result::InvalidParam;
  std::lock_guard<std::mutex> guard(mixer_->lock());
  if (stopped_ || !sound_) return Result::ChannelEnded;
  const uint64_t frame = frame_;
  if (unit == TimeUnit::Pcm)
    *position = static_cast<unsigned>(frame);
  else if (unit == TimeUnit::Ms)
    *position = static_cast<unsigned>(frame * 1000 / sound_->stream_.rate());
  else
    return Result::Unsupported;
  return Result::Ok;
}

Result Channel::getHeardPosition(double* seconds) {
  if (!seconds) return Result::InvalidParam;
  if (stopped_) return Result::ChannelEnded;
  return mixer_->heardPosition(this, seconds) ? Result::Ok : Result::InvalidPosition;
}

Result Channel::setVolume(float volume) {
  if (stopped_) return Result::ChannelEnded;
  if (!(volume >= 0.0f)) volume = 0.0f;  // also NaN
  volume_ = std::min(volume, 1.0f);
  return Result::Ok;
}

Result Channel::getVolume(float* volume) {
  if (!volume) return Result::InvalidParam;
  if (stopped_) return Result::ChannelEnded;
  *volume = volume_;
  return Result::Ok;
}

Result Channel::isPlaying(bool* playing) {
  if (!playing) return Result::InvalidParam;
  std::lock_guard<std::mutex> guard(mixer_->lock());
  *playing = sound_ && !stopped_ && !finished_;
  return Result::Ok;
}

Result Channel::stop() {
  std::lock_guard<std::mutex> guard(mixer_->lock());
  if (stopped_) return Result::ChannelEnded;
  stopped_ = true;
  if (sound_) sound_->channel_ = nullptr;
  sound_ = nullptr;
  return Result::Ok;
}

}  // namespace audio
