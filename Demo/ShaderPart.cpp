#include "ShaderPart.h"

#include <GL/glew.h>

#include <algorithm>

#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "resources/Loader.h"
#include "runtime/Runtime.h"
#include "post/PostChain.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

namespace {
constexpr int kMusicWidth = 512;
}

void ShaderPart::musicTexels(const float* spectrum, const float* wave, float* texels) {
  for (int i = 0; i < kMusicWidth; ++i) texels[i] = spectrum ? std::clamp(spectrum[i], 0.0f, 1.0f) : 0.0f;
  for (int i = 0; i < kMusicWidth; ++i)
    texels[kMusicWidth + i] = wave && i < Sound::kWaveValues ? std::clamp(0.5f + 0.5f * wave[i], 0.0f, 1.0f) : 0.0f;
}

int ShaderPart::init() {
  Loader& loader = *Runtime::instance()->loader;
  if (loader.loadMmf(quad) != 0) return 1;
  loader.uploadMesh(quad, GL_STATIC_DRAW);
  if (loader.loadShader(shader) != 0) return 1;
  if (cgGetNamedEffectParameter(shader.effect, "Music")) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE8, kMusicWidth, 2, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    musicTexture = name;
  }
  return 0;
}

void ShaderPart::draw(float localTime) {
  Runtime* runtime = Runtime::instance();
  const UserConfig& config = runtime->screen->config;
  if (CGparameter p = cgGetNamedEffectParameter(shader.effect, "Time")) cgGLSetParameter1f(p, localTime);
  if (CGparameter p = cgGetNamedEffectParameter(shader.effect, "Resolution"))
    cgGLSetParameter2f(p, static_cast<float>(config.viewportWidth), static_cast<float>(config.viewportHeight));
  if (musicTexture) {
    float texels[2 * kMusicWidth];
    musicTexels(runtime->sound->getSpectrum(), runtime->sound->getWaveData(), texels);
    glBindTexture(GL_TEXTURE_2D, musicTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kMusicWidth, 2, GL_LUMINANCE, GL_FLOAT, texels);
    glBindTexture(GL_TEXTURE_2D, 0);
    cgGLSetupSampler(cgGetNamedEffectParameter(shader.effect, "Music"), musicTexture);
  }
  applyOverView(shader, quad);
}

void ShaderPart::release() {
  if (shader.effect) cgDestroyEffect(shader.effect);
  shader.effect = nullptr;
  const GLuint buffers[2] = {quad.indexBuffer, quad.vertexBuffer};
  if (buffers[0] || buffers[1]) glDeleteBuffers(2, buffers);
  quad = MmfMesh();
  const GLuint texture = musicTexture;
  if (texture) glDeleteTextures(1, &texture);
  musicTexture = 0;
}
