#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Displays.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/ConfigDialog.h"
#include "screen/ConfigSelection.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;
using platform::SettingsDriver;
using platform::SettingsPages;

namespace {

DisplayMode listed(int w, int h, int hz) {
  platform::DisplayModeRecord m;
  m.width = w;
  m.height = h;
  m.refreshRate = hz;
  m.bitsPerPixel = 32;
  return {m, config_selection::modeLabel(m)};
}

const std::vector<SoundOutputChoice> kOutputs{
    {"Auto detect best method", 0}, {"PulseAudio", 21}, {"ALSA", 22}, {"No Sound", 2}};

// A Runtime whose log goes to a scratch file, and a screen with two adapters: the first
// with four modes, formats of 2, 4 and 8 samples (each more than once) and anisotropy up to
// 16; the second with two modes and nothing read.
class ConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
    programOptions().dataFile = std::string(PYLON_TEST_DATA) + "/tiny.zip";
    runtime = Runtime::instance();
    runtime->logger->path = dir.file("Pylon.txt");
    ASSERT_EQ(runtime->logger->create(), 0);
    screen = runtime->screen;
    screen->config = UserConfig{};
    screen->config.captureFileName = "/tmp/veltro12_capture.avi";
    DisplayDevice first;
    first.description = "First adapter";
    first.modes = {listed(1280, 1024, 60), listed(1024, 768, 60), listed(1280, 1024, 85), listed(800, 600, 75)};
    first.pixelFormats = {{11, 0}, {12, 2}, {13, 4}, {14, 2}, {15, 8}, {16, 4}, {17, 8}};
    first.maxAnisotropy = 16;
    DisplayDevice second;
    second.description = "Second adapter";
    second.modes = {listed(640, 480, 60), listed(1024, 768, 70)};
    screen->devices = {first, second};
    screen->soundDrivers = {"Default output", "Headphones"};
    screen->codecs = {{"MPEG-4 part 2", 0x34504d46, false}, {"Tunable", 0x31564646, true}};
  }
  void TearDown() override {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }
  std::string log() {
    runtime->logger->flush();
    return readFile(dir.file("Pylon.txt"));
  }
  SettingsPages filled() {
    SettingsPages pages;
    ConfigDialog::fillGeneralPage(*screen, kOutputs, 1280, 1024, pages);
    ConfigDialog::fillCapturePage(*screen, pages);
    return pages;
  }

  ScratchDir dir;
  MessageRecorder boxes;
  Runtime* runtime = nullptr;
  Screen* screen = nullptr;
};

TEST_F(ConfigDialogTest, GeneralPageListsEveryChoiceWithThePreselectedEntries) {
  SettingsPages p = filled();
  EXPECT_EQ(p.adapters.entries, (std::vector<std::string>{"First adapter", "Second adapter"}));
  EXPECT_EQ(p.adapters.selected, 0);
  ASSERT_EQ(p.modes.entries.size(), 4u);
  EXPECT_EQ(p.modes.entries[1], "1024 x 768, 32 bpp @ 60 Hz");
  EXPECT_EQ(p.modes.selected, 2);  // the last mode of the desktop's size, whatever its rate
  EXPECT_EQ(p.antialiasing.entries, (std::vector<std::string>{"None", "2 samples", "4 samples", "8 samples"}));
  EXPECT_EQ(screen->aaChoices, (std::vector<int>{0, 2, 4, 8}));
  EXPECT_EQ(p.antialiasing.selected, 3);  // 8 samples, the default
  EXPECT_EQ(p.anisotropy.entries, (std::vector<std::string>{"None", "2", "4", "8", "16"}));
  EXPECT_EQ(p.anisotropy.selected, 0);
  EXPECT_TRUE(p.fullscreen);
  EXPECT_TRUE(p.vsync);
  EXPECT_FALSE(p.showStats);
  EXPECT_FALSE(p.createLog);
  EXPECT_EQ(p.soundDrivers.selected, 0);
  EXPECT_EQ(p.outputMethods.entries.front(), "Auto detect best method");
  EXPECT_EQ(p.outputMethods.entries.back(), "No Sound");
  EXPECT_EQ(p.outputMethods.selected, 0);

  // The GUI switch pre-selects by size and rate; nothing matching leaves no selection.
  runtime->gui = 1;
  screen->config.width = 1024;
  screen->config.height = 768;
  EXPECT_EQ(ConfigDialog::modeList(*screen, 0, 1280, 1024).selected, 1);
  screen->config.refreshRate = 75;
  EXPECT_EQ(ConfigDialog::modeList(*screen, 0, 1280, 1024).selected, -1);
  EXPECT_EQ(ConfigDialog::modeList(*screen, 5, 1280, 1024).entries.size(), 0u);
}

TEST_F(ConfigDialogTest, SavingTheGeneralPageStoresEveryControlAndLogsTheSummary) {
  SettingsPages p = filled();
  p.adapters.selected = 1;
  p.modes = ConfigDialog::modeList(*screen, 1, 1280, 1024);
  p.modes.selected = 1;
  p.antialiasing.selected = 2;
  p.anisotropy.selected = 3;
  p.fullscreen = false;
  p.vsync = false;
  p.soundDrivers.selected = 1;
  p.outputMethods.selected = 3;  // "No Sound"
  p.showStats = true;
  p.createLog = true;
  ConfigDialog::saveGeneralPage(*screen, kOutputs, p);
  const UserConfig& c = screen->config;
  EXPECT_EQ(c.deviceIndex, 1);
  EXPECT_EQ(c.modeIndex, 1);
  EXPECT_EQ(c.width, 1024);
  EXPECT_EQ(c.height, 768);
  EXPECT_EQ(c.refreshRate, 60);  // the dialog leaves it alone
  EXPECT_FALSE(c.fullscreen);
  EXPECT_FALSE(c.vsync);
  EXPECT_EQ(c.aaSamples, 4);
  EXPECT_EQ(c.anisoLevel, 8.0f);
  EXPECT_EQ(c.soundDriver, 1);
  EXPECT_EQ(c.soundOutput, 2);
  EXPECT_TRUE(c.showStats);
  EXPECT_TRUE(c.createLog);
  EXPECT_EQ(log(),
            "log created.\nResolution: 1024x768\nFullscreen: 0\nVSync: 0\nAA samples: 4 samples\nAniso level: x8\n");
}

TEST_F(ConfigDialogTest, ListsWithoutASelectionStoreTheirFirstEntry) {
  screen->config.aaSamples = 6;  // no format has 6 samples
  screen->config.anisoLevel = 3.0f;
  SettingsPages p = filled();
  EXPECT_EQ(p.antialiasing.selected, -1);
  EXPECT_EQ(p.anisotropy.selected, -1);
  p.modes.selected = -1;
  p.outputMethods.selected = 9;  // out of range
  ConfigDialog::saveGeneralPage(*screen, kOutputs, p);
  EXPECT_EQ(screen->config.modeIndex, 0);
  EXPECT_EQ(screen->config.width, 1280);
  EXPECT_EQ(screen->config.aaSamples, 0);
  EXPECT_EQ(screen->config.anisoLevel, 1.0f);
  EXPECT_EQ(screen->config.soundOutput, 0);

  // A device with no modes keeps the size it had; one without formats or anisotropy offers None only.
  screen->devices[0].modes.clear();
  screen->devices[0].pixelFormats.clear();
  screen->devices[0].maxAnisotropy = 0;
  screen->config.width = 640;
  p = filled();
  EXPECT_TRUE(p.modes.entries.empty());
  EXPECT_EQ(p.antialiasing.entries, std::vector<std::string>{"None"});
  EXPECT_EQ(p.anisotropy.entries, std::vector<std::string>{"None"});
  ConfigDialog::saveGeneralPage(*screen, kOutputs, p);
  EXPECT_EQ(screen->config.width, 640);
}

TEST_F(ConfigDialogTest, CapturePageShowsTheRecordAndSavesRateCodecAndTypedFile) {
  screen->config.codecIndex = 1;
  SettingsPages p = filled();
  EXPECT_FALSE(p.captureEnabled);
  EXPECT_EQ(p.videoCodecs.entries, (std::vector<std::string>{"MPEG-4 part 2", "Tunable"}));
  EXPECT_EQ(p.videoCodecs.selected, 1);
  EXPECT_EQ(p.frameRates.entries, (std::vector<std::string>{"15", "20", "25", "30", "60"}));
  EXPECT_EQ(p.frameRates.selected, 3);
  EXPECT_EQ(p.audioCodecs.entries.size(), 1u);
  EXPECT_EQ(p.outputFile, "/tmp/veltro12_capture.avi");

  p.captureEnabled = true;
  p.frameRates.selected = 4;
  p.videoCodecs.selected = 0;
  p.outputFile = "/tmp/typed.avi";
  ConfigDialog::saveCapturePage(*screen, p);
  EXPECT_TRUE(screen->config.captureEnabled);
  EXPECT_EQ(screen->config.captureFrameRateIndex, 4);
  EXPECT_EQ(screen->config.codecIndex, 0);
  EXPECT_EQ(screen->config.captureFileName, "/tmp/typed.avi");
  p.outputFile.clear();  // an emptied field keeps the name
  ConfigDialog::saveCapturePage(*screen, p);
  EXPECT_EQ(screen->config.captureFileName, "/tmp/typed.avi");

  // With no codecs at all nothing is selected and the index stays.
  screen->codecs.clear();
  screen->config.codecIndex = 3;
  p = filled();
  EXPECT_EQ(p.videoCodecs.selected, -1);
  ConfigDialog::saveCapturePage(*screen, p);
  EXPECT_EQ(screen->config.codecIndex, 3);
}

TEST(ConfigDialogCodecs, TheLastDivXCodecIsTheDefault) {
  std::vector<CodecInfo> codecs{{"MPEG-4", 1, false},
                                {"DivX 5", 2, true},
                                {"FFV1", 3, false},
                                {"DivX Pro", 4, true},
                                {"divx lower case", 5, false}};
  EXPECT_EQ(ConfigDialog::defaultCodecIndex(codecs, 0), 3);
  codecs.erase(codecs.begin() + 1);
  codecs.erase(codecs.begin() + 2);  // the two DivX entries gone
  EXPECT_EQ(ConfigDialog::defaultCodecIndex(codecs, 2), 2);
  EXPECT_EQ(ConfigDialog::defaultCodecIndex({}, 0), 0);
}

// The dialog itself, shown on the test display and driven as a user would.
class ConfigDialogShownTest : public ConfigDialogTest {
 protected:
  void SetUp() override {
    if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
    ConfigDialogTest::SetUp();
  }
  int run(const std::function<void(SettingsDriver&)>& script) {
    runtime->dialog->onShown = script;
    int error = -1;
    const int result = runtime->dialog->run(*screen, error);
    EXPECT_EQ(error, 0);
    return result;
  }
};

TEST_F(ConfigDialogShownTest, StartWithoutTouchingStoresThePreselectedValues) {
  screen->config.accepted = false;
  // run() lists the real codecs itself; the pre-selected ones come from the test screen.
  ASSERT_EQ(run([](SettingsDriver& d) { d.pressStart(); }), 0);
  const UserConfig& c = screen->config;
  EXPECT_TRUE(c.accepted);
  EXPECT_EQ(c.deviceIndex, 0);
  int desktopW = 0, desktopH = 0;
  ASSERT_TRUE(platform::getDesktopSize(desktopW, desktopH));
  if (desktopW == 1280 && desktopH == 1024) {
    EXPECT_EQ(c.modeIndex, 2);
    EXPECT_EQ(c.width, 1280);
  }
  EXPECT_EQ(c.aaSamples, 8);
  EXPECT_EQ(c.anisoLevel, 1.0f);
  EXPECT_EQ(c.soundDriver, 0);
  EXPECT_EQ(c.soundOutput, 0);
  EXPECT_FALSE(c.captureEnabled);
  EXPECT_FALSE(screen->codecs.empty());  // listed through the capture service
  EXPECT_NE(log().find("Fullscreen: 1\nVSync: 1\nAA samples: 8 samples\nAniso level: x1\n"), std::string::npos);
}

TEST_F(ConfigDialogShownTest, ChangesOnBothPagesAreStoredOnStart) {
  std::string startWhileCapturing;
  bool settingsEnabled = true;
  const int lastOutput = static_cast<int>(Sound::outputMethods().size()) - 1;
  ASSERT_EQ(run([&](SettingsDriver& d) {
              d.select(platform::kAdapterList, 1);  // refills the resolutions from the second adapter
              d.select(platform::kModeList, 1);
              d.select(platform::kAntialiasingList, 1);
              d.select(platform::kAnisotropyList, 4);
              d.check(platform::kFullscreenCheck, false);
              d.select(platform::kOutputMethodList, lastOutput);  // "No Sound"
              d.check(platform::kCreateLogCheck, true);
              d.showPage(platform::SettingsPage::Capture);
              d.check(platform::kCaptureCheck, true);
              startWhileCapturing = d.startLabel();
              d.select(platform::kVideoCodecList, 0);
              settingsEnabled = d.isEnabled(platform::kCodecSettingsButton);
              d.select(platform::kFrameRateList, 1);
              d.setText(platform::kOutputFileField, dir.file("chosen.avi"));
              d.pressStart();
            }),
            0);
  const UserConfig& c = screen->config;
  EXPECT_TRUE(c.accepted);
  EXPECT_EQ(c.deviceIndex, 1);
  EXPECT_EQ(c.width, 1024);
  EXPECT_EQ(c.height, 768);
  EXPECT_EQ(c.aaSamples, 2);
  EXPECT_EQ(c.anisoLevel, 16.0f);
  EXPECT_FALSE(c.fullscreen);
  EXPECT_EQ(c.soundOutput, 2);
  EXPECT_TRUE(c.createLog);
  EXPECT_TRUE(c.captureEnabled);
  EXPECT_EQ(startWhileCapturing, "Capture");
  EXPECT_EQ(settingsEnabled, screen->codecs.at(0).configurable);
  EXPECT_EQ(c.codecIndex, 0);
  EXPECT_EQ(c.captureFrameRateIndex, 1);
  EXPECT_EQ(c.captureFileName, dir.file("chosen.avi"));
  EXPECT_NE(log().find("Resolution: 1024x768\nFullscreen: 0\n"), std::string::npos);
}

TEST_F(ConfigDialogShownTest, ExitAndTheCloseBoxLeaveTheSettingsUnaccepted) {
  for (bool closeBox : {false, true}) {
    screen->config.accepted = true;
    screen->config.width = 333;
    ASSERT_EQ(run([&](SettingsDriver& d) {
                d.check(platform::kFullscreenCheck, false);
                if (closeBox) {
                  d.closeWindow();
                } else {
                  d.pressExit();
                }
              }),
              0);
    EXPECT_FALSE(screen->config.accepted) << closeBox;
    EXPECT_TRUE(screen->config.fullscreen) << closeBox;  // nothing was stored
    EXPECT_EQ(screen->config.width, 333) << closeBox;
  }
}

// A dialog that cannot be shown is logged and stops start-up. GTK picks its display once
// per process, so this runs in a fresh child, which hands its log back on stderr.
TEST_F(ConfigDialogShownTest, ADialogThatCannotBeShownIsLoggedAndRefused) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("GDK_BACKEND", "no-such-backend", 1);
        screen->config.accepted = false;
        const int result = getUserConfig(*screen);
        std::fprintf(stderr, "%s", log().c_str());
        std::_Exit(result == 1 ? 7 : 8);
      },
      ::testing::ExitedWithCode(7), "dialog box failed\\. error 1\n");
}

// The whole start-up: the choices made in the dialog are the window's.
TEST_F(ConfigDialogShownTest, ScreenInitOpensTheWindowTheDialogChose) {
  Runtime::destroyForTesting();
  runtime = Runtime::instance();
  runtime->logger->path = dir.file("Pylon.txt");
  ASSERT_EQ(runtime->logger->create(), 0);
  screen = runtime->screen;
  int samplesChosen = -1;
  runtime->dialog->onShown = [&](SettingsDriver& d) {
    // The last anti-aliasing entry is the largest sample count the display offers.
    d.select(platform::kAntialiasingList, static_cast<int>(screen->aaChoices.size()) - 1);
    samplesChosen = screen->aaChoices.back();
    d.select(platform::kAnisotropyList, 1);
    d.check(platform::kFullscreenCheck, false);
    d.check(platform::kVsyncCheck, false);
    d.showPage(platform::SettingsPage::Capture);
    d.setText(platform::kOutputFileField, dir.file("scripted.avi"));
    d.pressStart();
  };
  ASSERT_EQ(screen->init(), 0) << log();
  const UserConfig& c = screen->config;
  EXPECT_FALSE(platform::isFullscreen(screen->window));
  int w = 0, h = 0;
  platform::getClientSize(screen->window, w, h);
  EXPECT_EQ(w, c.width);
  EXPECT_EQ(h, c.height);
  EXPECT_EQ(c.aaSamples, samplesChosen);
  GLint samples = 0;
  glGetIntegerv(GL_SAMPLES, &samples);
  EXPECT_EQ(samples, samplesChosen);
  EXPECT_EQ(c.anisoLevel, screen->devices.front().maxAnisotropy >= 2 ? 2.0f : 1.0f);
  EXPECT_EQ(c.captureFileName, dir.file("scripted.avi"));
  const std::string text = log();
  EXPECT_NE(text.find("Resolution: " + std::to_string(w) + "x" + std::to_string(h) + "\nFullscreen: 0\nVSync: 0\n"),
            std::string::npos)
      << text;
  screen->shutdown();

  // Exit from the dialog: start-up stops before any window opens.
  runtime->dialog->onShown = [](SettingsDriver& d) { d.pressExit(); };
  EXPECT_EQ(screen->init(), 1);
  EXPECT_EQ(screen->window, nullptr);
  EXPECT_NE(log().find("get user config failed or exit by user.\n"), std::string::npos);
  screen->shutdown();
}

}  // namespace
