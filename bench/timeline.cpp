// bench_timeline: plays the production's whole timeline in fixed steps, as fast as the
// machine draws it, and prints the median and 95th-percentile frame times, split into the
// city scene, the cars, the post chain (with the fades), the overlays (spectrum, tweak bars)
// and the buffer swap, then the same per stretch of the timeline.
//
//   bench_timeline [--step SECONDS] [--size WxH | --sizes WxH,WxH...] [--from S] [--to S]
//                  [--no-post] [--no-split] [--capture FILE.avi [--fps N]]
//                  [--render-scale S|auto [--target-fps N]] [--sync ADDRESS] [ARCHIVE]
//
// --sync ADDRESS links the run to a sync editor at ADDRESS as `veltro12 --sync` does (one
// poll a frame, counted in the frame's time): against an editor that answers slowly or not at
// all, the figures are to match a run without it.
// --render-scale draws the scene at that scale of the view, as the player's option does
// (auto: the scale follows each frame's wall time to hold --target-fps, default 60); the
// run then also prints the median, lowest and highest scale of its frames. --shots DIR
// writes the frames at 5, 15, 30, 43.5, 60, 80, 90, 100, 112 and 118 s, as drawn at the
// scale in force, to DIR/shot-T.png (the times of bench/shots-psnr.sh, which compares two
// such folders with --dirs); those frames are left out of the figures.
// --no-post switches the renderer's post-processing off, to see what the chain costs.
// --no-split times whole frames only, without the glFinish between phases (the figure to
// compare with a capture). --capture records the stretch as the player would (its frame
// rate sets the step); run it once with and once without to see what capture costs.
// Defaults: a step of 0.125 s (1,001 frames over 0 to 125 s), data.zip beside this program,
// and two runs, one per window size: 1024x768 (the view 1024x576) and 1920x1080 (the view
// 1920x1080), each in a process of its own (bench/SizeSweep.h), with a table of both at the
// end: median and p95 frame time, wall time, and the CPU time per frame of every thread
// (the rasteriser's included), the figure that stays comparable while the machine is busy.
// --size runs one size only. --fragments also counts the fragments each phase writes
// (GL_SAMPLES_PASSED: those that pass the depth test) and, for the city, the triangles
// submitted, the fragments and the time (each surface drawn and finished on its own) of
// every effect, as means per frame:
// where the fragment shading goes and how much is overdraw. Needs a display (scripts/with-display.sh; its Xvfb screen must
// hold the window: PYLON_XVFB_SCREEN=1920x1200x24). Each phase ends with glFinish so it
// carries its own GPU work; see Demo/FrameProfile.h.
#include <algorithm>
#include <cmath>
#include <array>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "DemoPlayer.h"
#include "capture/FrameShot.h"
#include "SizeSweep.h"
#include "SyncLink.h"
#include "FrameProfile.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "ProductionSource.h"
#include "scene/Renderer.h"
#include "scene/SceneRenderer.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

namespace {

struct Frame {
  double t;
  double total;
  float scale;
  std::array<double, FrameProfile::kPhases> phase;
};

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds of CPU of every thread of this process.
double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
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

// Fragments and time of the city's surfaces, by effect (or fixed-function kind).
class EffectProbe : public SurfaceProbe {
 public:
  struct Cost {
    double ms = 0.0;
    uint64_t fragments = 0, triangles = 0;
    size_t draws = 0;
  };
  std::map<std::string, Cost> costs;

  void before(const KestrelLibDynamic& scene, int object, int surface) override {
    const Kestrel::Surface& s = scene.object(object).surface(surface);
    const Kestrel::Material* material = kestrelEntry(scene.material(), s.materialid());
    current = "fixed function";
    if (material && material->shader() != 0 && static_cast<int>(material->shader()) <= scene.shader_size()) {
      current = scene.shader(static_cast<int>(material->shader()) - 1).source();
      current = current.substr(current.find_last_of('/') + 1);
    } else if (material) {
      current = material->mappingtype() == Kestrel::FLAT ? "fixed, flat colour" : "fixed, textured";
    }
    glFinish();
    frameProfile().takeFragments();
    if (query == 0) glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    started = nowMs();
  }
  void after() override {
    glFinish();
    Cost& c = costs[current];
    c.ms += nowMs() - started;
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint triangles = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &triangles);
    c.triangles += triangles;
    c.fragments += frameProfile().takeFragments();
    ++c.draws;
  }

 private:
  std::string current;
  double started = 0.0;
  GLuint query = 0;
};

}  // namespace

int main(int argc, char** argv) {
  double step = 0.125;
  bool postprocess = true;
  bool split = true;
  bool fragments = false;
  std::string shotDir;
  std::string syncAddress;
  bool syncWanted = false;
  SyncLink syncLink;
  ProgramOptions& options = programOptions();
  options.windowed = true;
  options.noDialog = true;
  options.width = 1024;
  options.height = 768;
  bool sized = false;
  std::vector<bench::WindowSize> sizes = {{1024, 768}, {1920, 1080}};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--step" && i + 1 < argc) {
      step = std::atof(argv[++i]);
    } else if (arg == "--size" && i + 1 < argc) {
      int w = 0, h = 0;
      if (std::sscanf(argv[++i], "%dx%d", &w, &h) != 2) return 2;
      options.width = w;
      options.height = h;
      sized = true;
    } else if (arg == "--sizes" && i + 1 < argc) {
      if (!bench::parseSizes(argv[++i], sizes)) return 2;
    } else if (arg == "--from" && i + 1 < argc) {
      options.from = std::atof(argv[++i]);
    } else if (arg == "--to" && i + 1 < argc) {
      options.to = std::atof(argv[++i]);
    } else if (arg == "--no-post") {
      postprocess = false;
    } else if (arg == "--fragments") {
      fragments = true;
    } else if (arg == "--no-split") {
      split = false;
    } else if (arg == "--capture" && i + 1 < argc) {
      options.captureFile = argv[++i];
    } else if (arg == "--fps" && i + 1 < argc) {
      options.fps = std::atoi(argv[++i]);
    } else if (arg == "--sync" && i + 1 < argc) {
      syncAddress = argv[++i];
      syncWanted = true;
    } else if (arg == "--shots" && i + 1 < argc) {
      shotDir = argv[++i];
    } else if ((arg == "--render-scale" || arg == "--target-fps") && i + 1 < argc) {
      // The player's own parsing and checks.
      const char* pair[] = {argv[0], argv[i], argv[i + 1]};
      std::string error;
      ++i;
      if (parseOptions(3, pair, options, error) != 0) {
        std::fprintf(stderr, "bench_timeline: %s\n", error.c_str());
        return 2;
      }
    } else if (arg[0] != '-') {
      options.dataFile = arg;
    } else {
      std::fprintf(stderr,
                   "usage: bench_timeline [--step SECONDS] [--size WxH | --sizes WxH,WxH...] [--from S] [--to S] [--no-post] [--no-split] "
                   "[--fragments] [--capture FILE.avi [--fps N]] [--render-scale S|auto [--target-fps N]] [--shots DIR] [--sync ADDRESS] [ARCHIVE]\n");
      return 2;
    }
  }
  if (!(step > 0.0)) return 2;
  if (!sized) return bench::runSizeSweep(argc, argv, sizes, "view       frames median    p95   wall s    fps  CPU ms/frame");
  platform::setUnattended(true);

  std::vector<Frame> frames;
  DemoPlayer& player = demoPlayer();
  if (options.captureFile.empty()) player.fixedStep = step;
  // The music is mixed up to each frame's instant, as in a capture: the beat flash, a
  // full-view pass, then falls on the same frames in every run.
  Runtime::instance()->sound->demoTimeWanted = true;
  frameProfile().enabled = split || fragments;
  frameProfile().countFragments = fragments;
  EffectProbe probe;
  if (fragments) surfaceProbe = &probe;
  std::array<double, FrameProfile::kPhases> phaseFragments{};
  DemoHooks hooks;
  // The production the archive holds (its production.txtpb), as the player reads it.
  hooks.prepare = [&] { return preparePlayerProduction(options); };
  hooks.init = [&] {
    Runtime::instance()->renderer->postprocess = postprocess;
    if (player.init() != 0) return 1;
    std::string error;
    if (syncWanted && syncLink.start(syncAddress, &error) != 0) {
      std::fprintf(stderr, "bench_timeline: %s\n", error.c_str());
      return 1;
    }
    return 0;
  };
  // The shots are written before the swap, from the back buffer the frame has just finished.
  bool shotFrame = false;
  if (!shotDir.empty()) {
    player.overlay = [&] {
      for (const double at : {5.0, 15.0, 30.0, 43.5, 60.0, 80.0, 90.0, 100.0, 112.0, 118.0}) {
        if (std::fabs(static_cast<double>(player.t) - at) > 1e-4) continue;
        char name[64];
        std::snprintf(name, sizeof name, "/shot-%g.png", at);
        const UserConfig& config = Runtime::instance()->screen->config;
        if (writeFrameShot(shotDir + name, config.width, config.height) != 0) std::exit(1);
        shotFrame = true;
      }
    };
  }
  double started = 0.0, cpuStarted = 0.0;
  hooks.frame = [&] {
    const double before = nowMs();
    if (frames.empty()) {
      started = before;
      cpuStarted = cpuSeconds();
    }
    shotFrame = false;
    syncLink.poll();
    player.frame();
    if (shotFrame) return;
    frames.push_back({player.t, nowMs() - before, player.post.renderScale, frameProfile().milliseconds});
    for (int p = 0; p < FrameProfile::kPhases; ++p)
      phaseFragments[static_cast<size_t>(p)] += static_cast<double>(frameProfile().fragments[static_cast<size_t>(p)]);
  };
  const int code = runEngine(hooks);
  const double wall = (nowMs() - started) / 1000.0;
  const double cpu = cpuSeconds() - cpuStarted;
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
  if (fragments) {
    const double n = static_cast<double>(frames.size());
    const double pixels = static_cast<double>(*options.width) * (*options.width * 9 / 16);
    std::printf("\nfragments written per frame (mean; x = per pixel of the view)\n");
    for (int p = 0; p < FrameProfile::kPhases; ++p)
      std::printf("  %-8s %12.0f  %5.2f x\n", framePhaseName(static_cast<FramePhase>(p)),
                  phaseFragments[static_cast<size_t>(p)] / n, phaseFragments[static_cast<size_t>(p)] / n / pixels);
    std::printf("the city by effect, per frame (mean; each surface finished on its own)\n");
    std::printf("  %-24s %6s %9s %12s %6s %8s %9s\n", "effect", "draws", "triangles", "fragments", "x", "ms",
                "ns/frag");
    for (const auto& [name, c] : probe.costs)
      std::printf("  %-24s %6.1f %9.0f %12.0f %6.2f %8.2f %9.1f\n", name.c_str(), static_cast<double>(c.draws) / n,
                  static_cast<double>(c.triangles) / n,
                  static_cast<double>(c.fragments) / n, static_cast<double>(c.fragments) / n / pixels, c.ms / n,
                  c.fragments ? 1e6 * c.ms / static_cast<double>(c.fragments) : 0.0);
  }
  if (options.renderScale || options.renderScaleAuto) {
    std::vector<double> scales;
    for (const Frame& f : frames) scales.push_back(f.scale);
    std::printf("render scale of the frames: median %.3f, lowest %.3f, highest %.3f\n", percentile(scales, 0.5),
                percentile(scales, 0.0), percentile(scales, 1.0));
  }
  std::printf("CPU time of all threads over the frames: %.1f s, %.2f ms per frame\n", cpu,
              1000.0 * cpu / static_cast<double>(frames.size()));
  std::vector<double> totals;
  for (const Frame& f : frames) totals.push_back(f.total);
  char figures[160];
  std::snprintf(figures, sizeof figures, "%4dx%-5d %6zu %6.1f %6.1f %8.1f %6.1f %13.2f",
                *options.width, *options.width * 9 / 16, frames.size(), percentile(totals, 0.5),
                percentile(totals, 0.95), wall, static_cast<double>(frames.size()) / wall,
                1000.0 * cpu / static_cast<double>(frames.size()));
  bench::printSummaryLine(figures);
  return 0;
}
