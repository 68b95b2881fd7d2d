#include "scene/Renderer.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "runtime/Runtime.h"
#include "scene/MathUtil.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

Renderer::Renderer(Runtime* owner) : runtime(owner) {}

void Renderer::applyDefaultState() {
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glHint(GL_GENERATE_MIPMAP_HINT, GL_NICEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);

  UserConfig& config = runtime->screen->config;
  config.viewportWidth = config.width;
  config.viewportHeight = config.width * 9 / 16;
  glViewport(0, (config.height - config.viewportHeight) / 2, config.viewportWidth, config.viewportHeight);

  aspect = static_cast<float>(config.viewportWidth) / static_cast<float>(std::max(config.viewportHeight, 1));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double top = zNear * std::tan(fovY * MathUtil::pi / 360.0);
  const double right = top * aspect;
  glFrustum(-right, right, -top, top, zNear, zFar);
  glMatrixMode(GL_MODELVIEW);
}

void Renderer::fadeQuad(int kind, float x) {
  x = std::clamp(x, 0.0f, 1.0f);
  const float c = (kind == 1 || kind == 2) ? 0.0f : 1.0f;
  const float alpha = (kind == 2 || kind == 4) ? x : 1.0f - x;
  const UserConfig& config = runtime->screen->config;

  glColor4f(c, c, c, alpha);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, config.viewportWidth - 1, 0, config.viewportHeight - 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  glDepthMask(GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glRecti(0, 0, config.viewportWidth - 1, config.viewportHeight - 1);
  glDepthMask(GL_TRUE);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
}

void Renderer::drawSpectrum() {
  Sound* sound = runtime->sound;
  const float* s = sound->getSpectrum();
  spectrumData = s;
  const UserConfig& config = runtime->screen->config;

  if (spectrum) {
    float projection[16];
    MathUtil::perspective(70.0, static_cast<double>(config.viewportWidth) / std::max(config.viewportHeight, 1), 0.05,
                          120.0, projection);
    MathUtil::transpose(projection);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(-4.7f, -1.4f, -4.0f);
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    for (int i = 0; i < 512; ++i) {
      if (i + 1 == fftControl)
        glColor4f(1, 0, 0, 0.8f);
      else
        glColor4f(1, 1, 1, 0.8f);
      glBegin(GL_QUADS);
      glVertex3f(-0.01f, 0, 0);
      glVertex3f(0.01f, 0, 0);
      glVertex3f(0.01f, 4 * s[i], 0);
      glVertex3f(-0.01f, 4 * s[i], 0);
      glEnd();
      glTranslatef(0.03f, 0, 0);
    }
    glLoadIdentity();
    glTranslatef(-4.7f, -2.3f, -4.0f);
    const float* wave = sound->getWaveData();
    for (int i = 0; i < 256; ++i) {
      const float v = wave[i];
      glBegin(GL_QUADS);
      glVertex3f(-0.01f, 0, 0);
      glVertex3f(0.01f, 0, 0);
      glVertex3f(0.01f, v, 0);
      glVertex3f(-0.01f, v, 0);
      glEnd();
      glTranslatef(0.03f, 0, 0);
    }
  }
  if (!flashInPost) {
    const float strength = beatFlash(s);
    if (strength > 0.0f) fadeQuad(4, strength);
  }
}

float Renderer::beatFlash(const float* s) const {
  // The flash bin is 1-based; out-of-range values (the tweak bar allows 0 to 512) read
  // nothing outside the 512 bands.
  // A flash too faint to move any 8-bit channel by half a step is not drawn: blending the
  // whole view costs as much as a post pass and would change nothing.
  float strength = trackFlash;
  if (!(trackFlash >= 0.0f)) {
    if (!s || fftControl <= 0 || fftControl > 512) return 0.0f;
    strength = s[fftControl - 1] * flashGain;
  }
  return strength >= 0.5f / 255.0f ? std::min(strength, 1.0f) : 0.0f;
}
