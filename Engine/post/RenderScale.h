// RenderScale: the render scale — the fraction of the view's width and height at which the
// scene and bloom targets are drawn before the final pass scales the picture up to the view
// — and the controller that picks it frame by frame to hold a frame rate.
//
// renderTargetSizes() is the one sizing rule of the post chain's targets. The controller is
// plain arithmetic, no GL: the demo feeds it the wall time of every frame (swap to swap) and
// draws the next frame at the scale it returns. It lowers the scale quickly when frames run
// over the target, raises it slowly when there is room, and every change is one small step
// of a fixed grid, so the targets are resized only when the scale really moves. Where the
// frame time says nothing (held at the display's rate by vertical sync), it tries one step
// up now and then and comes back down, waiting longer each time, when that runs over.
//
// Not for capture or --shot, which always draw at scale 1.
#pragma once

#include <cstdint>

// The scale's limits and its grid: every scale is a multiple of kRenderScaleStep.
constexpr float kRenderScaleMin = 0.25f, kRenderScaleMax = 1.0f, kRenderScaleStep = 0.025f;

// The lowest scale the automatic choice goes to: a 1080p view is then drawn at 672 x 378,
// still a picture with its shapes, where 0.25 would be a blur of colours.
constexpr float kRenderScaleAutoFloor = 0.35f;

// `scale` clamped to [kRenderScaleMin, kRenderScaleMax] and rounded to the grid.
float snapRenderScale(float scale);

struct RenderTargetSizes {
  uint32_t sceneWidth = 1, sceneHeight = 1;  // the scene target, its depth and the transitions
  uint32_t bloomWidth = 1, bloomHeight = 1;  // bloom and bloom temp: a quarter of the scene
};

// The targets for a view of w x h drawn at `scale`: the scene at round(scale x view) (at
// least 1), the bloom targets at a quarter of the scene (integer shift by 2, at least 1).
// Scale 1 gives exactly the view.
RenderTargetSizes renderTargetSizes(int w, int h, float scale);

class RenderScaleController {
 public:
  // Holds `targetFps` frames per second with a scale between `floor` and `ceiling`; starts
  // at the ceiling.
  explicit RenderScaleController(double targetFps, float floor = kRenderScaleAutoFloor, float ceiling = 1.0f);

  // One frame's wall time in milliseconds; returns the scale for the next frame.
  float addFrame(double milliseconds);

  float scale() const { return current; }
  float floor() const { return low; }
  float ceiling() const { return high; }
  double targetMilliseconds() const { return target; }
  // The lowest and highest scale drawn at so far.
  float lowestUsed() const { return lowest; }
  float highestUsed() const { return highest; }
  // Changes of scale so far.
  long changes() const { return changeCount; }

  // A window of frames is judged once it holds this many frames or this much time.
  static constexpr int kWindowFrames = 4;
  static constexpr double kWindowMilliseconds = 250.0;

 private:
  void judge(double median);
  void moveTo(float scale);

  double target;
  float low, high, current;
  float lowest, highest;
  long changeCount = 0;
  double window[kWindowFrames] = {};
  int windowCount = 0;
  double windowSum = 0.0;
  // Vertical sync: time spent on target without room to climb, the wait before a probe
  // step, and whether the last change was such a probe.
  double steadyMilliseconds = 0.0;
  double probeWait = 1000.0;
  bool probing = false;
};
