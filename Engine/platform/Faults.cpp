#include "platform/Faults.h"

#include <array>
#include <cstddef>

namespace platform {
namespace {
struct State {
  bool armed = false;
  int succeedFirst = 0;
};
std::array<State, static_cast<std::size_t>(Fault::Count)> g_faults{};
}  // namespace

void setFault(Fault fault, bool armed, int succeedFirst) {
  g_faults[static_cast<std::size_t>(fault)] = {armed, succeedFirst};
}

bool failNow(Fault fault) {
  State& state = g_faults[static_cast<std::size_t>(fault)];
  if (!state.armed) return false;
  if (state.succeedFirst > 0) {
    --state.succeedFirst;
    return false;
  }
  return true;
}

void clearFaults() { g_faults.fill(State{}); }

}  // namespace platform
