#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/MessageBox.h"
#include "platform/dialog/SettingsDialog.h"

using namespace platform;

namespace {

SettingsPages samplePages() {
  SettingsPages p;
  p.adapters = {{"Adapter A", "Adapter B"}, 0};
  p.modes = {{"640 x 480, 32 bpp @ 60 Hz", "1024 x 768, 32 bpp @ 60 Hz"}, 1};
  p.antialiasing = {{"None", "2 samples", "4 samples"}, 0};
  p.anisotropy = {{"None", "2", "4"}, 0};
  p.fullscreen = true;
  p.vsync = true;
  p.soundDrivers = {{"Default"}, 0};
  p.outputMethods = {{"Auto detect best method", "No Sound"}, 0};
  p.videoCodecs = {{"Plain codec", "Tunable codec"}, 0};
  p.frameRates = {{"15", "30"}, 1};
  p.outputFile = "/tmp/veltro12_capture.avi";
  return p;
}

}  // namespace

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hasDisplay()) GTEST_SKIP() << "no display";
  }
};

TEST_F(SettingsDialogTest, UserChangesAreSavedPageByPageAndStartEndsTheDialog) {
  SettingsPages pages = samplePages();
  std::vector<std::pair<SettingsPage, SettingsPages>> saved;
  std::vector<int> modesAskedFor;
  bool captureNow = false;
  std::string startLabelWhileCapturing, startLabelAfter;
  bool settingsEnabledPlain = true, settingsEnabledTunable = false;

  SettingsCallbacks callbacks;
  callbacks.modesForAdapter = [&](int adapter) {
    modesAskedFor.push_back(adapter);
    return ChoiceList{{"800 x 600, 32 bpp @ 75 Hz"}, 0};
  };
  callbacks.codecConfigurable = [](int codec) { return codec == 1; };
  callbacks.captureToggled = [&](bool on) { captureNow = on; };
  callbacks.savePage = [&](SettingsPage page, const SettingsPages& c) { saved.push_back({page, c}); };
  callbacks.onShown = [&](SettingsDriver& d) {
    d.select(kAdapterList, 1);  // refills the resolution list from the other adapter
    d.select(kAntialiasingList, 2);
    d.check(kFullscreenCheck, false);
    d.select(kOutputMethodList, 1);
    d.showPage(SettingsPage::Capture);  // leaving General saves it
    d.check(kCaptureCheck, true);
    startLabelWhileCapturing = d.startLabel();
    settingsEnabledPlain = d.isEnabled(kCodecSettingsButton);
    d.select(kVideoCodecList, 1);
    settingsEnabledTunable = d.isEnabled(kCodecSettingsButton);
    d.setText(kOutputFileField, "/tmp/other.avi");
    d.settle(100);
    if (const char* shot = std::getenv("PYLON_DIALOG_SCREENSHOT")) {
      std::system((std::string("import -window root ") + shot).c_str());
    }
    d.check(kCaptureCheck, false);
    startLabelAfter = d.startLabel();
    d.check(kCaptureCheck, true);
    d.pressStart();  // saves the Capture page, which is shown
  };
  int error = -1;
  EXPECT_EQ(runSettingsDialog(pages, callbacks, error), SettingsResult::Start);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(modesAskedFor, std::vector<int>{1});
  EXPECT_TRUE(captureNow);
  EXPECT_EQ(startLabelWhileCapturing, "Capture");
  EXPECT_EQ(startLabelAfter, "Start");
  EXPECT_FALSE(settingsEnabledPlain);
  EXPECT_TRUE(settingsEnabledTunable);

  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].first, SettingsPage::General);
  EXPECT_EQ(saved[0].second.adapters.selected, 1);
  EXPECT_EQ(saved[0].second.modes.selected, 0);
  EXPECT_EQ(saved[0].second.modes.entries[0], "800 x 600, 32 bpp @ 75 Hz");
  EXPECT_EQ(saved[0].second.antialiasing.selected, 2);
  EXPECT_FALSE(saved[0].second.fullscreen);
  EXPECT_EQ(saved[0].second.outputMethods.selected, 1);
  EXPECT_EQ(saved[1].first, SettingsPage::Capture);
  EXPECT_EQ(saved[1].second.videoCodecs.selected, 1);
  EXPECT_EQ(saved[1].second.frameRates.selected, 1);
  EXPECT_EQ(saved[1].second.outputFile, "/tmp/other.avi");
}

TEST_F(SettingsDialogTest, ExitAndTheCloseBoxSaveNothing) {
  for (int way = 0; way < 3; ++way) {
    SettingsPages pages = samplePages();
    int saves = 0;
    SettingsCallbacks callbacks;
    callbacks.savePage = [&](SettingsPage, const SettingsPages&) { ++saves; };
    callbacks.onShown = [&](SettingsDriver& d) {
      if (way == 0) d.pressExit();
      if (way == 1) d.closeWindow();
      if (way == 2) {
        d.pressExit();
        d.pressStart();  // too late: the dialog has already ended
      }
    };
    int error = -1;
    EXPECT_EQ(runSettingsDialog(pages, callbacks, error), SettingsResult::Exit) << way;
    EXPECT_EQ(saves, 0) << way;
  }
}

TEST_F(SettingsDialogTest, EnterOnAFocusedButtonOrListIsTheirsNotStarts) {
  for (int focused : {kExitButton, kModeList, kVsyncCheck}) {
    SettingsPages pages = samplePages();
    SettingsCallbacks callbacks;
    callbacks.onShown = [&](SettingsDriver& d) {
      d.focus(focused);
      d.pressKey(SettingsKey::Enter);
      d.settle(400);  // a button acts on Enter after its pressed look
      d.pressExit();  // ignored when Enter has already ended the dialog
    };
    int error = -1;
    const SettingsResult result = runSettingsDialog(pages, callbacks, error);
    // A check box leaves Enter to the default button, Start.
    EXPECT_EQ(result, focused == kVsyncCheck ? SettingsResult::Start : SettingsResult::Exit) << focused;
  }
  EXPECT_EQ(captureFileFor("/tmp/run"), "/tmp/run.avi");
  EXPECT_EQ(captureFileFor("/tmp/run.mkv"), "/tmp/run.mkv");
  EXPECT_EQ(captureFileFor("/tmp/v1.2/run"), "/tmp/v1.2/run.avi");
}

TEST_F(SettingsDialogTest, EnterStartsAndEscapeExits) {
  for (SettingsKey key : {SettingsKey::Enter, SettingsKey::Escape}) {
    SettingsPages pages = samplePages();
    std::vector<SettingsPage> saved;
    SettingsCallbacks callbacks;
    callbacks.savePage = [&](SettingsPage page, const SettingsPages&) { saved.push_back(page); };
    callbacks.onShown = [&](SettingsDriver& d) {
      d.check(kVsyncCheck, false);
      d.pressKey(key);
      // Ignored once the key has ended the dialog; otherwise ends it the other way round.
      if (key == SettingsKey::Enter) d.pressExit();
      if (key == SettingsKey::Escape) d.pressStart();
    };
    int error = -1;
    const SettingsResult result = runSettingsDialog(pages, callbacks, error);
    if (key == SettingsKey::Enter) {
      EXPECT_EQ(result, SettingsResult::Start);
      ASSERT_EQ(saved, std::vector<SettingsPage>{SettingsPage::General});  // the page shown is saved
      EXPECT_FALSE(pages.vsync);
    } else {
      EXPECT_EQ(result, SettingsResult::Exit);
      EXPECT_TRUE(saved.empty());
    }
  }
}
