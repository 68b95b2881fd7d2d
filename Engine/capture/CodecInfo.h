// CodecInfo: one video compressor offered for capture, as the start-up dialog lists it.
//
// Filled by AviCapture::enumerateCodecs into the screen's `codecs` list; `codecIndex` of
// the settings record picks one. Plain data.
#pragma once

#include <cstdint>
#include <string>

struct CodecInfo {
  std::string name;       // the compressor's description text
  uint32_t handler = 0;   // its four-character code
  bool configurable = false;  // it answers the configuration query
};
