// The video layer on its own: the compressor list and AVI files written through it,
// checked with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "AviProbe.h"
#include "platform/Faults.h"
#include "platform/video/Avi.h"
#include "platform/video/Compressors.h"
#include "support/TestSupport.h"

using namespace platform::video;
using namespace avi_probe;
using testing_support::ScratchDir;

namespace {

constexpr FOURCC kMpeg4 = makeFourCC('F', 'M', 'P', '4');
constexpr FOURCC kFfv1 = makeFourCC('F', 'F', 'V', '1');

BITMAPINFOHEADER frameFormat(int width, int height) {
  BITMAPINFOHEADER f;
  f.biSize = sizeof f;
  f.biWidth = width;
  f.biHeight = height;
  f.biPlanes = 1;
  f.biBitCount = 24;
  f.biCompression = BI_RGB;
  f.biSizeImage = static_cast<uint32_t>(((width * 3 + 3) & ~3) * height);
  return f;
}

// One file with one compressed video stream, released in the order the capture uses.
struct VideoFile {
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr, compressed = nullptr, audio = nullptr;
  int width, height;

  VideoFile(const std::string& path, FOURCC handler, int w, int h, int rate = 30) : width(w), height(h) {
    AVIFileInit();
    EXPECT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    AVISTREAMINFOA info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = handler;
    info.dwScale = 1;
    info.dwRate = static_cast<uint32_t>(rate);
    EXPECT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_OK);
    AVICOMPRESSOPTIONS options;
    options.fccHandler = handler;
    EXPECT_EQ(AVIMakeCompressedStream(&compressed, stream, &options, nullptr), AVIERR_OK);
    BITMAPINFOHEADER format = frameFormat(w, h);
    EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_OK);
  }
  void addAudio(int rate, int channels) {
    AVISTREAMINFOA info;
    info.fccType = streamtypeAUDIO;
    info.dwScale = 1;
    info.dwRate = static_cast<uint32_t>(rate);
    ASSERT_EQ(AVIFileCreateStreamA(file, &audio, &info), AVIERR_OK);
    WAVEFORMATEX wave;
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<uint16_t>(channels);
    wave.nSamplesPerSec = static_cast<uint32_t>(rate);
    wave.nBlockAlign = static_cast<uint16_t>(channels * 2);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    wave.wBitsPerSample = 16;
    ASSERT_EQ(AVIStreamSetFormat(audio, 0, &wave, sizeof wave), AVIERR_OK);
  }
  HRESULT write(int frame) {
    const std::vector<uint8_t> pixels = patternFrame(frame, width, height);
    return AVIStreamWrite(compressed, frame, 1, pixels.data(), static_cast<long>(pixels.size()), AVIIF_KEYFRAME,
                          nullptr, nullptr);
  }
  void close() {
    if (stream) AVIStreamRelease(stream);
    if (compressed) AVIStreamRelease(compressed);
    if (audio) AVIStreamRelease(audio);
    if (file) AVIFileRelease(file);
    stream = compressed = audio = nullptr;
    file = nullptr;
    AVIFileExit();
  }
  ~VideoFile() { close(); }
};

}  // namespace

TEST(Compressors, ListStartsWithTheDefaultAndALosslessOneEachCodeOnce) {
  std::set<FOURCC> handlers;
  std::vector<FOURCC> order;
  ICINFO info;
  for (uint32_t i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) {
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    EXPECT_TRUE(handlers.insert(info.fccHandler).second) << "code listed twice at " << i;
    order.push_back(info.fccHandler);
  }
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[0], kMpeg4);
  EXPECT_EQ(order[1], kFfv1);
  EXPECT_EQ(ICInfo(ICTYPE_VIDEO, static_cast<uint32_t>(order.size()), &info), 0);
  EXPECT_EQ(ICInfo(makeFourCC('a', 'u', 'd', 'c'), 0, &info), 0);
}

TEST(Compressors, OpenGetInfoConfigureAndClose) {
  HIC compressor = ICOpen(ICTYPE_VIDEO, kMpeg4, ICMODE_QUERY);
  ASSERT_NE(compressor, nullptr);
  ICINFO info;
  EXPECT_EQ(ICGetInfo(compressor, &info, sizeof info), static_cast<long>(sizeof info));
  EXPECT_EQ(std::wstring(info.szDescription), L"MPEG-4 part 2");
  EXPECT_EQ(std::wstring(info.szName), L"mpeg4");
  EXPECT_EQ(info.fccHandler, kMpeg4);
  // A short record gets only what fits.
  ICINFO partial;
  partial.szDescription[0] = L'x';
  EXPECT_EQ(ICGetInfo(compressor, &partial, 12), 12);
  EXPECT_EQ(partial.fccHandler, kMpeg4);
  EXPECT_EQ(partial.szDescription[0], L'x');
  EXPECT_EQ(ICSendMessage(compressor, ICM_CONFIGURE, -1, ICMF_CONFIGURE_QUERY), ICERR_UNSUPPORTED);
  EXPECT_EQ(ICClose(compressor), ICERR_OK);

  EXPECT_EQ(ICOpen(ICTYPE_VIDEO, makeFourCC('N', 'O', 'N', 'E'), ICMODE_QUERY), nullptr);
  EXPECT_EQ(ICGetInfo(nullptr, &info, sizeof info), 0);
  EXPECT_EQ(ICSendMessage(nullptr, ICM_CONFIGURE, -1, ICMF_CONFIGURE_QUERY), ICERR_BADHANDLE);
}

TEST(AviFile, LosslessFramesOfAnOddWidthComeBackExactlyInOrderAndUpright) {
  ScratchDir dir;
  const std::string path = dir.file("odd.avi");
  const int w = 37, h = 21;  // 111-byte rows, padded to 112
  {
    VideoFile avi(path, kFfv1, w, h);
    for (int k = 0; k < 8; ++k) ASSERT_EQ(avi.write(k), AVIERR_OK) << k;
  }
  auto probe = probeStream(path, "v:0");
  EXPECT_EQ(probe["codec_name"], "ffv1");
  EXPECT_EQ(probe["width"], "37");
  EXPECT_EQ(probe["height"], "21");
  const auto frames = decodeFrames(path, w, h);
  ASSERT_EQ(frames.size(), 8u);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(frames[static_cast<size_t>(k)], patternTopDown(k, w, h)) << "frame " << k;
}

TEST(AviFile, DefaultCodecStreamHasRateCountDurationAndQuality) {
  ScratchDir dir;
  const std::string path = dir.file("mpeg4.avi");
  const int w = 160, h = 120;
  {
    VideoFile avi(path, kMpeg4, w, h);
    for (int k = 0; k < 30; ++k) ASSERT_EQ(avi.write(k), AVIERR_OK);
  }
  auto probe = probeStream(path, "v:0");
  EXPECT_EQ(probe["codec_name"], "mpeg4");
  EXPECT_EQ(probe["codec_tag_string"], "FMP4");
  EXPECT_EQ(probe["r_frame_rate"], "30/1");
  EXPECT_EQ(probe["nb_frames"], "30");
  EXPECT_NEAR(std::stod(probe["duration"].empty() ? "0" : probe["duration"]), 1.0, 1e-6);
  const auto frames = decodeFrames(path, w, h);
  ASSERT_EQ(frames.size(), 30u);
  for (int k : {0, 13, 29}) {
    const double db = psnr(frames[static_cast<size_t>(k)], patternTopDown(k, w, h));
    EXPECT_GE(db, 30.0) << k;
    RecordProperty("psnr_frame_" + std::to_string(k), std::to_string(db));
  }
}

TEST(AviFile, SkippedFrameLeavesAGapAndLaterFramesKeepTheirTime) {
  ScratchDir dir;
  const std::string path = dir.file("gap.avi");
  const int w = 32, h = 16;
  {
    VideoFile avi(path, kFfv1, w, h);
    for (int k = 0; k < 10; ++k) {
      if (k == 5) continue;
      ASSERT_EQ(avi.write(k), AVIERR_OK);
    }
    EXPECT_EQ(avi.write(3), AVIERR_BADPARAM);  // behind the end of the stream
  }
  EXPECT_EQ(probeStream(path, "v:0")["nb_frames"], "10");
  const auto frames = decodeFrames(path, w, h);
  ASSERT_EQ(frames.size(), 10u);
  EXPECT_EQ(frames[6], patternTopDown(6, w, h));
  EXPECT_EQ(frames[9], patternTopDown(9, w, h));
}

TEST(AviFile, AudioStreamKeepsSamplesAndFillsGapsWithSilence) {
  ScratchDir dir;
  const std::string path = dir.file("sound.avi");
  std::vector<int16_t> tone(2 * 4800);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>((i % 200) * 100 - 10000);
  {
    VideoFile avi(path, kFfv1, 16, 16);
    avi.addAudio(48000, 2);
    for (int k = 0; k < 10; ++k) {
      ASSERT_EQ(avi.write(k), AVIERR_OK);
      if (k == 3) continue;  // a lost run of samples
      ASSERT_EQ(AVIStreamWrite(avi.audio, k * 4800, 4800, tone.data(), static_cast<long>(tone.size() * 2), 0, nullptr,
                               nullptr),
                AVIERR_OK);
    }
  }
  auto probe = probeStream(path, "a:0");
  EXPECT_EQ(probe["codec_name"], "pcm_s16le");
  EXPECT_EQ(probe["sample_rate"], "48000");
  EXPECT_EQ(probe["channels"], "2");
  const auto samples = decodeAudio(path);
  ASSERT_EQ(samples.size(), 2u * 48000);
  EXPECT_TRUE(std::equal(tone.begin(), tone.end(), samples.begin()));
  for (size_t i = 2 * 3 * 4800; i < 2 * 4 * 4800; ++i) ASSERT_EQ(samples[i], 0) << i;
  EXPECT_TRUE(std::equal(tone.begin(), tone.end(), samples.begin() + 2 * 4 * 4800));
}

TEST(AviFile, FailuresReturnTheirResults) {
  ScratchDir dir;
  AVIFileInit();
  PAVIFILE file = nullptr;
  EXPECT_EQ(AVIFileOpenA(&file, dir.file("missing/folder/x.avi").c_str(), OF_WRITE | OF_CREATE, nullptr),
            AVIERR_FILEOPEN);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(AVIFileOpenA(&file, dir.file("x.mp4").c_str(), OF_WRITE | OF_CREATE, nullptr), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(AVIFileOpenA(&file, dir.file("x.avi").c_str(), OF_READ, nullptr), AVIERR_UNSUPPORTED);

  ASSERT_EQ(AVIFileOpenA(&file, dir.file("x.AVI").c_str(), OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info;
  info.fccType = makeFourCC('t', 'x', 't', 's');
  PAVISTREAM stream = nullptr, compressed = nullptr, audio = nullptr;
  EXPECT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_UNSUPPORTED);
  info.fccType = streamtypeAUDIO;
  info.dwRate = 44100;
  info.dwScale = 1;
  ASSERT_EQ(AVIFileCreateStreamA(file, &audio, &info), AVIERR_OK);
  AVICOMPRESSOPTIONS options;
  options.fccHandler = kMpeg4;
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, audio, &options, nullptr), AVIERR_UNSUPPORTED);
  info.fccType = streamtypeVIDEO;
  info.dwRate = 30;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_OK);
  options.fccHandler = makeFourCC('N', 'O', 'N', 'E');
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, stream, &options, nullptr), AVIERR_NOCOMPRESSOR);
  EXPECT_EQ(compressed, nullptr);
  options.fccHandler = kFfv1;
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, stream, &options, nullptr), AVIERR_OK);

  BITMAPINFOHEADER format = frameFormat(8, 8);
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, &format, sizeof format), AVIERR_UNSUPPORTED);  // uncompressed video
  format.biBitCount = 16;
  EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_BADFORMAT);
  format = frameFormat(8, 8);
  EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, 20), AVIERR_BADFORMAT);
  std::vector<uint8_t> pixels(8 * 8 * 3);
  EXPECT_EQ(AVIStreamWrite(compressed, 0, 1, pixels.data(), 192, 0, nullptr, nullptr), AVIERR_BADFORMAT);  // no format
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_OK);
  EXPECT_EQ(AVIStreamWrite(compressed, 0, 1, pixels.data(), 100, 0, nullptr, nullptr), AVIERR_BADSIZE);
  EXPECT_EQ(AVIStreamWrite(compressed, 0, 1, nullptr, 192, 0, nullptr, nullptr), AVIERR_BADPARAM);
  WAVEFORMATEX wave;
  wave.wFormatTag = 3;  // floating point
  EXPECT_EQ(AVIStreamSetFormat(audio, 0, &wave, sizeof wave), AVIERR_BADFORMAT);
  long written = -1;
  EXPECT_EQ(AVIStreamWrite(compressed, 0, 1, pixels.data(), 192, 0, &written, nullptr), AVIERR_OK);
  EXPECT_EQ(written, 1);
  failNextStreamWriteForTesting(AVIERR_INTERNAL);
  EXPECT_EQ(AVIStreamWrite(compressed, 1, 1, pixels.data(), 192, 0, nullptr, nullptr), AVIERR_INTERNAL);
  EXPECT_EQ(AVIStreamWrite(compressed, 1, 1, pixels.data(), 192, 0, nullptr, nullptr), AVIERR_OK);
  // Once writing began, the file takes no more streams.
  PAVISTREAM late = nullptr;
  EXPECT_EQ(AVIFileCreateStreamA(file, &late, &info), AVIERR_UNSUPPORTED);

  // Released file first: the streams still hold it, and the file is finished by the last.
  EXPECT_EQ(AVIFileRelease(file), 0u);
  EXPECT_EQ(AVIStreamRelease(stream), 0u);
  EXPECT_EQ(AVIStreamRelease(audio), 0u);
  EXPECT_EQ(AVIStreamRelease(compressed), 0u);
  AVIFileExit();
  EXPECT_EQ(probeStream(dir.file("x.AVI"), "v:0")["nb_frames"], "2");
}

TEST(AviFile, DiskFullWritesFailWithoutCrashing) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  AVIFileInit();
  PAVIFILE file = nullptr;
  // /dev/full has no extension, so it is taken as an AVI name.
  ASSERT_EQ(AVIFileOpenA(&file, "/dev/full", OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info;
  info.fccType = streamtypeVIDEO;
  info.dwRate = 30;
  info.dwScale = 1;
  PAVISTREAM stream = nullptr, compressed = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_OK);
  AVICOMPRESSOPTIONS options;
  options.fccHandler = kFfv1;
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, stream, &options, nullptr), AVIERR_OK);
  BITMAPINFOHEADER format = frameFormat(128, 128);
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_OK);
  // Noise does not compress, so the muxer's buffer overflows onto the full disk soon.
  std::vector<uint8_t> pixels(128 * 128 * 3);
  uint32_t seed = 1;
  for (uint8_t& p : pixels) p = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  int failures = 0;
  for (int k = 0; k < 20; ++k) {
    if (AVIStreamWrite(compressed, k, 1, pixels.data(), static_cast<long>(pixels.size()), 0, nullptr, nullptr) !=
        AVIERR_OK)
      ++failures;
  }
  EXPECT_GT(failures, 0);
  // The last frame, compressed after the last write returned, failed too, and so does the end.
  EXPECT_EQ(AVIStreamEndStreaming(compressed), AVIERR_FILEWRITE);
  EXPECT_EQ(AVIFileClose(file), AVIERR_FILEWRITE);
  AVIStreamRelease(compressed);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  AVIFileExit();
}

// The writer thread's failures come back from the stream they hit, each once: the frames'
// from the video stream's writes and its end, none from the sound beside it.
TEST(AviFile, WriterFailuresComeBackOnceEachFromTheirOwnStream) {
  ScratchDir dir;
  const std::string path = dir.file("x.avi");
  {
    VideoFile video(path, kFfv1, 16, 16);
    video.addAudio(48000, 2);
    std::vector<int16_t> sound(2 * 1600, 7);
    platform::setFault(platform::Fault::VideoWrite, true, 3);  // frames 3, 4 and 5 are not stored
    int frameFailures = 0;
    for (int k = 0; k < 6; ++k) {
      const HRESULT r = video.write(k);
      if (r != AVIERR_OK) ++frameFailures;
      EXPECT_TRUE(r == AVIERR_OK || r == AVIERR_FILEWRITE) << r;
      EXPECT_EQ(AVIStreamWrite(video.audio, 1600L * k, 1600, sound.data(), 2 * 2 * 1600, 0, nullptr, nullptr),
                AVIERR_OK);
    }
    for (HRESULT r; (r = AVIStreamEndStreaming(video.compressed)) != AVIERR_OK; ++frameFailures)
      EXPECT_EQ(r, AVIERR_FILEWRITE);
    EXPECT_EQ(frameFailures, 3);
    EXPECT_EQ(AVIStreamEndStreaming(video.audio), AVIERR_OK);
    platform::clearFaults();

    platform::setFault(platform::Fault::VideoFileClose, true);
    EXPECT_EQ(AVIFileClose(video.file), AVIERR_FILEWRITE);
    platform::clearFaults();
    EXPECT_EQ(video.write(6), AVIERR_UNSUPPORTED);  // finished: no more writing
  }
  EXPECT_EQ(probeStream(path, "v:0")["nb_frames"], "3");
  EXPECT_EQ(decodeAudio(path).size(), 2u * 1600 * 6);
}
