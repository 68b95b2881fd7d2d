// The clock in the browser: SDL's performance counter is performance.now(). There is one
// thread and no processor affinity, so pinning reports failure and UnpinnedScope does nothing.
#include "platform/Clock.h"

#include <SDL.h>

namespace platform {
namespace {
CounterSource g_source;
}  // namespace

void setCounterSource(CounterSource source) { g_source = std::move(source); }

bool queryCounterFrequency(int64_t& ticksPerSecond) {
  if (g_source.frequency) return g_source.frequency(ticksPerSecond);
  ticksPerSecond = static_cast<int64_t>(SDL_GetPerformanceFrequency());
  return ticksPerSecond > 0;
}

bool queryCounter(int64_t& ticks) {
  if (g_source.value) return g_source.value(ticks);
  ticks = static_cast<int64_t>(SDL_GetPerformanceCounter());
  return true;
}

bool pinThreadToFirstProcessor() { return false; }

UnpinnedScope::UnpinnedScope() { (void)pinned; }
UnpinnedScope::~UnpinnedScope() { widened = false; }

}  // namespace platform
