// FrameProfile: an optional split of every frame's time into its phases, for the timeline
// benchmark (bench/timeline.cpp).
//
// Off by default, and then each mark() is one branch. Switched on, each mark() first waits
// for the GL to finish (glFinish), so that every phase is charged with its own GPU work,
// then charges the time since the previous mark to its phase. Waiting serialises the CPU
// and the GPU, so a profiled frame is never faster than an unprofiled one.
#pragma once

#include <array>

enum class FramePhase { Scene, Cars, Post, Overlay, Swap, Count };

struct FrameProfile {
  static constexpr int kPhases = static_cast<int>(FramePhase::Count);

  bool enabled = false;
  // The current frame's milliseconds per phase, cleared by begin().
  std::array<double, kPhases> milliseconds{};

  void begin();
  void mark(FramePhase phase);

 private:
  double last = 0.0;
};

FrameProfile& frameProfile();
const char* framePhaseName(FramePhase phase);
