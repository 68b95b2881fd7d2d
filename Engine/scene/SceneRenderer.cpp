#include "scene/SceneRenderer.h"

#include <GL/glew.h>

#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/Envelope.h"
#include "scene/Frustum.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "screen/Screen.h"

namespace {

const GLvoid* byteOffset(uint32_t bytes) { return reinterpret_cast<const GLvoid*>(static_cast<uintptr_t>(bytes)); }


void drawRange(const Kestrel::Surface& surface) {
  glDrawRangeElements(GL_TRIANGLES, surface.mini(), surface.maxi(), static_cast<GLsizei>(surface.polycount()),
                      GL_UNSIGNED_INT, byteOffset(surface.polyoffset() * 4));
}

void drawWithEffect(KestrelLibDynamic& scene, const Renderer& renderer, const Kestrel::Surface& surface, uint32_t k,
                    float time) {
  if (k > scene.effects.size() || k > scene.techniques.size()) return;
  glColor4f(1, 1, 1, 1);
  CGeffect effect = scene.effects[k - 1];
  if (CGparameter p = cgGetNamedEffectParameter(effect, "camPos")) cgGLSetParameter3f(p, renderer.camX, renderer.camY, renderer.camZ);
  if (CGparameter p = cgGetNamedEffectParameter(effect, "time")) cgGLSetParameter1f(p, time);
  const Kestrel::Shader& shader = scene.shader(static_cast<int>(k - 1));
  for (const Kestrel::Sampler& sampler : shader.sampler()) {
    const Kestrel::Texture* texture = kestrelEntry(scene.texture(), sampler.texid());
    // A sampler the effect lacks goes on as a null parameter; the runtime reports it to
    // the do-nothing error handler and drawing continues.
    cgGLSetupSampler(cgGetNamedEffectParameter(effect, sampler.name().c_str()), texture ? texture->crc() : 0);
  }
  for (CGpass pass = cgGetFirstPass(scene.techniques[k - 1]); pass; pass = cgGetNextPass(pass)) {
    cgSetPassState(pass);
    drawRange(surface);
    cgResetPassState(pass);
  }
}

void drawFixedFunction(const Kestrel::Material& material, const Kestrel::Surface& surface) {
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  if (material.mappingtype() != Kestrel::FLAT) {
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, material.ttexid());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  } else {
    glDisable(GL_TEXTURE_2D);
    glColor4f(material.r(), material.g(), material.b(), 1);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  drawRange(surface);
  cgGLSetManageTextureParameters(Runtime::instance()->screen->cgContext, CG_TRUE);
}

// Whether the object's bounding box (object space) lies wholly outside the view's side or
// near planes under the model-view in force. Under llvmpipe every submitted triangle costs
// vertex shading, clipping and binning on the main thread, which the rasteriser threads
// wait for, even when it covers nothing; the generated city is split into parts that lie
// behind or beside the camera most of the time. An object without a bounding box (one
// whose effect places its vertices itself, like the car trails) is always drawn.
bool outsideView(const Renderer& renderer, const Kestrel::Object& object) {
  if (!object.has_boundingbox()) return false;
  const Kestrel::BoundingBox& b = object.boundingbox();
  const float lo[3] = {b.minx(), b.miny(), b.minz()}, hi[3] = {b.maxx(), b.maxy(), b.maxz()};
  if (!(lo[0] <= hi[0] && lo[1] <= hi[1] && lo[2] <= hi[2])) return false;  // no usable box
  return Frustum::fromMatrices(renderer.projectionMatrix, renderer.modelViewMatrix).boxOutsideSides(lo, hi);
}

}  // namespace

SurfaceProbe* surfaceProbe = nullptr;

void drawScene(Renderer& renderer, KestrelLibDynamic& scene, float time) {
  Runtime* runtime = Runtime::instance();
  const UserConfig& config = runtime->screen->config;
  updateSceneCamera(scene, time, renderer, config.viewportWidth, config.viewportHeight, runtime->timer->paused);
  loadSceneProjection(renderer);

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  renderer.objectsCulled = 0;
  const int n = scene.object_size();
  for (int i = 0; i < n; ++i) {
    renderer.objectIndex = static_cast<uint32_t>(i);
    MathUtil::identity(renderer.modelMatrix);
    objectMatrix(scene, i, time, renderer);
    MathUtil::multiply(renderer.viewMatrix, renderer.modelMatrix, renderer.modelViewMatrix);
    MathUtil::transpose(renderer.modelViewMatrix);
    glLoadMatrixf(renderer.modelViewMatrix);
    const Kestrel::Object& object = scene.object(i);
    if (evaluateEnvelope(object.dissolve(), time) != 0.0f) continue;
    if (renderer.cullObjects && outsideView(renderer, object)) {
      ++renderer.objectsCulled;
      continue;
    }
    drawObject(scene, renderer, object, time);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void drawObject(KestrelLibDynamic& scene, Renderer& renderer, const Kestrel::Object& object, float time) {
  glBindBuffer(GL_ARRAY_BUFFER, object.pointsid());
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, object.polygonsid());
  glClientActiveTexture(GL_TEXTURE0);
  glTexCoordPointer(2, GL_FLOAT, 52, byteOffset(0));
  glClientActiveTexture(GL_TEXTURE1);
  glTexCoordPointer(2, GL_FLOAT, 52, byteOffset(8));
  glNormalPointer(GL_FLOAT, 52, byteOffset(16));
  glClientActiveTexture(GL_TEXTURE2);
  glTexCoordPointer(3, GL_FLOAT, 52, byteOffset(28));
  glVertexPointer(3, GL_FLOAT, 52, byteOffset(40));
  glClientActiveTexture(GL_TEXTURE0);

  for (int s = 0; s < object.surface_size(); ++s) {
    renderer.surfaceIndex = static_cast<uint32_t>(s);
    const Kestrel::Surface& surface = object.surface(s);
    const Kestrel::Material* material = kestrelEntry(scene.material(), surface.materialid());
    if (!material) continue;
    if (surfaceProbe) surfaceProbe->before(scene, static_cast<int>(renderer.objectIndex), s);
    if (material->shader() != 0)
      drawWithEffect(scene, renderer, surface, material->shader(), time);
    else
      drawFixedFunction(*material, surface);
    if (surfaceProbe) surfaceProbe->after();
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void drawMesh(uint32_t elementBuffer, uint32_t vertexBuffer, uint32_t maxIndex, uint32_t indexCount) {
  MeshBinding binding(elementBuffer, vertexBuffer);
  binding.draw(maxIndex, indexCount);
}

MeshBinding::MeshBinding(uint32_t elementBuffer, uint32_t vertexBuffer) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, elementBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glTexCoordPointer(2, GL_FLOAT, 32, byteOffset(0));
  glNormalPointer(GL_FLOAT, 32, byteOffset(8));
  glVertexPointer(3, GL_FLOAT, 32, byteOffset(20));
}

void MeshBinding::draw(uint32_t maxIndex, uint32_t indexCount) const {
  glDrawRangeElements(GL_TRIANGLES, 0, maxIndex, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, byteOffset(0));
}

MeshBinding::~MeshBinding() {
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
