#include "runtime/LoadingBar.h"

#include <GL/glew.h>

#include "platform/Window.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "screen/Screen.h"

void LoadingBar::draw() {
  render();
  platform::swapBuffers(Runtime::instance()->screen->window);
}

void LoadingBar::render() {
  Screen* screen = Runtime::instance()->screen;
  const int w = screen->config.width;
  const int h = screen->config.height;

  glPushAttrib(GL_VIEWPORT_BIT);
  glViewport(0, 0, w, h);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, w - 1, 0, h - 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(static_cast<float>((w - width) >> 1), static_cast<float>((h - height) >> 1), -0.5f);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1.0f, 0.78039217f, 0.14901961f, alpha);

  glBegin(GL_LINE_LOOP);
  glVertex2i(0, 0);
  glVertex2i(width - 1, 0);
  glVertex2i(width - 1, height - 1);
  glVertex2i(0, height - 1);
  glEnd();

  glBegin(GL_QUADS);
  glVertex2i(2, 2);
  glVertex2i(fill, 2);
  glVertex2i(fill, height - 3);
  glVertex2i(2, height - 3);
  glEnd();

  glPopAttrib();
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
