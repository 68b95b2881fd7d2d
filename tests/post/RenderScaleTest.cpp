// The render scale's sizing rule and the controller that holds a frame rate with it, driven
// by a model of a frame's cost: a fixed part plus a part that goes with the pixels drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "post/RenderScale.h"

namespace {

// Runs `seconds` of frames through the controller; each frame costs `cost(scale)` ms, or
// the next multiple of `vsync` ms when that is set. Calls `seen` with the time at the end of
// each frame, its cost and the scale the next frame is drawn at.
void play(RenderScaleController& c, double seconds, const std::function<double(float)>& cost, double vsync = 0.0,
          const std::function<void(double, double, float)>& seen = nullptr) {
  static double clock = 0.0;
  for (const double end = clock + seconds * 1000.0; clock < end;) {
    double ms = cost(c.scale());
    if (vsync > 0.0) ms = std::ceil(ms / vsync - 1e-9) * vsync;
    clock += ms;
    const float next = c.addFrame(ms);
    if (seen) seen(clock, ms, next);
  }
}

// 4 ms of fixed work and `pixels` ms for the whole view at scale 1.
std::function<double(float)> costOf(const double& pixels) {
  return [&pixels](float s) { return 4.0 + pixels * static_cast<double>(s) * static_cast<double>(s); };
}

}  // namespace

TEST(RenderScale, TargetSizesFollowTheScaleWithBloomAtAQuarterAndScaleOneIsTheView) {
  const RenderTargetSizes full = renderTargetSizes(1920, 1080, 1.0f);
  EXPECT_EQ(full.sceneWidth, 1920u);
  EXPECT_EQ(full.sceneHeight, 1080u);
  EXPECT_EQ(full.bloomWidth, 480u);
  EXPECT_EQ(full.bloomHeight, 270u);
  const RenderTargetSizes half = renderTargetSizes(1920, 1080, 0.5f);
  EXPECT_EQ(half.sceneWidth, 960u);
  EXPECT_EQ(half.sceneHeight, 540u);
  EXPECT_EQ(half.bloomWidth, 240u);
  EXPECT_EQ(half.bloomHeight, 135u);
  // Rounded to the nearest pixel; bloom truncated as at full size.
  const RenderTargetSizes odd = renderTargetSizes(1024, 576, 0.725f);
  EXPECT_EQ(odd.sceneWidth, 742u);   // 742.4
  EXPECT_EQ(odd.sceneHeight, 418u);  // 417.6
  EXPECT_EQ(odd.bloomWidth, 185u);
  EXPECT_EQ(odd.bloomHeight, 104u);
  // Never empty.
  const RenderTargetSizes tiny = renderTargetSizes(2, 0, 0.25f);
  EXPECT_EQ(tiny.sceneWidth, 1u);
  EXPECT_EQ(tiny.sceneHeight, 1u);
  EXPECT_EQ(tiny.bloomWidth, 1u);
  EXPECT_EQ(tiny.bloomHeight, 1u);

  EXPECT_FLOAT_EQ(snapRenderScale(0.61f), 0.6f);
  EXPECT_FLOAT_EQ(snapRenderScale(0.6126f), 0.625f);
  EXPECT_FLOAT_EQ(snapRenderScale(0.1f), 0.25f);
  EXPECT_FLOAT_EQ(snapRenderScale(3.0f), 1.0f);
  EXPECT_FLOAT_EQ(snapRenderScale(std::nanf("")), 1.0f);
}

TEST(RenderScale, AHeavyStretchIsMetWithinASecondInSmallStepsAboveTheFloorAndTheScaleClimbsBackAfter) {
  double pixels = 8.0;  // light: 12 ms at full size, under the 16.7 ms of 60 fps
  RenderScaleController c(60.0);
  play(c, 2.0, costOf(pixels));
  EXPECT_FLOAT_EQ(c.scale(), 1.0f);
  EXPECT_EQ(c.changes(), 0);

  pixels = 30.0;  // heavy: 34 ms at full size
  double heavyStart = -1.0, metAt = -1.0;
  float previous = c.scale(), largestStep = 0.0f;
  int overAfterMet = 0;
  play(c, 6.0, costOf(pixels), 0.0, [&](double clock, double ms, float next) {
    if (heavyStart < 0.0) heavyStart = clock - ms;
    if (metAt < 0.0 && ms <= 1.03 * 1000.0 / 60.0) metAt = clock;
    if (metAt >= 0.0 && ms > 1.1 * 1000.0 / 60.0) ++overAfterMet;
    largestStep = std::max(largestStep, std::fabs(next - previous));
    EXPECT_GE(next, c.floor());
    previous = next;
  });
  ASSERT_GE(metAt, 0.0);
  EXPECT_LT(metAt - heavyStart, 1000.0);  // under the target within a second
  EXPECT_LE(largestStep, 4 * kRenderScaleStep + 1e-6f);
  EXPECT_LT(overAfterMet, 12);  // settles instead of swinging over the target
  const float held = c.scale();
  EXPECT_GT(held, 0.5f);
  EXPECT_LT(held, 0.8f);

  pixels = 8.0;
  play(c, 4.0, costOf(pixels));
  EXPECT_FLOAT_EQ(c.scale(), 1.0f);  // all the way back
  EXPECT_LE(c.lowestUsed(), held);
  EXPECT_FLOAT_EQ(c.highestUsed(), 1.0f);

  // Heavier than the floor can carry: the scale waits at the floor.
  pixels = 200.0;
  play(c, 3.0, costOf(pixels));
  EXPECT_FLOAT_EQ(c.scale(), kRenderScaleAutoFloor);
  EXPECT_FLOAT_EQ(c.lowestUsed(), kRenderScaleAutoFloor);
}

TEST(RenderScale, UnderVerticalSyncTheControllerProbesUpwardsRarelyAndHitchesAreIgnored) {
  const double period = 1000.0 / 60.0;
  double pixels = 20.0;  // fits under the period below scale ~0.76
  RenderScaleController c(60.0, 0.25f, 1.0f);
  play(c, 3.0, costOf(pixels), period);
  EXPECT_LT(c.scale(), 0.8f);
  const long settled = c.changes();
  int missed = 0;
  play(c, 30.0, costOf(pixels), period, [&](double, double ms, float) { missed += ms > period * 1.5; });
  // Probing one step up now and then, it waits longer after each probe that misses.
  EXPECT_LT(c.changes() - settled, 16);
  EXPECT_LT(missed, 60);  // of 1,800 frames
  EXPECT_LT(c.scale(), 0.8f);

  // A frame of seconds (a dragged window, loading) says nothing about the drawing.
  const float before = c.scale();
  c.addFrame(5000.0);
  c.addFrame(period);
  c.addFrame(period);
  EXPECT_FLOAT_EQ(c.scale(), before);
}
