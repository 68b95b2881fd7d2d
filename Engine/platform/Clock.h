// Clock: the high-resolution counter behind the engine's Timer, and thread pinning.
//
// queryCounterFrequency/queryCounter read SDL's performance counter (CLOCK_MONOTONIC on
// Linux). Tests replace the counter with setCounterSource() to drive time by hand, or to
// simulate a machine without a counter (both functions then return false).
// pinThreadToFirstProcessor() pins the calling thread to processor 0, so that every counter
// reading of the main thread comes from one processor.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

struct CounterSource {
  std::function<bool(int64_t& ticksPerSecond)> frequency;
  std::function<bool(int64_t& ticks)> value;
};

bool queryCounterFrequency(int64_t& ticksPerSecond);
bool queryCounter(int64_t& ticks);

// An empty source (both functions empty) restores the real counter.
void setCounterSource(CounterSource source);

// Returns true when the affinity was set.
bool pinThreadToFirstProcessor();

}  // namespace platform
