// DemoPlayer: the production — its timeline of parts, the loading bar and the frame.
//
// One static instance. init() loads everything while the loading bar shows progress and
// starts the music; frame() is called by the message loop whenever no message waits and
// ends the program after 125 seconds of demo time.
#pragma once

#include "runtime/LoadingBar.h"

class DemoPlayer {
 public:
  int init();
  void frame();

  LoadingBar loadingBar;
  float t = 0.0f;
};

DemoPlayer& demoPlayer();
