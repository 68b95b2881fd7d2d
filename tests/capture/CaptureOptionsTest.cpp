// The capture options and the progress text a capturing run prints.
#include <gtest/gtest.h>

#include "DemoPlayer.h"
#include "capture/AviCapture.h"
#include "capture/CaptureOptions.h"
#include "capture/CaptureProgress.h"
#include "platform/video/Avi.h"
#include "runtime/Options.h"
#include "screen/UserConfig.h"
#include "support/TestSupport.h"

using platform::video::makeFourCC;

namespace {
std::vector<CodecInfo> sampleCodecs() {
  return {{"MPEG-4 part 2", makeFourCC('F', 'M', 'P', '4'), false},
          {"FFmpeg video codec #1", makeFourCC('F', 'F', 'V', '1'), false},
          {"MPEG-4 part 2 Microsoft variant version 2", makeFourCC('M', 'P', '4', '2'), false}};
}
}  // namespace

TEST(CaptureOptions, CodecIsFoundByDescriptionCodeOrUniquePiece) {
  const auto codecs = sampleCodecs();
  EXPECT_EQ(findCodec(codecs, "mpeg-4 part 2"), 0);  // exact beats the longer name it is part of
  EXPECT_EQ(findCodec(codecs, "ffv1"), 1);
  EXPECT_EQ(findCodec(codecs, "MP42"), 2);
  EXPECT_EQ(findCodec(codecs, "video codec"), 1);
  EXPECT_EQ(findCodec(codecs, "MPEG-4"), -1);  // ambiguous
  EXPECT_EQ(findCodec(codecs, "h264"), -1);
  EXPECT_EQ(findCodec(codecs, ""), -1);
  EXPECT_EQ(fourCCText(makeFourCC('F', 'M', 'P', '4')), "FMP4");
  EXPECT_EQ(fourCCText(0), "....");
  const std::string list = codecListText(codecs);
  EXPECT_NE(list.find("\n  0  FMP4  avi mp4 mov mkv  MPEG-4 part 2 (default for .avi)\n"), std::string::npos) << list;
}

TEST(CaptureOptions, CommandLineSetsTheCaptureFields) {
  ProgramOptions options;
  options.captureFile = "out.avi";
  options.fps = 60;
  options.codec = "FFV1";
  UserConfig config;
  std::vector<CodecInfo> codecs = sampleCodecs();
  AviCapture capture(nullptr);
  applyCaptureOptions(options, config, codecs, capture);
  EXPECT_TRUE(config.captureEnabled);
  EXPECT_EQ(config.captureFileName, "out.avi");
  EXPECT_EQ(config.captureFrameRateIndex, 4);
  EXPECT_EQ(config.codecIndex, 1);
  EXPECT_EQ(codecs.size(), 3u);  // a list already there is kept

  // A publishing file without --codec takes H.264; --quality and --audio-codec reach the capture.
  ProgramOptions publish;
  publish.captureFile = "out.mp4";
  publish.quality = 23;
  publish.audioCodec = "flac";
  codecs.push_back({"libx264 H.264", makeFourCC('H', '2', '6', '4'), false});
  applyCaptureOptions(publish, config, codecs, capture);
  EXPECT_EQ(config.codecIndex, 3);
  EXPECT_EQ(capture.quality, 23);
  EXPECT_EQ(capture.soundCodec, platform::video::SoundCodec::Flac);
  codecs.pop_back();

  // Without options: capture stays off, the default name is beside the program.
  UserConfig plain;
  std::vector<CodecInfo> none;
  applyCaptureOptions(ProgramOptions{}, plain, none, capture);
  EXPECT_FALSE(plain.captureEnabled);
  EXPECT_EQ(plain.captureFrameRateIndex, 3);
  EXPECT_TRUE(none.empty());
  ASSERT_GT(plain.captureFileName.size(), 12u);
  EXPECT_EQ(plain.captureFileName.substr(plain.captureFileName.size() - 12), "_capture.avi");
  EXPECT_EQ(plain.captureFileName, defaultCaptureFileName());
  EXPECT_EQ(plain.captureFileName.find(".avi"), plain.captureFileName.size() - 4);
  // Beside the program where that folder takes files, else in the working directory.
  testing_support::ScratchDir folder;
  EXPECT_EQ(defaultCaptureFileName(folder.file("veltro12")), folder.file("veltro12_capture.avi"));
  EXPECT_EQ(defaultCaptureFileName("/nonexistent/usr/bin/veltro12"), "veltro12_capture.avi");
  EXPECT_EQ(defaultCaptureFileName(""), "veltro12_capture.avi");

  // Capturing with no list yet fills it from the installed compressors.
  ProgramOptions capturing;
  capturing.captureFile = "x.avi";
  applyCaptureOptions(capturing, plain, none, capture);
  ASSERT_FALSE(none.empty());
  EXPECT_EQ(none[0].handler, makeFourCC('F', 'M', 'P', '4'));
}

TEST(CaptureOptions, FrameRateIndexOutOfRangeFallsBackToThirty) {
  UserConfig config;
  EXPECT_EQ(captureFrameRate(config), 30);
  config.captureFrameRateIndex = 0;
  EXPECT_EQ(captureFrameRate(config), 15);
  config.captureFrameRateIndex = 5;
  EXPECT_EQ(captureFrameRate(config), 30);
  config.captureFrameRateIndex = -1;
  EXPECT_EQ(captureFrameRate(config), 30);
}

TEST(CaptureOptions, FrameCountOfAStretchEndsWithTheFirstFramePastItsEnd) {
  EXPECT_EQ(captureFrameCount(0, 125, 1.0 / 30), 3751);  // frame 3750 shows 125 s exactly
  EXPECT_EQ(captureFrameCount(0, 1, 1.0 / 30), 31);
  EXPECT_EQ(captureFrameCount(10, 12, 1.0 / 25), 51);
  EXPECT_EQ(captureFrameCount(0, 0.01, 1.0 / 30), 1);
  EXPECT_EQ(captureFrameCount(5, 1, 1.0 / 30), 1);  // --to before --from: the one frame that ends it
}

namespace {
struct ProgressFixture {
  CaptureProgress progress;
  std::string text;
  double clock = 100.0;
  explicit ProgressFixture(bool terminal) {
    progress.sink = [this](const std::string& s) { text += s; };
    progress.terminal = terminal;
    progress.wallClock = [this] { return clock; };
  }
};
}  // namespace

TEST(CaptureProgress, PlainLinesAtEveryTenthWithTimeLeft) {
  ProgressFixture f(false);
  f.progress.plan(100, 1.0 / 30, 1.0 / 30);
  f.progress.started("x.avi", 320, 240, 30, "MPEG-4 part 2");
  for (int i = 0; i < 100; ++i) {
    f.clock += 0.04;  // 25 frames per second
    f.progress.frameWritten(i);
  }
  f.progress.finished("/nonexistent/x.avi", 100);
  size_t lines = 0;
  for (char c : f.text) lines += c == '\n';
  EXPECT_EQ(lines, 1u + 11u + 1u) << f.text;  // start, frame 1 and each tenth, end
  EXPECT_EQ(f.text.find('\r'), std::string::npos);
  EXPECT_NE(f.text.find("capturing frame 50 of 100, demo time 1.67 s, 25.0 fps, 0:02 left\n"), std::string::npos)
      << f.text;
  EXPECT_NE(f.text.find("capture: /nonexistent/x.avi, size unknown, 100 frames, 4.0 s wall time (25.0 fps)\n"),
            std::string::npos)
      << f.text;
}

TEST(CaptureProgress, TerminalRedrawsOneLineAFewTimesASecond) {
  ProgressFixture f(true);
  f.progress.plan(60, 0.0, 0.5);
  f.progress.started("x.avi", 64, 64, 30, "FFV1");
  for (int i = 0; i < 60; ++i) {
    f.clock += 0.01;
    f.progress.frameWritten(i);
  }
  f.progress.finished("x.avi", 60);
  size_t redraws = 0;
  for (char c : f.text) redraws += c == '\r';
  EXPECT_GE(redraws, 3u);
  EXPECT_LE(redraws, 5u);  // 0.6 s of frames, at most one redraw per quarter second, and the last
  EXPECT_NE(f.text.find("\rcapturing frame 60 of 60, demo time 29.50 s"), std::string::npos) << f.text;
  EXPECT_NE(f.text.find("\033[K\ncapture: x.avi"), std::string::npos);  // the end starts on a new line
}
