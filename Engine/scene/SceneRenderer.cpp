#include "scene/SceneRenderer.h"

#include <GL/glew.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "cg/GlslDialect.h"
#include "cg/Transforms.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/BasicDraw.h"
#include "scene/Envelope.h"
#include "scene/Frustum.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "scene/SceneLights.h"
#include "screen/Screen.h"

namespace {

const GLvoid* byteOffset(uint32_t bytes) { return reinterpret_cast<const GLvoid*>(static_cast<uintptr_t>(bytes)); }

// The vertex inputs drawn from a scene object's 52-byte vertex and from a mesh's 32-byte one.
// The scene's second UV set (texture coordinates 1) has a pointer but stays off: effects
// read the constant (0, 0, 0, 1) there, as they always have.
constexpr unsigned kSceneAttributes[] = {cg::kAttributeVertex, cg::kAttributeNormal, cg::kAttributeTexCoord0,
                                         cg::kAttributeTexCoord0 + 2};
constexpr unsigned kMeshAttributes[] = {cg::kAttributeVertex, cg::kAttributeNormal, cg::kAttributeTexCoord0};


void drawRange(const Kestrel::Surface& surface) {
  glDrawRangeElements(GL_TRIANGLES, surface.mini(), surface.maxi(), static_cast<GLsizei>(surface.polycount()),
                      GL_UNSIGNED_INT, byteOffset(surface.polyoffset() * 4));
}

void drawWithEffect(KestrelLibDynamic& scene, const Renderer& renderer, const Kestrel::Surface& surface, uint32_t k,
                    float time) {
  if (k > scene.effects.size() || k > scene.techniques.size()) return;
  basic::setColour(1, 1, 1, 1);
  CGeffect effect = scene.effects[k - 1];
  if (CGparameter p = cgGetNamedEffectParameter(effect, "camPos")) cgGLSetParameter3f(p, renderer.camX, renderer.camY, renderer.camZ);
  if (CGparameter p = cgGetNamedEffectParameter(effect, "time")) cgGLSetParameter1f(p, time);
  const Kestrel::Shader& shader = scene.shader(static_cast<int>(k - 1));
  // The entry's own values: materials that share an effect differ only in these.
  for (const Kestrel::ShaderValue& value : shader.value())
    if (CGparameter p = cgGetNamedEffectParameter(effect, value.name().c_str()))
      cgSetParameterValuefr(p, std::min(value.value_size(), 16), value.value().data());
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
    basic::setColour(1, 1, 1, 1);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, material.ttexid());
    glEnableVertexAttribArray(cg::kAttributeTexCoord0);
    basic::useTextureProgram();
  } else {
    basic::setColour(material.r(), material.g(), material.b(), 1);
    glDisableVertexAttribArray(cg::kAttributeTexCoord0);
    basic::useColourProgram();
  }
  drawRange(surface);
  cg::useProgram(0);
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

// A blended surface waits until every other one is drawn: its object's model-view and its
// distance along the view.
struct Deferred {
  const Kestrel::Object* object;
  uint32_t objectIndex, surfaceIndex;
  float depth;
  float modelView[16];
};
std::vector<Deferred> deferred;  // reused frame after frame

// The parameter names of light i, made once.
struct LightNames {
  std::string position, colour, axis, cone;
};
const LightNames& lightNames(int i) {
  static const std::vector<LightNames> names = [] {
    std::vector<LightNames> n;
    for (int k = 0; k < kSceneLightLimit; ++k) {
      const std::string d = std::to_string(k);
      n.push_back({"lightPosition" + d, "lightColour" + d, "lightAxis" + d, "lightCone" + d});
    }
    return n;
  }();
  return names[static_cast<size_t>(i)];
}

// The scene's lights at `time` and its world's colour, into every effect that reads them.
void setLights(KestrelLibDynamic& scene, Renderer& renderer, float time) {
  static std::vector<SceneLight> lights;
  lights.clear();
  for (const Kestrel::Light& light : scene.light()) {
    const uint32_t parent = light.parent().type() != 0 ? light.parent().number() : 0;
    if (parent == 0 || parent > static_cast<uint32_t>(scene.object_size())) {
      lights.push_back(sceneLight(light, nullptr));
      continue;
    }
    MathUtil::identity(renderer.modelMatrix);
    objectMatrix(scene, static_cast<int>(parent - 1), time, renderer);
    float viewFromNode[16];
    MathUtil::multiply(renderer.viewMatrix, renderer.modelMatrix, viewFromNode);
    lights.push_back(sceneLight(light, viewFromNode));
  }
  const int count = chooseLights(lights.data(), static_cast<int>(lights.size()));
  const Kestrel::World& world = scene.world();
  // The world's light as nine spherical-harmonic terms (a colour is the first term alone),
  // and the turn from view space back to the scene's axes that they are in.
  float terms[27] = {};
  if (world.ambientsh_size() == 27) {
    std::copy(world.ambientsh().begin(), world.ambientsh().end(), terms);
  } else {
    const float fullSphere = 3.5449077f;  // 2 sqrt(pi): a constant's first term
    terms[0] = world.r() * fullSphere, terms[1] = world.g() * fullSphere, terms[2] = world.b() * fullSphere;
  }
  const float* v = renderer.viewMatrix;
  const float viewToWorld[9] = {v[0], v[4], v[8], v[1], v[5], v[9], v[2], v[6], v[10]};
  static const std::vector<std::string> termNames = [] {
    std::vector<std::string> n;
    for (int k = 0; k < 9; ++k) n.push_back("ambientSH" + std::to_string(k));
    return n;
  }();
  for (size_t e = 0; e < scene.effects.size(); ++e) {
    CGeffect effect = scene.effects[e];
    // Entries of one effect file share it (Loader::loadSceneShader): set it once.
    if (!effect || std::find(scene.effects.begin(), scene.effects.begin() + static_cast<std::ptrdiff_t>(e), effect) !=
                       scene.effects.begin() + static_cast<std::ptrdiff_t>(e))
      continue;
    if (CGparameter p = cgGetNamedEffectParameter(effect, "ambientColour")) cgGLSetParameter3f(p, world.r(), world.g(), world.b());
    if (CGparameter p = cgGetNamedEffectParameter(effect, "viewToWorld")) cgSetParameterValuefr(p, 9, viewToWorld);
    for (int k = 0; k < 9; ++k)
      if (CGparameter p = cgGetNamedEffectParameter(effect, termNames[static_cast<size_t>(k)].c_str()))
        cgSetParameterValuefr(p, 3, terms + 3 * k);
    CGparameter p = cgGetNamedEffectParameter(effect, "lightCount");
    if (!p) continue;
    cgGLSetParameter1f(p, static_cast<float>(count));
    for (int i = 0; i < count; ++i) {
      const SceneLight& l = lights[static_cast<size_t>(i)];
      const LightNames& name = lightNames(i);
      if (CGparameter q = cgGetNamedEffectParameter(effect, name.position.c_str())) cgSetParameterValuefr(q, 4, l.position);
      if (CGparameter q = cgGetNamedEffectParameter(effect, name.colour.c_str())) cgSetParameterValuefr(q, 4, l.colour);
      if (CGparameter q = cgGetNamedEffectParameter(effect, name.axis.c_str())) cgSetParameterValuefr(q, 3, l.axis);
      if (CGparameter q = cgGetNamedEffectParameter(effect, name.cone.c_str())) cgSetParameterValuefr(q, 2, l.cone);
    }
  }
}

void bindObject(const Kestrel::Object& object) {
  glBindBuffer(GL_ARRAY_BUFFER, object.pointsid());
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, object.polygonsid());
  glVertexAttribPointer(cg::kAttributeTexCoord0, 2, GL_FLOAT, GL_FALSE, 52, byteOffset(0));
  glVertexAttribPointer(cg::kAttributeTexCoord0 + 1, 2, GL_FLOAT, GL_FALSE, 52, byteOffset(8));
  glVertexAttribPointer(cg::kAttributeNormal, 3, GL_FLOAT, GL_FALSE, 52, byteOffset(16));
  glVertexAttribPointer(cg::kAttributeTexCoord0 + 2, 3, GL_FLOAT, GL_FALSE, 52, byteOffset(28));
  glVertexAttribPointer(cg::kAttributeVertex, 3, GL_FLOAT, GL_FALSE, 52, byteOffset(40));
}

void drawSurface(KestrelLibDynamic& scene, Renderer& renderer, const Kestrel::Material& material, const Kestrel::Surface& surface,
                 int s, float time) {
  renderer.surfaceIndex = static_cast<uint32_t>(s);
  if (surfaceProbe) surfaceProbe->before(scene, static_cast<int>(renderer.objectIndex), s);
  if (material.shader() != 0)
    drawWithEffect(scene, renderer, surface, material.shader(), time);
  else
    drawFixedFunction(material, surface);
  if (surfaceProbe) surfaceProbe->after();
}

// The blended surfaces held back this frame, the farthest first.
void drawDeferred(KestrelLibDynamic& scene, Renderer& renderer, float time) {
  std::stable_sort(deferred.begin(), deferred.end(), [](const Deferred& a, const Deferred& b) { return a.depth < b.depth; });
  for (const Deferred& d : deferred) {
    renderer.objectIndex = d.objectIndex;
    std::copy(d.modelView, d.modelView + 16, renderer.modelViewMatrix);
    cg::setModelView(renderer.modelViewMatrix);
    bindObject(*d.object);
    const Kestrel::Surface& surface = d.object->surface(static_cast<int>(d.surfaceIndex));
    drawSurface(scene, renderer, *kestrelEntry(scene.material(), surface.materialid()), surface, static_cast<int>(d.surfaceIndex), time);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  deferred.clear();
}

}  // namespace

SurfaceProbe* surfaceProbe = nullptr;

void drawScene(Renderer& renderer, KestrelLibDynamic& scene, float time) {
  Runtime* runtime = Runtime::instance();
  const UserConfig& config = runtime->screen->config;
  updateSceneCamera(scene, time, renderer, config.viewportWidth, config.viewportHeight, runtime->timer->paused);
  loadSceneProjection(renderer);

  // Texture coordinates 2 carry the tangents, for effects that map normals.
  for (unsigned a : kSceneAttributes) glEnableVertexAttribArray(a);
  if (scene.light_size() > 0 || scene.has_world()) setLights(scene, renderer, time);
  deferred.clear();
  renderer.objectsCulled = 0;
  const int n = scene.object_size();
  for (int i = 0; i < n; ++i) {
    renderer.objectIndex = static_cast<uint32_t>(i);
    MathUtil::identity(renderer.modelMatrix);
    objectMatrix(scene, i, time, renderer);
    MathUtil::multiply(renderer.viewMatrix, renderer.modelMatrix, renderer.modelViewMatrix);
    MathUtil::transpose(renderer.modelViewMatrix);
    cg::setModelView(renderer.modelViewMatrix);
    const Kestrel::Object& object = scene.object(i);
    if (evaluateEnvelope(object.dissolve(), time) != 0.0f) continue;
    if (renderer.cullObjects && outsideView(renderer, object)) {
      ++renderer.objectsCulled;
      continue;
    }
    drawObject(scene, renderer, object, time);
  }
  if (!deferred.empty()) drawDeferred(scene, renderer, time);
  for (unsigned a : kSceneAttributes) glDisableVertexAttribArray(a);
}

void drawObject(KestrelLibDynamic& scene, Renderer& renderer, const Kestrel::Object& object, float time) {
  // An object without uploaded vertices (an empty node) has nothing to draw, and pointing the
  // vertex inputs into no buffer is an error in WebGL.
  if (object.pointsid() == 0) return;
  bindObject(object);
  for (int s = 0; s < object.surface_size(); ++s) {
    const Kestrel::Surface& surface = object.surface(s);
    const Kestrel::Material* material = kestrelEntry(scene.material(), surface.materialid());
    if (!material) continue;
    if (material->blended()) {
      // Sorted by the object's centre along the view (GL order: row 2 is elements 2, 6, 10, 14).
      Deferred d{&object, renderer.objectIndex, static_cast<uint32_t>(s), 0.0f, {}};
      const float* m = renderer.modelViewMatrix;
      float c[3] = {0, 0, 0};
      if (object.has_boundingbox()) {
        const Kestrel::BoundingBox& b = object.boundingbox();
        c[0] = (b.minx() + b.maxx()) / 2, c[1] = (b.miny() + b.maxy()) / 2, c[2] = (b.minz() + b.maxz()) / 2;
      }
      d.depth = m[2] * c[0] + m[6] * c[1] + m[10] * c[2] + m[14];
      std::copy(m, m + 16, d.modelView);
      deferred.push_back(d);
      continue;
    }
    drawSurface(scene, renderer, *material, surface, s, time);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void drawMesh(uint32_t elementBuffer, uint32_t vertexBuffer, uint32_t maxIndex, uint32_t indexCount) {
  MeshBinding binding(elementBuffer, vertexBuffer);
  binding.draw(maxIndex, indexCount);
}

MeshBinding::MeshBinding(uint32_t elementBuffer, uint32_t vertexBuffer) {
  for (unsigned a : kMeshAttributes) glEnableVertexAttribArray(a);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, elementBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glVertexAttribPointer(cg::kAttributeTexCoord0, 2, GL_FLOAT, GL_FALSE, 32, byteOffset(0));
  glVertexAttribPointer(cg::kAttributeNormal, 3, GL_FLOAT, GL_FALSE, 32, byteOffset(8));
  glVertexAttribPointer(cg::kAttributeVertex, 3, GL_FLOAT, GL_FALSE, 32, byteOffset(20));
}

void MeshBinding::draw(uint32_t maxIndex, uint32_t indexCount) const {
  glDrawRangeElements(GL_TRIANGLES, 0, maxIndex, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, byteOffset(0));
}

MeshBinding::~MeshBinding() {
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  for (unsigned a : kMeshAttributes) glDisableVertexAttribArray(a);
}
