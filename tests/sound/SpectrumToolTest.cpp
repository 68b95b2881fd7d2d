// pylon spectrum: the archive's music analysed as playback would, and its failures.
#include <gtest/gtest.h>

#include <sstream>

#include "SoundFixtures.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "sound/Sound.h"
#include "support/TestSupport.h"

using namespace sound_fixtures;
using testing_support::ScratchDir;

namespace {

std::string pylon() { return std::string(PYLON_BINARY_DIR) + "/pylon"; }

class SpectrumToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tones = makeOgg(dir.file("tones.ogg"), "sine 440 sine 1000", 6.0);
    ASSERT_FALSE(tones.empty());
    archive = dir.file("data.zip");
    makeArchive(archive, {{Sound::kMusicPath, tones}});
  }
  int run(const std::string& arguments, std::string* out) {
    out->clear();
    return runCommand(pylon() + " spectrum " + arguments + " 2>&1", out);
  }
  ScratchDir dir;
  std::string tones, archive;
};

TEST_F(SpectrumToolTest, PrintsTheBandsPlaybackHandsTheDemoAtThatTime) {
  std::string out;
  ASSERT_EQ(run(archive + " --at 2.5", &out), 0) << out;
  std::istringstream lines(out);
  std::vector<float> bands;
  int index;
  float value;
  while (lines >> index >> value) {
    ASSERT_EQ(index, static_cast<int>(bands.size()));
    bands.push_back(value);
  }
  ASSERT_EQ(bands.size(), 512u);
  // The mean of 440 Hz on the left and 1 kHz on the right: both bands stand out.
  std::vector<float> rest = bands;
  rest[10] = rest[11] = rest[22] = rest[23] = rest[24] = 0;
  EXPECT_GT(bands[10], 0.1f);
  EXPECT_GT(bands[23], 0.1f);
  EXPECT_LT(rest[peakBand(rest.data(), 512)], 0.5f * bands[10]);

  // The same numbers as the running service after 2.5 s of playback.
  Runtime::destroyForTesting();
  programOptions().dataFile = archive;
  Runtime* runtime = Runtime::instance();
  runtime->screen->config.soundOutput = static_cast<int>(audio::OutputType::Offline);
  ASSERT_EQ(runtime->sound->init(), 0);
  runtime->sound->play();
  runtime->sound->system->renderFrames(nullptr, 110250);
  const float* live = runtime->sound->getSpectrum();
  for (int i = 0; i < 512; ++i) ASSERT_NEAR(bands[i], live[i], 2e-6) << i;
  Runtime::destroyForTesting();
  programOptions() = ProgramOptions{};

  ASSERT_EQ(run(archive + " --at 2.5 --band 23", &out), 0);
  EXPECT_NEAR(std::stof(out), bands[23], 2e-6);
  ASSERT_EQ(run(archive + " --band 23 --at 0.01", &out), 0);  // less than one window in
  EXPECT_GT(std::stof(out), 0.01f);
}

TEST_F(SpectrumToolTest, MissingOrDamagedMusicAndBadArgumentsExitWithOne) {
  std::string out;
  const std::string empty = dir.file("empty.zip");
  makeArchive(empty, {{"other.txt", "x"}});
  EXPECT_EQ(run(empty + " --at 1", &out), 1);
  EXPECT_NE(out.find("holds no music/ambient_adventure_by_tessar.ogg"), std::string::npos) << out;

  const std::string damaged = dir.file("damaged.zip");
  makeArchive(damaged, {{Sound::kMusicPath, tones.substr(0, 300)}});
  EXPECT_EQ(run(damaged + " --at 1", &out), 1);
  EXPECT_NE(out.find("damaged"), std::string::npos) << out;

  EXPECT_EQ(run(dir.file("none.zip") + " --at 1", &out), 1);
  EXPECT_NE(out.find("cannot open the archive"), std::string::npos) << out;
  EXPECT_EQ(run(archive + " --at 60", &out), 1);
  EXPECT_NE(out.find("outside the music"), std::string::npos) << out;
  for (const char* bad : {" --at soon", " --at 1 --band 512", " --at nan", " --at -inf", " --at 1 --band nan"}) {
    EXPECT_EQ(run(archive + bad, &out), 1) << bad;
    EXPECT_NE(out.find("usage: pylon spectrum"), std::string::npos) << bad << out;
  }
  EXPECT_EQ(run(archive, &out), 1);
  EXPECT_NE(out.find("usage: pylon spectrum"), std::string::npos);
}

}  // namespace
