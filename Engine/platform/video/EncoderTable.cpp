#include "platform/video/EncoderTable.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace platform::video {

namespace {

// Encoders that drive a device or an operating-system service rather than the processor.
bool isDeviceEncoder(const AVCodec* codec) {
  if (codec->capabilities & AV_CODEC_CAP_HARDWARE) return true;
  static const char* const suffixes[] = {"_nvenc", "_vaapi", "_qsv", "_v4l2m2m", "_omx", "_amf",
                                         "_mf", "_vulkan", "_videotoolbox", "_mediacodec", "_rkmpp"};
  const std::string name = codec->name;
  for (const char* suffix : suffixes) {
    const size_t n = std::strlen(suffix);
    if (name.size() > n && name.compare(name.size() - n, n, suffix) == 0) return true;
  }
  return false;
}

// The encoder's pixel formats, ended by AV_PIX_FMT_NONE; nullptr when it does not say.
// FFmpeg 7.1 (libavcodec 61.13) asks for them through avcodec_get_supported_config and
// deprecates the codec's own list, which older releases only have.
const AVPixelFormat* supportedPixelFormats(const AVCodec* codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
  const void* formats = nullptr;
  int count = 0;
  if (avcodec_get_supported_config(nullptr, codec, AV_CODEC_CONFIG_PIX_FORMAT, 0, &formats, &count) < 0) return nullptr;
  return static_cast<const AVPixelFormat*>(formats);
#else
  return codec->pix_fmts;
#endif
}

// The least lossy format for 24-bit BGR input among those the encoder takes and the
// converter can produce; AV_PIX_FMT_NONE when there is none.
AVPixelFormat inputFormatFor(const AVCodec* codec) {
  const AVPixelFormat* formats = supportedPixelFormats(codec);
  if (!formats) return AV_PIX_FMT_NONE;
  std::vector<AVPixelFormat> usable;
  for (const AVPixelFormat* f = formats; *f != AV_PIX_FMT_NONE; ++f) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(*f);
    if (!desc || (desc->flags & AV_PIX_FMT_FLAG_HWACCEL) || (desc->flags & AV_PIX_FMT_FLAG_PAL)) continue;
    if (sws_isSupportedOutput(*f) > 0) usable.push_back(*f);
  }
  if (usable.empty()) return AV_PIX_FMT_NONE;
  usable.push_back(AV_PIX_FMT_NONE);
  return avcodec_find_best_pix_fmt_of_list(usable.data(), AV_PIX_FMT_BGR24, 0, nullptr);
}

std::vector<EncoderEntry> buildTable() {
  std::vector<EncoderEntry> entries;
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  if (!avi || !avi->codec_tag) return entries;
  void* cursor = nullptr;
  while (const AVCodec* codec = av_codec_iterate(&cursor)) {
    if (!av_codec_is_encoder(codec) || codec->type != AVMEDIA_TYPE_VIDEO) continue;
    if (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) continue;
    if (isDeviceEncoder(codec)) continue;
    const unsigned tag = av_codec_get_tag(avi->codec_tag, codec->id);
    if (tag == 0) continue;  // no four-character code: the AVI cannot name it
    const AVPixelFormat format = inputFormatFor(codec);
    if (format == AV_PIX_FMT_NONE) continue;
    const bool taken = std::any_of(entries.begin(), entries.end(), [&](const EncoderEntry& e) { return e.handler == tag; });
    if (taken) continue;
    EncoderEntry entry;
    entry.codec = codec;
    entry.handler = tag;
    entry.pixelFormat = format;
    entry.name = codec->name;
    entry.description = codec->long_name ? codec->long_name : codec->name;
    entries.push_back(entry);
  }
  // The default first, the lossless one second; the rest keep FFmpeg's order.
  const char* const preferred[] = {"mpeg4", "ffv1"};
  size_t place = 0;
  for (const char* name : preferred) {
    auto it = std::find_if(entries.begin() + static_cast<long>(place), entries.end(),
                           [&](const EncoderEntry& e) { return e.name == name; });
    if (it == entries.end()) continue;
    std::rotate(entries.begin() + static_cast<long>(place), it, it + 1);
    ++place;
  }
  return entries;
}

}  // namespace

const std::vector<EncoderEntry>& encoderTable() {
  static const std::vector<EncoderEntry> table = buildTable();
  return table;
}

bool usesQuantiser(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_FLV1:
    case AV_CODEC_ID_MJPEG:
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
      return true;
    default:
      return false;
  }
}

const EncoderEntry* findEncoder(FOURCC handler) {
  for (const EncoderEntry& entry : encoderTable()) {
    if (entry.handler == handler) return &entry;
  }
  return nullptr;
}

}  // namespace platform::video
