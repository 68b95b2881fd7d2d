// The demo frame under the test display: which parts draw when, their fades, the post
// chain's bloom, and the cross-fade and wipe between two test parts.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "DemoFixtures.h"

using namespace demo_fixtures;

namespace {

constexpr int kViewTop = 24, kViewBottom = 24 + 144;  // the view band's rows

// Two flat parts overlapping from 8 s to 10 s with the given transition kinds.
void twoParts(DemoPlayer& player, int outKind, int inKind) {
  player.addEntry({new FlatPart(0.1f), 0.0f, 10.0f, 0.0f, 2.0f, 1, outKind});
  player.addEntry({new FlatPart(0.4f), 8.0f, 20.0f, 2.0f, 0.0f, inKind, 2});
}

}  // namespace

using DemoFrame = DemoRun;

TEST_F(DemoFrame, PartsDrawFromTheirStartUntilJustBeforeTheirEndInTimelineOrder) {
  std::vector<float> first, second;
  DemoPlayer player;
  player.addEntry({new FlatPart(0.2f, &first), 1.0f, 3.0f, 0.0f, 0.0f, 1, 2});
  player.addEntry({new FlatPart(0.3f, &second), 2.0f, 4.0f, 0.0f, 0.0f, 1, 2});
  const auto pictures = render(player, {0.5f, 1.0f, 2.5f, 3.0f}, false);
  EXPECT_EQ(first, (std::vector<float>{0.0f, 1.5f}));
  EXPECT_EQ(second, (std::vector<float>{0.5f, 1.0f}));
  ASSERT_EQ(pictures.size(), 4u);
  EXPECT_EQ(pictures[0].at(128, 96), 0);        // nothing active: the cleared black
  EXPECT_NEAR(pictures[2].at(128, 96), 77, 1);  // both active: the later entry on top
}

TEST_F(DemoFrame, WithoutPostProcessingThePictureIsThePartAsDrawnWithItsFades) {
  DemoPlayer player;
  player.addPart(new FlatPart(0.6f), 0.0f, 10.0f, 2.0f, 4.0f);
  const auto p = render(player, {5.0f, 1.0f, 8.0f, 0.0f}, false);
  ASSERT_EQ(p.size(), 4u);
  for (int y = kViewTop; y < kViewBottom; y += 13)
    for (int x = 0; x < kWindowWidth; x += 17) ASSERT_EQ(p[0].at(x, y), 153) << x << "," << y;
  EXPECT_EQ(p[0].at(128, 10), 0);        // below the band: never drawn
  EXPECT_NEAR(p[1].at(128, 96), 77, 1);  // halfway through the 2 s fade from black
  EXPECT_NEAR(p[2].at(128, 96), 77, 1);  // halfway through the 4 s fade to black
  EXPECT_EQ(p[3].at(128, 96), 0);        // the first instant is black
}

TEST_F(DemoFrame, PostChainKeepsDarkPicturesAndBloomsBrightLights) {
  DemoPlayer dark, spot, spotRaw;
  dark.addPart(new FlatPart(0.3f), 0.0f, 10.0f, 0.0f, 0.0f);
  const auto d = render(dark, {5.0f});
  ASSERT_EQ(d.size(), 1u);
  EXPECT_NEAR(d[0].mean(0, kViewTop, kWindowWidth, kViewBottom), 77, 2);

  // A white square of 26 x 14 pixels at the view's centre: bloom lights its surroundings.
  spot.addPart(new FlatPart(1.0f, nullptr, 0.1f), 0.0f, 10.0f, 0.0f, 0.0f);
  const auto s = render(spot, {5.0f});
  spotRaw.addPart(new FlatPart(1.0f, nullptr, 0.1f), 0.0f, 10.0f, 0.0f, 0.0f);
  const auto r = render(spotRaw, {5.0f}, false);
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].at(128, 96), 255);
  EXPECT_EQ(r[0].at(150, 96), 0);
  EXPECT_EQ(s[0].at(128, 96), 255);
  EXPECT_GT(s[0].at(150, 96), 8);  // the glow beside the square
  EXPECT_LT(s[0].at(250, 30), 3);  // far corners stay dark

  // Bloom targets are a quarter of the view, truncated.
  EXPECT_EQ(spot.post.bloom.width, 64u);
  EXPECT_EQ(spot.post.bloom.height, 36u);
  PostChain odd;
  DemoRun::run([&] { return odd.createTargets(256, 142); }, [] {});
  EXPECT_EQ(odd.bloom.width, 64u);
  EXPECT_EQ(odd.bloom.height, 35u);
  EXPECT_EQ(odd.bloomTemp.height, 35u);
  EXPECT_EQ(odd.scene.height, 142u);
  // The transition targets are made at start-up, at the view's size, whatever the timeline.
  EXPECT_EQ(spot.post.transitionA.width, 256u);
  EXPECT_EQ(spot.post.transitionB.height, 144u);
}

TEST_F(DemoFrame, PartsDrawnIntoTheSceneTargetMatchTheCopyAndTheFlashRidesInTheFinalPass) {
  // The same bloomed frame through the back buffer's copy (which the spectrum display keeps)
  // and drawn straight into the scene target.
  DemoPlayer player;
  player.addPart(new FlatPart(1.0f, nullptr, 0.1f), 0.0f, 10.0f, 0.0f, 0.0f);
  std::vector<Picture> p;
  bool direct = false;
  float flashes[2] = {-1.0f, -1.0f};
  const int code = run([&] { return player.initPost(); },
                       [&] {
                         Renderer& renderer = *Runtime::instance()->renderer;
                         direct = player.post.canDrawIntoScene();
                         renderer.spectrum = true;
                         player.renderParts(5.0f);
                         p.push_back(readBack());
                         renderer.spectrum = false;
                         glClearColor(0.5f, 0.5f, 0.5f, 1);  // anything left in the bars would show
                         glClear(GL_COLOR_BUFFER_BIT);
                         glClearColor(0, 0, 0, 1);
                         player.renderParts(5.0f);
                         p.push_back(readBack());
                         // A 0.3 grey picture whitened by half by the final pass, as the
                         // blended white quad did: 77 + (255 - 77) / 2.
                         renderer.postprocess = false;
                         delete player.entries[0].part;
                         player.entries[0].part = new FlatPart(0.3f);
                         player.renderParts(5.0f);
                         player.post.run(5.0f, 0.0f, 0.0f, 0.5f);
                         p.push_back(readBack());
                         float bands[512] = {};
                         bands[1] = 20.0f;  // flash bin 2: a tenth, clamped to 1
                         flashes[0] = renderer.beatFlash(bands);
                         bands[1] = 0.01f;  // under half an 8-bit step: not drawn
                         flashes[1] = renderer.beatFlash(bands);
                       });
  ASSERT_EQ(code, 0);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(flashes[0], 1.0f);
  EXPECT_EQ(flashes[1], 0.0f);
  EXPECT_TRUE(direct);
  int worst = 0;
  for (size_t i = 0; i < p[0].rgb.size(); ++i) worst = std::max(worst, std::abs(p[0].rgb[i] - p[1].rgb[i]));
  EXPECT_LE(worst, 1);
  EXPECT_EQ(p[1].at(128, 10), 0);
  EXPECT_EQ(p[1].at(128, kViewBottom + 5), 0);
  EXPECT_NEAR(p[2].at(128, 96), 166, 1);
}

TEST_F(DemoFrame, CrossFadeMixesTheTwoPartsByTheWindowsProgress) {
  DemoPlayer player;
  twoParts(player, 5, 6);
  const auto p = render(player, {7.9f, 8.5f, 9.0f, 9.999f, 10.0f});
  ASSERT_EQ(p.size(), 5u);
  // 0.1 grey is 26 of 255, 0.4 is 102: the mix is linear in the window's progress.
  const double expected[] = {26, 26 + 0.25 * 76, 26 + 0.5 * 76, 102, 102};
  for (size_t i = 0; i < p.size(); ++i)
    EXPECT_NEAR(p[i].mean(0, kViewTop, kWindowWidth, kViewBottom), expected[i], 2.0) << "frame " << i;
  EXPECT_EQ(player.mixStart, 8.0f);
  EXPECT_EQ(player.mixEnd, 10.0f);
  // Made by the first copy into them, at the view's size.
  EXPECT_EQ(player.post.transitionA.width, player.post.scene.width);
  EXPECT_EQ(player.post.transitionB.height, player.post.scene.height);
}

TEST_F(DemoFrame, WipeHalfwayShowsTheIncomingPartWhereTheGradientIsLow) {
  DemoPlayer player;
  twoParts(player, 7, 8);
  const auto p = render(player, {8.01f, 9.0f, 9.99f});
  ASSERT_EQ(p.size(), 3u);
  // At the start the outgoing part everywhere, at the end the incoming one.
  EXPECT_NEAR(p[0].mean(0, kViewTop, kWindowWidth, kViewBottom), 26, 2);
  EXPECT_NEAR(p[2].mean(0, kViewTop, kWindowWidth, kViewBottom), 102, 2);
  // Halfway the gradient (dark on the left, light on the right) has let the incoming part in
  // on the left only, with a soft front in the middle.
  const double left = p[1].mean(0, kViewTop, 24, kViewBottom), right = p[1].mean(232, kViewTop, 256, kViewBottom),
               middle = p[1].mean(120, kViewTop, 136, kViewBottom);
  EXPECT_NEAR(left, 102, 3);
  EXPECT_NEAR(right, 26, 3);
  EXPECT_GT(middle, 40);
  EXPECT_LT(middle, 88);
}

TEST_F(DemoFrame, FixedStepFramesShowStepMultiplesAndTheFirstFramePastTheEndQuits) {
  std::vector<float> drawn;
  DemoPlayer player;
  player.addPart(new FlatPart(0.5f, &drawn), 0.0f, 10.0f, 0.0f, 0.0f);
  player.fixedStep = 0.25;
  player.startTime = 2.0;
  player.endTime = 2.6;
  int frames = 0;
  DemoHooks hooks;
  hooks.init = [&] { return player.initPost(); };
  hooks.frame = [&] {
    player.frame();
    if (++frames == 10) platform::postQuitMessage(3);  // never reached when the end quits
  };
  EXPECT_EQ(runEngine(hooks), 0);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(drawn, (std::vector<float>{2.25f, 2.5f, 2.75f}));
}
