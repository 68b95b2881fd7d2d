#include "scene/Renderer.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "cg/Transforms.h"
#include "runtime/Runtime.h"
#include "scene/BasicDraw.h"
#include "scene/MathUtil.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

Renderer::Renderer(Runtime* owner) : runtime(owner) {}

void Renderer::applyDefaultState() {
  glHint(GL_GENERATE_MIPMAP_HINT, GL_NICEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);

  UserConfig& config = runtime->screen->config;
  config.viewportWidth = config.width;
  config.viewportHeight = config.width * 9 / 16;
  glViewport(0, (config.height - config.viewportHeight) / 2, config.viewportWidth, config.viewportHeight);

  aspect = static_cast<float>(config.viewportWidth) / static_cast<float>(std::max(config.viewportHeight, 1));
  const double top = zNear * std::tan(fovY * MathUtil::pi / 360.0);
  const double right = top * aspect;
  float projection[16];
  basic::frustum(static_cast<float>(-right), static_cast<float>(right), static_cast<float>(-top), static_cast<float>(top),
                 zNear, zFar, projection);
  cg::setProjection(projection);
}

void Renderer::fadeQuad(int kind, float x) {
  x = std::clamp(x, 0.0f, 1.0f);
  const float c = (kind == 1 || kind == 2) ? 0.0f : 1.0f;
  const float alpha = (kind == 2 || kind == 4) ? x : 1.0f - x;
  const UserConfig& config = runtime->screen->config;

  basic::setColour(c, c, c, alpha);
  cg::setModelView(cg::kIdentityMatrix);
  float saved[16], projection[16];
  std::copy(cg::projection(), cg::projection() + 16, saved);
  const float right = static_cast<float>(config.viewportWidth - 1), top = static_cast<float>(config.viewportHeight - 1);
  basic::ortho(0, right, 0, top, -1, 1, projection);
  cg::setProjection(projection);
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  float rectangle[18];
  basic::quad(0, 0, right, top, 0, rectangle);
  basic::drawVertices(GL_TRIANGLES, rectangle, 6);
  glDepthMask(GL_TRUE);
  cg::setProjection(saved);
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
    cg::setProjection(projection);
    cg::setModelView(cg::kIdentityMatrix);
    glEnable(GL_BLEND);
    // One bar per band, 0.03 apart from x = -4.7; the flash band in red, drawn on its own.
    static std::vector<float> bars;
    const auto bar = [](float x, float height, float y, float* out) { basic::quad(x - 0.01f, y, x + 0.01f, y + height, -4.0f, out); };
    bars.assign(512 * 18, 0.0f);
    float x = -4.7f;
    for (int i = 0; i < 512; ++i, x += 0.03f) bar(x, 4 * s[i], -1.4f, &bars[static_cast<size_t>(i) * 18]);
    const int flashBand = fftControl >= 1 && fftControl <= 512 ? fftControl - 1 : 512;
    basic::setColour(1, 1, 1, 0.8f);
    basic::drawVertices(GL_TRIANGLES, bars.data(), flashBand * 6);
    if (flashBand < 511) basic::drawVertices(GL_TRIANGLES, &bars[static_cast<size_t>(flashBand + 1) * 18], (511 - flashBand) * 6);
    if (flashBand < 512) {
      basic::setColour(1, 0, 0, 0.8f);
      basic::drawVertices(GL_TRIANGLES, &bars[static_cast<size_t>(flashBand) * 18], 6);
    }
    const float* wave = sound->getWaveData();
    x = -4.7f;
    for (int i = 0; i < 256; ++i, x += 0.03f) bar(x, wave[i], -2.3f, &bars[static_cast<size_t>(i) * 18]);
    basic::setColour(1, 1, 1, 0.8f);
    basic::drawVertices(GL_TRIANGLES, bars.data(), 256 * 6);
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
