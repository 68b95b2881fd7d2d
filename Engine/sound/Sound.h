// Sound: plays the production's music from the archive and hands out its spectrum.
//
// Owned by Runtime, constructed empty. getDeviceName() creates the sound system and lists
// the output drivers before the start-up dialog; init() (after Screen::init) opens the
// chosen output and the music stream from a block read whole from the archive; play()
// starts it when loading has finished; update(), getSpectrum() and getWaveData() run every
// frame; the channel operations serve the tweak bars and the end of the program. Every
// playback operation does nothing while `loaded` is false. Main thread only: the mixing
// runs on the audio layer's own thread, which hands over its data under its own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/System.h"

class Runtime;

// One entry of the dialog's output method list: its text and the output type it stores.
struct SoundOutputChoice {
  std::string text;
  int value;
};

class Sound {
 public:
  static constexpr unsigned kMinimumVersion = 0x00042207;
  static constexpr int kBands = 512;
  static constexpr int kWaveValues = 256;
  static constexpr int kArrayLength = 8192;
  // Veltro 12's music, which its production file names.
  static constexpr const char* kMusicPath = "music/ambient_adventure_by_tessar.ogg";
  // The member init() plays, set from the production before it; "" for a silent
  // production, which init() accepts without loading anything (the clock alone drives it).
  std::string musicMember = kMusicPath;

  explicit Sound(Runtime* runtime);
  ~Sound();
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;

  int getDeviceName(std::vector<std::string>& drivers);
  int init();
  void play();
  void update();
  // Capture and --shot only (followsDemoTime): mixes the music up to demo time `seconds`,
  // so that getSpectrum() and getWaveData() describe that instant. Does nothing otherwise.
  void advanceTo(double seconds);
  float* getSpectrum();
  float* getWaveData();
  // The time in the music of what is being heard now (the output's latency taken off what
  // has been mixed). 0 with the time in `seconds`; 1 while nothing of it is heard (not
  // started, paused, ended, or no real-time output: capture and --shot follow demo time).
  int getHeardTime(double* seconds);

  void pause();
  void resume();
  void seek(double seconds);
  void setVolume(float volume);
  float getVolume();
  void stop();

  // The output methods this machine offers, in the dialog's order: "Auto detect best
  // method" (0) first, "No Sound" (2) last, the platform's methods between.
  static std::vector<SoundOutputChoice> outputMethods();

  // The kBands values getSpectrum() would hand out `seconds` into the music held in `data`,
  // worked out without a device: the same decoder, mixer and analysis on the offline output.
  // 0 on success; 1 with the reason in `error` (a damaged file, a time past the end).
  static int spectrumAt(const char* data, uint32_t size, double seconds, float* bands, std::string* error);

  Runtime* engine = nullptr;
  audio::System* system = nullptr;
  audio::Sound* music = nullptr;
  audio::Channel* channel = nullptr;
  audio::Result lastResult = audio::Result::Ok;
  audio::CreateSoundExInfo createInfo{};
  bool loaded = false;
  bool followsDemoTime = false;  // offline output driven by advanceTo()
  // Set before init() by a tool that steps demo time itself (bench_timeline), so that the
  // spectrum and the beat flash of each frame are those of its instant, run after run.
  bool demoTimeWanted = false;
  int64_t mixedFrames = 0;
  double seekTarget = -1.0, seekAt = 0.0;  // the last seek, until it is heard (getHeardTime)
  int musicRate = 44100;
  float spectrumLeft[kArrayLength] = {};
  float spectrumRight[kArrayLength] = {};
  float waveData[kArrayLength] = {};

 private:
  int createSystem(const char* caption);
  // The layer's text for `result`; for a fault of the music's data, with the file named.
  std::string musicError(audio::Result result) const;
  static void mixUpTo(audio::System* system, audio::Channel* voice, int rate, double seconds, int64_t& mixed);
  std::unique_ptr<char[]> musicData;  // the stream reads it until the end of the run
};
