#include "DemoPlayer.h"

#include <GL/glew.h>

#include <cmath>

#include "capture/AviCapture.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "screen/Screen.h"

DemoPlayer& demoPlayer() {
  static DemoPlayer player;
  return player;
}

long captureFrameCount(double from, double to, double step) {
  if (step <= 0 || to < from) return 1;
  long n = static_cast<long>(std::floor((to - from) / step));
  while (from + n * step <= to) ++n;  // settle the rounding of the division either way
  while (n > 1 && from + (n - 1) * step > to) --n;
  return n;
}

int DemoPlayer::init() {
  Runtime* runtime = Runtime::instance();
  const ProgramOptions& options = programOptions();
  if (options.from) startTime = *options.from;
  if (options.to) endTime = *options.to;
  if (runtime->screen->config.captureEnabled) runtime->capture->init();

  loadingBar.fade(1, 1.0f);
  loadingBar.progress(1);
  loadingBar.fade(2, 1.0f);
  runtime->timer->reset();
  return 0;
}

// Until the production's parts are on the timeline, a frame is the empty picture.
void DemoPlayer::frame() {
  Runtime* runtime = Runtime::instance();
  const UserConfig& config = runtime->screen->config;
  if (firstFrame) {
    firstFrame = false;
    captureStep = 1.0 / captureFrameRate(config);
    if (config.captureEnabled)
      runtime->capture->progress.plan(static_cast<int>(captureFrameCount(startTime, endTime, captureStep)),
                                      startTime + captureStep, captureStep);
  }

  // Time: a fixed step per frame while capturing, the clock otherwise.
  double now = 0.0;
  if (config.captureEnabled) now = startTime + static_cast<double>(++capturedFrames) * captureStep;
  else now = startTime + runtime->timer->seconds();
  t = static_cast<float>(now);

  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  if (config.captureEnabled) runtime->capture->writeFrame();
  platform::swapBuffers(runtime->screen->window);
  if (now > endTime) platform::postQuitMessage(0);
}
