#include "post/PostChain.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "scene/SceneRenderer.h"
#include "screen/Screen.h"

namespace {
void setSampler(const Shader& shader, const char* name, uint32_t texture) {
  cgGLSetupSampler(cgGetNamedEffectParameter(shader.effect, name), texture);
}
void setFloat(const Shader& shader, const char* name, float value) {
  if (CGparameter p = cgGetNamedEffectParameter(shader.effect, name)) cgGLSetParameter1f(p, value);
}
// Blackens the bars above and below the view band of a window taller than 16:9. Only the
// bars: the final pass writes every pixel of the band, and nothing drawn on the back buffer
// after it tests depth (the spectrum display, which does, keeps the parts in the back buffer
// and never comes here). Clearing the whole window's colour and depth wrote 1.6 million
// pixels a frame at 1024x768 that nothing read.
void clearLetterboxBars(const UserConfig& config) {
  const int band = config.viewportHeight, below = (config.height - band) / 2, above = config.height - band - below;
  if (below <= 0 && above <= 0) return;
  basic::SavedScissor saved;
  glEnable(GL_SCISSOR_TEST);
  if (below > 0) {
    glScissor(0, 0, config.width, below);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  if (above > 0) {
    glScissor(0, below + band, config.width, above);
    glClear(GL_COLOR_BUFFER_BIT);
  }
}

// Makes `target` and checks it, which logs its "fbo N status" line: 0 when it is complete.
int makeTarget(RenderTarget& target, uint32_t width, uint32_t height) {
  target.create(width, height);
  return target.checkStatus() != 0 ? 1 : 0;
}
}  // namespace

int PostChain::createTargets(int w, int h, bool transitions) {
  viewWidth = w;
  viewHeight = h;
  renderScale = 1.0f;
  const RenderTargetSizes sizes = renderTargetSizes(w, h, renderScale);
  if (makeTarget(scene, sizes.sceneWidth, sizes.sceneHeight) != 0) return 1;
  transitionWidth = sizes.sceneWidth;
  transitionHeight = sizes.sceneHeight;
  if (transitions) {
    for (RenderTarget* target : {&transitionA, &transitionB})
      if (makeTarget(*target, transitionWidth, transitionHeight) != 0) return 1;
  } else {
    *Runtime::instance()->logger << "transition targets left out: the timeline has no cross-fade or wipe\n";
  }
  for (RenderTarget* target : {&bloom, &bloomTemp})
    if (makeTarget(*target, sizes.bloomWidth, sizes.bloomHeight) != 0) return 1;
  depthAttached = false;
  if (createDepthRenderbuffer(scene.width, scene.height, depthRenderbuffer) == 0) {
    scene.attachDepth(depthRenderbuffer);
    scene.bind();
    depthAttached = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
  }
  GLint sampleBuffers = 0;
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
  windowMultisampled = sampleBuffers > 0;
  return 0;
}

void PostChain::applyRenderScale(float scale) {
  scale = snapRenderScale(scale);
  if (scale == renderScale || scene.texture == 0) return;
  renderScale = scale;
  const RenderTargetSizes sizes = renderTargetSizes(viewWidth, viewHeight, scale);
  scene.resize(sizes.sceneWidth, sizes.sceneHeight);
  if (depthRenderbuffer != 0) resizeDepthRenderbuffer(depthRenderbuffer, sizes.sceneWidth, sizes.sceneHeight);
  bloom.resize(sizes.bloomWidth, sizes.bloomHeight);
  bloomTemp.resize(sizes.bloomWidth, sizes.bloomHeight);
  // Both transition images of a frame are copied in the same frame, after this.
  transitionWidth = sizes.sceneWidth;
  transitionHeight = sizes.sceneHeight;
  for (RenderTarget* target : {&transitionA, &transitionB})
    if (target->texture != 0) target->resize(transitionWidth, transitionHeight);
}

int PostChain::load(Loader& loader) {
  if (loader.loadMmf(quad) != 0) return 1;
  loader.uploadMesh(quad, GL_STATIC_DRAW);
  if (loader.loadBinMmf("objects/cube_env100out.mmf", cube) != 0) return 1;
  gradient.source = "textures/gradient.png";
  if (loader.loadTexture(gradient) != 0) return 1;
  const std::pair<Shader*, const char*> effects[] = {
      {&brightPass, "shaders/bloom-bright_pass.cgfx"}, {&gaussH, "shaders/bloom-gaussH.cgfx"},
      {&gaussV, "shaders/bloom-gaussV.cgfx"},          {&final, "shaders/bloom-final.cgfx"},
      {&overlay, "shaders/post-overlay.cgfx"},         {&mixer, "shaders/post-mixer.cgfx"},
      {&wipe, "shaders/post-wipe.cgfx"}};
  for (const auto& [shader, source] : effects) {
    shader->source = source;
    if (loader.loadShader(*shader) != 0) return 1;
  }
  return 0;
}

void applyOverView(const Shader& shader, const MmfMesh& quad) { applyPassOverView(cgGetFirstPass(shader.technique), quad); }

void applyPassOverView(CGpass pass, const MmfMesh& quad) {
  if (!pass) return;
  cgSetPassState(pass);
  drawMesh(quad.indexBuffer, quad.vertexBuffer, static_cast<uint32_t>(quad.points.size() / 3 - 1),
           static_cast<uint32_t>(quad.polygons.size()));
  cgResetPassState(pass);
}

void PostChain::apply(const Shader& shader) const { applyOverView(shader, quad); }

void PostChain::apply(CGpass pass) const { applyPassOverView(pass, quad); }

CGpass PostChain::upscalePass() {
  CGtechnique technique = final.effect ? cgGetNamedTechnique(final.effect, "upscale") : nullptr;
  if (!technique) return nullptr;
  if (!cgIsTechniqueValidated(technique)) {
    if (upscaleRefusedBy == final.effect) return nullptr;
    if (!cgValidateTechnique(technique)) {
      upscaleRefusedBy = final.effect;
      *Runtime::instance()->logger << "render scale: the final effect's upscale technique did not validate; "
                                      "the scene is scaled up without filtering\n";
      return nullptr;
    }
  }
  return cgGetFirstPass(technique);
}

void PostChain::copyViewBand(RenderTarget& target) {
  if (target.texture == 0) {
    // A transition target left out at start-up, made in the middle of a frame: checked and
    // logged like the others, and the framebuffer being drawn stays bound.
    GLint drawing = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &drawing);
    makeTarget(target, transitionWidth, transitionHeight);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(drawing));
  }
  const UserConfig& config = Runtime::instance()->screen->config;
  glBindTexture(GL_TEXTURE_2D, target.texture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, drawingIntoScene ? 0 : (config.height - config.viewportHeight) / 2,
                      static_cast<GLsizei>(target.width), static_cast<GLsizei>(target.height));
}

void PostChain::beginScene() {
  outerViewport = basic::Viewport::current();
  scene.bind();
  glViewport(0, 0, static_cast<GLsizei>(scene.width), static_cast<GLsizei>(scene.height));
  drawingIntoScene = true;
}

void PostChain::run(float t, float mixFactor, float wipeFactor, float flash) {
  const basic::Viewport viewport = basic::Viewport::current();

  if (mixFactor != 0.0f || wipeFactor != 0.0f) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (mixFactor > 0.0f) {
      setSampler(mixer, "sampA", transitionA.texture);
      setSampler(mixer, "sampB", transitionB.texture);
      setFloat(mixer, "factor", std::min(mixFactor, 1.0f));
      apply(mixer);
    } else {
      setSampler(wipe, "sampA", transitionA.texture);
      setSampler(wipe, "sampB", transitionB.texture);
      setSampler(wipe, "sampGrad", gradient.crc);
      setFloat(wipe, "wipe", wipeFactor > 1.0f ? 1.5f : 2.0f * wipeFactor - 0.5f);
      apply(wipe);
    }
  }

  if (!drawingIntoScene) copyViewBand(scene);

  bloom.bind();
  glViewport(0, 0, static_cast<GLsizei>(bloom.width), static_cast<GLsizei>(bloom.height));
  setSampler(brightPass, "RT", scene.texture);
  setFloat(brightPass, "BloomThreshold",
           thresholdBase + thresholdAmplitude * std::sin(static_cast<float>(thresholdRate * t)));
  apply(brightPass);

  bloomTemp.bind();
  setSampler(gaussV, "Blur0", bloom.texture);
  apply(gaussV);

  bloom.bind();
  setSampler(gaussH, "Blur0", bloomTemp.texture);
  apply(gaussH);

  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  viewport.apply();
  if (drawingIntoScene) {
    // Back to the view band of the window, whose letterbox bars nothing has cleared.
    outerViewport.apply();
    drawingIntoScene = false;
    clearLetterboxBars(Runtime::instance()->screen->config);
  }

  setSampler(final, "RT", scene.texture);
  setSampler(final, "Blur1", bloom.texture);
  setFloat(final, "Flash", flash);
  if (renderScale < 1.0f && finishSmall()) return;
  // A scene target smaller than the view is scaled up with linear filtering; at full size
  // the scene is read at its pixel centres.
  CGpass upscale = renderScale < 1.0f ? upscalePass() : nullptr;
  if (upscale) {
    setSampler(final, "RTScaled", scene.texture);
    apply(upscale);
  } else {
    apply(final);
  }
}

bool PostChain::finishSmall() {
  if (!GLEW_EXT_framebuffer_blit) return false;
  if (finished.texture == 0) {
    // Made at the first scaled frame: a run at scale 1 never has it.
    if (makeTarget(finished, scene.width, scene.height) != 0) return false;
  } else {
    finished.resize(scene.width, scene.height);
  }
  GLint band[4];
  glGetIntegerv(GL_VIEWPORT, band);
  finished.bind();
  glViewport(0, 0, static_cast<GLsizei>(finished.width), static_cast<GLsizei>(finished.height));
  apply(final);
  glViewport(band[0], band[1], band[2], band[3]);
  // The one pass at the view's size: the finished picture stretched over the band, filtered.
  glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, finished.framebuffer);
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, 0);
  glBlitFramebufferEXT(0, 0, static_cast<GLint>(finished.width), static_cast<GLint>(finished.height), band[0], band[1],
                       band[0] + band[2], band[1] + band[3], GL_COLOR_BUFFER_BIT, GL_LINEAR);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  return true;
}
