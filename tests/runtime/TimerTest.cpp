#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "runtime/Timer.h"

namespace {

// A counter the test moves by hand: 1000 ticks per second.
struct ManualCounter {
  int64_t ticks = 5000;
  bool present = true;
  ManualCounter() {
    platform::setCounterSource({[this](int64_t& f) {
                                  f = 1000;
                                  return present;
                                },
                                [this](int64_t& v) {
                                  v = ticks;
                                  return present;
                                }});
  }
  ~ManualCounter() { platform::setCounterSource({}); }
};

TEST(Timer, ReadsElapsedTimeFromTheCounter) {
  ManualCounter counter;
  Timer timer;
  EXPECT_TRUE(timer.available);
  EXPECT_FLOAT_EQ(timer.seconds(), 0.0f);
  counter.ticks += 2500;
  EXPECT_FLOAT_EQ(timer.seconds(), 2.5f);
  timer.reset();
  EXPECT_FLOAT_EQ(timer.seconds(), 0.0f);
}

TEST(Timer, PausedReadingRepeatsAndResumeContinuesFromIt) {
  ManualCounter counter;
  Timer timer;
  counter.ticks += 3000;
  EXPECT_FLOAT_EQ(timer.seconds(), 3.0f);
  timer.pause();
  counter.ticks += 10000;
  EXPECT_FLOAT_EQ(timer.seconds(), 3.0f);
  EXPECT_FLOAT_EQ(timer.seconds(), 3.0f);
  timer.resume();
  EXPECT_FLOAT_EQ(timer.seconds(), 3.0f);  // the pause itself did not count
  counter.ticks += 1000;
  EXPECT_FLOAT_EQ(timer.seconds(), 4.0f);
}

TEST(Timer, ResumeWhenNotPausedChangesNothing) {
  ManualCounter counter;
  Timer timer;
  counter.ticks += 1500;
  timer.seconds();
  const int64_t start = timer.start;
  counter.ticks += 700;
  timer.resume();
  EXPECT_EQ(timer.start, start);
  EXPECT_FLOAT_EQ(timer.seconds(), 2.2f);
}

TEST(Timer, SeekHoldsOnlyWhilePaused) {
  ManualCounter counter;
  Timer timer;
  timer.pause();
  timer.seek(12.3456);
  EXPECT_NEAR(timer.seconds(), 12.345f, 1e-4);  // truncated to whole ticks
  timer.resume();
  counter.ticks += 1000;
  EXPECT_NEAR(timer.seconds(), 13.345f, 1e-4);

  // Resuming straight after a seek, with no reading between, continues from the seek.
  counter.ticks += 7000;
  timer.pause();
  timer.seek(3.0);
  timer.resume();
  counter.ticks += 500;
  EXPECT_NEAR(timer.seconds(), 3.5f, 1e-4);

  Timer running;
  running.seek(50.0);
  EXPECT_FLOAT_EQ(running.seconds(), 0.0f);  // a running timer reads the counter again
}

TEST(Timer, MissingCounterGivesTimeZero) {
  ManualCounter counter;
  counter.present = false;
  Timer timer;
  EXPECT_FALSE(timer.available);
  EXPECT_EQ(timer.secondsPerTick, 0.0);
  counter.ticks += 100000;
  EXPECT_EQ(timer.seconds(), 0.0f);
  timer.seek(5.0);
  EXPECT_EQ(timer.seconds(), 0.0f);
}

}  // namespace
