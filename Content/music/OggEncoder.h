// OggEncoder: encodes a stereo buffer as an Ogg Vorbis file in memory with libvorbisenc.
//
// The output is reproducible: the Ogg stream serial number is fixed and nothing depends on
// the clock, so the same samples always give the same bytes. The rate is set by Vorbis quality
// (variable bit rate; 0.6 gives about 160 kb/s on the soundtrack and encodes four times faster
// than the managed average-bit-rate mode). One encode() call per file; on failure it returns non-zero
// and error() says why.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "music/StereoBuffer.h"

namespace music {

class OggEncoder {
 public:
  struct Settings {
    float quality = 0.6f;  // -0.1 to 1
    int serialNumber = 0x56313200;
    std::vector<std::pair<std::string, std::string>> tags;
  };

  explicit OggEncoder(Settings settings) : settings_(std::move(settings)) {}
  OggEncoder() : OggEncoder(Settings{}) {}

  int encode(const StereoBuffer& pcm, std::vector<unsigned char>& out);
  const std::string& error() const { return error_; }

 private:
  Settings settings_;
  std::string error_;
};

}  // namespace music
