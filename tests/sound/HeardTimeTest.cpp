// What is heard lags what is mixed: the mixer's estimate of the frame leaving the output,
// the output latency per driver, and the timer steered onto the music as it is heard.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Clock.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/Output.h"
#include "runtime/Timer.h"

using namespace audio;

TEST(HeardFrame, FollowsWhenTheOutputSaysEachBufferIsHeardAndIgnoresALateCall) {
  std::vector<float> out(2 * 1024);
  Mixer mixer(1);
  EXPECT_EQ(mixer.heardFrame(), 0);
  // Buffers heard one after the other from 0.2 s ago on; the scheduler ran one call 4 ms late.
  const double origin = Mixer::steadySeconds() - 0.2;
  for (int k = 0; k < 20; ++k)
    mixer.noteHeard(mixer.mix(out.data(), 1024, 2), origin + k * 1024.0 / Mixer::kRate + (k == 7 ? 0.004 : 0));
  const double expected = 0.2 * Mixer::kRate;
  const double heard = static_cast<double>(mixer.heardFrame());
  EXPECT_GE(heard, expected - 2);
  EXPECT_LT(heard, expected + 0.02 * Mixer::kRate);  // the test's own time since
  // Buffers still queued in the output: none of them is heard yet.
  Mixer queued(1);
  const double later = Mixer::steadySeconds() + 0.05;
  for (int k = 0; k < 4; ++k) queued.noteHeard(queued.mix(out.data(), 1024, 2), later + k * 1024.0 / Mixer::kRate);
  EXPECT_EQ(queued.heardFrame(), 0);
  // An output nobody listens to in real time: what is mixed counts as heard.
  Mixer offline(1);
  offline.mix(out.data(), 1000, 2);
  EXPECT_EQ(offline.heardFrame(), 1000);
}

TEST(OutputLatency, OneQueuedBufferBehindASoundServerNoneForTheFileDriversPlusTheExtraAsked) {
  EXPECT_EQ(SdlOutput::latencyOf("disk", 0.023, nullptr), 0.0);
  EXPECT_EQ(SdlOutput::latencyOf("dummy", 0.023, "10"), 0.010);
  EXPECT_DOUBLE_EQ(SdlOutput::latencyOf("pulseaudio", 0.023, nullptr), 0.023);
  EXPECT_DOUBLE_EQ(SdlOutput::latencyOf("pipewire", 0.023, "40"), 0.063);
  for (const char* bad : {"x", "12ms", "-5", "nan", "1e9"})
    EXPECT_DOUBLE_EQ(SdlOutput::latencyOf("alsa", 0.023, bad), 0.023) << bad;
}

TEST(TimerFollow, SnapsOntoAFarReadingHalvesANearOneAndLeavesAPausedTimer) {
  int64_t ticks = 0;
  platform::setCounterSource({[](int64_t& f) {
                                f = 1000000;
                                return true;
                              },
                              [&](int64_t& v) {
                                v = ticks;
                                return true;
                              }});
  Timer timer;
  ticks = 1000000;
  timer.follow(0.9);  // 100 ms off: moved at once
  EXPECT_NEAR(timer.seconds(), 0.9, 1e-6);
  timer.follow(0.898);  // 2 ms off: half of it
  EXPECT_NEAR(timer.seconds(), 0.899, 1e-6);
  timer.pause();
  timer.follow(5.0);
  EXPECT_NEAR(timer.seconds(), 0.899, 1e-6);
  platform::setCounterSource({});
}
