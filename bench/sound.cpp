// bench_sound [TRACK.ogg | ARCHIVE.zip]: CPU cost of the music path.
//
// Decoding and mixing the whole track (as the output thread does while it plays), and the
// per-frame spectrum fetch of the demo (both sides, 512 bands, averaged), each given as a
// share of one core in real time at 60 frames per second. Without an argument it encodes a
// 125-second test track of its own (chords and noise, stereo, 44.1 kHz).
#include "BenchClock.h"
#include "sound/Sound.h"

#include <vorbis/vorbisenc.h>
#include <zip.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/audio/System.h"

namespace {

std::string encodeTestTrack(double seconds) {
  vorbis_info info;
  vorbis_info_init(&info);
  vorbis_encode_init_vbr(&info, 2, 44100, 0.5f);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 12);
  std::string bytes;
  ogg_page page;
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  while (ogg_stream_flush(&stream, &page)) {
    bytes.append(reinterpret_cast<char*>(page.header), page.header_len);
    bytes.append(reinterpret_cast<char*>(page.body), page.body_len);
  }
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  const long total = static_cast<long>(seconds * 44100);
  long done = 0;
  bool end = false;
  while (!end) {
    const int count = static_cast<int>(std::min<long>(4096, total - done));
    if (count <= 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, count);
      for (int i = 0; i < count; ++i) {
        const double t = (done + i) / 44100.0;
        const double beat = std::exp(-8.0 * std::fmod(t, 0.5));
        const double chord =
            std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t) + std::sin(2 * M_PI * 329.6 * t);
        buffer[0][i] = static_cast<float>(0.2 * chord + 0.3 * beat * noise(random));
        buffer[1][i] = static_cast<float>(0.2 * chord + 0.3 * beat * noise(random));
      }
      vorbis_analysis_wrote(&dsp, count);
      done += count;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          bytes.append(reinterpret_cast<char*>(page.header), page.header_len);
          bytes.append(reinterpret_cast<char*>(page.body), page.body_len);
          if (ogg_page_eos(&page)) end = true;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return bytes;
}

std::string loadTrack(const std::string& path) {
  if (path.size() > 4 && path.substr(path.size() - 4) == ".zip") {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) return "";
    zip_stat_t stat;
    std::string bytes;
    if (zip_stat(archive, Sound::kMusicPath, 0, &stat) == 0) {
      bytes.resize(stat.size);
      zip_file_t* file = zip_fopen(archive, Sound::kMusicPath, 0);
      if (file && zip_fread(file, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) bytes.clear();
      if (file) zip_fclose(file);
    }
    zip_close(archive);
    return bytes;
  }
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  std::string source = argc > 1 ? argv[1] : "";
  std::string track = source.empty() ? encodeTestTrack(125.0) : loadTrack(source);
  if (track.empty()) {
    std::fprintf(stderr, "bench_sound: %s: no music found\n", source.c_str());
    return 1;
  }
  if (source.empty()) source = "generated 125 s test track";

  audio::System* system = nullptr;
  audio::System_Create(&system);
  system->setOutput(audio::OutputType::Offline);
  system->init(1, audio::kInitNormal, nullptr);
  audio::CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = static_cast<unsigned>(track.size());
  audio::Sound* music = nullptr;
  const audio::Result created = system->createSound(
      track.data(),
      audio::kModeSoftware | audio::kModeCreateStream | audio::kModeAccurateTime | audio::kModeOpenMemoryPoint, &info,
      &music);
  if (created != audio::Result::Ok) {
    std::fprintf(stderr, "bench_sound: %s\n", audio::errorString(created));
    return 1;
  }
  unsigned lengthMs = 0;
  music->getLength(&lengthMs, audio::TimeUnit::Ms);
  audio::Channel* channel = nullptr;
  system->playSound(audio::kChannelFree, music, false, &channel);

  // Decode and mix everything, in the device's block size.
  std::vector<float> block(2 * 1024);
  double begin = threadCpuSeconds();
  bool playing = true;
  long blocks = 0;
  while (playing) {
    system->renderFrames(block.data(), 1024);
    channel->isPlaying(&playing);
    ++blocks;
  }
  const double mixCpu = threadCpuSeconds() - begin;
  const double trackSeconds = lengthMs / 1000.0;

  // The demo's spectrum fetch, once per frame.
  float left[512], right[512];
  const int frames = 20000;
  begin = threadCpuSeconds();
  for (int i = 0; i < frames; ++i) {
    system->getSpectrum(left, 512, 0, audio::FftWindow::Rect);
    system->getSpectrum(right, 512, 1, audio::FftWindow::Rect);
    for (int k = 0; k < 512; ++k) left[k] = (left[k] + right[k]) * 0.5f;
  }
  const double spectrumCpu = (threadCpuSeconds() - begin) / frames;
  system->release();

  const double mixShare = 100.0 * mixCpu / trackSeconds;
  const double spectrumShare = 100.0 * spectrumCpu * 60.0;
  std::printf("track: %s, %.1f s, %zu bytes, %ld blocks of 1024 frames\n", source.c_str(), trackSeconds, track.size(),
              blocks);
  std::printf("decode + mix whole track: %.3f s CPU = %.2f %% of one core in real time\n", mixCpu, mixShare);
  std::printf("spectrum per frame (2 x 512 bands + mean): %.1f us = %.3f %% of one core at 60 fps\n", spectrumCpu * 1e6,
              spectrumShare);
  std::printf("total at 60 fps: %.2f %% of one core (target < 2 %%)\n", mixShare + spectrumShare);
  return 0;
}
