// bench_cars: how far the batched cars (with the far car beyond its take-over distance)
// are from the cars drawn one by one with the full mesh, as the player shows them.
//
//   bench_cars [--size WxH] [--out DIR] [--far UNITS] [--distant UNITS] [--time N] [ARCHIVE] [SECONDS]...
//
// For each demo time (default 43.5 and 60) it renders the whole frame (city, cars, fades,
// post chain; the beat flash off, since live music would differ between the two renders)
// once one by one and once batched, and prints the PSNR over the picture, the number of
// pixels that differ and the cars the far mesh drew. With --out it writes both frames as
// PNG files there, to be looked at. --far and --distant set where the far and the distant
// car take over (in the units of a 576-line view; 0: never). --time N then draws the batched cars alone N
// times over the finished frame and prints the main thread's CPU time and the wall time
// per draw, each ending with glFinish: under the software rasteriser the main thread does
// the vertex work, so its CPU time is the figure that holds while the machine is busy.
// Defaults: a 1920x1080 window, data.zip beside the
// program. Needs a display as large as the window (scripts/with-display.sh gives 1280x1024;
// start an Xvfb of your own for 1080p).
#include <GL/glew.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "DemoPlayer.h"
#include "Scene01.h"
#include "capture/FrameShot.h"
#include "platform/Events.h"
#include "platform/MessageBox.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "scene/Renderer.h"
#include "screen/Screen.h"

namespace {

std::vector<unsigned char> readFrame(int width, int height) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

double wallMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  ProgramOptions& options = programOptions();
  options.windowed = true;
  options.noDialog = true;
  options.width = 1920;
  options.height = 1080;
  std::string outDir;
  std::vector<float> times;
  float far = -1.0f, distant = -1.0f;
  int repeats = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      int w = 0, h = 0;
      if (std::sscanf(argv[++i], "%dx%d", &w, &h) != 2) return 2;
      options.width = w;
      options.height = h;
    } else if (arg == "--out" && i + 1 < argc) {
      outDir = argv[++i];
    } else if (arg == "--far" && i + 1 < argc) {
      far = std::max(0.0f, static_cast<float>(std::atof(argv[++i])));
    } else if (arg == "--distant" && i + 1 < argc) {
      distant = std::max(0.0f, static_cast<float>(std::atof(argv[++i])));
    } else if (arg == "--time" && i + 1 < argc) {
      repeats = std::max(0, std::atoi(argv[++i]));
    } else if (arg[0] != '-' && std::isfinite(std::atof(arg.c_str())) && std::atof(arg.c_str()) > 0.0) {
      times.push_back(static_cast<float>(std::atof(arg.c_str())));
    } else if (arg[0] != '-') {
      options.dataFile = arg;
    } else {
      std::fprintf(stderr, "usage: bench_cars [--size WxH] [--out DIR] [--far UNITS] [--distant UNITS] [--time N] [ARCHIVE] [SECONDS]...\n");
      return 2;
    }
  }
  if (times.empty()) times = {43.5f, 60.0f};
  platform::setUnattended(true);

  DemoPlayer& player = demoPlayer();
  int failures = 0;
  DemoHooks hooks;
  hooks.init = [&] { return player.init(); };
  hooks.frame = [&] {
    Runtime* runtime = Runtime::instance();
    const UserConfig& config = runtime->screen->config;
    auto* scene = dynamic_cast<Scene01*>(player.entries[0].part);
    if (far >= 0.0f) scene->farCarDistance = far;
    if (distant >= 0.0f) scene->distantCarDistance = distant;
    runtime->renderer->fftControl = 0;  // no beat flash: the music plays on between renders
    for (float t : times) {
      auto render = [&](bool batch) {
        scene->batchCars = batch;
        player.renderParts(t);
        glFinish();
        return readFrame(config.width, config.height);
      };
      const std::vector<unsigned char> single = render(false);
      if (!outDir.empty())
        writeFrameShot(outDir + "/cars-" + std::to_string(t) + "-single.png", config.width, config.height);
      const std::vector<unsigned char> batched = render(true);
      if (!outDir.empty())
        writeFrameShot(outDir + "/cars-" + std::to_string(t) + "-batched.png", config.width, config.height);
      double squares = 0.0;
      long differing = 0;
      for (size_t i = 0; i < single.size(); i += 3) {
        bool differs = false;
        for (size_t c = 0; c < 3; ++c) {
          const double d = static_cast<double>(single[i + c]) - static_cast<double>(batched[i + c]);
          squares += d * d;
          differs = differs || d != 0.0;
        }
        differing += differs;
      }
      const double mse = squares / static_cast<double>(single.size());
      const double psnr = mse > 0.0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : INFINITY;
      std::printf(
          "%dx%d at %.2f s: PSNR %.2f dB, %ld pixels differ, far cars %zu and distant cars %zu of %zu "
          "drawn batched (take-over at %.1f and %.1f units)\n",
          config.width, config.height, static_cast<double>(t), psnr, differing, scene->farCarsDrawn,
          scene->distantCarsDrawn, scene->carsDrawn, static_cast<double>(scene->farCarDistanceForView()),
          static_cast<double>(scene->distantCarDistanceForView()));
      failures += psnr < 45.0;
      if (repeats > 0) {
        std::vector<double> cpu, wall;
        scene->draw(t);  // the camera's modelview and projection
        for (int r = 0; r < repeats; ++r) {
          glFinish();
          const double c0 = threadCpuSeconds() * 1e3, w0 = wallMs();
          scene->drawCars(t);
          glFinish();
          cpu.push_back(threadCpuSeconds() * 1e3 - c0);
          wall.push_back(wallMs() - w0);
        }
        std::printf("  cars alone, median of %d: %.3f ms main-thread CPU, %.3f ms wall\n", repeats, median(cpu),
                    median(wall));
      }
    }
    platform::postQuitMessage(0);
  };
  const int code = runEngine(hooks);
  if (code != 0) {
    std::fprintf(stderr, "bench_cars: the demo did not run (exit code %d)\n", code);
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
