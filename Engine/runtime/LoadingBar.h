// LoadingBar: the progress bar drawn straight to the window while the demo loads.
//
// Part of the demo object. draw() renders one frame of the bar and presents it; fade() runs
// a timed fade in (direction 1) or out (direction 2), busy and paced by the buffer swap, and
// resets the demo clock; progress() advances the bar after a timeline part has loaded.
// Needs the Screen's window and GL context.
#pragma once

class LoadingBar {
 public:
  void draw();
  // draw() without presenting: the bar is left in the back buffer.
  void render();
  void fade(int direction, float duration);
  // One progress step with `partCount` parts in the timeline.
  void progress(unsigned partCount);
  // The fill value after one progress step, without drawing (pure, for tests and progress()).
  void advance(unsigned partCount);

  int width = 480;
  int height = 14;
  int step = 0;
  int fill = 2;
  float alpha = 1.0f;
};
