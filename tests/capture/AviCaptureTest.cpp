// The capture service: frames read back from a GL window into AVI files, its log texts, and
// the soundtrack beside the frames.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "AviProbe.h"
#include "capture/AviCapture.h"
#include "platform/Faults.h"
#include "platform/video/Avi.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;
using namespace avi_probe;

namespace {

class AviCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Runtime::destroyForTesting();
    runtime = Runtime::instance();
    runtime->logger->path = dir.file("Pylon.txt");
    ASSERT_EQ(runtime->logger->create(), 0);
    capture = runtime->capture;
    capture->progress.sink = [this](const std::string& text) { progressText += text; };
    capture->progress.terminal = false;
    runtime->screen->config.captureFileName = dir.file("capture.avi");
    capture->enumerateCodecs(runtime->screen->codecs);
  }
  void TearDown() override { Runtime::destroyForTesting(); }

  std::string log() {
    runtime->logger->flush();
    return readFile(dir.file("Pylon.txt"));
  }
  void useSize(int width, int height) {
    runtime->screen->config.width = width;
    runtime->screen->config.height = height;
  }
  // Draws pattern `frame` into the back buffer, then captures it.
  void drawAndCapture(int frame, int width, int height) {
    const std::vector<uint8_t> pixels = patternFrame(frame, width, height);
    glWindowPos2i(0, 0);
    glDrawPixels(width, height, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    capture->writeFrame();
  }

  MessageRecorder boxes;  // the loader's box about the missing data archive
  ScratchDir dir;
  Runtime* runtime = nullptr;
  AviCapture* capture = nullptr;
  std::string progressText;
};

constexpr int kLossless = 1;  // FFV1, second in the list

}  // namespace

TEST_F(AviCaptureTest, CodecListIsLoggedWithDecimalCodesAndTheDefaultFirst) {
  const auto& codecs = runtime->screen->codecs;
  ASSERT_GE(codecs.size(), 2u);
  EXPECT_EQ(codecs[0].name, "MPEG-4 part 2");
  EXPECT_EQ(codecs[0].handler, platform::video::makeFourCC('F', 'M', 'P', '4'));
  EXPECT_EQ(codecs[1].handler, platform::video::makeFourCC('F', 'F', 'V', '1'));
  const std::string first = "MPEG-4 part 2 fcc: " + std::to_string(codecs[0].handler) + " settings: 0\n";
  EXPECT_EQ(log().find("log created.\n" + first), 0u) << log();
  for (const CodecInfo& codec : codecs) EXPECT_NE(codec.name.substr(0, 4), "DivX");
}

TEST_F(AviCaptureTest, HeaderValuesAtTheDefaultSizeAndRate) {
  useSize(1024, 768);
  ASSERT_EQ(capture->init(), 0);
  EXPECT_EQ(capture->init(), 1);  // already initialised
  EXPECT_EQ(capture->streamInfo.fccType, platform::video::streamtypeVIDEO);
  EXPECT_EQ(capture->streamInfo.dwRate, 30u);
  EXPECT_EQ(capture->streamInfo.dwScale, 1u);
  EXPECT_EQ(capture->streamInfo.dwSuggestedBufferSize, 2359296u);
  EXPECT_EQ(capture->format.biSizeImage, 2359296u);
  EXPECT_EQ(capture->format.biHeight, 768);
  EXPECT_EQ(capture->pixels.size(), 2359296u);
  EXPECT_EQ(capture->options.fccHandler, runtime->screen->codecs[0].handler);
  EXPECT_EQ(capture->frameIndex, 0);
  capture->close();
  EXPECT_FALSE(capture->initialised);
  EXPECT_TRUE(capture->pixels.empty());
  EXPECT_NE(progressText.find("capture: writing " + dir.file("capture.avi") + " (1024x768, 30 fps, MPEG-4 part 2)"),
            std::string::npos);
  EXPECT_NE(progressText.find(", 0 frames, "), std::string::npos) << progressText;
}

TEST_F(AviCaptureTest, LosslessCaptureOfAnOddWidthMatchesEveryDrawnFrame) {
  const int w = 61, h = 45;  // rows of 183 bytes, read back padded to 184
  GLWindow window(w, h);
  REQUIRE_GL(window);
  useSize(w, h);
  runtime->screen->config.codecIndex = kLossless;
  ASSERT_EQ(capture->init(), 0);
  EXPECT_EQ(capture->rowBytes, 184);
  EXPECT_EQ(capture->format.biSizeImage, 184u * 45);
  EXPECT_EQ(capture->streamInfo.dwSuggestedBufferSize, 184u * 45);
  for (int k = 0; k < 12; ++k) drawAndCapture(k, w, h);
  EXPECT_EQ(capture->close(), 0);
  const std::string file = dir.file("capture.avi");
  auto probe = probeStream(file, "v:0");
  EXPECT_EQ(probe["codec_name"], "ffv1");
  EXPECT_EQ(probe["nb_frames"], "12");
  const auto frames = decodeFrames(file, w, h);
  ASSERT_EQ(frames.size(), 12u);
  for (int k = 0; k < 12; ++k) EXPECT_GE(psnr(frames[static_cast<size_t>(k)], patternTopDown(k, w, h)), 40.0) << k;
  EXPECT_EQ(frames[7], patternTopDown(7, w, h));
  EXPECT_EQ(log().find("avi"), std::string::npos) << "no failure logged";
}

TEST_F(AviCaptureTest, DefaultCodecCaptureHasItsRateCountDurationAndQuality) {
  const int w = 320, h = 240;
  GLWindow window(w, h);
  REQUIRE_GL(window);
  useSize(w, h);
  ASSERT_EQ(capture->init(), 0);
  for (int k = 0; k < 30; ++k) drawAndCapture(k, w, h);
  capture->close();
  const std::string file = dir.file("capture.avi");
  auto probe = probeStream(file, "v:0");
  EXPECT_EQ(probe["codec_name"], "mpeg4");
  EXPECT_EQ(probe["r_frame_rate"], "30/1");
  EXPECT_EQ(probe["nb_frames"], "30");
  EXPECT_EQ(probe["duration"], "1.000000");
  const auto frames = decodeFrames(file, w, h);
  ASSERT_EQ(frames.size(), 30u);
  for (int k : {0, 17, 29}) EXPECT_GE(psnr(frames[static_cast<size_t>(k)], patternTopDown(k, w, h)), 30.0) << k;
}

TEST_F(AviCaptureTest, FailedWriteIsLoggedAndTheNextFrameKeepsItsNumber) {
  const int w = 48, h = 32;
  GLWindow window(w, h);
  REQUIRE_GL(window);
  useSize(w, h);
  runtime->screen->config.codecIndex = kLossless;
  ASSERT_EQ(capture->init(), 0);
  for (int k = 0; k < 10; ++k) {
    if (k == 5) platform::video::failNextStreamWriteForTesting(platform::video::AVIERR_INTERNAL);
    if (k == 8) platform::video::failNextStreamWriteForTesting(platform::video::AVIERR_FILEWRITE);
    drawAndCapture(k, w, h);
  }
  EXPECT_EQ(capture->frameIndex, 10);
  capture->close();
  EXPECT_NE(log().find("avi stream write error: internal\n"), std::string::npos) << log();
  EXPECT_NE(log().find("avi stream write error: unknown: " + std::to_string(platform::video::AVIERR_FILEWRITE) + "\n"),
            std::string::npos);
  EXPECT_LT(platform::video::AVIERR_FILEWRITE, 0);  // printed as a signed number
  const std::string file = dir.file("capture.avi");
  EXPECT_EQ(probeStream(file, "v:0")["nb_frames"], "10");
  const auto frames = decodeFrames(file, w, h);
  ASSERT_EQ(frames.size(), 10u);
  EXPECT_EQ(frames[6], patternTopDown(6, w, h));
  EXPECT_EQ(frames[9], patternTopDown(9, w, h));
}

TEST_F(AviCaptureTest, OutputThatCannotBeCreatedIsLoggedAndNothingIsWritten) {
  runtime->screen->config.captureFileName = dir.file("no/such/folder/capture.avi");
  EXPECT_EQ(capture->init(), 1);
  EXPECT_FALSE(capture->initialised);
  capture->writeFrame();  // does nothing, and needs no GL context for it
  capture->close();
  EXPECT_EQ(capture->frameIndex, 0);
  EXPECT_NE(log().find("avi engine failed to initialize: a disk error occurred while opening the file.\n"),
            std::string::npos)
      << log();
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
  EXPECT_NE(progressText.find("capture: cannot capture to " + dir.file("no/such/folder/capture.avi") +
                              ": a disk error occurred while opening the file.; the demo runs without capture\n"),
            std::string::npos)
      << progressText;
  // Asked for on the command line, the failure ends the run, and the line says that instead.
  progressText.clear();
  capture->fromCommandLine = true;
  EXPECT_EQ(capture->init(), 1);
  EXPECT_EQ(progressText, "capture: cannot capture to " + dir.file("no/such/folder/capture.avi") +
                              ": a disk error occurred while opening the file.; the run ends\n");
}

// Frames fail on the file's writer thread while the next one draws: each is logged with the
// video stream's text (the last one at close), none as the sound's, and the end is a failure.
TEST_F(AviCaptureTest, WriterFailuresAreLoggedFrameByFrameAndTheFileIsReportedIncomplete) {
  const int w = 48, h = 32;
  GLWindow window(w, h);
  REQUIRE_GL(window);
  useSize(w, h);
  runtime->screen->config.codecIndex = kLossless;
  ASSERT_EQ(capture->setAudioFormat(48000, 2), 0);
  ASSERT_EQ(capture->init(), 0);
  std::vector<int16_t> run(2 * 1600, 3);
  platform::setFault(platform::Fault::VideoWrite, true, 5);  // frames 5 to 9 are lost
  platform::setFault(platform::Fault::VideoFileClose, true);
  for (int k = 0; k < 10; ++k) {
    drawAndCapture(k, w, h);
    capture->writeAudio(run.data(), 1600);
  }
  EXPECT_EQ(capture->close(), 1);
  platform::clearFaults();
  const std::string text = log();
  const std::string line =
      "avi stream write error: unknown: " + std::to_string(platform::video::AVIERR_FILEWRITE) + "\n";
  EXPECT_EQ(occurrences(text, line), 5u) << text;
  EXPECT_EQ(text.find("avi audio write error"), std::string::npos) << text;
  EXPECT_NE(text.find("avi file close error: a disk error occurred while writing the file.\n"), std::string::npos);
  EXPECT_NE(progressText.find("capture: " + dir.file("capture.avi") +
                              " is incomplete: 5 of 10 frames could not be written, the file could not be finished ("),
            std::string::npos)
      << progressText;
  EXPECT_EQ(decodeFrames(dir.file("capture.avi"), w, h).size(), 5u);
}

// A publishing file hands each frame over through a pixel buffer; one that cannot be read
// leaves the frame out of the file, and the file is reported incomplete for it.
TEST_F(AviCaptureTest, PixelBufferThatCannotBeReadMakesAPublishingFileIncomplete) {
  const int w = 32, h = 32;
  GLWindow window(w, h);
  REQUIRE_GL(window);
  useSize(w, h);
  runtime->screen->config.captureFileName = dir.file("capture.mkv");
  ASSERT_EQ(capture->init(), 0);
  if (!capture->readBuffers[0]) GTEST_SKIP() << "no pixel buffers";
  platform::setFault(platform::Fault::PixelBufferRead, true, 2);  // frames 2, 3 and 4
  for (int k = 0; k < 5; ++k) drawAndCapture(k, w, h);
  EXPECT_EQ(capture->close(), 1);
  platform::clearFaults();
  EXPECT_EQ(occurrences(log(), "capture: a frame's pixel buffer could not be read\n"), 3u) << log();
  EXPECT_NE(progressText.find(" is incomplete: 3 of 5 frames could not be read ("), std::string::npos) << progressText;
  EXPECT_EQ(decodeFrames(dir.file("capture.mkv"), w, h).size(), 2u);
}

TEST_F(AviCaptureTest, OtherInitFailuresLogTheirTexts) {
  runtime->screen->config.captureFileName = dir.file("capture.webm");
  EXPECT_EQ(capture->init(), 1);
  EXPECT_NE(log().find("avi engine failed to initialize: according to the registry, the type of file specified in "
                       "avifileopen does not have a handler to process it.\n"),
            std::string::npos);

  runtime->screen->config.captureFileName = dir.file("capture.avi");
  runtime->screen->codecs.push_back({"Nobody's codec", platform::video::makeFourCC('N', 'O', 'P', 'E'), false});
  runtime->screen->config.codecIndex = static_cast<int>(runtime->screen->codecs.size()) - 1;
  EXPECT_EQ(capture->init(), 1);
  EXPECT_NE(log().find("avi compressed stream creation failed: a suitable compressor cannot be found.\n"),
            std::string::npos);

  runtime->screen->config.codecIndex = 999;  // out of range: no compressor rather than a stray read
  EXPECT_EQ(capture->init(), 1);
  EXPECT_FALSE(capture->initialised);

  runtime->screen->config.codecIndex = 0;
  useSize(0, 16);  // a frame the compressor cannot take
  EXPECT_EQ(capture->init(), 1);
  EXPECT_NE(log().find("avi compressed stream format setting failed.\n"), std::string::npos) << log();
}

TEST_F(AviCaptureTest, SoundtrackIsStoredBesideTheFrames) {
  const int w = 32, h = 32;
  GLWindow window(w, h);
  REQUIRE_GL(window);
  useSize(w, h);
  runtime->screen->config.codecIndex = kLossless;
  EXPECT_EQ(capture->setAudioFormat(44100, 3 * 0), 1);
  ASSERT_EQ(capture->setAudioFormat(48000, 2), 0);
  ASSERT_EQ(capture->init(), 0);
  EXPECT_EQ(capture->setAudioFormat(44100, 2), 1);  // too late
  std::vector<int16_t> run(2 * 1600);
  for (int k = 0; k < 15; ++k) {
    drawAndCapture(k, w, h);
    for (size_t i = 0; i < run.size(); ++i) run[i] = static_cast<int16_t>(k * 1000 + static_cast<int>(i % 2));
    capture->writeAudio(run.data(), 1600);
  }
  capture->close();
  const std::string file = dir.file("capture.avi");
  EXPECT_EQ(probeStream(file, "a:0")["sample_rate"], "48000");
  const auto samples = decodeAudio(file);
  ASSERT_EQ(samples.size(), 2u * 1600 * 15);
  // The samples written with frame k play while frame k shows.
  for (int k : {0, 7, 14}) {
    EXPECT_EQ(samples[static_cast<size_t>(2 * 1600 * k)], k * 1000);
    EXPECT_EQ(samples[static_cast<size_t>(2 * 1600 * k + 1)], k * 1000 + 1);
  }
}
