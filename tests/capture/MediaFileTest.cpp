// The publishing writer on its own: containers, what fits them, cropping, every frame and
// sample reaching the file.
#include <gtest/gtest.h>

#include <cmath>

#include "AviProbe.h"
#include "platform/video/MediaFile.h"
#include "support/TestSupport.h"

using namespace platform::video;
using namespace avi_probe;

namespace {
constexpr FOURCC kH264 = makeFourCC('H', '2', '6', '4');
constexpr FOURCC kFFV1 = makeFourCC('F', 'F', 'V', '1');

MediaSettings settingsFor(const std::string& path, FOURCC codec, int width, int height) {
  MediaSettings s;
  s.path = path;
  s.videoHandler = codec;
  s.width = width;
  s.height = height;
  s.rowBytes = (width * 3 + 3) & ~3;
  s.sampleRate = 44100;
  s.channels = 2;
  return s;
}

// Writes `frames` pattern frames, each with 1470 sample frames of a tone; returns the samples.
std::vector<int16_t> writeRun(MediaWriter& writer, int frames, int width, int height) {
  std::vector<int16_t> all;
  for (int f = 0; f < frames; ++f) {
    writer.writeFrame(patternFrame(f, width, height).data());
    std::vector<int16_t> sound(1470 * 2);
    for (size_t i = 0; i < sound.size(); ++i)
      sound[i] = static_cast<int16_t>(8000 * std::sin(0.01 * static_cast<double>(all.size() + i)));
    writer.writeSound(sound.data(), 1470);
    all.insert(all.end(), sound.begin(), sound.end());
  }
  return all;
}
}  // namespace

TEST(MediaFile, ContainersComeFromTheExtensionAndCodecsMustFitThem) {
  EXPECT_EQ(containerForFile("a/b.MP4"), Container::Mp4);
  EXPECT_EQ(containerForFile("b.mov"), Container::Mov);
  EXPECT_EQ(containerForFile("b.mkv"), Container::Matroska);
  EXPECT_EQ(containerForFile("dir.v2/b"), Container::Avi);
  EXPECT_EQ(containerForFile("b.webm"), Container::Unknown);
  EXPECT_EQ(containersFitting(kH264), "avi mp4 mov mkv");
  EXPECT_EQ(containersFitting(kFFV1).find("mp4"), std::string::npos);

  testing_support::ScratchDir dir;
  MediaWriter writer;
  std::string error;
  EXPECT_EQ(writer.open(settingsFor(dir.file("x.mp4"), kFFV1, 32, 16), error), 1);
  EXPECT_NE(error.find("cannot be stored in MP4 files"), std::string::npos) << error;
  MediaSettings pcm = settingsFor(dir.file("x.mp4"), kH264, 32, 16);
  pcm.soundCodec = SoundCodec::Pcm;
  EXPECT_EQ(writer.open(pcm, error), 1);
  EXPECT_EQ(error, "PCM sound cannot be stored in MP4 files");
  EXPECT_EQ(writer.open(settingsFor(dir.file("missing/x.mkv"), kH264, 32, 16), error), 1);
  EXPECT_NE(error.find("cannot be created"), std::string::npos) << error;
  EXPECT_FALSE(writer.isOpen());
}

TEST(MediaFile, AnOddSizeIsCroppedForH264AndEveryFrameArrives) {
  testing_support::ScratchDir dir;
  MediaWriter writer;
  std::string error;
  ASSERT_EQ(writer.open(settingsFor(dir.file("odd.mp4"), kH264, 33, 17), error), 0) << error;
  EXPECT_TRUE(writer.croppedSize());
  EXPECT_EQ(writer.encodedWidth(), 32);
  EXPECT_EQ(writer.encodedHeight(), 16);
  writeRun(writer, 12, 33, 17);
  ASSERT_EQ(writer.close(error), 0) << error;
  auto video = probeStream(dir.file("odd.mp4"), "v:0");
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["profile"], "High");
  EXPECT_EQ(video["width"], "32");
  EXPECT_EQ(video["r_frame_rate"], "30/1");
  EXPECT_EQ(video["nb_frames"], "12");
  EXPECT_EQ(probeStream(dir.file("odd.mp4"), "a:0")["codec_name"], "aac");
}

TEST(MediaFile, LosslessMatroskaKeepsEveryPixelAndSample) {
  testing_support::ScratchDir dir;
  MediaWriter writer;
  std::string error;
  ASSERT_EQ(writer.open(settingsFor(dir.file("master.mkv"), kFFV1, 33, 17), error), 0) << error;
  EXPECT_FALSE(writer.croppedSize());
  const auto sound = writeRun(writer, 5, 33, 17);
  ASSERT_EQ(writer.close(error), 0) << error;
  EXPECT_EQ(probeStream(dir.file("master.mkv"), "a:0")["codec_name"], "flac");  // Matroska's default
  const auto frames = decodeFrames(dir.file("master.mkv"), 33, 17);
  ASSERT_EQ(frames.size(), 5u);
  for (int f = 0; f < 5; ++f) EXPECT_TRUE(frames[f] == patternTopDown(f, 33, 17)) << "frame " << f;
  EXPECT_TRUE(decodeAudio(dir.file("master.mkv")) == sound);
}
