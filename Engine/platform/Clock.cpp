#include "platform/Clock.h"

#include <SDL.h>
#include <pthread.h>
#include <sched.h>

namespace platform {
namespace {
CounterSource g_source;
}

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

bool pinThreadToFirstProcessor() {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(0, &set);
  return pthread_setaffinity_np(pthread_self(), sizeof(set), &set) == 0;
}

}  // namespace platform
