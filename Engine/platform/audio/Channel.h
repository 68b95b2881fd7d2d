// Channel: one voice of the mixer, playing one Sound.
//
// Channels belong to their System: init() makes them, playSound() binds one to a sound,
// release() of the System ends them. A channel stays valid after its sound has played to
// the end (a later setPosition plays on from there); stop() ends it for good, after which
// every call returns ChannelEnded. Called from the main thread while the mixer reads the
// same state on the output's thread: every call takes the mixer's lock, or reads an atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/audio/Result.h"
#include "platform/audio/Types.h"

namespace audio {

class Mixer;
class Sound;

class Channel {
 public:
  Result setPaused(bool paused);
  Result getPaused(bool* paused);
  Result setPosition(unsigned position, TimeUnit unit);
  Result getPosition(unsigned* position, TimeUnit unit);  // what has been mixed
  // The time in the sound, in seconds, of what is being heard now: behind getPosition by
  // the output's latency. InvalidPosition while nothing of this channel is heard (not yet
  // started, paused, played out).
  Result getHeardPosition(double* seconds);
  Result setVolume(float volume);  // clamped to 0 … 1
  Result getVolume(float* volume);
  Result isPlaying(bool* playing);  // false once paused at the end, stopped or finished
  Result stop();

 private:
  friend class Mixer;
  friend class System;
  friend class Sound;
  Channel() = default;

  Mixer* mixer_ = nullptr;
  Sound* sound_ = nullptr;      // null while free; guarded by the mixer's lock
  uint64_t serial_ = 0;         // when it was last started, to pick the oldest
  double fraction_ = 0.0;       // resampling phase between source frames
  float previous_[2] = {0, 0};  // resampling: the frame before the phase
  float next_[2] = {0, 0};      // resampling: the frame after it
  std::atomic<bool> paused_{false};
  std::atomic<bool> finished_{false};  // played to the end of its sound
  std::atomic<bool> stopped_{false};
  std::atomic<float> volume_{1.0f};
  std::atomic<uint64_t> frame_{0};  // source frames handed to the mix so far
};

}  // namespace audio
