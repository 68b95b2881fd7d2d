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
  fragments.fill(0);
  pending = 0;
  if (countFragments) {
    if (query == 0) glGenQueries(1, &query);
    if (counting) glEndQuery(GL_SAMPLES_PASSED);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    counting = true;
  }
  last = nowMs();
}

uint64_t FrameProfile::takeFragments() {
  if (!counting) return 0;
  glEndQuery(GL_SAMPLES_PASSED);
  GLuint count = 0;
  glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
  glBeginQuery(GL_SAMPLES_PASSED, query);
  pending += count;
  return count;
}

void FrameProfile::mark(FramePhase phase) {
  if (!enabled) return;
  glFinish();
  const double now = nowMs();
  milliseconds[static_cast<size_t>(phase)] += now - last;
  takeFragments();
  fragments[static_cast<size_t>(phase)] += pending;
  pending = 0;
  last = nowMs();
}
