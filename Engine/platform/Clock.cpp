#include "platform/Clock.h"

#include <SDL.h>
#include <pthread.h>
#include <sched.h>

namespace platform {
namespace {
CounterSource g_source;
// The affinity the process started with, kept by the first pinning.
bool g_pinned = false;
cpu_set_t g_original;
thread_local int g_unpinnedDepth = 0;  // 1 inside this thread's outermost scope

bool pinToFirst() {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(0, &set);
  return pthread_setaffinity_np(pthread_self(), sizeof(set), &set) == 0;
}
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

bool pinThreadToFirstProcessor() {
  if (!g_pinned) {
    CPU_ZERO(&g_original);
    if (pthread_getaffinity_np(pthread_self(), sizeof(g_original), &g_original) != 0) return false;
  }
  if (!pinToFirst()) return false;
  g_pinned = true;
  return true;
}

UnpinnedScope::UnpinnedScope() {
  // Only the outermost scope of a pinned thread changes the affinity.
  if (!g_pinned || g_unpinnedDepth > 0) return;
  CPU_ZERO(&pinned);
  if (pthread_getaffinity_np(pthread_self(), sizeof(pinned), &pinned) != 0) return;
  widened = pthread_setaffinity_np(pthread_self(), sizeof(g_original), &g_original) == 0;
  if (widened) g_unpinnedDepth = 1;
}

UnpinnedScope::~UnpinnedScope() {
  if (!widened) return;
  g_unpinnedDepth = 0;
  pthread_setaffinity_np(pthread_self(), sizeof(pinned), &pinned);
}

}  // namespace platform
