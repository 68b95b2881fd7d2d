// Fuzz target: music bytes through the sound layer as the player uses it: an offline system
// streams them from memory, plays them, mixes a stretch, seeks into the middle and mixes
// again, and takes the spectrum and wave data.
#include "FuzzSupport.h"
#include "platform/audio/Channel.h"
#include "platform/audio/Sound.h"
#include "platform/audio/System.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  audio::System* system = nullptr;
  if (audio::System_Create(&system) != audio::Result::Ok) __builtin_trap();
  system->setOutput(audio::OutputType::Offline);
  audio::CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = static_cast<unsigned>(size);
  audio::Sound* music = nullptr;
  audio::Channel* channel = nullptr;
  if (system->init(1, audio::kInitNormal, nullptr) == audio::Result::Ok &&
      system->createSound(reinterpret_cast<const char*>(data),
                          audio::kModeSoftware | audio::kModeCreateStream | audio::kModeAccurateTime |
                              audio::kModeOpenMemoryPoint,
                          &info, &music) == audio::Result::Ok &&
      system->playSound(audio::kChannelFree, music, false, &channel) == audio::Result::Ok) {
    system->renderFrames(nullptr, 2048);
    unsigned length = 0;
    music->getLength(&length, audio::TimeUnit::Pcm);
    channel->setPosition(length / 2, audio::TimeUnit::Pcm);
    system->renderFrames(nullptr, 2048);
    float values[512];
    system->getSpectrum(values, 512, 0, audio::FftWindow::Rect);
    system->getWaveData(values, 512, 1);
  }
  system->release();
  return 0;
}
