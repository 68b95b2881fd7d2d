// The player itself capturing a stretch of the demo under the test display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "AviProbe.h"
#include "platform/MessageBox.h"
#include "support/TestSupport.h"

using namespace testing_support;
using namespace avi_probe;

namespace {
std::string player() { return std::string(PYLON_BINARY_DIR) + "/veltro12"; }

int runPlayer(const ScratchDir& dir, const std::string& arguments, std::string& errors,
              const std::string& environment = "") {
  int status = 0;
  runCommand("cd '" + dir.path() + "' && " + environment + "'" + player() + "' --no-dialog --windowed --size 160x120 --data '" +
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
  EXPECT_NE(errors.find("capture: cannot capture to missing/out.avi: a disk error occurred while opening the file.; "
                        "the run ends\n"),
            std::string::npos)
      << errors;
  EXPECT_EQ(errors.find("the demo runs without capture"), std::string::npos) << errors;
}

TEST(CaptureRun, FullDiskNamedOnTheCommandLineLogsEveryFrameAndFailsTheRun) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ScratchDir dir;
  std::string errors;
  // 1/30 ... 7/30 s: seven frames, none of which reaches the disk.
  ASSERT_EQ(runPlayer(dir, "--capture /dev/full --fps 30 --to 0.2 --log", errors), 1) << errors;
  const std::string log = readFile(dir.file("Pylon.txt"));
  EXPECT_EQ(occurrences(log, "avi stream write error: unknown: -2147205010\n"), 7u) << log;
  EXPECT_NE(log.find("avi file close error: a disk error occurred while writing the file.\n"), std::string::npos);
  EXPECT_NE(errors.find("capture: /dev/full is incomplete: 7 of 7 frames could not be written, "), std::string::npos)
      << errors;
}

TEST(CaptureRun, UnknownCodecIsRefusedBeforeAnythingOpens) {
  ScratchDir dir;
  std::string errors;
  EXPECT_EQ(runPlayer(dir, "--codec nothing-like-it --capture out.avi", errors), 1);
  EXPECT_NE(errors.find("--list-codecs"), std::string::npos) << errors;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.avi")));
}

TEST(CaptureRun, Mp4IsHighProfileH264WithAacAndItsFramesAreTheShots) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  std::string errors;
  ASSERT_EQ(runPlayer(dir, "--capture out.mp4 --fps 30 --from 60 --to 60.1", errors), 0) << errors;
  EXPECT_NE(errors.find("capture: writing out.mp4 (160x120, 30 fps, H.264 (libx264, CRF 20) + AAC)"),
            std::string::npos) << errors;
  auto video = probeStream(dir.file("out.mp4"), "v:0");
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["profile"], "High");
  EXPECT_EQ(video["r_frame_rate"], "30/1");
  EXPECT_EQ(video["nb_frames"], "4");
  EXPECT_EQ(probeStream(dir.file("out.mp4"), "a:0")["codec_name"], "aac");
  ASSERT_EQ(runPlayer(dir, "--shot 60.0666666666667 shot.png", errors), 0) << errors;
  const auto frames = decodeFrames(dir.file("out.mp4"), 160, 120);
  const auto shot = decodeFrames(dir.file("shot.png"), 160, 120);
  ASSERT_EQ(frames.size(), 4u);
  ASSERT_EQ(shot.size(), 1u);
  // At this small size 4:2:0 chroma costs a few dB (bench/capture-formats.sh measures 1080p).
  EXPECT_GE(psnr(frames[1], shot[0]), 27.0);
  EXPECT_GT(psnr(frames[1], shot[0]), psnr(frames[3], shot[0]) + 3.0);
}

TEST(CaptureRun, WithoutAnXServerRendersOffscreenAndCropsAnOddSize) {
  ScratchDir dir;
  std::string errors;
  // No display at all: the run draws into an EGL pixel buffer.
  ASSERT_EQ(runPlayer(dir, "--size 161x121 --capture out.mkv --from 60 --to 60.21", errors,
                      "env -u DISPLAY -u WAYLAND_DISPLAY "),
            0)
      << errors;
  EXPECT_NE(errors.find("rendering offscreen through EGL"), std::string::npos) << errors;
  EXPECT_NE(errors.find("161x121 is cropped to 160x120"), std::string::npos) << errors;
  auto video = probeStream(dir.file("out.mkv"), "v:0");
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["width"], "160");
  EXPECT_EQ(probeStream(dir.file("out.mkv"), "a:0")["codec_name"], "flac");
  const auto frames = decodeFrames(dir.file("out.mkv"), 160, 120);
  ASSERT_EQ(frames.size(), 7u);
  // The city is drawn, not a blank buffer: the picture has a spread of values.
  const auto [low, high] = std::minmax_element(frames[6].begin(), frames[6].end());
  EXPECT_GT(*high - *low, 60);
}

TEST(CaptureRun, FarmStretchesJoinIntoTheSingleRun) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  std::string errors;
  // The archive by a name relative to the caller's folder, which no job runs in.
  std::filesystem::create_symlink(std::string(PYLON_BINARY_DIR) + "/data.zip", dir.file("mine.zip"));
  const std::string lossless = "--codec FFV1 --audio-codec pcm --data mine.zip";
  ASSERT_EQ(runPlayer(dir, "--capture whole.mkv --from 60 --to 60.3 " + lossless, errors), 0) << errors;
  int status = 0;
  const std::string log = runCommand("cd '" + dir.path() + "' && PYLON_FARM_PROGRESS_SECONDS=1 bash '" +
                                         PYLON_SOURCE_DIR + "/scripts/render-farm.sh' -n 3 --from 60 --to 60.3 " +
                                         "--audio-codec pcm --player '" + player() + "' farm.mkv -- --size 160x120 " +
                                         lossless + " 2>&1",
                                     &status);
  ASSERT_EQ(status, 0) << log;
  EXPECT_NE(log.find("render-farm: 10 of 10 frames\n"), std::string::npos) << log;
  const auto whole = decodeFrames(dir.file("whole.mkv"), 160, 120);
  const auto farm = decodeFrames(dir.file("farm.mkv"), 160, 120);
  ASSERT_EQ(whole.size(), 10u);
  ASSERT_EQ(farm.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) EXPECT_TRUE(farm[i] == whole[i]) << "frame " << i;
  const auto sound = decodeAudio(dir.file("whole.mkv"));
  EXPECT_FALSE(sound.empty());
  EXPECT_TRUE(decodeAudio(dir.file("farm.mkv")) == sound);
}
