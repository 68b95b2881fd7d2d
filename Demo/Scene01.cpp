#include "Scene01.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "FrameProfile.h"
#include "LiveEdit.h"
#include "car/CarLayout.h"
#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "platform/Events.h"
#include "resources/Loader.h"
#include "runtime/Runtime.h"
#include "cg/Transforms.h"
#include "scene/BasicDraw.h"
#include "scene/Frustum.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "scene/SceneRenderer.h"
#include "screen/Screen.h"

namespace {

// Whether the GL culls the back faces of counter-clockwise triangles, as the car effect's
// pass sets it up.
bool cullingBackFaces() {
  GLint mode = 0, front = 0;
  glGetIntegerv(GL_CULL_FACE_MODE, &mode);
  glGetIntegerv(GL_FRONT_FACE, &front);
  return glIsEnabled(GL_CULL_FACE) == GL_TRUE && mode == GL_BACK && front == GL_CCW;
}

// Grows a staging copy to hold `needed` elements, at least doubling, never past `limit`.
template <typename T>
void growStaging(std::vector<T>& buffer, size_t needed, size_t limit) {
  if (buffer.size() < needed) buffer.resize(std::min(limit, std::max(buffer.size() * 2, needed)));
}

}  // namespace

void layOutCars(std::array<CarRecord, 200>& streamA, std::array<CarRecord, 200>& streamB) {
  content::layOutCarStreams(streamA, streamB);
}

float carPosition(float start, float speed, float t) {
  float p = start + speed * t;
  if (std::isfinite(p) && !(p > 100.0f)) return p;
  // A car that does not move forward, or a time that is not finite, never comes back below
  // 100 by stepping back: it waits at its start (or at 100).
  const float waiting = std::isfinite(start) && start <= 100.0f ? start : 100.0f;
  if (!std::isfinite(p) || !(speed > 0.0f)) return waiting;
  // Step back whole 50 s periods, starting just short of the count the excess needs, so a
  // late time costs a few steps; the result is the first period that is not past 100.
  const double excess = (static_cast<double>(p) - 100.0) / (50.0 * static_cast<double>(speed));
  float k = excess > 2.0 ? static_cast<float>(std::floor(excess) - 1.0) : 1.0f;
  for (int step = 0; step < 8; ++step, k += 1.0f) {
    p = start + speed * (t - 50.0f * k);
    if (!(p > 100.0f)) return p;
  }
  return waiting;  // so far out that single precision cannot step back one period
}

void Scene01::release() {
  LiveEdit::release(city);
  for (MmfMesh* mesh : {&carModel, &farCarModel, &distantCarModel}) {
    const GLuint buffers[2] = {mesh->indexBuffer, mesh->vertexBuffer};
    if (buffers[0] || buffers[1]) glDeleteBuffers(2, buffers);
  }
  for (CarBatch* batch : {&nearCars, &farCars, &distantCars}) {
    const GLuint buffers[2] = {batch->indexBuffer, batch->vertexBuffer};
    if (buffers[0] || buffers[1]) glDeleteBuffers(2, buffers);
  }
  if (carEffect.effect) cgDestroyEffect(carEffect.effect);
  carEffect.effect = nullptr;
  const GLuint texture = carTexture.crc;
  if (texture) glDeleteTextures(1, &texture);
  carTexture.crc = 0;
  carModel = farCarModel = distantCarModel = MmfMesh();
  nearCars = farCars = distantCars = CarBatch();
}

namespace {
std::string foldedName(std::string name) {
  for (char& c : name) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}
}  // namespace

CGeffect Scene01::effectNamed(const std::string& name) {
  if (name == "cars" || name == carEffect.source) return carEffect.effect;
  return city.effectNamed(name);
}

int Scene01::init() {
  Loader* loader = Runtime::instance()->loader;
  if (loader->loadScene(city, config.scene()) != 0) {
    platform::postQuitMessage(1);
    return 1;
  }
  if (!config.cars()) return 0;
  if (loader->loadBinMmf(config.car_mesh(), carModel) == 0) loader->uploadMesh(carModel, GL_STATIC_DRAW);
  nearCars.prepare(carModel, kCarCopies);
  // The far car is optional: without it every car is drawn in full.
  if (loader->getSize(config.car_far_mesh()) != 0 && loader->loadBinMmf(config.car_far_mesh(), farCarModel) == 0) {
    loader->uploadMesh(farCarModel, GL_STATIC_DRAW);
    farCars.prepare(farCarModel, kCarCopies);
  }
  if (loader->getSize(config.car_distant_mesh()) != 0 &&
      loader->loadBinMmf(config.car_distant_mesh(), distantCarModel) == 0) {
    loader->uploadMesh(distantCarModel, GL_STATIC_DRAW);
    distantCars.prepare(distantCarModel, kCarCopies);
  }
  measureCarRadius();
  carEffect.source = config.car_effect();
  if (loader->loadShader(carEffect) != 0) return 1;
  carTexture.source = config.car_texture();
  if (loader->loadTexture(carTexture) != 0) return 1;
  layOutCars(streamA, streamB);
  queued.reserve(kCarCopies);
  return 0;
}

int Scene01::reloadCarMesh(const std::string& name) {
  const std::string key = foldedName(name);
  const bool far = key == foldedName(config.car_far_mesh()), distant = key == foldedName(config.car_distant_mesh());
  if (!far && !distant && key != foldedName(config.car_mesh())) return 2;
  Loader* loader = Runtime::instance()->loader;
  MmfMesh fresh;
  if (loader->loadBinMmf(key, fresh) != 0 || fresh.points.empty()) return 1;
  loader->uploadMesh(fresh, GL_STATIC_DRAW);
  MmfMesh& mesh = far ? farCarModel : distant ? distantCarModel : carModel;
  const GLuint old[2] = {mesh.indexBuffer, mesh.vertexBuffer};
  glDeleteBuffers(2, old);
  mesh = std::move(fresh);
  (far ? farCars : distant ? distantCars : nearCars).prepare(mesh, kCarCopies);
  if (!far && !distant) measureCarRadius();
  return 0;
}

void Scene01::measureCarRadius() {
  carRadius = 0.0f;
  for (size_t i = 0; i + 2 < carModel.points.size(); i += 3) {
    const float* v = &carModel.points[i];
    carRadius = std::max(carRadius, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
  }
}

void Scene01::draw(float t) {
  Renderer& renderer = *Runtime::instance()->renderer;
  renderer.sceneCamera = 0;
  renderer.sceneNear = 4.0;
  renderer.sceneFar = 530.0;
  drawScene(renderer, city, t);
  computeCameraView(renderer);
  cg::setModelView(renderer.viewMatrix);
  frameProfile().mark(FramePhase::Scene);
  if (!config.cars() || t < static_cast<float>(config.cars_from())) return;
  drawCars(t);
  if (renderer.controlgrid) drawControlGrid();
  frameProfile().mark(FramePhase::Cars);
}

int CarBatch::prepare(const MmfMesh& mesh, size_t copies) {
  vertices.clear();
  if (mesh.vertexBuffer == 0 || mesh.polygons.empty() || mesh.polygons.size() % 3 != 0) return 1;
  // The vertices exactly as uploaded.
  GLint bytes = 0;
  glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
  std::vector<float> uploaded(static_cast<size_t>(std::max(bytes, 0)) / sizeof(float), 0.0f);
  if (!uploaded.empty())
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(uploaded.size() * sizeof(float)), uploaded.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  const size_t count = uploaded.size() / 8;
  std::vector<uint32_t> indices;
  std::vector<float> faces;
  for (size_t i = 0; i < mesh.polygons.size(); i += 3) {
    float p[3][3];
    for (size_t k = 0; k < 3; ++k) {
      const int32_t index = mesh.polygons[i + k];
      // A triangle that names a vertex the buffer lacks leaves the cars to the one-by-one path.
      if (index < 0 || static_cast<size_t>(index) >= count) return 1;
      indices.push_back(static_cast<uint32_t>(index));
      for (size_t c = 0; c < 3; ++c) p[k][c] = uploaded[static_cast<size_t>(index) * 8 + 5 + c];
    }
    // The plane the GL culls by: the winding's normal, counter-clockwise seen from the front.
    const float u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const float v[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (float& c : n) c = length > 0.0f ? c / length : 0.0f;
    faces.insert(faces.end(), {n[0], n[1], n[2], n[0] * p[0][0] + n[1] * p[0][1] + n[2] * p[0][2]});
  }
  if (indexBuffer == 0) glGenBuffers(1, &indexBuffer);
  if (vertexBuffer == 0) glGenBuffers(1, &vertexBuffer);
  vertices = std::move(uploaded);
  vertices.resize(count * 8);
  triangles = std::move(indices);
  planes = std::move(faces);
  // The staging copies grow with the most copies a frame has placed (a few hundred of the
  // 1,600): filled for every copy up front they would hold 20 MB that no frame touches.
  staging.clear();
  indexStaging.clear();
  // Storage for every copy, allocated once: each frame overwrites the part it uses instead
  // of handing the driver a new buffer (a fresh allocation of megabytes every frame). The
  // driver's memory is only reserved; pages no frame writes are never touched.
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(copies * vertices.size() * sizeof(float)), nullptr,
               GL_STREAM_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(copies * triangles.size() * sizeof(uint32_t)), nullptr,
               GL_STREAM_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  slot.assign(count, kNoSlot);
  used.clear();
  used.reserve(count);
  capacity = copies;
  placed = verticesPlaced = indicesPlaced = 0;
  return 0;
}

void CarBatch::place(float x, float y, float z, bool turned) {
  if (placed >= capacity) return;
  ++placed;
  // Room for one more whole copy.
  growStaging(indexStaging, indicesPlaced + triangles.size(), capacity * triangles.size());
  growStaging(staging, verticesPlaced * 8 + vertices.size(), capacity * vertices.size());
  // The eye as the mesh lies (the turn undone: world (x, y, z) is the mesh's (-z, y, x)).
  // A triangle faces it when the eye is in front of its plane; one that the eye sees
  // nearly edge-on stays, so that rounding in the GL's own test cannot lose a pixel.
  const float ex = eye[0] - x, ey = eye[1] - y, ez = eye[2] - z;
  const float lx = turned ? -ez : ex, lz = turned ? ex : ez;
  uint32_t* indices = &indexStaging[indicesPlaced];
  size_t kept = 0;
  for (size_t i = 0, f = 0; i < triangles.size(); i += 3, f += 4) {
    const float* plane = &planes[f];
    if (cull && plane[0] * lx + plane[1] * ey + plane[2] * lz - plane[3] < -1e-3f) continue;
    for (size_t k = 0; k < 3; ++k) {
      // Only the vertices of the kept triangles are moved into place: the GL shades every
      // vertex of the range it is given, used or not.
      const uint32_t source = triangles[i + k];
      if (slot[source] == kNoSlot) {
        slot[source] = static_cast<uint32_t>(verticesPlaced);
        used.push_back(source);
        // A quarter turn about y takes (x, y, z) to (z, y, -x), normals as positions.
        const float* in = &vertices[source * 8];
        float* out = &staging[verticesPlaced++ * 8];
        out[0] = in[0];
        out[1] = in[1];
        if (turned) {
          out[2] = in[4], out[3] = in[3], out[4] = -in[2];
          out[5] = in[7] + x, out[6] = in[6] + y, out[7] = -in[5] + z;
        } else {
          out[2] = in[2], out[3] = in[3], out[4] = in[4];
          out[5] = in[5] + x, out[6] = in[6] + y, out[7] = in[7] + z;
        }
      }
      indices[kept++] = slot[source];
    }
  }
  indicesPlaced += kept;
  for (uint32_t source : used) slot[source] = kNoSlot;
  used.clear();
}

void CarBatch::draw() {
  if (verticesPlaced != 0 && indicesPlaced != 0) {
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(verticesPlaced * 8 * sizeof(float)), staging.data());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(indicesPlaced * sizeof(uint32_t)),
                    indexStaging.data());
    const MeshBinding binding(indexBuffer, vertexBuffer);
    binding.draw(static_cast<uint32_t>(verticesPlaced - 1), static_cast<uint32_t>(indicesPlaced));
  }
  placed = verticesPlaced = indicesPlaced = 0;
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
    const Frustum view = Frustum::fromTransforms();
    // The software rasteriser pays more for a modelview change than for drawing a car, so
    // by default every car's copy of the mesh is moved into place here and all are drawn
    // at once under the camera's modelview: the same triangles, one draw instead of up to
    // 1,600. Cars far from the camera take the far mesh, about half the triangles, which
    // at that distance covers the same few pixels, and cars farther still the distant
    // mesh, a box with the lamps. Without the batch each car is translated (and turned) on
    // the matrix stack with the full mesh.
    const bool batch = batchCars && !nearCars.empty();
    const bool lod = batch && farCarDistance > 0.0f && !farCars.empty();
    const bool distantLod = lod && distantCarDistance > 0.0f && !distantCars.empty();
    const Renderer& renderer = *Runtime::instance()->renderer;
    const float farDistance = farCarDistanceForView(), distantDistance = distantCarDistanceForView();
    const float farSquared = farDistance * farDistance, distantSquared = distantDistance * distantDistance;
    carsDrawn = farCarsDrawn = distantCarsDrawn = 0;
    // The batches leave out the triangles facing away from the eye (the camera, whose view
    // is loaded), which the GL would cull.
    const bool cull = cullCarFaces && batch && cullingBackFaces();
    for (CarBatch* cars : {&nearCars, &farCars, &distantCars}) {
      cars->cull = cull;
      cars->lookFrom(renderer.camX, renderer.camY, renderer.camZ);
    }
    std::optional<MeshBinding> car;  // the full mesh bound once, for the one-by-one path only
    if (!batch) car.emplace(carModel.indexBuffer, carModel.vertexBuffer);
    auto place = [&](float x, float y, float z, bool turned) {
      if (cullCars && view.sphereOutside(x, y, z, carRadius)) return;
      if (!batch) {
        // The camera's view, then the car's place, then its quarter turn about y.
        float place[16], turn[16], carView[16];
        MathUtil::translation(x, y, z, place);
        if (turned) {
          MathUtil::rotation(-90.0f, 0, 1, 0, turn);
          MathUtil::multiply(place, turn, place);
        }
        // view * place in GL order is place^T * view^T in the row-major arrays MathUtil takes.
        MathUtil::transpose(place);
        MathUtil::multiply(place, renderer.viewMatrix, carView);
        cg::setModelView(carView);
        car->draw(maxIndex, count);
        cg::setModelView(renderer.viewMatrix);
        return;
      }
      const float dx = x - renderer.camX, dy = y - renderer.camY, dz = z - renderer.camZ;
      queued.push_back({dx * dx + dy * dy + dz * dz, x, y, z, turned});
    };
    queued.clear();
    for (size_t i = 0; i < 200; ++i) {
      const CarRecord& a = streamA[i];
      const float p = carPosition(a.a, a.speed, t);
      for (int o = -2; o <= 1; ++o) place(p, a.y, a.b + 110.0f * static_cast<float>(o), false);
      const CarRecord& b = streamB[i];
      const float q = carPosition(b.b, b.speed, t);
      for (int o = -2; o <= 1; ++o) place(b.a + 110.0f * static_cast<float>(o), b.y, q, true);
    }
    if (batch) {
      // Nearest first, so that a car behind another fails the depth test before its
      // fragments are shaded.
      std::sort(queued.begin(), queued.end(), [](const QueuedCar& a, const QueuedCar& b) {
        return a.squared != b.squared ? a.squared < b.squared : a.x != b.x ? a.x < b.x : a.z < b.z;
      });
      for (const QueuedCar& c : queued) {
        const bool far = lod && c.squared > farSquared, distant = far && distantLod && c.squared > distantSquared;
        ++carsDrawn;
        farCarsDrawn += far && !distant;
        distantCarsDrawn += distant;
        (distant ? distantCars : far ? farCars : nearCars).place(c.x, c.y, c.z, c.turned);
      }
      nearCars.draw();
      farCars.draw();
      distantCars.draw();
    }
  }
  cgResetPassState(pass);
}

float Scene01::forView(float distance) const {
  const int height = Runtime::instance()->screen->config.viewportHeight;
  return distance * static_cast<float>(std::max(height, 1)) / kFarCarViewHeight;
}

float Scene01::farCarDistanceForView() const { return forView(farCarDistance); }

float Scene01::distantCarDistanceForView() const { return forView(distantCarDistance); }

void Scene01::drawControlGrid() {
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  basic::setColour(1, 1, 1, 0.5f);
  std::vector<float> lines;
  for (int c = -10; c <= 10; ++c) {
    const float f = static_cast<float>(c);
    for (float v : {10.0f, 0.0f, f, -10.0f, 0.0f, f, f, 0.0f, 10.0f, f, 0.0f, -10.0f, 10.0f, f, 0.0f, -10.0f, f, 0.0f, f, 10.0f,
                    0.0f, f, -10.0f, 0.0f})
      lines.push_back(v);
  }
  basic::drawVertices(GL_LINES, lines.data(), static_cast<int>(lines.size() / 3));
}
