// CaptureSoundtrack: the music decoded into a capture, in step with its frames.
//
// While capturing, demo time moves one fixed step per frame, so the music is not played
// but decoded here: AviCapture::init opens it from the data archive (attach() gives the
// capture its audio format), and each written frame hands over its demo time and length;
// the samples of exactly that stretch of the music go into the file, so frame and sound
// stay together however slowly frames are drawn. Past
// the music's end the stretch is silence. Without music (open() fails) the file is silent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/VorbisStream.h"

class AviCapture;
class Loader;
class Logger;

class CaptureSoundtrack {
 public:
  // 0 on success; 1 when the archive has no such entry or it does not decode (logged).
  int open(Loader& loader, const std::string& entry, Logger& log);
  int open(std::vector<unsigned char> bytes);

  void attach(AviCapture& capture) const;
  // The music from `time` for `duration` seconds, into the capture's audio stream.
  void writeFrameAudio(AviCapture& capture, double time, double duration);

  bool opened() const { return isOpen; }

  static constexpr int kChannels = 2;  // the decoder gives stereo, whatever the file holds

 private:
  std::vector<unsigned char> data;
  audio::VorbisStream decoder;
  bool isOpen = false;
  audio::Result openResult = audio::Result::Ok;
  std::vector<float> decoded;
  std::vector<int16_t> buffer;
};
