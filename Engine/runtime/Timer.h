// Timer: the high-resolution stopwatch that gives the demo its time.
//
// Owned by Runtime and constructed on the main thread, which it pins to processor 0 so that
// every counter reading comes from one processor. seconds() reads the counter unless paused;
// pause() freezes the reading, resume() continues from the paused time, seek() moves the
// frozen reading (it only holds while paused: a running timer reads the counter again).
// follow() keeps the running timer on the music as it is heard, so that the picture stays
// with the sound however the sound card's clock drifts from the counter. Without a
// high-resolution counter, time stays 0.
#pragma once

#include <cstdint>

class Timer {
 public:
  Timer();

  void reset();
  float seconds();
  void pause();
  void resume();
  void seek(double secondsFromStart);
  // Steers a running timer onto `wantedSeconds` (the time of what is heard): a reading
  // more than 5 ms off moves the zero at once, a closer one by half the difference, so
  // that one reading's jitter moves the clock by half of it. Does nothing while paused.
  void follow(double wantedSeconds);

  int64_t start = 0;
  int64_t elapsedTicks = 0;
  int64_t now = 0;
  double secondsPerTick = 0.0;
  bool paused = false;
  bool available = false;
};
