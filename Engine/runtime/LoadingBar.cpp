#include "runtime/LoadingBar.h"

#include <GL/glew.h>

#include "cg/Transforms.h"
#include "platform/Window.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/BasicDraw.h"
#include "scene/MathUtil.h"
#include "screen/Screen.h"

void LoadingBar::draw() {
  render();
  platform::swapBuffers(Runtime::instance()->screen->window);
}

void LoadingBar::render() {
  Screen* screen = Runtime::instance()->screen;
  const int w = screen->config.width;
  const int h = screen->config.height;

  const basic::Viewport viewport = basic::Viewport::current();
  glViewport(0, 0, w, h);
  float projection[16], modelView[16];
  basic::ortho(0, static_cast<float>(w - 1), 0, static_cast<float>(h - 1), -1, 1, projection);
  cg::setProjection(projection);
  MathUtil::translation(static_cast<float>((w - width) >> 1), static_cast<float>((h - height) >> 1), -0.5f, modelView);
  MathUtil::transpose(modelView);
  cg::setModelView(modelView);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  basic::setColour(1.0f, 0.78039217f, 0.14901961f, alpha);

  const float right = static_cast<float>(width - 1), top = static_cast<float>(height - 1);
  const float frame[12] = {0, 0, 0, right, 0, 0, right, top, 0, 0, top, 0};
  basic::drawVertices(GL_LINE_LOOP, frame, 4);
  float bar[18];
  basic::quad(2, 2, static_cast<float>(fill), static_cast<float>(height - 3), 0, bar);
  basic::drawVertices(GL_TRIANGLES, bar, 6);

  viewport.apply();
}

void LoadingBar::fade(int direction, float duration) {
  Timer* timer = Runtime::instance()->timer;
  timer->reset();
  const float t0 = timer->seconds();
  float t = t0;
  do {
    t = timer->seconds();
    alpha = duration > 0.0f ? (t - t0) / duration : 1.0f;
    if (direction == 2) alpha = 1.0f - alpha;
    draw();
    // A machine without a counter never advances time; one frame is all it can show.
  } while (t < t0 + duration && timer->available);
}

void LoadingBar::advance(unsigned partCount) {
  if (partCount == 0 || static_cast<unsigned>(step) > partCount) return;
  fill = (width / static_cast<int>(partCount)) * (step + 1);
  ++step;
  if (fill > width - 3) fill = width - 3;
  if (fill < 2) fill = 2;
}

void LoadingBar::progress(unsigned partCount) {
  if (partCount == 0 || static_cast<unsigned>(step) > partCount) return;
  advance(partCount);
  draw();
}
