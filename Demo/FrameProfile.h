// FrameProfile: an optional split of every frame's time into its phases, for the timeline
// benchmark (bench/timeline.cpp).
//
// Off by default, and then each mark() is one branch. Switched on, each mark() first waits
// for the GL to finish (glFinish), so that every phase is charged with its own GPU work,
// then charges the time since the previous mark to its phase. Waiting serialises the CPU
// and the GPU, so a profiled frame is never faster than an unprofiled one. With
// countFragments also on, every phase is wrapped in a GL_SAMPLES_PASSED query, so the
// fragments it wrote (those that passed the depth test) are counted per phase; a finer
// observer takes its own share with takeFragments().
#pragma once

#include <array>
#include <cstdint>

enum class FramePhase { Scene, Cars, Post, Overlay, Swap, Count };

struct FrameProfile {
  static constexpr int kPhases = static_cast<int>(FramePhase::Count);

  bool enabled = false;
  bool countFragments = false;  // only while enabled
  // The current frame's milliseconds and fragments per phase, cleared by begin().
  std::array<double, kPhases> milliseconds{};
  std::array<uint64_t, kPhases> fragments{};

  void begin();
  void mark(FramePhase phase);
  // The fragments written since the last mark() or takeFragments(); they still count for
  // the phase under way. 0 unless counting.
  uint64_t takeFragments();

 private:
  double last = 0.0;
  unsigned query = 0;
  bool counting = false;
  uint64_t pending = 0;
};

FrameProfile& frameProfile();
const char* framePhaseName(FramePhase phase);
