// The player itself capturing a stretch of the demo under the test display.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "AviProbe.h"
#include "platform/MessageBox.h"
#include "support/TestSupport.h"

using namespace testing_support;
using namespace avi_probe;

namespace {
std::string player() { return std::string(PYLON_BINARY_DIR) + "/veltro12"; }

int runPlayer(const ScratchDir& dir, const std::string& arguments, std::string& errors) {
  int status = 0;
  runCommand("cd '" + dir.path() + "' && '" + player() + "' --no-dialog --windowed --size 160x120 --data '" +
                 PYLON_BINARY_DIR + "/data.zip' " + arguments + " 2>errors.txt",
             &status);
  errors = readFile(dir.file("errors.txt"));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(CaptureRun, OneSecondAtThirtyFramesPerSecond) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  std::string errors;
  ASSERT_EQ(runPlayer(dir, "--capture out.avi --fps 30 --to 1", errors), 0) << errors;
  auto probe = probeStream(dir.file("out.avi"), "v:0");
  EXPECT_EQ(probe["codec_name"], "mpeg4");
  EXPECT_EQ(probe["r_frame_rate"], "30/1");
  EXPECT_EQ(probe["nb_frames"], "31");  // 1/30 … 31/30 s: the last frame is the first past the end
  EXPECT_EQ(probe["width"], "160");
  EXPECT_NE(errors.find("capture: writing out.avi (160x120, 30 fps, MPEG-4 part 2)"), std::string::npos) << errors;
  EXPECT_NE(errors.find(", 31 frames, "), std::string::npos) << errors;
  // The archive's music rides along: the stretch each frame shows, 1/30 s … 32/30 s.
  auto sound = probeStream(dir.file("out.avi"), "a:0");
  ASSERT_EQ(sound["codec_name"], "pcm_s16le");
  EXPECT_EQ(sound["channels"], "2");
  const double rate = std::stod(sound["sample_rate"]);
  const auto samples = decodeAudio(dir.file("out.avi"));
  EXPECT_EQ(static_cast<long long>(samples.size() / 2), std::llround(32 * rate / 30) - std::llround(rate / 30));
}

TEST(CaptureRun, EachFrameIsTheShotOfItsInstant) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  std::string errors;
  // Frames at 60 + n/30 s for n = 1..4; the second is the instant 60 + 2/30.
  ASSERT_EQ(runPlayer(dir, "--capture out.avi --fps 30 --from 60 --to 60.1", errors), 0) << errors;
  ASSERT_EQ(runPlayer(dir, "--shot 60.0666666666667 shot.png", errors), 0) << errors;
  const auto frames = decodeFrames(dir.file("out.avi"), 160, 120);
  const auto shot = decodeFrames(dir.file("shot.png"), 160, 120);
  ASSERT_EQ(frames.size(), 4u);
  ASSERT_EQ(shot.size(), 1u);
  // The same picture through the lossy codec; a neighbouring frame of the moving camera is
  // measurably further away.
  const double same = psnr(frames[1], shot[0]);
  EXPECT_GT(same, 30.0);
  EXPECT_GT(same, psnr(frames[3], shot[0]) + 3.0);

  // With the lossless codec the frame is the shot, to the rounding of its colour conversion.
  ASSERT_EQ(runPlayer(dir, "--capture lossless.avi --codec FFV1 --fps 30 --from 60 --to 60.1", errors), 0) << errors;
  const auto exact = decodeFrames(dir.file("lossless.avi"), 160, 120);
  ASSERT_EQ(exact.size(), 4u);
  EXPECT_GE(psnr(exact[1], shot[0]), 40.0);
}

TEST(CaptureRun, UnwritableOutputNamedOnTheCommandLineEndsTheRunWithAMessage) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  std::string errors;
  ASSERT_EQ(runPlayer(dir, "--capture missing/out.avi --to 0.2 --log", errors), 1) << errors;
  EXPECT_NE(errors.find("DemoPlayer::init: The capture file missing/out.avi cannot be written:\n\navi engine failed "
                        "to initialize: a disk error occurred while opening the file."),
            std::string::npos)
      << errors;
  EXPECT_NE(readFile(dir.file("Pylon.txt")).find("avi engine failed to initialize: a disk error occurred while opening the file.\n"),
            std::string::npos);
}

TEST(CaptureRun, UnknownCodecIsRefusedBeforeAnythingOpens) {
  ScratchDir dir;
  std::string errors;
  EXPECT_EQ(runPlayer(dir, "--codec nothing-like-it --capture out.avi", errors), 1);
  EXPECT_NE(errors.find("--list-codecs"), std::string::npos) << errors;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.avi")));
}
