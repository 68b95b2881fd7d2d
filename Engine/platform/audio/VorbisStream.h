// VorbisStream: incremental Ogg Vorbis decoding from a block of memory the caller keeps.
//
// open() reads the headers straight from the caller's block (nothing is copied: the block
// must outlive the stream); read() then hands out stereo frames at the stream's own rate,
// decoding a little at a time; seek() jumps to an exact frame. Mono streams are doubled
// onto both sides, streams of more than two channels give their front left and right.
// Damaged pages inside the data are skipped; a stream that keeps failing ends early rather
// than looping. One thread at a time (the mixer holds its lock around every call).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/audio/Result.h"

namespace audio {

class VorbisStream {
 public:
  VorbisStream();
  ~VorbisStream();
  VorbisStream(const VorbisStream&) = delete;
  VorbisStream& operator=(const VorbisStream&) = delete;

  Result open(const void* data, size_t size);

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  uint64_t lengthFrames() const { return length_; }
  uint64_t position() const { return position_; }  // the next frame read() hands out

  // Up to `frames` stereo frames, interleaved left/right, into `out`; fewer only at the end.
  int read(float* out, int frames);

  // Moves to `frame` (0 … lengthFrames()); InvalidPosition beyond the end.
  Result seek(uint64_t frame);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int rate_ = 0;
  int channels_ = 0;
  uint64_t length_ = 0;
  uint64_t position_ = 0;
};

}  // namespace audio
