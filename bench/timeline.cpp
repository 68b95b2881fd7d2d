// bench_timeline: plays the production's whole timeline in fixed steps, as fast as the
// machine draws it, and prints the median and 95th-percentile frame times, split into the
// city scene, the cars, the post chain (with the fades), the overlays (spectrum, tweak bars)
// and the buffer swap, then the same per stretch of the timeline.
//
//   bench_timeline [--step SECONDS] [--size WxH] [--from S] [--to S] [--no-post] [--no-split]
//                  [--capture FILE.avi [--fps N]] [ARCHIVE]
//
// --no-post switches the renderer's post-processing off, to see what the chain costs.
// --no-split times whole frames only, without the glFinish between phases (the figure to
// compare with a capture). --capture records the stretch as the player would (its frame
// rate sets the step); run it once with and once without to see what capture costs.
// Defaults: a step of 0.125 s (1,001 frames over 0 to 125 s), a 1024x768 window (the view
// 1024x576), data.zip beside this program. Needs a display (scripts/with-display.sh). Each
// phase ends with glFinish so it carries its own GPU work; see Demo/FrameProfile.h.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DemoPlayer.h"
#include "FrameProfile.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "scene/Renderer.h"

namespace {

struct Frame {
  double t;
  double total;
  std::array<double, FrameProfile::kPhases> phase;
};

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

void printRow(const char* label, const std::vector<Frame>& frames) {
  std::vector<double> total;
  std::vector<std::vector<double>> phases(FrameProfile::kPhases);
  for (const Frame& f : frames) {
    total.push_back(f.total);
    for (int p = 0; p < FrameProfile::kPhases; ++p)
      phases[static_cast<size_t>(p)].push_back(f.phase[static_cast<size_t>(p)]);
  }
  std::printf("%-12s %5zu  %6.1f %6.1f", label, frames.size(), percentile(total, 0.5), percentile(total, 0.95));
  for (const auto& v : phases) std::printf("  %5.1f/%5.1f", percentile(v, 0.5), percentile(v, 0.95));
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  double step = 0.125;
  bool postprocess = true;
  bool split = true;
  ProgramOptions& options = programOptions();
  options.windowed = true;
  options.noDialog = true;
  options.width = 1024;
  options.height = 768;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--step" && i + 1 < argc) {
      step = std::atof(argv[++i]);
    } else if (arg == "--size" && i + 1 < argc) {
      int w = 0, h = 0;
      if (std::sscanf(argv[++i], "%dx%d", &w, &h) != 2) return 2;
      options.width = w;
      options.height = h;
    } else if (arg == "--from" && i + 1 < argc) {
      options.from = std::atof(argv[++i]);
    } else if (arg == "--to" && i + 1 < argc) {
      options.to = std::atof(argv[++i]);
    } else if (arg == "--no-post") {
      postprocess = false;
    } else if (arg == "--no-split") {
      split = false;
    } else if (arg == "--capture" && i + 1 < argc) {
      options.captureFile = argv[++i];
    } else if (arg == "--fps" && i + 1 < argc) {
      options.fps = std::atoi(argv[++i]);
    } else if (arg[0] != '-') {
      options.dataFile = arg;
    } else {
      std::fprintf(stderr,
                   "usage: bench_timeline [--step SECONDS] [--size WxH] [--from S] [--to S] [--no-post] [--no-split] "
                   "[--capture FILE.avi [--fps N]] [ARCHIVE]\n");
      return 2;
    }
  }
  if (!(step > 0.0)) return 2;
  platform::setUnattended(true);

  std::vector<Frame> frames;
  DemoPlayer& player = demoPlayer();
  if (options.captureFile.empty()) player.fixedStep = step;
  frameProfile().enabled = split;
  DemoHooks hooks;
  hooks.init = [&] {
    Runtime::instance()->renderer->postprocess = postprocess;
    return player.init();
  };
  double started = 0.0;
  hooks.frame = [&] {
    const double before = nowMs();
    if (frames.empty()) started = before;
    player.frame();
    frames.push_back({player.t, nowMs() - before, frameProfile().milliseconds});
  };
  const int code = runEngine(hooks);
  const double wall = (nowMs() - started) / 1000.0;
  if (code != 0 || frames.empty()) {
    std::fprintf(stderr, "bench_timeline: the demo did not run (exit code %d)\n", code);
    return 1;
  }

  step = player.fixedStep;
  std::printf("%zu frames, %.4f s apart, %dx%d window%s: %.1f s wall, %.1f frames per second\n", frames.size(), step,
              *options.width, *options.height, options.captureFile.empty() ? "" : ", captured", wall,
              static_cast<double>(frames.size()) / wall);
  std::printf("%-12s %5s  %6s %6s", "stretch", "n", "median", "p95");
  for (int p = 0; p < FrameProfile::kPhases; ++p) std::printf("  %11s", framePhaseName(static_cast<FramePhase>(p)));
  std::printf("\n");
  printRow("all", frames);
  for (double from = 0.0; from < 125.0; from += 10.0) {
    std::vector<Frame> part;
    for (const Frame& f : frames)
      if (f.t >= from && f.t < from + 10.0) part.push_back(f);
    if (part.empty()) continue;
    char label[32];
    std::snprintf(label, sizeof label, "%3.0f-%3.0f s", from, std::min(from + 10.0, 125.0));
    printRow(label, part);
  }
  std::printf("(milliseconds; phases as median/p95)\n");
  return 0;
}
