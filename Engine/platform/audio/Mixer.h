// Mixer: sums the playing channels into stereo and keeps what it played.
//
// Made by System::init with the system's channels, destroyed by System::release after the
// output has stopped calling it. mix() runs on the output's thread (SDL's audio thread, or
// the silent output's clock thread) and holds lock() while it decodes; the main thread's
// channel calls take the same lock. The last kHistoryFrames frames it produced sit in a
// ring behind a second, short lock, so that history() hands the main thread a consistent
// copy without waiting for a decode. Nothing is allocated after construction.
//
// What is heard lags what is mixed by the output's buffers. The output tells the mixer
// (noteHeard) when the first frame of each buffer is heard, on the steady clock; from the
// recent buffers the mixer
// estimates which output frame is being heard now, and the chunk records say which frame
// of each channel's stream that output frame carries. history() and heardPosition() work
// from that frame, so the analysis and the clock follow the sound as it leaves the speakers.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/Channel.h"

namespace audio {

class Mixer {
 public:
  static constexpr int kRate = 44100;                            // the mix's rate, whatever the streams' rates
  static constexpr int kHistoryFrames = 32768;                   // the largest spectrum, up to 370 ms back
  static constexpr int kChunkFrames = 1024;                      // frames mixed per step
  static constexpr int kLatencyFrames = kHistoryFrames - 16384;  // the longest lag followed
  static constexpr int kTimings = 128;                           // mix() calls remembered
  static constexpr int kChunkRecords = 256;                      // chunks remembered

  explicit Mixer(int channelCount);
  ~Mixer();

  // Fills `frames` frames of `outChannels` interleaved floats (-1 … 1) and returns the
  // output frame number of the first. Output thread.
  int64_t mix(float* out, int frames, int outChannels);
  // The output tells when output frame `frame` is (or was) heard, in steady-clock seconds
  // (steadySeconds). An output that never does (offline) has what is mixed count as heard.
  void noteHeard(int64_t frame, double heardAt);

  // Copies the `count` samples of side `side` (0 left, 1 right) that end with the output
  // frame being heard now, oldest first.
  void history(int side, float* destination, int count);

  // The output frame being heard now (never one not yet mixed).
  int64_t heardFrame();
  // The time in `channel`'s stream, in seconds, of what is heard now; false while it is not
  // heard (not started, paused or ended at that frame, or too long ago).
  bool heardPosition(const Channel* channel, double* seconds);

  static double steadySeconds();

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

  struct Timing {
    int64_t frame;
    double heardAt;
  };
  struct ChunkRecord {
    int64_t frame = -1;  // the chunk's first output frame
    int frames = 0;
  };

  std::mutex historyLock_;  // guards everything below
  std::array<std::vector<float>, 2> history_;
  int64_t mixed_ = 0;  // output frames mixed so far; the ring's next slot is mixed_ % size
  std::array<Timing, kTimings> timings_{};
  int64_t timingsWritten_ = 0;  // the newest at (timingsWritten_ - 1) % kTimings
  std::array<ChunkRecord, kChunkRecords> chunks_{};
  std::vector<int64_t> chunkPositions_;  // per chunk and channel: its stream frame, -1 silent
  std::vector<int> chunkRates_;          // per chunk and channel: its stream's rate
  int64_t chunkCount_ = 0;
  std::vector<int64_t> positionsNow_;  // this chunk's, taken under the mixer's lock
  std::vector<int> ratesNow_;
};

}  // namespace audio
