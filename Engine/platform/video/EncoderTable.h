// EncoderTable: the FFmpeg video encoders offered as compressors, shared by the compressor
// list and the AVI writer. Internal to the video layer.
//
// Built once on first use and kept for the process. Each entry is one encoder with its AVI
// four-character code and the pixel format it is fed (the least lossy one for 24-bit BGR).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <string>
#include <vector>

#include "platform/video/Avi.h"

namespace platform::video {

struct EncoderEntry {
  const AVCodec* codec = nullptr;
  FOURCC handler = 0;
  AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
  std::string name;         // FFmpeg's short name, "mpeg4"
  std::string description;  // FFmpeg's long name, "MPEG-4 part 2"
};

const std::vector<EncoderEntry>& encoderTable();

// Encoders whose quality is a fixed quantiser (31 … 1), and the one used when none is asked:
// visually clean at a moderate size.
bool usesQuantiser(AVCodecID id);
constexpr int kDefaultQuantiser = 3;
// nullptr when no entry has the code.
const EncoderEntry* findEncoder(FOURCC handler);

}  // namespace platform::video
