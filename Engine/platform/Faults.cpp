#include "platform/Faults.h"

#include <array>
#include <cstddef>
#include <mutex>

namespace platform {
namespace {
struct State {
  bool armed = false;
  int succeedFirst = 0;
};
std::array<State, static_cast<std::size_t>(Fault::Count)> g_faults{};
std::mutex g_lock;
}  // namespace

void setFault(Fault fault, bool armed, int succeedFirst) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_faults[static_cast<std::size_t>(fault)] = {armed, succeedFirst};
}

bool failNow(Fault fault) {
  std::lock_guard<std::mutex> guard(g_lock);
  State& state = g_faults[static_cast<std::size_t>(fault)];
  if (!state.armed) return false;
  if (state.succeedFirst > 0) {
    --state.succeedFirst;
    return false;
  }
  return true;
}

void clearFaults() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_faults.fill(State{});
}

}  // namespace platform
