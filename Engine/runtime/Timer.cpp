#include "runtime/Timer.h"

#include <cmath>

#include "platform/Clock.h"

Timer::Timer() {
  platform::pinThreadToFirstProcessor();
  int64_t frequency = 0;
  if (platform::queryCounterFrequency(frequency) && frequency > 0) {
    platform::queryCounter(start);
    now = start;
    secondsPerTick = 1.0 / static_cast<double>(frequency);
    available = true;
  }
  paused = false;
}

void Timer::reset() {
  platform::queryCounter(start);
  now = start;
}

float Timer::seconds() {
  if (!paused) platform::queryCounter(now);
  elapsedTicks = now - start;
  return static_cast<float>(static_cast<double>(elapsedTicks) * secondsPerTick);
}

void Timer::pause() { paused = true; }

void Timer::resume() {
  if (!paused) return;
  int64_t counter = 0;
  platform::queryCounter(counter);
  start = counter - elapsedTicks;
  paused = false;
}

void Timer::seek(double secondsFromStart) {
  // Without a counter there is no tick length to convert with; time stays 0.
  if (secondsPerTick <= 0.0) return;
  now = start + static_cast<int64_t>(secondsFromStart / secondsPerTick);
  // resume() continues from elapsedTicks: a seek followed at once by resume() must not
  // fall back to the last reading taken before the seek.
  elapsedTicks = now - start;
}

void Timer::follow(double wantedSeconds) {
  if (paused || secondsPerTick <= 0.0 || !std::isfinite(wantedSeconds)) return;
  int64_t counter = 0;
  platform::queryCounter(counter);
  const double error = static_cast<double>(counter - start) * secondsPerTick - wantedSeconds;
  const double step = std::fabs(error) > 0.005 ? error : error * 0.5;
  start += static_cast<int64_t>(std::llround(step / secondsPerTick));
}
