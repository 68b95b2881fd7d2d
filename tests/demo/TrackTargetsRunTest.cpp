// Tracks bound to the post chain's final pass, the flash and the camera override, in a
// running engine; a value changed by hand keeps its hand until the hand is cleared.
#include <gtest/gtest.h>

#include "DemoFixtures.h"
#include "cg/CgGL.h"
#include "gui/TweakGui.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"

using namespace demo_fixtures;

using TrackTargetsRun = DemoRun;

namespace {

float finalValue(const PostChain& post, const char* name) {
  float value = -1.0f;
  cgGetParameterValuefr(cgGetNamedEffectParameter(post.final.effect, name), 1, &value);
  return value;
}

}  // namespace

TEST_F(TrackTargetsRun, PostValuesFlashAndCameraFollowTheirTracksUntilTheHandTakesOne) {
  bool ran = false;
  const int code = run(
      [] { return demoPlayer().initPost(); },
      [&] {
        DemoPlayer& player = demoPlayer();
        Renderer& renderer = *Runtime::instance()->renderer;
        std::vector<ProductionError> errors;
        // Rows at 8 a second: row 4 at 0.5 s, row 8 at 1 s.
        ASSERT_EQ(readProduction(
                      "length: 10\nmusic { member: \"m.ogg\" bpm: 120 rows_per_beat: 4 }\n"
                      "part { id: \"a\" shader { effect: \"a.cgfx\" } }\nentry { part: \"a\" end: 5 }\n"
                      "tracks { name: \"post:intensity\" key { row: 0 value: 2 type: LINEAR } key { row: 8 value: 3 } }\n"
                      "tracks { name: \"post:saturation\" key { row: 0 value: 0.5 } }\n"
                      "tracks { name: \"post:flash\" key { row: 0 value: 1.5 } key { row: 8 value: 0.001 } }\n"
                      "tracks { name: \"cam:x\" key { row: 0 value: 1 } }\n"
                      "tracks { name: \"cam:y\" key { row: 0 value: 2 } }\n"
                      "tracks { name: \"cam:on\" key { row: 0 value: 0.5 } key { row: 4 value: 1 } }\n"
                      "bind { track: \"post:intensity\" post: BLOOM_INTENSITY }\n"
                      "bind { track: \"post:saturation\" post: SATURATION }\n"
                      "bind { track: \"post:flash\" post: FLASH }\n"
                      "bind { track: \"cam:x\" camera: POSITION_X }\n"
                      "bind { track: \"cam:y\" camera: POSITION_Y }\n"
                      "bind { track: \"cam:y\" camera: TARGET_Z }\n"
                      "bind { track: \"cam:on\" camera: OVERRIDE }\n",
                      "p.txtpb", player.production, errors),
                  0);
        ASSERT_EQ(player.bindTracks(), 0);
        const Kestrel::KestrelLib noCameras;
        auto apply = [&](double seconds) { player.trackBindings.apply(seconds, 0.0, nullptr, player.post, renderer); };

        apply(0.0);
        EXPECT_EQ(finalValue(player.post, "BloomIntensity"), 2.0f);
        EXPECT_EQ(finalValue(player.post, "Saturation"), 0.5f);
        EXPECT_EQ(renderer.beatFlash(nullptr), 1.0f);  // 1.5, clamped to 1
        // 0.5 is not above 0.5: the scene's camera (here none) is used.
        EXPECT_EQ(updateSceneCamera(noCameras, 0.0f, renderer, 256, 144, false), 1);

        apply(0.75);  // row 6
        EXPECT_EQ(finalValue(player.post, "BloomIntensity"), 2.75f);
        ASSERT_EQ(updateSceneCamera(noCameras, 0.75f, renderer, 256, 144, false), 0);
        float expected[16];
        MathUtil::lookAt(1, 2, 0, 0, 0, 2, 0, 1, 0, expected);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(renderer.viewMatrix[i], expected[i]) << i;

        apply(1.0);  // 0.001: too faint to show
        EXPECT_EQ(renderer.beatFlash(nullptr), 0.0f);
        // By hand: the flash and the saturation stay as set; the others go on.
        renderer.trackFlash = 0.25f;
        cgGLSetParameter1f(cgGetNamedEffectParameter(player.post.final.effect, "Saturation"), 1.75f);
        apply(0.5);
        EXPECT_EQ(player.trackBindings.heldByHand(), 2);
        EXPECT_EQ(renderer.trackFlash, 0.25f);
        EXPECT_EQ(finalValue(player.post, "Saturation"), 1.75f);
        EXPECT_EQ(finalValue(player.post, "BloomIntensity"), 2.5f);
        player.trackBindings.clearByHand();  // the tweak bar's Reset
        apply(0.5);
        EXPECT_EQ(finalValue(player.post, "Saturation"), 0.5f);
        EXPECT_EQ(renderer.trackFlash, 1.5f);

        // With the tweak bar on, the bar's copy of a parameter is what the frame pushes into
        // the effect: the track writes it, and a change in it is the hand's.
        Runtime* runtime = Runtime::instance();
        runtime->gui = 1;
        runtime->tweakGui->parameters.push_back({player.post.final.effect, 1.4f, "BloomIntensity", "BloomIntensity"});
        ASSERT_EQ(player.bindTracks(), 0);
        float& copy = runtime->tweakGui->parameters.back().value;
        apply(0.5);
        EXPECT_EQ(copy, 2.5f);
        copy = 3.25f;
        apply(0.75);
        EXPECT_EQ(copy, 3.25f);
        EXPECT_EQ(player.trackBindings.heldByHand(), 1);
        runtime->gui = 0;
        runtime->tweakGui->parameters.pop_back();
        ran = true;
      });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(ran);
}
