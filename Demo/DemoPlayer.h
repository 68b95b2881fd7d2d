// DemoPlayer: the production — its timeline of parts, the loading bar and the frame.
//
// One static instance. init() opens the capture file when capturing, loads everything
// while the loading bar shows progress and starts the music; frame() is called by the
// message loop whenever no message waits and ends the program after 125 seconds of demo
// time (or at --to). While capturing, demo time advances by exactly one frame step per
// frame instead of following the clock, so every frame of the video is one instant apart.
#pragma once

#include "runtime/LoadingBar.h"

class DemoPlayer {
 public:
  int init();
  void frame();

  LoadingBar loadingBar;
  float t = 0.0f;

  // The stretch of the timeline to play (--from, --to).
  double startTime = 0.0;
  double endTime = 125.0;

  // Fixed-step time while capturing: the step is computed on the first frame.
  bool firstFrame = true;
  double captureStep = 0.0;
  long capturedFrames = 0;
};

DemoPlayer& demoPlayer();

// The frames a capture from `from` to `to` writes: frame n (from 1) shows from + n × step,
// and the first one past `to` is the last.
long captureFrameCount(double from, double to, double step);
