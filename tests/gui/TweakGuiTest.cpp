#include <GL/glew.h>
#include <gtest/gtest.h>

#include "gui/TweakGui.h"
#include "platform/Clock.h"
#include "platform/tweakbar/TweakBar.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/Renderer.h"
#include "support/TestSupport.h"
#include "sync/Sync.h"

using namespace testing_support;

namespace {

const tweakbar::Item* item(const char* name) {
  for (const tweakbar::Item& i : *tweakbar::barItems("Pylon"))
    if (i.name == name) return &i;
  return nullptr;
}

// One case: the bar library starts once per process.
TEST(TweakGui, BarItemsPlaybackCallbacksAndEffectParameters) {
  GLWindow gl(320, 240);
  REQUIRE_GL(gl);
  int64_t ticks = 1000;
  platform::setCounterSource({[](int64_t& f) {
                                f = 1000;
                                return true;
                              },
                              [&](int64_t& v) {
                                v = ticks;
                                return true;
                              }});
  Runtime::destroyForTesting();
  programOptions().dataFile = "/nonexistent.zip";
  MessageRecorder boxes;
  ScratchDir dir;
  Runtime* runtime = Runtime::instance();
  runtime->logger->path = dir.file("Pylon.txt");
  runtime->logger->create();
  TweakGui& gui = *runtime->tweakGui;

  ASSERT_EQ(gui.init(), 0);
  gui.addRendererVariables();
  std::vector<std::string> names;
  for (const tweakbar::Item& i : *tweakbar::barItems("Pylon")) names.push_back(i.name);
  // No music is loaded: "Volume" and "spectrum" are absent.
  EXPECT_EQ(names, (std::vector<std::string>{"Play", "Pause", "Reset", "Time", "postprocess", "controlgrid",
                                             "fftControl", "camX", "camY", "camZ", "camP", "camH", "camB", "fovY",
                                             "zFar", "zNear", "renderScale", "renderScaleAuto"}));
  EXPECT_EQ(item("fftControl")->definition.get("label"), "fft flash");

  // Pause, set Time, Play: the demo continues from the chosen time.
  Timer& timer = *runtime->timer;
  ticks += 5000;
  tweakbar::pressButton(*item("Pause"));
  EXPECT_TRUE(timer.paused);
  tweakbar::setItemValue(*item("Time"), 12.3456);
  EXPECT_NEAR(tweakbar::itemValue(*item("Time")), 12.345, 1e-3);
  tweakbar::pressButton(*item("Play"));
  ticks += 1000;
  EXPECT_NEAR(timer.seconds(), 13.345, 1e-3);

  // Reset while paused reads 0 until Play.
  tweakbar::pressButton(*item("Pause"));
  tweakbar::pressButton(*item("Reset"));
  ticks += 3000;
  EXPECT_FLOAT_EQ(timer.seconds(), 0.0f);
  tweakbar::pressButton(*item("Play"));
  ticks += 500;
  EXPECT_FLOAT_EQ(timer.seconds(), 0.5f);

  // Renderer variables are bound to the renderer's fields.
  tweakbar::setItemValue(*item("camX"), 42.0);
  EXPECT_FLOAT_EQ(runtime->renderer->camX, 42.0f);
  // The render scale shows the scale drawn at; set by hand, it lands on the scale's grid
  // and leaves auto.
  runtime->renderer->renderScaleAuto = true;
  runtime->renderer->renderScale = 0.675f;
  EXPECT_NEAR(tweakbar::itemValue(*item("renderScale")), 0.675, 1e-6);
  tweakbar::setItemValue(*item("renderScale"), 0.61);
  EXPECT_FLOAT_EQ(runtime->renderer->renderScale, 0.6f);
  EXPECT_FALSE(runtime->renderer->renderScaleAuto);

  // Effect parameters: the value is the entry's, a duplicate name is logged and kept.
  int effectTag = 0;
  EXPECT_EQ(gui.addParameter("BloomThreshold", &effectTag, "BloomThreshold", 0.5f, " min=0 max=1 group='Bloom' "), 0);
  EXPECT_EQ(gui.addParameter("BloomThreshold", &effectTag, "BloomThreshold", 0.7f, ""), 0);
  ASSERT_EQ(gui.parameters.size(), 2u);
  tweakbar::setItemValue(*item("BloomThreshold"), 0.25);
  EXPECT_FLOAT_EQ(gui.parameters[0].value, 0.25f);
  EXPECT_FLOAT_EQ(gui.parameters[1].value, 0.7f);
  runtime->logger->flush();
  const std::string log = readFile(dir.file("Pylon.txt"));
  EXPECT_NE(log.find("\tadding variable to gui: (eff: "), std::string::npos);
  EXPECT_NE(log.find(") BloomThreshold 0.5  min=0 max=1 group='Bloom' \n"), std::string::npos) << log;
  EXPECT_NE(log.find("\tadding variable to gui error: "), std::string::npos);

  // The Tracks bar: values now; keys set and deleted at the current row only while paused,
  // and only on keyed tracks; Reset tells the player; Save calls its save.
  SyncTrackSet tracks;
  tracks.add("fx:glow");
  tracks.add("music:bass");
  TrackBarModel model;
  model.tracks = &tracks;
  model.shown = {1, 0};
  model.value = [&](int index) { return index == 1 ? 0.5 : tracks[0].value(9.5); };
  model.keyed = [](int index) { return index == 0; };
  model.row = [] { return 9.5; };
  int saves = 0, resets = 0;
  model.save = [&] { return ++saves, 0; };
  gui.onReset = [&] { ++resets; };
  ASSERT_EQ(gui.addTrackBar(model), 0);
  auto trackItem = [](const char* name) -> const tweakbar::Item* {
    for (const tweakbar::Item& i : *tweakbar::barItems("Tracks"))
      if (i.name == name) return &i;
    return nullptr;
  };
  ASSERT_TRUE(trackItem("track0") && trackItem("track1") && trackItem("row"));
  EXPECT_EQ(trackItem("track0")->definition.get("label"), "0 music:bass");
  EXPECT_EQ(tweakbar::itemValue(*trackItem("track0")), 0.5);
  tweakbar::setItemValue(*trackItem("track1"), 3.0);  // playing: no key
  EXPECT_TRUE(tracks[0].keys.empty());
  tweakbar::pressButton(*item("Pause"));
  tweakbar::setItemValue(*trackItem("keyType"), 2.0);
  tweakbar::setItemValue(*trackItem("track1"), 3.0);
  ASSERT_EQ(tracks[0].keys.size(), 1u);
  EXPECT_EQ(tracks[0].keys[0], (SyncKey{9, 3.0f, SyncKeyType::SMOOTH}));
  tweakbar::setItemValue(*trackItem("track0"), 1.0);  // fed from the music: no keys
  EXPECT_TRUE(tracks[1].keys.empty());
  tweakbar::setItemValue(*trackItem("track"), 7.0);  // clamped to the last line
  EXPECT_EQ(gui.trackChoice, 1);
  tweakbar::pressButton(*trackItem("Delete key"));
  EXPECT_TRUE(tracks[0].keys.empty());
  tweakbar::pressButton(*trackItem("Set key"));  // the value now (0 without keys), as a key
  EXPECT_EQ(tracks[0].keys.size(), 1u);
  tweakbar::pressButton(*trackItem("Save"));
  tweakbar::pressButton(*item("Reset"));
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(resets, 1);
  gui.onReset = nullptr;

  EXPECT_EQ(TwDraw(), 1);
  TwTerminate();
  Runtime::destroyForTesting();
  platform::setCounterSource({});
  programOptions() = ProgramOptions{};
}

}  // namespace
