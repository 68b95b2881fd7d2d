// The engine's Sound service: version check, driver list, init from the archive with its
// failures, playback operations, spectrum averaging and wave data, and start-up ending on
// a damaged music file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "SoundFixtures.h"
#include "platform/Events.h"
#include "platform/audio/System.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "sound/Sound.h"
#include "support/TestSupport.h"

using namespace sound_fixtures;
using testing_support::MessageRecorder;
using testing_support::ScratchDir;

namespace {

constexpr int kOffline = static_cast<int>(audio::OutputType::Offline);

class SoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new ScratchDir();
    tones = new std::string(makeOgg(dir->file("tones.ogg"), "sine 440 sine 1000", 20.0));
    reference = new std::vector<float>(decodeAll(*tones));
  }
  static void TearDownTestSuite() {
    delete reference;
    delete tones;
    delete dir;
  }
  void SetUp() override {
    ASSERT_FALSE(tones->empty()) << "sox could not make the test file";
    Runtime::destroyForTesting();
    audio::testOverrides() = audio::TestOverrides{};
  }
  void TearDown() override {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
    audio::testOverrides() = audio::TestOverrides{};
  }

  // A Runtime whose loader opened an archive holding `members`, with the music output set.
  Runtime* runtimeWith(const std::vector<std::pair<std::string, std::string>>& members, int output = kOffline) {
    const std::string archive = dir->file("data-" + std::to_string(++archives) + ".zip");
    makeArchive(archive, members);
    programOptions().dataFile = archive;
    Runtime* runtime = Runtime::instance();
    EXPECT_TRUE(runtime->loader->opened);
    runtime->screen->config.soundOutput = output;
    return runtime;
  }
  Runtime* runtimeWithMusic(const std::string& bytes, int output = kOffline) {
    return runtimeWith({{Sound::kMusicPath, bytes}}, output);
  }

  MessageRecorder boxes;
  static ScratchDir* dir;
  static std::string* tones;
  static std::vector<float>* reference;
  static int archives;
};
ScratchDir* SoundTest::dir;
std::string* SoundTest::tones;
std::vector<float>* SoundTest::reference;
int SoundTest::archives = 0;

TEST_F(SoundTest, TooOldVersionIsRefusedAndTheOldestGoodOneAccepted) {
  Runtime* runtime = runtimeWithMusic(*tones);
  std::vector<std::string> drivers;
  audio::testOverrides().version = 0x00042206;
  EXPECT_EQ(runtime->sound->getDeviceName(drivers), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "You are using too old FMOD version, please upgrade.");
  EXPECT_EQ(boxes.boxes[0].caption, "Sound::getDeviceName");
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Error);
  EXPECT_EQ(runtime->sound->system, nullptr);

  // Without a driver list, init creates the system itself and checks with its own caption.
  EXPECT_EQ(runtime->sound->init(), 1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].caption, "Sound::init");
  EXPECT_EQ(boxes.boxes[1].text, "You are using too old FMOD version, please upgrade.");

  audio::testOverrides().version = 0x00042207;
  EXPECT_EQ(runtime->sound->getDeviceName(drivers), 0);
  EXPECT_EQ(runtime->sound->init(), 0);
  EXPECT_TRUE(runtime->sound->loaded);
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(SoundTest, SystemCreationFailureShowsItsText) {
  Runtime* runtime = runtimeWithMusic(*tones);
  audio::testOverrides().createResult = audio::Result::CreateFailed;
  std::vector<std::string> drivers;
  EXPECT_EQ(runtime->sound->getDeviceName(drivers), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, audio::errorString(audio::Result::CreateFailed));
  EXPECT_EQ(boxes.boxes[0].caption, "Sound::getDeviceName");
}

TEST_F(SoundTest, DriverListComesFromTheAudioDevicesAndMayBeEmpty) {
  ScratchDir logDir;
  Runtime* runtime = runtimeWithMusic(*tones);
  runtime->logger->path = logDir.file("Pylon.txt");
  ASSERT_EQ(runtime->logger->create(), 0);

  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::vector<std::string> drivers;
  EXPECT_EQ(runtime->sound->getDeviceName(drivers), 0);
  ASSERT_EQ(drivers.size(), 1u);
  runtime->logger->flush();
  EXPECT_NE(testing_support::readFile(logDir.file("Pylon.txt")).find("sounddriver: " + drivers[0] + "\n"),
            std::string::npos);

  // A machine without sound drivers: an empty list, and no failure.
  Runtime::destroyForTesting();
  runtime = runtimeWithMusic(*tones);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  drivers.clear();
  EXPECT_EQ(runtime->sound->getDeviceName(drivers), 0);
  EXPECT_TRUE(drivers.empty());
  EXPECT_TRUE(boxes.boxes.empty());
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST_F(SoundTest, OutputMethodListForTheDialog) {
  const auto methods = Sound::outputMethods();
  ASSERT_GE(methods.size(), 2u);
  EXPECT_EQ(methods.front().text, "Auto detect best method");
  EXPECT_EQ(methods.front().value, 0);
  EXPECT_EQ(methods.back().text, "No Sound");
  EXPECT_EQ(methods.back().value, 2);
}

TEST_F(SoundTest, VolumeBeforeLoadingIsZeroAndOperationsDoNothing) {
  Runtime* runtime = runtimeWithMusic(*tones);
  Sound& sound = *runtime->sound;
  EXPECT_EQ(sound.getVolume(), 0.0f);
  sound.pause();
  sound.resume();
  sound.seek(3.0);
  sound.setVolume(0.5f);
  sound.play();
  sound.update();
  sound.stop();
  EXPECT_EQ(sound.channel, nullptr);
  float* spectrum = sound.getSpectrum();
  EXPECT_EQ(spectrum, sound.spectrumLeft);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(spectrum[i], 0.0f);
  EXPECT_EQ(sound.getWaveData(), sound.spectrumLeft);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SoundTest, MusicFromTheArchivePlaysAndEachSidePeaksInItsBand) {
  Runtime* runtime = runtimeWithMusic(*tones);
  Sound& sound = *runtime->sound;
  ASSERT_EQ(sound.init(), 0);
  ASSERT_TRUE(sound.loaded);
  EXPECT_EQ(sound.createInfo.cbsize, static_cast<int>(sizeof(audio::CreateSoundExInfo)));
  EXPECT_EQ(sound.createInfo.length, tones->size());
  sound.play();
  ASSERT_NE(sound.channel, nullptr);
  EXPECT_EQ(sound.getVolume(), 1.0f);
  sound.system->renderFrames(nullptr, 44100);
  sound.update();

  float* mean = sound.getSpectrum();
  EXPECT_EQ(mean, sound.spectrumLeft);
  EXPECT_EQ(peakBand(sound.spectrumRight, 512), 23);
  // The mean holds both tones at about half their one-sided strength.
  EXPECT_GT(mean[10], 0.15f);
  EXPECT_GT(mean[23], 0.15f);
  EXPECT_NEAR(mean[23], sound.spectrumRight[23] / 2, 0.02f);
  const float* wave = sound.getWaveData();
  EXPECT_EQ(wave, sound.waveData);
  for (int i = 0; i < 256; ++i) ASSERT_FLOAT_EQ(wave[i], (*reference)[2 * (44100 - 256 + i)]) << i;
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SoundTest, TheSpectrumHandedOutIsTheMeanOfBothSides) {
  // A sine on band 10's centre, 0.2 strong on the left and 0.4 on the right.
  const std::string bytes =
      makeOgg(dir->file("mean.ogg"), "sine 430.6640625 sine 430.6640625 remix 1v0.2 2v0.4", 3.0, 44100, 2, 1.0);
  ASSERT_FALSE(bytes.empty());
  Runtime* runtime = runtimeWithMusic(bytes);
  Sound& sound = *runtime->sound;
  ASSERT_EQ(sound.init(), 0);
  sound.play();
  sound.system->renderFrames(nullptr, 44100);

  float left[512], right[512];
  sound.system->getSpectrum(left, 512, 0, audio::FftWindow::Rect);
  sound.system->getSpectrum(right, 512, 1, audio::FftWindow::Rect);
  EXPECT_NEAR(left[10], 0.2f, 0.01f);
  EXPECT_NEAR(right[10], 0.4f, 0.01f);
  const float* mean = sound.getSpectrum();
  EXPECT_NEAR(mean[10], 0.3f, 0.01f);
  for (int i = 0; i < 512; ++i) ASSERT_FLOAT_EQ(mean[i], (left[i] + right[i]) * 0.5f) << i;
}

TEST_F(SoundTest, SeekPauseResumeAndVolumeActOnTheChannel) {
  Runtime* runtime = runtimeWithMusic(*tones);
  Sound& sound = *runtime->sound;
  ASSERT_EQ(sound.init(), 0);
  sound.play();
  unsigned ms = 0;
  sound.seek(12.3456);
  sound.channel->getPosition(&ms, audio::TimeUnit::Ms);
  EXPECT_EQ(ms, 12345u);
  std::vector<float> out(2 * 1000);
  sound.system->renderFrames(out.data(), 1000);
  const size_t from = 2 * 544415;  // 12.345 s at 44.1 kHz
  for (int i = 0; i < 2000; ++i) ASSERT_NEAR(out[i], (*reference)[from + i], 1e-6) << i;

  sound.pause();
  sound.channel->getPosition(&ms, audio::TimeUnit::Ms);
  const unsigned pausedAt = ms;
  sound.system->renderFrames(nullptr, 44100);
  sound.channel->getPosition(&ms, audio::TimeUnit::Ms);
  EXPECT_EQ(ms, pausedAt);
  sound.resume();
  sound.system->renderFrames(nullptr, 4410);
  sound.channel->getPosition(&ms, audio::TimeUnit::Ms);
  EXPECT_NEAR(static_cast<double>(ms), pausedAt + 100.0, 1.0);

  sound.seek(-4.0);  // before the start: the start
  sound.channel->getPosition(&ms, audio::TimeUnit::Ms);
  EXPECT_EQ(ms, 0u);

  sound.setVolume(0.35f);
  EXPECT_FLOAT_EQ(sound.getVolume(), 0.35f);
  sound.stop();
  bool playing = true;
  sound.channel->isPlaying(&playing);
  EXPECT_FALSE(playing);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SoundTest, MissingMusicSaysWhatIsMissingAndDamagedMusicNamesTheFile) {
  ScratchDir logDir;
  Runtime* runtime = runtimeWith({{"other.txt", "x"}});
  runtime->logger->path = logDir.file("Pylon.txt");
  runtime->logger->create();
  EXPECT_EQ(runtime->sound->init(), 1);
  EXPECT_FALSE(runtime->sound->loaded);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Sound::init");
  EXPECT_NE(boxes.boxes[0].text.find(" file not found: music/ambient_adventure_by_tessar.ogg"), std::string::npos)
      << boxes.boxes[0].text;
  boxes.boxes.clear();
  runtime->logger->flush();
  EXPECT_NE(testing_support::readFile(logDir.file("Pylon.txt")).find(" sound init: no data.\n"), std::string::npos);

  Runtime::destroyForTesting();
  runtime = runtimeWithMusic(std::string(20000, 'Q'));
  EXPECT_EQ(runtime->sound->init(), 1);
  EXPECT_FALSE(runtime->sound->loaded);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Sound::init");
  const std::string named = "\n\nmusic/ambient_adventure_by_tessar.ogg in ";
  EXPECT_EQ(boxes.boxes[0].text.rfind("The music is not an Ogg Vorbis file." + named, 0), 0u) << boxes.boxes[0].text;
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Error);

  // A real Ogg file cut off inside its headers.
  Runtime::destroyForTesting();
  runtime = runtimeWithMusic(tones->substr(0, 200));
  EXPECT_EQ(runtime->sound->init(), 1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].caption, "Sound::init");
  EXPECT_EQ(boxes.boxes[1].text.rfind("The Ogg Vorbis file is damaged and cannot be decoded." + named, 0), 0u);
}

TEST_F(SoundTest, ACreateBufferFailureGetsExactlyOneStereoRetry) {
  Runtime* runtime = runtimeWithMusic(*tones);
  audio::testOverrides().initResults = {audio::Result::OutputCreateBuffer};
  ASSERT_EQ(runtime->sound->init(), 0);
  EXPECT_EQ(audio::testOverrides().initCalls, 2);
  audio::SpeakerMode mode{};
  runtime->sound->system->getSpeakerMode(&mode);
  EXPECT_EQ(mode, audio::SpeakerMode::Stereo);
  EXPECT_TRUE(boxes.boxes.empty());

  Runtime::destroyForTesting();
  audio::testOverrides() = audio::TestOverrides{};
  runtime = runtimeWithMusic(*tones);
  audio::testOverrides().initResults = {audio::Result::OutputCreateBuffer, audio::Result::OutputCreateBuffer,
                                        audio::Result::Ok};
  EXPECT_EQ(runtime->sound->init(), 1);
  EXPECT_EQ(audio::testOverrides().initCalls, 2);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Error creating hardware sound buffer.");
  EXPECT_EQ(boxes.boxes[0].caption, "Sound::init");

  // Any other failure gets no retry.
  Runtime::destroyForTesting();
  audio::testOverrides() = audio::TestOverrides{};
  runtime = runtimeWithMusic(*tones);
  audio::testOverrides().initResults = {audio::Result::OutputInit};
  EXPECT_EQ(runtime->sound->init(), 1);
  EXPECT_EQ(audio::testOverrides().initCalls, 1);
  EXPECT_EQ(boxes.boxes.back().text, audio::errorString(audio::Result::OutputInit));
}

TEST_F(SoundTest, SoundOutputOptionChoosesTheMethod) {
  Runtime* runtime = runtimeWithMusic(*tones, 0);
  programOptions().soundOutput = "nosound";
  ASSERT_EQ(runtime->sound->init(), 0);
  audio::OutputType output{};
  runtime->sound->system->getOutput(&output);
  EXPECT_EQ(output, audio::OutputType::NoSound);

  Runtime::destroyForTesting();
  runtime = runtimeWithMusic(*tones, 0);
  programOptions().soundOutput = "directsound";
  EXPECT_EQ(runtime->sound->init(), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Sound::init");
  EXPECT_NE(boxes.boxes[0].text.find("\"directsound\""), std::string::npos);
  EXPECT_NE(boxes.boxes[0].text.find("pulseaudio"), std::string::npos);
}

TEST_F(SoundTest, NoSoundOutputStillFeedsTheSpectrumInRealTime) {
  Runtime* runtime = runtimeWithMusic(*tones, static_cast<int>(audio::OutputType::NoSound));
  Sound& sound = *runtime->sound;
  ASSERT_EQ(sound.init(), 0);
  sound.play();
  float peak = 0.0f;
  for (int frame = 0; frame < 30 && peak < 0.15f; ++frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sound.update();
    peak = sound.getSpectrum()[23];
  }
  EXPECT_GT(peak, 0.15f);
}

TEST_F(SoundTest, StartUpEndsWithExitCodeOneOnADamagedMusicFile) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display for the window";
  runtimeWithMusic(std::string(5000, 'Z'));
  Runtime::destroyForTesting();  // runEngine builds its own, from the options
  programOptions().noDialog = true;
  programOptions().windowed = true;
  programOptions().soundOutput = "nosound";
  bool demoStarted = false;
  DemoHooks hooks;
  hooks.init = [&] {
    demoStarted = true;
    return 0;
  };
  EXPECT_EQ(runEngine(hooks), 1);
  EXPECT_FALSE(demoStarted);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_EQ(boxes.boxes.back().caption, "Sound::init");
  EXPECT_EQ(boxes.boxes.back().text.rfind("The music is not an Ogg Vorbis file.\n\n", 0), 0u);
  Runtime::instance()->screen->shutdown();
}

}  // namespace
