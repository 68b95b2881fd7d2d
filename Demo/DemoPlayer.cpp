#include "DemoPlayer.h"

#include <GL/glew.h>

#include "platform/Events.h"
#include "platform/Window.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "screen/Screen.h"

DemoPlayer& demoPlayer() {
  static DemoPlayer player;
  return player;
}

int DemoPlayer::init() {
  loadingBar.fade(1, 1.0f);
  loadingBar.progress(1);
  loadingBar.fade(2, 1.0f);
  Runtime::instance()->timer->reset();
  return 0;
}

// Until the production's parts are on the timeline, a frame is the empty picture.
void DemoPlayer::frame() {
  Runtime* runtime = Runtime::instance();
  t = runtime->timer->seconds();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  platform::swapBuffers(runtime->screen->window);
  if (t > 125.0f) platform::postQuitMessage(0);
}
