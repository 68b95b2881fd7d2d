// Mixer: sums the playing channels into stereo and keeps what it played.
//
// Made by System::init with the system's channels, destroyed by System::release after the
// output has stopped calling it. mix() runs on the output's thread (SDL's audio thread, or
// the silent output's clock thread) and holds lock() while it decodes; the main thread's
// channel calls take the same lock. The last kHistoryFrames frames it produced sit in a
// ring behind a second, short lock, so that history() hands the main thread a consistent
// copy without waiting for a decode. Nothing is allocated after construction.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/Channel.h"

namespace audio {

class Mixer {
 public:
  static constexpr int kRate = 44100;           // the mix's rate, whatever the streams' rates
  static constexpr int kHistoryFrames = 16384;  // enough for the largest spectrum
  static constexpr int kChunkFrames = 1024;     // frames mixed per step

  explicit Mixer(int channelCount);
  ~Mixer();

  // Fills `frames` frames of `outChannels` interleaved floats (-1 … 1). Output thread.
  void mix(float* out, int frames, int outChannels);

  // Copies the last `count` samples of side `side` (0 left, 1 right), oldest first.
  void history(int side, float* destination, int count);

  std::mutex& lock() { return lock_; }
  int channelCount() const { return static_cast<int>(channels_.size()); }
  Channel* channel(int index) { return channels_[index].get(); }

  // Binds `channel` to `sound` at its start (mixer lock held by the caller).
  void start(Channel* channel, Sound* sound, uint64_t serial);
  // Moves a bound channel to `frame` of its stream (mixer lock held by the caller).
  Result seek(Channel* channel, uint64_t frame);

 private:
  void mixChunk(int frames);
  void pull(Channel& channel, int frames);

  std::mutex lock_;
  std::vector<std::unique_ptr<Channel>> channels_;
  std::vector<float> sum_;      // the chunk being mixed, stereo interleaved
  std::vector<float> decoded_;  // one channel's decoded frames, stereo interleaved

  std::mutex historyLock_;
  std::array<std::vector<float>, 2> history_;
  int historyWrite_ = 0;  // next slot of the ring
};

}  // namespace audio
