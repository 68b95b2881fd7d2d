// Sound: one Ogg Vorbis stream created by System::createSound from a memory block.
//
// The block is the caller's and is never copied: it must outlive the Sound. A stream has
// one decoder, so playing it on a second channel takes it off the first. release() stops
// its channel and frees the decoder. Main thread only.
#pragma once

#include <cstdint>

#include "platform/audio/Result.h"
#include "platform/audio/Types.h"
#include "platform/audio/VorbisStream.h"

namespace audio {

class System;
class Channel;

class Sound {
 public:
  Result getLength(unsigned* length, TimeUnit unit);
  Result getFormat(int* rate, int* channels);
  Result release();

 private:
  friend class System;
  friend class Mixer;
  friend class Channel;
  Sound() = default;

  System* system_ = nullptr;
  Channel* channel_ = nullptr;  // the channel playing it, guarded by the mixer's lock
  VorbisStream stream_;
};

}  // namespace audio
