// Output: the ways the mixed music leaves the program, and the devices that carry it.
//
// The output types keep the two values every platform shares: 0 "Auto detect best method"
// and 2 "No Sound". The methods of Windows (DirectSound, Windows Multimedia, ASIO, ...)
// mean nothing here; in their place this layer offers the sound servers and driver
// interfaces of the platform, each carried by the SDL audio driver of the same kind
// (PipeWire, PulseAudio, ALSA, JACK, sndio, OSS). outputMethods() lists what the SDL
// library on this machine was built with, in the order a settings dialog shows them.
//
// "No Sound" still plays: a clock thread of the layer's own pulls the mix in real time and
// drops it, so positions, spectrum and wave data behave as with a sound card. Offline pulls
// nothing by itself: the mix advances only through System::renderFrames (tools, tests).
//
// The devices are made and destroyed by System; nothing here is for direct use by the
// engine beyond the type values and the method list.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/Result.h"
#include "platform/audio/Types.h"

namespace audio {

class Mixer;

enum class OutputType : int {
  AutoDetect = 0,
  NoSound = 2,
  Offline = 3,
  PipeWire = 20,
  PulseAudio = 21,
  Alsa = 22,
  Jack = 23,
  Sndio = 24,
  Oss = 25,
};

struct OutputMethod {
  OutputType type;
  const char* label;      // the text a settings dialog shows
  const char* name;       // the name --sound-output takes
  const char* sdlDriver;  // SDL's driver, null for the layer's own outputs and auto detect
};

// Auto detect, the platform methods SDL offers here, then No Sound.
std::vector<OutputMethod> outputMethods();

// Every method this layer knows, offered here or not (Offline is not among them).
const std::vector<OutputMethod>& knownOutputMethods();

// The method called `name` (as --sound-output takes it, any letter case); false if none.
bool outputTypeFromName(const std::string& name, OutputType* type);

// A device that calls the mixer on a thread of its own until destroyed.
class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
};

// An SDL audio device; mix() runs on SDL's audio thread.
class SdlOutput : public OutputDevice {
 public:
  ~SdlOutput() override;
  // `device` null for the default device. OutputCreateBuffer when the device refuses.
  Result open(const char* device, SpeakerMode mode, Mixer* mixer, std::string* detail);
  int channels() const { return channels_; }
  // Seconds from the moment a buffer is mixed to the moment its first frame is heard.
  double latency() const { return latency_; }

  // The latency of an SDL driver whose buffers last `bufferSeconds`: a sound server or a
  // card queues one more buffer behind the one being filled ("disk" and "dummy" consume
  // each buffer as it is written), plus PYLON_AUDIO_LATENCY_MS milliseconds when set, for
  // a sound server known to add more (Bluetooth, a long PipeWire quantum).
  static double latencyOf(const char* driver, double bufferSeconds, const char* extraMilliseconds);

 private:
  static void callback(void* self, uint8_t* stream, int length);
  Mixer* mixer_ = nullptr;
  uint32_t id_ = 0;
  int channels_ = 2;
  double latency_ = 0.0;
};

// The silent real-time output: mixes at the mix rate by the steady clock and drops the result.
class VirtualOutput : public OutputDevice {
 public:
  explicit VirtualOutput(Mixer* mixer);
  ~VirtualOutput() override;

 private:
  void run();
  Mixer* mixer_;
#ifdef __EMSCRIPTEN__
  // A page has no threads: an interval timer pulls the mix instead (one step per call).
  void step();
  long interval_ = 0;
  double beginSeconds_ = 0.0;
  int64_t mixed_ = 0;
#endif
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace audio
