// The player's --shot through the whole chain: the production's own timeline at its
// landmarks, written as PNG and read back.
#include <IL/il.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "platform/MessageBox.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

struct Shot {
  int exitCode = -1;
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows as DevIL hands them
  std::string errors;
  double mean() const {
    double sum = 0;
    for (uint8_t v : rgb) sum += v;
    return rgb.empty() ? 0 : sum / static_cast<double>(rgb.size());
  }
  int max() const { return rgb.empty() ? -1 : *std::max_element(rgb.begin(), rgb.end()); }
};

Shot shoot(const ScratchDir& dir, const std::string& seconds,
           const std::string& archive = std::string(PYLON_BINARY_DIR) + "/data.zip",
           const std::string& settings = "--no-dialog --windowed --size 256x192") {
  Shot shot;
  const std::string file = dir.file("shot-" + seconds + ".png");
  // A run that waited for a dialog would hang: it is stopped after two minutes.
  const std::string command = "cd '" + dir.path() + "' && timeout 120 '" + PYLON_BINARY_DIR + "/veltro12' " + settings +
                              " --data '" + archive + "' --shot " + seconds + " '" + file + "' 2>errors.txt";
  const int status = std::system(command.c_str());
  shot.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  shot.errors = readFile(dir.file("errors.txt"));
  static bool started = (ilInit(), true);
  (void)started;
  ILuint image = ilGenImage();
  ilBindImage(image);
  if (ilLoadImage(file.c_str())) {
    shot.width = ilGetInteger(IL_IMAGE_WIDTH);
    shot.height = ilGetInteger(IL_IMAGE_HEIGHT);
    shot.rgb.resize(static_cast<size_t>(shot.width) * shot.height * 3);
    ilCopyPixels(0, 0, 0, static_cast<ILuint>(shot.width), static_cast<ILuint>(shot.height), 1, IL_RGB,
                 IL_UNSIGNED_BYTE, shot.rgb.data());
  }
  ilDeleteImage(image);
  return shot;
}

}  // namespace

TEST(PlayerShot, TheTimelinesLandmarksLookAsThePartsSay) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const Shot start = shoot(dir, "0"), fading = shoot(dir, "1"), city = shoot(dir, "30"), after = shoot(dir, "121");
  for (const Shot* s : {&start, &fading, &city, &after}) {
    ASSERT_EQ(s->exitCode, 0) << s->errors;
    ASSERT_EQ(s->width, 256);
    ASSERT_EQ(s->height, 192);
  }
  EXPECT_EQ(start.max(), 0);  // the first instant of the fade from black
  // Half a fade in: some of the city, less than when it is fully in.
  EXPECT_GT(fading.mean(), 1.0);
  EXPECT_LT(fading.mean(), city.mean() * 0.8);
  EXPECT_GT(city.mean(), 15.0);
  // After 120 s nothing is drawn but the beat flash, and the music is silent by then.
  EXPECT_LE(after.max(), 2);
}

TEST(PlayerShot, WithoutASceneFileTheShotFailsWithCodeOne) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  // An archive without city-03.pb: the city part cannot load, nothing is written.
  const std::string archive = dir.file("nocity.zip");
  ASSERT_EQ(std::system(("cp '" + std::string(PYLON_BINARY_DIR) + "/data.zip' '" + archive + "' && zip -q -d '" +
                         archive + "' city-03.pb")
                            .c_str()),
            0);
  const Shot s = shoot(dir, "5", archive);
  EXPECT_EQ(s.exitCode, 1) << s.errors;
  EXPECT_TRUE(s.rgb.empty());
}

TEST(PlayerShot, AnEffectThatDoesNotCompileIsNamedToTheUserWithoutALog) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const std::string archive = dir.file("badcars.zip");
  writeFile(dir.file("cars.cgfx"), "technique main { pass p0 { } } garbage {\n");
  ASSERT_EQ(std::system(("cp '" + std::string(PYLON_BINARY_DIR) + "/data.zip' '" + archive + "' && cd '" + dir.path() +
                         "' && mkdir -p shaders && cp cars.cgfx shaders/ && zip -q '" + archive + "' shaders/cars.cgfx")
                            .c_str()),
            0);
  const Shot s = shoot(dir, "50", archive);
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.rgb.empty());
  EXPECT_NE(s.errors.find("DemoPlayer::init: The production could not be loaded:"), std::string::npos) << s.errors;
  EXPECT_NE(s.errors.find("shaders/cars.cgfx"), std::string::npos) << s.errors;
  EXPECT_NE(s.errors.find("did not compile"), std::string::npos) << s.errors;
}

TEST(PlayerShot, AShotWithoutSettingsSkipsTheDialogAndIsA1080pWindowAsTheLogSays) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const Shot s = shoot(dir, "0", std::string(PYLON_BINARY_DIR) + "/data.zip", "--log");
  ASSERT_EQ(s.exitCode, 0) << s.errors;
  EXPECT_EQ(s.width, 1920);
  EXPECT_EQ(s.height, 1080);
  // The log gives the mode the window opened with, not the one pre-selected for the desktop.
  EXPECT_NE(readFile(dir.file("Pylon.txt")).find("Resolution: 1920x1080\nFullscreen: 0\n"), std::string::npos);
}
