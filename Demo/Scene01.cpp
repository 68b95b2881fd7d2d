#include "Scene01.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "FrameProfile.h"
#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "platform/Events.h"
#include "resources/Loader.h"
#include "runtime/Runtime.h"
#include "scene/Frustum.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "scene/SceneRenderer.h"

void layOutCars(std::array<CarRecord, 200>& streamA, std::array<CarRecord, 200>& streamB) {
  std::mt19937 twister(56884);
  // u in [0, 1]: the division by 2^32 + 1 rounded to single precision can give exactly 1.
  auto u = [&]() { return static_cast<float>(static_cast<double>(twister()) / 4294967297.0); };
  auto f = [](double v) { return static_cast<float>(v); };
  for (size_t i = 0; i < 200; ++i) {
    streamA[i].a = f(u() * 450.0 - 400.0);
    streamA[i].y = f(static_cast<double>(f(u() * 6.0 + 8.0)) + 5.0);
    streamA[i].b = f(u() * 9.0 - 4.5);
    streamA[i].speed = f(u() * 7.0 + 7.0);
    streamB[i].a = f(u() * 9.0 - 4.5);
    streamB[i].y = f(u() * 6.0 + 8.0);
    streamB[i].b = f(u() * 450.0 - 400.0);
    streamB[i].speed = f(u() * 7.0 + 7.0);
  }
}

float carPosition(float start, float speed, float t) {
  float p = start + speed * t;
  for (int k = 1; p > 100.0f; ++k) p = start + speed * (t - 50.0f * static_cast<float>(k));
  return p;
}

int Scene01::init() {
  Loader* loader = Runtime::instance()->loader;
  if (loader->loadScene(city) != 0) {
    platform::postQuitMessage(1);
    return 1;
  }
  if (loader->loadBinMmf("objects/veltro.mmf", carModel) == 0) loader->uploadMesh(carModel, GL_STATIC_DRAW);
  carRadius = 0.0f;
  for (size_t i = 0; i + 2 < carModel.points.size(); i += 3) {
    const float* v = &carModel.points[i];
    carRadius = std::max(carRadius, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
  }
  carEffect.source = "shaders/cars.cgfx";
  if (loader->loadShader(carEffect) != 0) return 1;
  carTexture.source = "textures/veltro512.png";
  if (loader->loadTexture(carTexture) != 0) return 1;
  layOutCars(streamA, streamB);
  return 0;
}

void Scene01::draw(float t) {
  Renderer& renderer = *Runtime::instance()->renderer;
  drawScene(renderer, city, t);
  computeCameraView(renderer);
  glLoadMatrixf(renderer.viewMatrix);
  frameProfile().mark(FramePhase::Scene);
  if (t < 43.0f) return;
  drawCars(t);
  if (renderer.controlgrid) drawControlGrid();
  frameProfile().mark(FramePhase::Cars);
}

void Scene01::drawCars(float t) {
  cgGLSetupSampler(cgGetNamedEffectParameter(carEffect.effect, "samColor"), carTexture.crc);
  CGpass pass = cgGetFirstPass(carEffect.technique);
  cgSetPassState(pass);
  // A car mesh that failed to load leaves the part running without cars, never drawing
  // from a buffer that does not exist.
  if (carModel.vertexBuffer != 0 && !carModel.polygons.empty()) {
    const uint32_t maxIndex = static_cast<uint32_t>(carModel.points.size() / 3) - 1;
    const uint32_t count = static_cast<uint32_t>(carModel.polygons.size());
    // Most of the 1,600 cars are behind the camera or beside the view at any time; a car
    // whose bounding sphere lies outside the view is skipped, which cannot change a pixel.
    const Frustum view = Frustum::fromGL();
    const float r = carRadius;
    auto hidden = [&](float x, float y, float z) { return cullCars && view.sphereOutside(x, y, z, r); };
    const MeshBinding car(carModel.indexBuffer, carModel.vertexBuffer);
    for (size_t i = 0; i < 200; ++i) {
      const CarRecord& a = streamA[i];
      const float p = carPosition(a.a, a.speed, t);
      for (int o = -2; o <= 1; ++o) {
        if (hidden(p, a.y, a.b + 110.0f * static_cast<float>(o))) continue;
        glPushMatrix();
        glTranslatef(p, a.y, a.b + 110.0f * static_cast<float>(o));
        car.draw(maxIndex, count);
        glPopMatrix();
      }
      const CarRecord& b = streamB[i];
      const float q = carPosition(b.b, b.speed, t);
      for (int o = -2; o <= 1; ++o) {
        if (hidden(b.a + 110.0f * static_cast<float>(o), b.y, q)) continue;
        glPushMatrix();
        glTranslatef(b.a + 110.0f * static_cast<float>(o), b.y, q);
        glRotatef(90.0f, 0, 1, 0);
        car.draw(maxIndex, count);
        glPopMatrix();
      }
    }
  }
  cgResetPassState(pass);
}

void Scene01::drawControlGrid() {
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, 0.5f);
  glBegin(GL_LINES);
  for (int c = -10; c <= 10; ++c) {
    const float f = static_cast<float>(c);
    glVertex3f(10, 0, f);
    glVertex3f(-10, 0, f);
    glVertex3f(f, 0, 10);
    glVertex3f(f, 0, -10);
    glVertex3f(10, f, 0);
    glVertex3f(-10, f, 0);
    glVertex3f(f, 10, 0);
    glVertex3f(f, -10, 0);
  }
  glEnd();
}
