// System: the audio layer's entry point, shaped like the sound system the engine was
// written against: create, pick driver and output, init, create sounds, play them on
// channels, read the spectrum and the wave data of what was played.
//
// Lifecycle: System_Create → (getNumDrivers / getDriverInfo / setDriver / setOutput /
// setSpeakerMode) → init → createSound / playSound / update / getSpectrum / getWaveData …
// → release. Drivers are the devices of the current output method's SDL driver. init
// opens the output: an SDL audio device (the mix then runs on SDL's audio thread), or the
// silent real-time output for No Sound, or nothing for Offline. Under auto detect, a
// machine without any usable audio device gets the silent output; outputDetail() says why.
//
// Every call is for the main thread. The mixing thread and the main thread share state
// only through the mixer's locks and atomics, so getSpectrum/getWaveData always see a
// whole block of what was played, never a half-written one. Only one System with an SDL
// device should exist at a time (SDL has one audio driver per process).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/audio/Channel.h"
#include "platform/audio/Output.h"
#include "platform/audio/Result.h"
#include "platform/audio/Sound.h"
#include "platform/audio/SpectrumAnalyser.h"
#include "platform/audio/Types.h"

namespace audio {

class Mixer;

class System {
 public:
  Result release();  // stops the output, then frees every sound and channel

  Result getVersion(unsigned* version);
  Result getNumDrivers(int* count);
  Result getDriverInfo(int index, char* name, int nameLength, void* guid);
  Result setDriver(int index);
  Result setOutput(OutputType output);
  Result getOutput(OutputType* output);  // after init: the output really in use
  Result setSpeakerMode(SpeakerMode mode);
  Result getSpeakerMode(SpeakerMode* mode);
  Result init(int maxChannels, InitFlags flags, void* extraDriverData);
  Result update();

  // `data` is the memory block (with kModeOpenMemoryPoint; info->length its size).
  Result createSound(const char* data, Mode mode, CreateSoundExInfo* info, Sound** sound);
  Result playSound(int channelIndex, Sound* sound, bool paused, Channel** channel);

  // `numValues` bands (a power of two, 64 … 8192) of the last 2 × numValues frames heard
  // on side `channelOffset` (0 left, 1 right): up to the frame leaving the speakers now, not
  // the last one mixed, which is still in the output's buffers.
  Result getSpectrum(float* spectrum, int numValues, int channelOffset, FftWindow window);
  // The last `numValues` samples (up to 16384) heard on side `channelOffset`.
  Result getWaveData(float* wave, int numValues, int channelOffset);

  // Offline output only: mixes `frames` frames now; `out` (stereo interleaved) may be null.
  Result renderFrames(float* out, int frames);

  // What init found: the output in use and, where it fell back or failed, why.
  const std::string& outputDetail() const { return outputDetail_; }

 private:
  friend Result System_Create(System** system);
  friend class Sound;
  System();
  ~System();
  Result ensureDriver();
  Result closeDriver();

  OutputType output_ = OutputType::AutoDetect;
  SpeakerMode speakerMode_ = SpeakerMode::Default;
  int driver_ = 0;
  bool driverOpen_ = false;  // SDL's audio driver for output_ is initialised
  bool initialised_ = false;
  uint64_t serial_ = 0;
  std::string outputDetail_;
  std::unique_ptr<Mixer> mixer_;
  std::unique_ptr<OutputDevice> device_;
  std::vector<std::unique_ptr<Sound>> sounds_;
  SpectrumAnalyser analyser_;
  std::vector<float> scratch_;
};

Result System_Create(System** system);

// Tests only: makes the layer answer the way a failing machine would.
struct TestOverrides {
  Result createResult = Result::Ok;  // what System_Create returns (no system made)
  unsigned version = 0;              // non-zero: what getVersion reports
  std::vector<Result> initResults;   // results of the next init calls, taken in order
  int initCalls = 0;                 // init calls made so far
};
TestOverrides& testOverrides();

}  // namespace audio
