// A capture chosen in the start-up dialog whose file cannot be written: every failed frame
// is logged, the demo plays on to its end, and the run ends as a normal one.
#include <gtest/gtest.h>

#include <filesystem>

#include "capture/AviCapture.h"
#include "demo/DemoFixtures.h"
#include "runtime/Logger.h"
#include "screen/ConfigDialog.h"
#include "support/TestSupport.h"

using namespace demo_fixtures;

using DialogCapture = DemoRun;

TEST_F(DialogCapture, FullDiskIsLoggedFrameByFrameAndTheDemoPlaysOn) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  testing_support::ScratchDir dir;
  programOptions().noDialog = false;
  Runtime::destroyForTesting();
  Runtime* runtime = Runtime::instance();
  runtime->logger->path = dir.file("Pylon.txt");
  runtime->dialog->onShown = [](platform::SettingsDriver& d) {
    d.check(platform::kCreateLogCheck, true);
    d.showPage(platform::SettingsPage::Capture);
    d.check(platform::kCaptureCheck, true);
    d.setText(platform::kOutputFileField, "/dev/full");
    d.pressStart();
  };
  std::string progress;
  runtime->capture->progress.sink = [&](const std::string& text) { progress += text; };
  DemoPlayer player;
  player.addPart(new FlatPart(0.5f), 0.0f, 10.0f, 0.0f, 0.0f);
  player.endTime = 0.1;  // 1/30 ... 4/30 s: four frames
  int frames = 0;
  DemoHooks hooks;
  hooks.init = [&] { return player.init(); };
  hooks.frame = [&] {
    player.frame();
    ++frames;
  };
  EXPECT_EQ(runEngine(hooks), 0);
  EXPECT_EQ(frames, 4);
  runtime->logger->flush();
  const std::string log = testing_support::readFile(dir.file("Pylon.txt"));
  EXPECT_EQ(testing_support::occurrences(log, "avi stream write error: unknown: -2147205010\n"), 4u) << log;
  EXPECT_NE(progress.find("capture: /dev/full is incomplete: 4 of 4 frames could not be written"), std::string::npos)
      << progress;
}
