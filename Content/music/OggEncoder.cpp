#include "music/OggEncoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>

#include "music/Dsp.h"

namespace music {

namespace {
// Owns the libvorbis and libogg state of one encode and releases it in reverse order.
struct VorbisState {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool dspReady = false, blockReady = false, streamReady = false;

  VorbisState() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~VorbisState() {
    if (streamReady) ogg_stream_clear(&stream);
    if (blockReady) vorbis_block_clear(&block);
    if (dspReady) vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  VorbisState(const VorbisState&) = delete;
  VorbisState& operator=(const VorbisState&) = delete;
};

void appendPage(const ogg_page& page, std::vector<unsigned char>& out) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}
}  // namespace

int OggEncoder::encode(const StereoBuffer& pcm, std::vector<unsigned char>& out) {
  out.clear();
  error_.clear();
  if (pcm.left.size() != pcm.right.size()) {
    error_ = "left and right channels differ in length";
    return 1;
  }
  VorbisState s;
  if (vorbis_encode_init_vbr(&s.info, 2, kSampleRate, settings_.quality) != 0) {
    error_ = "the Vorbis encoder refused quality " + std::to_string(settings_.quality) + " for stereo at " +
             std::to_string(kSampleRate) + " Hz";
    return 1;
  }
  for (const auto& [key, value] : settings_.tags) vorbis_comment_add_tag(&s.comment, key.c_str(), value.c_str());
  if (vorbis_analysis_init(&s.dsp, &s.info) != 0) {
    error_ = "the Vorbis analysis state could not be set up";
    return 1;
  }
  s.dspReady = true;
  vorbis_block_init(&s.dsp, &s.block);
  s.blockReady = true;
  ogg_stream_init(&s.stream, settings_.serialNumber);
  s.streamReady = true;

  ogg_packet header, commentHeader, codebooks;
  vorbis_analysis_headerout(&s.dsp, &s.comment, &header, &commentHeader, &codebooks);
  ogg_stream_packetin(&s.stream, &header);
  ogg_stream_packetin(&s.stream, &commentHeader);
  ogg_stream_packetin(&s.stream, &codebooks);
  ogg_page page;
  // The headers get pages of their own so that audio starts on a fresh page.
  while (ogg_stream_flush(&s.stream, &page) != 0) appendPage(page, out);

  const size_t chunk = 1024;
  size_t done = 0;
  bool finished = false;
  while (!finished) {
    size_t n = std::min(chunk, pcm.frames() - done);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&s.dsp, static_cast<int>(n));
      std::memcpy(buffer[0], pcm.left.data() + done, n * sizeof(float));
      std::memcpy(buffer[1], pcm.right.data() + done, n * sizeof(float));
      vorbis_analysis_wrote(&s.dsp, static_cast<int>(n));
      done += n;
    } else {
      vorbis_analysis_wrote(&s.dsp, 0);  // end of stream
    }
    while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
      vorbis_analysis(&s.block, nullptr);
      vorbis_bitrate_addblock(&s.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&s.dsp, &packet) == 1) {
        ogg_stream_packetin(&s.stream, &packet);
        while (ogg_stream_pageout(&s.stream, &page) != 0) {
          appendPage(page, out);
          if (ogg_page_eos(&page)) finished = true;
        }
      }
    }
    if (n == 0 && !finished) {
      // Whatever the stream still holds ends the file.
      while (ogg_stream_flush(&s.stream, &page) != 0) appendPage(page, out);
      finished = true;
    }
  }
  return 0;
}

}  // namespace music
