// The tweak GUI in a running engine over the production's city: the playback controls
// move the demo and the music, the free camera and the effect parameters change the
// picture, and with the switch off there is no bar at all.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "DemoFixtures.h"
#include "LiveEdit.h"
#include "Scene01.h"
#include "cg/Cg.h"
#include "gui/TweakGui.h"
#include "platform/tweakbar/TweakBar.h"
#include "runtime/Timer.h"
#include "sound/Sound.h"
#include "support/TestSupport.h"

using namespace demo_fixtures;

namespace {

const tweakbar::Item* item(const std::string& name) {
  const std::vector<tweakbar::Item>* items = tweakbar::barItems("Pylon");
  if (!items) return nullptr;
  for (const tweakbar::Item& i : *items)
    if (i.name == name) return &i;
  return nullptr;
}

double difference(const Picture& a, const Picture& b) {
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
  return sum / static_cast<double>(a.rgb.size());
}

double brightness(const Picture& p) {
  double sum = 0;
  for (uint8_t v : p.rgb) sum += v;
  return sum / static_cast<double>(p.rgb.size());
}

}  // namespace

using TweakRun = DemoRun;

// One case: the bar library starts once per process. It plays from the archive's files
// unpacked, so that --watch can reload what the bar holds.
TEST_F(TweakRun, PlaybackCameraAndEffectParametersDriveTheRunningDemo) {
  testing_support::ScratchDir data;
  ASSERT_EQ(std::system(("'" + std::string(PYLON_BINARY_DIR) + "/pylon' unpack '" + programOptions().dataFile + "' '" +
                         data.path() + "' >/dev/null")
                            .c_str()),
            0);
  programOptions().dataFile = data.path();
  programOptions().gui = true;
  programOptions().watch = true;
  LiveEdit live;
  double reloadChange = -1;
  bool reloaded = false, rebound = false, oldGone = false;
  Scene01* scene = new Scene01();
  DemoPlayer player;
  player.addPart(scene, 0.0f, 120.0f, 2.0f, 4.0f);
  unsigned musicMs = 0;
  double resumedAt = 0, resetReads = -1, movedBy = 0, brighterBy = 0, pushedSoftness = 0;
  size_t entries = 0, exposed = 0;
  bool barExists = false;
  const int code = run(
      [&] {
        if (scene->init() != 0 || player.initPost() != 0) return 1;
        Runtime::instance()->sound->play();
        std::string problem;
        return live.start(programOptions(), scene, &player.post, problem);
      },
      [&] {
        Runtime* runtime = Runtime::instance();
        barExists = runtime->tweakGui->bar != nullptr && item("Play") && item("camX");
        if (!barExists) return;
        // Pause, Time 12.3456, Play: the clock and the music both jump there.
        tweakbar::pressButton(*item("Pause"));
        tweakbar::setItemValue(*item("Time"), 12.3456);
        runtime->sound->channel->getPosition(&musicMs, audio::TimeUnit::Ms);
        tweakbar::pressButton(*item("Play"));
        resumedAt = runtime->timer->seconds();
        // Reset while paused reads 0 until Play.
        tweakbar::pressButton(*item("Pause"));
        tweakbar::pressButton(*item("Reset"));
        resetReads = runtime->timer->seconds();

        // Paused, the scene camera stands still and camX moves the free camera.
        player.renderParts(30.0f);
        const Picture before = readBack();
        tweakbar::setItemValue(*item("camX"), tweakbar::itemValue(*item("camX")) + 40.0);
        player.renderParts(30.0f);
        const Picture moved = readBack();
        movedBy = difference(before, moved);

        // The final composite's bloom intensity, pushed into its effect by the frame.
        tweakbar::setItemValue(*item("bloom-final.BloomIntensity"), 4.0);
        player.renderParts(30.0f);
        brighterBy = brightness(readBack()) - brightness(moved);

        // A second variable of an existing name is refused by the bar but kept, and pushed
        // after the first: its value is what the effect ends up with.
        exposed = runtime->tweakGui->parameters.size();
        runtime->tweakGui->addParameter("BloomSoftness", player.post.brightPass.effect,
                                        "bloom-bright_pass.BloomSoftness", 0.9f, "");
        entries = runtime->tweakGui->parameters.size();
        player.renderParts(30.0f);
        float v = 0;
        cgGetParameterValuefr(
            cgGetNamedEffectParameter(static_cast<CGeffect>(player.post.brightPass.effect), "BloomSoftness"), 1, &v);
        pushedSoftness = v;

        // --watch reloads the final composite's effect, the cars' effect and the quad while
        // the bar holds the old effect's parameters: they move to the new effect with their
        // tweaked values, so the picture stays as it was.
        runtime->renderer->fftControl = 0;
        player.renderParts(30.0f);
        const Picture tweaked = readBack();
        CGeffect old = player.post.final.effect;
        reloaded = live.reloadMember("shaders/bloom-final.cgfx") == 0;
        oldGone = old != player.post.final.effect && cgGetFirstTechnique(old) == nullptr;
        reloaded = reloaded && live.reloadMember("shaders/cars.cgfx") == 0 && live.reloadMember("objects/quad.mmf") == 0;
        player.renderParts(30.0f);
        reloadChange = difference(tweaked, readBack());
        for (const TweakParameter& p : runtime->tweakGui->parameters)
          if (p.parameterName == "BloomIntensity") rebound = p.effect == player.post.final.effect && p.value == 4.0f;
      });
  ASSERT_EQ(code, 0);
  ASSERT_TRUE(barExists);
  EXPECT_EQ(musicMs, 12345u);  // whole milliseconds, truncated
  EXPECT_NEAR(resumedAt, 12.3456, 0.05);
  EXPECT_EQ(resetReads, 0.0);
  EXPECT_GT(movedBy, 5.0);
  // How much depends on how much of this view is above the bloom threshold (lit windows, signs).
  EXPECT_GT(brighterBy, 0.3);
  EXPECT_GE(exposed, 8u);  // the post effects' parameters
  EXPECT_EQ(entries, exposed + 1);
  EXPECT_FLOAT_EQ(static_cast<float>(pushedSoftness), 0.9f);
  EXPECT_TRUE(reloaded) << live.errorText();
  EXPECT_TRUE(rebound);
  EXPECT_TRUE(oldGone);
  EXPECT_LT(reloadChange, 0.01);
}

TEST_F(TweakRun, WithTheSwitchOffThereIsNoBarAndNoEventReachesIt) {
  DemoPlayer player;
  player.addPart(new FlatPart(0.3f), 0.0f, 10.0f, 0.0f, 0.0f);
  const long offered = tweakbar::eventsOffered();
  bool noBar = false;
  size_t parameters = 1;
  const int code = run([&] { return player.initPost(); },
                       [&] {
                         noBar = Runtime::instance()->tweakGui->bar == nullptr;
                         parameters = Runtime::instance()->tweakGui->parameters.size();
                         // Input the window procedure sees: a key and a character.
                         platform::Message key;
                         key.type = platform::MessageType::KeyDown;
                         key.wParam = 'A';
                         platform::dispatchMessage(key);
                         key.type = platform::MessageType::Char;
                         platform::dispatchMessage(key);
                       });
  ASSERT_EQ(code, 0);
  EXPECT_TRUE(noBar);
  EXPECT_EQ(parameters, 0u);  // effects loaded, nothing exposed
  EXPECT_EQ(tweakbar::eventsOffered(), offered);
}
