// Types: the small value types shared by the audio layer's System, Sound and Channel.
#pragma once

#include <cstdint>

namespace audio {

// How a position is given: milliseconds, or frames of the stream's own rate.
enum class TimeUnit : int { Ms = 1, Pcm = 2 };

// Channel layout of the device buffer. Default lets the device choose; the music is always
// mixed in stereo and placed on the first two device channels (mono devices get the mean).
enum class SpeakerMode : int { Default = 0, Mono, Stereo, Quad, Surround, FivePointOne, SevenPointOne };

using InitFlags = unsigned;
constexpr InitFlags kInitNormal = 0;

// Sound modes (bits, combined with |).
using Mode = unsigned;
constexpr Mode kModeSoftware = 0x00000040;         // mixed by the layer (the only kind there is)
constexpr Mode kModeCreateStream = 0x00000080;     // decoded a little at a time while playing
constexpr Mode kModeAccurateTime = 0x00004000;     // exact length and frame-exact seeking
constexpr Mode kModeOpenMemoryPoint = 0x10000000;  // play from the caller's block without copying it

// Which channel playSound uses: a free one (or the oldest when all are busy), or a number.
constexpr int kChannelFree = -1;

// Extra information for createSound. Clear it, set cbsize to sizeof and length to the
// number of bytes of the memory block.
struct CreateSoundExInfo {
  int cbsize = 0;
  unsigned length = 0;
};

// The layer's own version, as getVersion reports it.
constexpr unsigned kLayerVersion = 0x00042300;

}  // namespace audio
