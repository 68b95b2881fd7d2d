#include "capture/CaptureProgress.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/Terminal.h"

namespace {

std::string format(const char* pattern, auto... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, values...);
  return buffer;
}

std::string minutesAndSeconds(double seconds) {
  if (seconds < 0) seconds = 0;
  const long whole = static_cast<long>(seconds + 0.5);
  return format("%ld:%02ld", whole / 60, whole % 60);
}

}  // namespace

CaptureProgress::CaptureProgress()
    : sink([](const std::string& text) {
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
      }),
      terminal(platform::standardErrorIsTerminal()),
      wallClock([] {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
      }) {}

void CaptureProgress::plan(int frames, double first, double frameStep) {
  totalFrames = frames;
  firstTime = first;
  step = frameStep;
}

void CaptureProgress::started(const std::string& file, int width, int height, int frameRate,
                              const std::string& codec) {
  startWall = wallClock();
  sink(format("capture: writing %s (%dx%d, %d fps, %s)\n", file.c_str(), width, height, frameRate, codec.c_str()));
}

void CaptureProgress::failed(const std::string& file, const std::string& reason, bool runEnds) {
  std::string text = "capture: cannot capture to " + file + ": " + reason;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  sink(text + (runEnds ? "; the run ends\n" : "; the demo runs without capture\n"));
}

std::string CaptureProgress::progressLine(int done) const {
  const double elapsed = wallClock() - startWall;
  const double fps = elapsed > 0 ? done / elapsed : 0.0;
  const double demoTime = firstTime + (done - 1) * step;
  std::string line = totalFrames > 0 ? format("capturing frame %d of %d", done, totalFrames)
                                     : format("capturing frame %d", done);
  line += format(", demo time %.2f s, %.1f fps", demoTime, fps);
  if (totalFrames > 0 && fps > 0) line += ", " + minutesAndSeconds((totalFrames - done) / fps) + " left";
  return line;
}

void CaptureProgress::frameWritten(int frameIndex) {
  if (startWall < 0) startWall = wallClock();
  const int done = frameIndex + 1;
  const bool last = totalFrames > 0 && done >= totalFrames;
  if (terminal) {
    const double now = wallClock();
    if (!last && lastDrawn >= 0 && now - lastDrawn < 0.25) return;
    lastDrawn = now;
    sink("\r" + progressLine(done) + "\033[K");
    lineOpen = true;
    return;
  }
  // Plain lines: at every tenth of a planned run, every 300 frames otherwise.
  const int tenth = totalFrames > 0 ? static_cast<int>(10LL * done / totalFrames) : done / 300;
  if (tenth > lastTenth || done == 1) {
    lastTenth = tenth;
    sink(progressLine(done) + "\n");
  }
}

void CaptureProgress::finished(const std::string& file, int frames, const std::string& problem) {
  std::string text = lineOpen ? "\n" : "";
  lineOpen = false;
  std::error_code error;
  const auto bytes = std::filesystem::file_size(file, error);
  const double wall = startWall >= 0 ? wallClock() - startWall : 0.0;
  std::string size = error ? std::string("size unknown")
                           : bytes >= 1024 * 1024 ? format("%.1f MB", bytes / (1024.0 * 1024.0))
                                                  : format("%.1f KB", bytes / 1024.0);
  if (!problem.empty()) {
    sink(text + "capture: " + file + " is incomplete: " + problem + " (" + size + ")\n");
    return;
  }
  text += format("capture: %s, %s, %d frames, %.1f s wall time", file.c_str(), size.c_str(), frames, wall);
  if (wall > 0) text += format(" (%.1f fps)", frames / wall);
  sink(text + "\n");
}
