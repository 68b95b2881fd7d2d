// bench_capture: the cost of capturing the production to video.
//
// Renders a synthetic picture (moving coloured boxes, changing every frame) for the
// production's 125 s at 30 frames per second, first alone, then with every frame read back
// and written through AviCapture with the default codec of the file's format and the
// soundtrack (the archive's music when data.zip is in the working directory, a tone
// otherwise). Prints wall time and frames per second for both and the cost of capture over
// rendering, for a 1024x768 and a 1920x1080 window, each in a process of its own
// (bench/SizeSweep.h), with a table of both at the end.
// Usage: bench_capture [--size WxH | --sizes WxH,WxH...] [--format avi|mp4|mkv] [SECONDS]
// (default both sizes, avi, 125). Needs a display (Xvfb will do, if its screen holds the
// window: PYLON_XVFB_SCREEN=1920x1200x24 for scripts/with-display.sh).
#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SizeSweep.h"
#include "capture/AviCapture.h"
#include "capture/CaptureOptions.h"
#include "capture/CaptureSoundtrack.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

namespace {

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void drawFrame(double t, int width, int height) {
  glViewport(0, 0, width, height);
  glClearColor(0.1f + 0.1f * static_cast<float>(std::sin(t)), 0.05f, 0.2f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glBegin(GL_QUADS);
  for (int i = 0; i < 24; ++i) {
    const double phase = t * (0.3 + 0.05 * i) + i;
    const float x = static_cast<float>(0.5 + 0.4 * std::sin(phase));
    const float y = static_cast<float>(0.5 + 0.4 * std::cos(phase * 1.3));
    const float s = 0.05f + 0.01f * static_cast<float>(i % 5);
    glColor3f(static_cast<float>(i % 3) / 2.0f, static_cast<float>((i * 7) % 5) / 4.0f, 1.0f - static_cast<float>(i) / 24);
    glVertex2f(x - s, y - s);
    glColor3f(1, 1, 1);
    glVertex2f(x + s, y - s);
    glVertex2f(x + s, y + s);
    glColor3f(0, 0, 0);
    glVertex2f(x - s, y + s);
  }
  glEnd();
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 125.0;
  int width = 0, height = 0;
  std::string format = "avi";
  std::vector<bench::WindowSize> sizes = {{1024, 768}, {1920, 1080}};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return 2;
    } else if (arg == "--sizes" && i + 1 < argc) {
      if (!bench::parseSizes(argv[++i], sizes)) return 2;
    } else if (arg == "--format" && i + 1 < argc) {
      format = argv[++i];
    } else if (arg[0] != '-') {
      seconds = std::atof(arg.c_str());
    } else {
      std::fprintf(stderr, "usage: bench_capture [--size WxH | --sizes WxH,WxH...] [--format avi|mp4|mkv] [SECONDS]\n");
      return 2;
    }
  }
  if (width <= 0 || height <= 0)
    return bench::runSizeSweep(argc, argv, sizes, "render fps  capture fps  cost ms/frame   file MB");
  const int rate = 30;
  const int frames = static_cast<int>(std::lround(seconds * rate));
  platform::setUnattended(true);
  if (std::filesystem::exists("data.zip")) programOptions().dataFile = "data.zip";

  Runtime* runtime = Runtime::instance();
  platform::WindowDesc desc;
  desc.caption = "bench_capture";
  desc.width = width;
  desc.height = height;
  platform::Window* window = platform::createWindow(desc);
  platform::GLContext context = window ? platform::createGLContext(window) : nullptr;
  if (!context || !platform::makeCurrent(window, context)) {
    std::fprintf(stderr, "bench_capture: no GL window: %s\n", platform::lastError().c_str());
    return 1;
  }
  glewExperimental = GL_TRUE;
  glewInit();
  platform::setSwapInterval(0);
  platform::showWindow(window);

  const double renderStart = now();
  for (int n = 1; n <= frames; ++n) {
    drawFrame(n / static_cast<double>(rate), width, height);
    platform::swapBuffers(window);
  }
  glFinish();
  const double renderWall = now() - renderStart;

  UserConfig& config = runtime->screen->config;
  config.width = width;
  config.height = height;
  config.captureFileName = (std::filesystem::temp_directory_path() / ("bench_capture." + format)).string();
  AviCapture& capture = *runtime->capture;
  capture.enumerateCodecs(runtime->screen->codecs);
  config.codecIndex = 0;
  if (isPublishingFile(config.captureFileName)) config.codecIndex = std::max(0, findCodec(runtime->screen->codecs, "H264"));
  capture.progress.sink = [](const std::string&) {};
  CaptureSoundtrack soundtrack;
  const bool music = runtime->loader->opened &&
                     soundtrack.open(*runtime->loader, Sound::kMusicPath, *runtime->logger) == 0;
  if (music) soundtrack.attach(capture);
  else capture.setAudioFormat(44100, 2);
  if (capture.init() != 0) {
    std::fprintf(stderr, "bench_capture: capture did not start\n");
    return 1;
  }
  std::vector<int16_t> tone(2 * 44100 / rate);
  const double step = 1.0 / rate;
  const double captureStart = now();
  for (int n = 1; n <= frames; ++n) {
    const double t = n * step;
    drawFrame(t, width, height);
    capture.writeFrame();
    if (music) {
      soundtrack.writeFrameAudio(capture, t, step);
    } else {
      for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * (n * 1470 + static_cast<double>(i / 2)) / 44100));
      capture.writeAudio(tone.data(), static_cast<int>(tone.size() / 2));
    }
    platform::swapBuffers(window);
  }
  capture.close();
  const double captureWall = now() - captureStart;
  const auto bytes = std::filesystem::file_size(config.captureFileName);
  std::filesystem::remove(config.captureFileName);

  std::printf("bench_capture: %d frames of %dx%d (%.1f s of demo time at %d fps), codec %s, audio %s\n", frames,
              width, height, seconds, rate, runtime->screen->codecs[static_cast<size_t>(config.codecIndex)].name.c_str(),
              music ? "the archive's music" : "a synthetic tone");
  std::printf("  render only:       %7.2f s wall, %7.1f fps\n", renderWall, frames / renderWall);
  std::printf("  render + capture:  %7.2f s wall, %7.1f fps (%s real time)\n", captureWall, frames / captureWall,
              captureWall < seconds ? "faster than" : "slower than");
  std::printf("  capture cost:      %+.1f%% over rendering alone, %.2f ms per frame\n",
              100.0 * (captureWall - renderWall) / renderWall, 1000.0 * (captureWall - renderWall) / frames);
  std::printf("  file size:         %.1f MB\n", bytes / (1024.0 * 1024.0));
  char figures[128];
  std::snprintf(figures, sizeof figures, "%10.1f  %11.1f  %13.2f  %8.1f", frames / renderWall, frames / captureWall,
                1000.0 * (captureWall - renderWall) / frames, bytes / (1024.0 * 1024.0));
  bench::printSummaryLine(figures);
  platform::makeCurrent(window, nullptr);
  platform::deleteGLContext(context);
  platform::destroyWindow(window);
  return 0;
}
