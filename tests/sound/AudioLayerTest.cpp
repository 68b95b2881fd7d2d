// The audio layer on its own: error texts, spectrum analysis, decoding from memory, and the
// System with its channels on the offline, silent and SDL outputs.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

#include "SoundFixtures.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/SpectrumAnalyser.h"
#include "platform/audio/System.h"
#include "platform/audio/VorbisStream.h"
#include "support/TestSupport.h"

using namespace audio;
using namespace sound_fixtures;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBandHz = 44100.0 / 1024.0;

TEST(AudioErrorText, EveryReturnedCodeHasItsOwnTextAndOthersAreUnknown) {
  EXPECT_STREQ(errorString(0), "No errors.");
  EXPECT_STREQ(errorString(Result::OutputCreateBuffer), "Error creating hardware sound buffer.");
  EXPECT_EQ(static_cast<int>(Result::OutputCreateBuffer), 57);
  for (int code : {-1, 16, 56, 58, 90, 1000}) EXPECT_STREQ(errorString(code), "Unknown error.") << code;
  std::set<std::string> seen;
  for (int code = 1; code <= 57; ++code) {
    const std::string text = errorString(code);
    if (text == "Unknown error.") continue;
    EXPECT_TRUE(seen.insert(text).second) << "two codes share " << text;
  }
  EXPECT_EQ(seen.size(), 16u);
}

// A sine of `amplitude` at `hz`, 2 × bands samples at 44.1 kHz.
std::vector<float> sine(double hz, double amplitude, int samples) {
  std::vector<float> out(samples);
  for (int i = 0; i < samples; ++i) out[i] = static_cast<float>(amplitude * std::sin(2 * kPi * hz * i / 44100.0));
  return out;
}

TEST(SpectrumAnalyserTest, FullScaleSineOnABandCentreReadsOneInThatBandWithEveryWindow) {
  SpectrumAnalyser analyser;
  std::vector<float> bands(512);
  const auto signal = sine(23 * kBandHz, 1.0, 1024);
  for (FftWindow window : {FftWindow::Rect, FftWindow::Triangle, FftWindow::Hamming, FftWindow::Hanning,
                           FftWindow::Blackman, FftWindow::BlackmanHarris}) {
    ASSERT_EQ(analyser.analyse(signal.data(), 512, window, bands.data()), Result::Ok);
    EXPECT_EQ(peakBand(bands.data(), 512), 23);
    EXPECT_NEAR(bands[23], 1.0, 0.01) << static_cast<int>(window);
  }
  // The rectangular window leaks nothing from a band-centred sine.
  analyser.analyse(signal.data(), 512, FftWindow::Rect, bands.data());
  EXPECT_NEAR(bands[22], 0.0, 1e-4);
  EXPECT_NEAR(bands[100], 0.0, 1e-4);
}

TEST(SpectrumAnalyserTest, OffCentreToneAndSilenceAndOtherSizes) {
  SpectrumAnalyser analyser;
  std::vector<float> bands(8192);
  // 440 Hz lies between bands 10 and 11; the nearer one wins and reads less than the full value.
  auto signal = sine(440.0, 0.5, 1024);
  analyser.analyse(signal.data(), 512, FftWindow::Rect, bands.data());
  EXPECT_EQ(peakBand(bands.data(), 512), 10);
  EXPECT_GT(bands[10], 0.3);
  EXPECT_LT(bands[10], 0.5);

  std::vector<float> silence(1024, 0.0f);
  analyser.analyse(silence.data(), 512, FftWindow::Rect, bands.data());
  for (int i = 0; i < 512; ++i) ASSERT_EQ(bands[i], 0.0f);

  std::vector<float> constant(1024, 0.25f);
  analyser.analyse(constant.data(), 512, FftWindow::Rect, bands.data());
  EXPECT_NEAR(bands[0], 0.25, 1e-5);

  signal = sine(100 * 44100.0 / 16384.0, 1.0, 16384);
  ASSERT_EQ(analyser.analyse(signal.data(), 8192, FftWindow::Rect, bands.data()), Result::Ok);
  EXPECT_EQ(peakBand(bands.data(), 8192), 100);
  EXPECT_NEAR(bands[100], 1.0, 1e-3);

  for (int bad : {0, 32, 100, 513, 16384}) {
    EXPECT_EQ(analyser.analyse(signal.data(), bad, FftWindow::Rect, bands.data()), Result::InvalidParam) << bad;
  }
  EXPECT_EQ(analyser.analyse(signal.data(), 512, static_cast<FftWindow>(17), bands.data()), Result::InvalidParam);
}

// One Ogg fixture per test binary: sox runs once.
class OggFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new testing_support::ScratchDir();
    tones = new std::string(makeOgg(dir->file("tones.ogg"), "sine 440 sine 1000", 15.0));
    reference = new std::vector<float>(decodeAll(*tones));
  }
  static void TearDownTestSuite() {
    delete reference;
    delete tones;
    delete dir;
  }
  void SetUp() override { ASSERT_FALSE(tones->empty()) << "sox could not make the test file"; }

  static testing_support::ScratchDir* dir;
  static std::string* tones;
  static std::vector<float>* reference;
};
testing_support::ScratchDir* OggFixture::dir;
std::string* OggFixture::tones;
std::vector<float>* OggFixture::reference;

using VorbisStreamTest = OggFixture;

TEST_F(VorbisStreamTest, DecodesFromTheCallersBlockAndSeeksToTheExactFrame) {
  VorbisStream stream;
  ASSERT_EQ(stream.open(tones->data(), tones->size()), Result::Ok);
  EXPECT_EQ(stream.rate(), 44100);
  EXPECT_EQ(stream.channels(), 2);
  EXPECT_EQ(stream.lengthFrames(), reference->size() / 2);
  EXPECT_EQ(stream.lengthFrames(), 15u * 44100u);

  std::vector<float> frames(2 * 3000);
  ASSERT_EQ(stream.read(frames.data(), 3000), 3000);
  for (int i = 0; i < 6000; ++i) ASSERT_FLOAT_EQ(frames[i], (*reference)[i]) << i;

  const uint64_t target = 544415;
  ASSERT_EQ(stream.seek(target), Result::Ok);
  EXPECT_EQ(stream.position(), target);
  ASSERT_EQ(stream.read(frames.data(), 3000), 3000);
  for (int i = 0; i < 6000; ++i) ASSERT_NEAR(frames[i], (*reference)[2 * target + i], 1e-6) << i;
  EXPECT_EQ(stream.position(), target + 3000);

  EXPECT_EQ(stream.seek(stream.lengthFrames() + 1), Result::InvalidPosition);
  ASSERT_EQ(stream.seek(stream.lengthFrames() - 100), Result::Ok);
  EXPECT_EQ(stream.read(frames.data(), 3000), 100);
  EXPECT_EQ(stream.read(frames.data(), 3000), 0);
}

TEST_F(VorbisStreamTest, DamagedDataIsRefusedOrEndsTheStreamWithoutHanging) {
  VorbisStream garbage;
  const std::string noise(4000, '\x5a');
  EXPECT_EQ(garbage.open(noise.data(), noise.size()), Result::NotVorbis);
  EXPECT_EQ(garbage.read(nullptr, 10), 0);

  VorbisStream cut;
  const std::string header = tones->substr(0, 60);
  EXPECT_NE(cut.open(header.data(), header.size()), Result::Ok);

  VorbisStream empty;
  EXPECT_EQ(empty.open(tones->data(), 0), Result::InvalidParam);

  // Overwritten pages in the middle: decoding skips them and still ends.
  std::string damaged = *tones;
  for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 3000; ++i) damaged[i] = static_cast<char>(i * 7);
  VorbisStream stream;
  ASSERT_EQ(stream.open(damaged.data(), damaged.size()), Result::Ok);
  std::vector<float> frames(2 * 4096);
  uint64_t total = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    const int got = stream.read(frames.data(), 4096);
    if (got == 0) break;
    total += static_cast<uint64_t>(got);
  }
  EXPECT_GT(total, stream.lengthFrames() / 2);
  EXPECT_LE(total, stream.lengthFrames());
}

TEST(AudioOutputMethods, AutoDetectFirstNoSoundLastAndNoWindowsMethods) {
  const auto methods = outputMethods();
  ASSERT_GE(methods.size(), 2u);
  EXPECT_EQ(methods.front().type, OutputType::AutoDetect);
  EXPECT_STREQ(methods.front().label, "Auto detect best method");
  EXPECT_EQ(methods.back().type, OutputType::NoSound);
  EXPECT_STREQ(methods.back().label, "No Sound");
  for (const OutputMethod& method : methods) {
    for (int windowsOnly : {6, 7, 8, 10}) EXPECT_NE(static_cast<int>(method.type), windowsOnly);
  }
  OutputType type{};
  ASSERT_TRUE(outputTypeFromName("PulseAudio", &type));
  EXPECT_EQ(type, OutputType::PulseAudio);
  ASSERT_TRUE(outputTypeFromName("nosound", &type));
  EXPECT_EQ(type, OutputType::NoSound);
  EXPECT_FALSE(outputTypeFromName("directsound", &type));
  EXPECT_FALSE(outputTypeFromName("", &type));
}

// A System on the offline output: the mix advances only when the test renders.
class OfflineSystemTest : public OggFixture {
 protected:
  void SetUp() override {
    OggFixture::SetUp();
    ASSERT_EQ(System_Create(&system), Result::Ok);
    ASSERT_EQ(system->setOutput(OutputType::Offline), Result::Ok);
    ASSERT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  }
  void TearDown() override {
    if (system) system->release();
  }
  Sound* open(const std::string& bytes) {
    CreateSoundExInfo info;
    info.cbsize = sizeof(info);
    info.length = static_cast<unsigned>(bytes.size());
    Sound* sound = nullptr;
    EXPECT_EQ(
        system->createSound(bytes.data(), kModeSoftware | kModeCreateStream | kModeAccurateTime | kModeOpenMemoryPoint,
                            &info, &sound),
        Result::Ok);
    return sound;
  }
  unsigned positionMs(Channel* channel) {
    unsigned ms = 0;
    EXPECT_EQ(channel->getPosition(&ms, TimeUnit::Ms), Result::Ok);
    return ms;
  }
  System* system = nullptr;
};

TEST_F(OfflineSystemTest, PlaysFromMemoryAndEachSideOfTheSpectrumPeaksInItsBand) {
  Sound* music = open(*tones);
  ASSERT_NE(music, nullptr);
  unsigned length = 0;
  music->getLength(&length, TimeUnit::Ms);
  EXPECT_EQ(length, 15000u);
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, music, false, &channel), Result::Ok);
  ASSERT_NE(channel, nullptr);

  std::vector<float> out(2 * 44100);
  ASSERT_EQ(system->renderFrames(out.data(), 44100), Result::Ok);
  for (int i = 0; i < 2 * 44100; ++i) ASSERT_FLOAT_EQ(out[i], (*reference)[i]) << i;
  EXPECT_EQ(positionMs(channel), 1000u);

  float left[512], right[512];
  ASSERT_EQ(system->getSpectrum(left, 512, 0, FftWindow::Rect), Result::Ok);
  ASSERT_EQ(system->getSpectrum(right, 512, 1, FftWindow::Rect), Result::Ok);
  EXPECT_EQ(peakBand(left, 512), static_cast<int>(440 / kBandHz));
  EXPECT_EQ(peakBand(right, 512), static_cast<int>(1000 / kBandHz));
  EXPECT_GT(left[10], 0.3f);
  EXPECT_GT(right[23], 0.3f);
  EXPECT_LT(left[23], 0.02f);
  EXPECT_LT(right[10], 0.02f);

  // Wave data: the last samples of the left side, oldest first.
  float wave[256];
  ASSERT_EQ(system->getWaveData(wave, 256, 0), Result::Ok);
  for (int i = 0; i < 256; ++i) ASSERT_FLOAT_EQ(wave[i], out[2 * (44100 - 256 + i)]) << i;

  EXPECT_EQ(system->getSpectrum(left, 512, 2, FftWindow::Rect), Result::InvalidParam);
  EXPECT_EQ(system->getSpectrum(left, 500, 0, FftWindow::Rect), Result::InvalidParam);
  EXPECT_EQ(system->getWaveData(wave, 0, 0), Result::InvalidParam);
}

TEST_F(OfflineSystemTest, SeekInMillisecondsIsExactAndDecodingFollows) {
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, open(*tones), false, &channel), Result::Ok);
  ASSERT_EQ(channel->setPosition(12345, TimeUnit::Ms), Result::Ok);
  EXPECT_EQ(positionMs(channel), 12345u);
  unsigned frame = 0;
  channel->getPosition(&frame, TimeUnit::Pcm);
  EXPECT_EQ(frame, 544415u);  // 12.345 s × 44100, rounded up to a whole frame

  std::vector<float> out(2 * 2000);
  system->renderFrames(out.data(), 2000);
  for (int i = 0; i < 4000; ++i) ASSERT_NEAR(out[i], (*reference)[2 * 544415 + i], 1e-6) << i;
  EXPECT_EQ(positionMs(channel), (544415u + 2000u) * 1000u / 44100u);

  EXPECT_EQ(channel->setPosition(15001, TimeUnit::Ms), Result::InvalidPosition);
  ASSERT_EQ(channel->setPosition(0, TimeUnit::Ms), Result::Ok);
  system->renderFrames(out.data(), 2000);
  for (int i = 0; i < 4000; ++i) ASSERT_FLOAT_EQ(out[i], (*reference)[i]) << i;
}

TEST_F(OfflineSystemTest, PauseHoldsThePositionAndSilencesTheMix) {
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, open(*tones), false, &channel), Result::Ok);
  system->renderFrames(nullptr, 22050);
  ASSERT_EQ(channel->setPaused(true), Result::Ok);
  bool paused = false;
  channel->getPaused(&paused);
  EXPECT_TRUE(paused);
  std::vector<float> out(2 * 4410, 1.0f);
  system->renderFrames(out.data(), 4410);
  EXPECT_EQ(positionMs(channel), 500u);
  for (float v : out) ASSERT_EQ(v, 0.0f);
  channel->setPaused(false);
  system->renderFrames(out.data(), 4410);
  EXPECT_EQ(positionMs(channel), 600u);
  for (int i = 0; i < 2 * 4410; ++i) ASSERT_FLOAT_EQ(out[i], (*reference)[2 * 22050 + i]) << i;
}

TEST_F(OfflineSystemTest, VolumeScalesTheMixAndIsClamped) {
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, open(*tones), false, &channel), Result::Ok);
  float volume = -1;
  channel->getVolume(&volume);
  EXPECT_EQ(volume, 1.0f);
  channel->setVolume(0.25f);
  std::vector<float> out(2 * 1000);
  system->renderFrames(out.data(), 1000);
  for (int i = 0; i < 2000; ++i) ASSERT_NEAR(out[i], 0.25f * (*reference)[i], 1e-6) << i;
  channel->setVolume(3.0f);
  channel->getVolume(&volume);
  EXPECT_EQ(volume, 1.0f);
  channel->setVolume(-2.0f);
  channel->getVolume(&volume);
  EXPECT_EQ(volume, 0.0f);
  channel->setVolume(std::nanf(""));
  channel->getVolume(&volume);
  EXPECT_EQ(volume, 0.0f);
}

TEST_F(OfflineSystemTest, TheEndOfTheStreamStopsPlayingAndAStoppedChannelIsEnded) {
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, open(*tones), false, &channel), Result::Ok);
  channel->setPosition(14990, TimeUnit::Ms);
  std::vector<float> out(2 * 4410, 1.0f);
  system->renderFrames(out.data(), 4410);
  bool playing = true;
  channel->isPlaying(&playing);
  EXPECT_FALSE(playing);
  EXPECT_EQ(positionMs(channel), 15000u);
  EXPECT_EQ(out[2 * 4409], 0.0f);
  // An ended channel plays again from where it is moved to.
  ASSERT_EQ(channel->setPosition(1000, TimeUnit::Ms), Result::Ok);
  channel->isPlaying(&playing);
  EXPECT_TRUE(playing);

  ASSERT_EQ(channel->stop(), Result::Ok);
  EXPECT_EQ(channel->setPaused(false), Result::ChannelEnded);
  EXPECT_EQ(channel->setPosition(0, TimeUnit::Ms), Result::ChannelEnded);
  unsigned ms;
  EXPECT_EQ(channel->getPosition(&ms, TimeUnit::Ms), Result::ChannelEnded);
  EXPECT_EQ(channel->stop(), Result::ChannelEnded);
  system->renderFrames(out.data(), 100);
  EXPECT_EQ(out[0], 0.0f);
}

TEST_F(OfflineSystemTest, AStreamOfAnotherRateIsResampledToTheMixRate) {
  const std::string low = makeOgg(dir->file("low.ogg"), "sine 440 sine 1000", 3.0, 22050);
  ASSERT_FALSE(low.empty());
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, open(low), false, &channel), Result::Ok);
  system->renderFrames(nullptr, 44100);
  const unsigned ms = positionMs(channel);
  EXPECT_GE(ms, 999u);
  EXPECT_LE(ms, 1001u);
  float left[512], right[512];
  system->getSpectrum(left, 512, 0, FftWindow::Rect);
  system->getSpectrum(right, 512, 1, FftWindow::Rect);
  EXPECT_EQ(peakBand(left, 512), 10);
  EXPECT_EQ(peakBand(right, 512), 23);
}

TEST_F(OfflineSystemTest, BadCallsAreRefusedWithTheirCodes) {
  Sound* sound = nullptr;
  CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = 0;
  EXPECT_EQ(system->createSound(tones->data(), kModeOpenMemoryPoint, &info, &sound), Result::InvalidParam);
  info.length = static_cast<unsigned>(tones->size());
  info.cbsize = 3;
  EXPECT_EQ(system->createSound(tones->data(), kModeOpenMemoryPoint, &info, &sound), Result::InvalidParam);
  info.cbsize = sizeof(info);
  EXPECT_EQ(system->createSound(tones->data(), kModeCreateStream, &info, &sound), Result::Unsupported);
  const std::string noise(5000, 'x');
  info.length = static_cast<unsigned>(noise.size());
  EXPECT_EQ(system->createSound(noise.data(), kModeOpenMemoryPoint, &info, &sound), Result::NotVorbis);
  EXPECT_EQ(sound, nullptr);
  EXPECT_EQ(system->playSound(kChannelFree, nullptr, false, nullptr), Result::InvalidHandle);
  EXPECT_EQ(system->init(1, kInitNormal, nullptr), Result::AlreadyInitialized);
  EXPECT_EQ(system->setOutput(OutputType::NoSound), Result::AlreadyInitialized);
  EXPECT_EQ(system->renderFrames(nullptr, -1), Result::InvalidParam);

  System* fresh = nullptr;
  ASSERT_EQ(System_Create(&fresh), Result::Ok);
  float bands[512];
  EXPECT_EQ(fresh->getSpectrum(bands, 512, 0, FftWindow::Rect), Result::NotInitialized);
  EXPECT_EQ(fresh->update(), Result::NotInitialized);
  EXPECT_EQ(fresh->setOutput(static_cast<OutputType>(6)), Result::OutputUnavailable);
  EXPECT_EQ(fresh->init(0, kInitNormal, nullptr), Result::InvalidParam);
  fresh->release();
}

TEST_F(OfflineSystemTest, PlayingAStreamAgainRestartsItAndReleaseStopsItsChannel) {
  Sound* music = open(*tones);
  Channel* first = nullptr;
  system->playSound(kChannelFree, music, false, &first);
  system->renderFrames(nullptr, 44100);
  Channel* second = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, music, true, &second), Result::Ok);
  EXPECT_EQ(first, second);  // one channel: it is reused
  EXPECT_EQ(positionMs(second), 0u);
  bool paused = false;
  second->getPaused(&paused);
  EXPECT_TRUE(paused);
  ASSERT_EQ(music->release(), Result::Ok);
  bool playing = true;
  second->isPlaying(&playing);
  EXPECT_FALSE(playing);
  system->renderFrames(nullptr, 1000);
}

TEST(AudioSystemTest, TestOverridesReachTheFailurePaths) {
  TestOverrides& overrides = testOverrides();
  overrides.createResult = Result::CreateFailed;
  System* system = reinterpret_cast<System*>(1);
  EXPECT_EQ(System_Create(&system), Result::CreateFailed);
  EXPECT_EQ(system, nullptr);
  overrides = TestOverrides{};

  ASSERT_EQ(System_Create(&system), Result::Ok);
  unsigned version = 0;
  system->getVersion(&version);
  EXPECT_GE(version, 0x00042207u);
  overrides.version = 0x00042206;
  system->getVersion(&version);
  EXPECT_EQ(version, 0x00042206u);
  overrides = TestOverrides{};

  system->setOutput(OutputType::Offline);
  overrides.initResults = {Result::OutputCreateBuffer};
  EXPECT_EQ(system->init(1, kInitNormal, nullptr), Result::OutputCreateBuffer);
  EXPECT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  EXPECT_EQ(overrides.initCalls, 2);
  system->release();
  overrides = TestOverrides{};
}

// Restores SDL_AUDIODRIVER when the scope ends.
class AudioDriverEnv {
 public:
  explicit AudioDriverEnv(const char* value) {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    had = old != nullptr;
    if (had) previous = old;
    setenv("SDL_AUDIODRIVER", value, 1);
  }
  ~AudioDriverEnv() {
    if (had)
      setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    else
      unsetenv("SDL_AUDIODRIVER");
  }

 private:
  bool had = false;
  std::string previous;
};

// Plays in real time while the main thread seeks, pauses and reads the spectrum: under
// ThreadSanitizer this is where a missing lock would show.
void exerciseRealTime(System* system, const std::string& bytes) {
  CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = static_cast<unsigned>(bytes.size());
  Sound* music = nullptr;
  ASSERT_EQ(
      system->createSound(bytes.data(), kModeSoftware | kModeCreateStream | kModeAccurateTime | kModeOpenMemoryPoint,
                          &info, &music),
      Result::Ok);
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, music, false, &channel), Result::Ok);
  const auto begin = std::chrono::steady_clock::now();
  float bands[512], wave[256];
  float loudest = 0.0f;
  for (int frame = 0; frame < 40; ++frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(system->update(), Result::Ok);
    system->getSpectrum(bands, 512, frame % 2, FftWindow::Rect);
    system->getWaveData(wave, 256, 0);
    loudest = std::max(loudest, bands[peakBand(bands, 512)]);
    if (frame == 10) channel->setPaused(true);
    if (frame == 12) channel->setPaused(false);
    if (frame == 20) channel->setPosition(5000, TimeUnit::Ms);
    if (frame == 25) channel->setVolume(0.5f);
  }
  const double elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  unsigned ms = 0;
  channel->getPosition(&ms, TimeUnit::Ms);
  // Seeked to 5 s part way: what follows ran in real time (generous bounds for busy machines).
  EXPECT_GT(ms, 5000u);
  EXPECT_LT(ms, 5000u + static_cast<unsigned>(elapsedMs) + 300u);
  EXPECT_GT(loudest, 0.1f);
  channel->stop();
}

TEST_F(OggFixture, NoSoundStillPlaysInRealTime) {
  System* system = nullptr;
  ASSERT_EQ(System_Create(&system), Result::Ok);
  system->setOutput(OutputType::NoSound);
  ASSERT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  OutputType output{};
  system->getOutput(&output);
  EXPECT_EQ(output, OutputType::NoSound);
  exerciseRealTime(system, *tones);
  system->release();
}

// Channel calls in a tight loop against the mixing thread, with nothing else between them
// that would order the two threads: the case ThreadSanitizer needs to see a missing lock.
TEST_F(OggFixture, ChannelCallsDuringMixingNeedNoOtherSynchronisation) {
  System* system = nullptr;
  ASSERT_EQ(System_Create(&system), Result::Ok);
  system->setOutput(OutputType::NoSound);
  ASSERT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  // A stream of another rate also exercises the resampler's state.
  const std::string low = makeOgg(dir->file("low.ogg"), "sine 440 sine 1000", 3.0, 22050);
  CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  for (const std::string* bytes : std::vector<const std::string*>{tones, &low}) {
    info.length = static_cast<unsigned>(bytes->size());
    Sound* music = nullptr;
    ASSERT_EQ(system->createSound(bytes->data(), kModeOpenMemoryPoint, &info, &music), Result::Ok);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(kChannelFree, music, false, &channel), Result::Ok);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    unsigned ms = 0;
    bool flag = false;
    float volume = 0;
    for (unsigned i = 0; std::chrono::steady_clock::now() < end; ++i) {
      channel->setPosition((i * 37) % 2000, TimeUnit::Ms);
      channel->getPosition(&ms, TimeUnit::Ms);
      channel->setPaused(i % 3 == 0);
      channel->setVolume(static_cast<float>(i % 10) / 10.0f);
      channel->getVolume(&volume);
      channel->isPlaying(&flag);
    }
    EXPECT_LT(ms, 3000u);
    music->release();
  }
  system->release();
}

TEST_F(OggFixture, TheHeardPositionIsTheMusicLeavingTheOutputNowAndNoneWhilePaused) {
  System* system = nullptr;
  ASSERT_EQ(System_Create(&system), Result::Ok);
  system->setOutput(OutputType::NoSound);
  ASSERT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  CreateSoundExInfo info;
  info.cbsize = sizeof(info);
  info.length = static_cast<unsigned>(tones->size());
  Sound* music = nullptr;
  ASSERT_EQ(system->createSound(tones->data(), kModeOpenMemoryPoint, &info, &music), Result::Ok);
  Channel* channel = nullptr;
  ASSERT_EQ(system->playSound(kChannelFree, music, false, &channel), Result::Ok);
  const auto begin = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  double heard = -1.0;
  ASSERT_EQ(channel->getHeardPosition(&heard), Result::Ok);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_NEAR(heard, elapsed, 0.03);
  unsigned mixedMs = 0;
  channel->getPosition(&mixedMs, TimeUnit::Ms);
  EXPECT_GE(mixedMs + 1, static_cast<unsigned>(heard * 1000.0));
  channel->setPaused(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(channel->getHeardPosition(&heard), Result::InvalidPosition);
  system->release();
}

TEST_F(OggFixture, AutoDetectPlaysOnSdlsDevice) {
  AudioDriverEnv env("dummy");
  System* system = nullptr;
  ASSERT_EQ(System_Create(&system), Result::Ok);
  int drivers = 0;
  ASSERT_EQ(system->getNumDrivers(&drivers), Result::Ok);
  EXPECT_EQ(drivers, 1);
  char name[128];
  EXPECT_EQ(system->getDriverInfo(0, name, sizeof(name), nullptr), Result::Ok);
  EXPECT_GT(std::strlen(name), 0u);
  EXPECT_EQ(system->getDriverInfo(1, name, sizeof(name), nullptr), Result::InvalidParam);
  ASSERT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  OutputType output{};
  system->getOutput(&output);
  EXPECT_EQ(output, OutputType::AutoDetect);
  EXPECT_NE(system->outputDetail().find("dummy"), std::string::npos) << system->outputDetail();
  exerciseRealTime(system, *tones);
  system->release();
}

TEST_F(OggFixture, AutoDetectWithoutAnyAudioDevicePlaysSilently) {
  AudioDriverEnv env("no-such-driver");
  System* system = nullptr;
  ASSERT_EQ(System_Create(&system), Result::Ok);
  int drivers = -1;
  ASSERT_EQ(system->getNumDrivers(&drivers), Result::Ok);
  EXPECT_EQ(drivers, 0);
  ASSERT_EQ(system->init(1, kInitNormal, nullptr), Result::Ok);
  OutputType output{};
  system->getOutput(&output);
  EXPECT_EQ(output, OutputType::NoSound);
  EXPECT_NE(system->outputDetail().find("no audio device"), std::string::npos);
  exerciseRealTime(system, *tones);
  system->release();

  // A method named outright that cannot start is an error, not silence.
  ASSERT_EQ(System_Create(&system), Result::Ok);
  system->setOutput(OutputType::Sndio);
  const Result result = system->init(1, kInitNormal, nullptr);
  EXPECT_TRUE(result == Result::OutputInit || result == Result::OutputUnavailable ||
              result == Result::OutputCreateBuffer)
      << errorString(result);
  system->release();
}

}  // namespace
