// Clock: the high-resolution counter behind the engine's Timer, and thread pinning.
//
// queryCounterFrequency/queryCounter read SDL's performance counter (CLOCK_MONOTONIC on
// Linux). Tests replace the counter with setCounterSource() to drive time by hand, or to
// simulate a machine without a counter (both functions then return false).
// pinThreadToFirstProcessor() pins the calling thread to processor 0, so that every counter
// reading of the main thread comes from one processor.
//
// Threads inherit the affinity of the thread that starts them, and libraries size their
// thread pools by the processors they may use: started from the pinned main thread, the GL
// rasteriser would get no worker threads and the audio mixer and the video encoder would
// share processor 0. Every platform call that may start library threads therefore runs in
// an UnpinnedScope, which hands the calling thread the processors the process had before
// pinning for the scope's lifetime and pins it again at the end.
#pragma once

#include <cstdint>
#include <sched.h>

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

// Does nothing when no thread was pinned; only the outermost of nested scopes acts.
class UnpinnedScope {
 public:
  UnpinnedScope();
  ~UnpinnedScope();
  UnpinnedScope(const UnpinnedScope&) = delete;
  UnpinnedScope& operator=(const UnpinnedScope&) = delete;

 private:
  bool widened = false;
  cpu_set_t pinned;  // the thread's affinity on entry, restored on exit
};

}  // namespace platform
