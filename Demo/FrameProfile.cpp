#include "FrameProfile.h"

#include <GL/glew.h>

#include <chrono>

namespace {
double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

FrameProfile& frameProfile() {
  static FrameProfile profile;
  return profile;
}

const char* framePhaseName(FramePhase phase) {
  static const char* const names[] = {"scene", "cars", "post", "overlay", "swap"};
  return names[static_cast<int>(phase)];
}

void FrameProfile::begin() {
  if (!enabled) return;
  glFinish();
  milliseconds.fill(0.0);
  last = nowMs();
}

void FrameProfile::mark(FramePhase phase) {
  if (!enabled) return;
  glFinish();
  const double now = nowMs();
  milliseconds[static_cast<size_t>(phase)] += now - last;
  last = now;
}
