#include "scene/Motion.h"

#include <GL/glew.h>

#include <cmath>
#include <cstring>

#include "cg/Transforms.h"
#include "platform/MessageBox.h"
#include "scene/Envelope.h"
#include "scene/MathUtil.h"
#include "scene/Renderer.h"

namespace {

using Envelopes = google::protobuf::RepeatedPtrField<Kestrel::Envelope>;

// Conversion of object angles; a constant, unlike the camera's renderer field.
constexpr float kDegreesPerRadian = 57.29578f;

const Kestrel::Envelope& channel(const Envelopes& motion, int index) {
  return index < motion.size() ? motion.Get(index) : Kestrel::Envelope::default_instance();
}

float pivot(const Kestrel::Object& object, int index) {
  return index < object.pivot_size() ? object.pivot(index) : 0.0f;
}

// 3x3 product a · b, each term added in the order the 4x4 product adds it, so that the
// result is the same float for float as MathUtil::multiply of the full matrices.
void multiply3(const float a[9], const float b[9], float out[9]) {
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) out[3 * r + c] = a[3 * r] * b[c] + a[3 * r + 1] * b[3 + c] + a[3 * r + 2] * b[6 + c];
  }
}

// Sine and cosine of `angle` degrees exactly as MathUtil::rotation takes them.
void sineCosine(float angle, float& s, float& c) {
  const float r = angle * static_cast<float>(MathUtil::pi) / 180.0f;
  s = std::sin(r);
  c = std::cos(r);
}

// T(x, y, z) · rotation(−B, Z) · rotation(P, X) · rotation(H, Y) · T(−px, −py, +pz), with
// S(sx, sy, sz) on the right when `withScale`. motion[9] receives the object's channels.
// This runs for every object on every frame, so the product is formed on the 3x3 rotation
// part and the translation column alone; the terms it leaves out are exact zeros and ones of
// the full 4x4 product, which gives the same matrix.
void placement(const Kestrel::Object& object, float time, float* motion, bool withScale, float* m) {
  evaluateObjectMotion(object, time, motion);
  float s, c;
  sineCosine(-motion[5], s, c);
  const float bank[9] = {c, s, 0, -s, c, 0, 0, 0, 1};
  sineCosine(motion[4], s, c);
  const float pitch[9] = {1, 0, 0, 0, c, s, 0, -s, c};
  sineCosine(motion[3], s, c);
  const float heading[9] = {c, 0, -s, 0, 1, 0, s, 0, c};
  float bankPitch[9], r[9];
  multiply3(bank, pitch, bankPitch);
  multiply3(bankPitch, heading, r);
  // The pivot's z is added while x and y are subtracted, as the scene files expect.
  const float px = -pivot(object, 0), py = -pivot(object, 1), pz = pivot(object, 2);
  const float scale[3] = {withScale ? motion[6] : 1.0f, withScale ? motion[7] : 1.0f, withScale ? motion[8] : 1.0f};
  for (int row = 0; row < 3; ++row) {
    const float* rr = r + 3 * row;
    for (int col = 0; col < 3; ++col) m[4 * row + col] = rr[col] * scale[col];
    m[4 * row + 3] = rr[0] * px + rr[1] * py + rr[2] * pz + motion[row];
  }
  m[12] = m[13] = m[14] = 0.0f;
  m[15] = 1.0f;
}

// rotation(B, Z) · rotation(−P, X) · rotation(−H, Y) · T(−x, −y, −z) of the camera record.
void freeCameraView(const Renderer& r, float* m) {
  float step[16];
  MathUtil::rotation(r.camB, 0.0f, 0.0f, 1.0f, m);
  MathUtil::rotation(-r.camP, 1.0f, 0.0f, 0.0f, step);
  MathUtil::multiply(m, step, m);
  MathUtil::rotation(-r.camH, 0.0f, 1.0f, 0.0f, step);
  MathUtil::multiply(m, step, m);
  MathUtil::translation(-r.camX, -r.camY, -r.camZ, step);
  MathUtil::multiply(m, step, m);
}

bool validObjectNumber(const Kestrel::KestrelLib& scene, uint32_t number) {
  return number >= 1 && number <= static_cast<uint32_t>(scene.object_size());
}

// A camera's parents do not move its view; their motion is still evaluated into the motion
// record. The walk ends at an unknown parent type, a number outside the scene, or after as
// many steps as there are objects (a loop).
void walkCameraParents(const Kestrel::KestrelLib& scene, const Kestrel::Camera& camera, float time, Renderer& r) {
  const Kestrel::Parent* parent = &camera.parent();
  for (int steps = 0; parent->type() != 0; ++steps) {
    if (parent->type() != 1) {
      if (!r.parentReported) {
        r.parentReported = true;
        platform::showMessageBox("parent not implemented!", "error", platform::MessageIcon::Error);
      }
      return;
    }
    if (steps >= scene.object_size() || !validObjectNumber(scene, parent->number())) return;
    const Kestrel::Object& object = scene.object(static_cast<int>(parent->number()) - 1);
    evaluateObjectMotion(object, time, r.motion);
    parent = &object.parent();
  }
}

}  // namespace

void evaluateCameraMotion(const Kestrel::Camera& camera, float time, Renderer& renderer) {
  const Envelopes& motion = camera.motion();
  renderer.camX = evaluateEnvelope(channel(motion, 0), time);
  renderer.camY = evaluateEnvelope(channel(motion, 1), time);
  renderer.camZ = evaluateEnvelope(channel(motion, 2), time);
  renderer.camH = evaluateEnvelope(channel(motion, 3), time) * renderer.degreesPerRadian;
  renderer.camP = evaluateEnvelope(channel(motion, 4), time) * renderer.degreesPerRadian;
  renderer.camB = evaluateEnvelope(channel(motion, 5), time) * renderer.degreesPerRadian;
}

void evaluateObjectMotion(const Kestrel::Object& object, float time, float* motion) {
  const Envelopes& channels = object.motion();
  for (int i = 0; i < 9; ++i) motion[i] = evaluateEnvelope(channel(channels, i), time);
  for (int i = 3; i < 6; ++i) motion[i] *= kDegreesPerRadian;
}

int objectMatrix(const Kestrel::KestrelLib& scene, int objectIndex, float time, Renderer& renderer) {
  if (objectIndex < 0 || objectIndex >= scene.object_size()) {
    MathUtil::identity(renderer.modelMatrix);
    return 1;
  }
  const Kestrel::Object* current = &scene.object(objectIndex);
  float m[16];
  placement(*current, time, renderer.motion, true, m);
  int steps = 0;
  // Parent type 1 names an object; other non-zero types are taken the same way. Without a
  // loop a chain has fewer parents than the scene has objects.
  while (current->parent().type() != 0 && steps < scene.object_size()) {
    const uint32_t number = current->parent().number();
    if (!validObjectNumber(scene, number)) break;
    current = &scene.object(static_cast<int>(number) - 1);
    float parent[16];
    placement(*current, time, renderer.motion, false, parent);
    MathUtil::multiply(parent, m, m);
    ++steps;
  }
  std::memcpy(renderer.modelMatrix, m, sizeof(m));
  return steps == scene.object_size() ? 1 : 0;
}

float sceneFieldOfView(const Kestrel::Camera& camera, float time, const Renderer& renderer) {
  const float zoom = evaluateEnvelope(camera.zoomfactor(), time);
  const float inverse = 1.0f / zoom;  // a zoom of 0 gives 180 degrees
  return static_cast<float>(2.0 * std::atan(static_cast<double>(inverse)) * renderer.degreesPerRadian);
}

int updateSceneCamera(const Kestrel::KestrelLib& scene, float time, Renderer& renderer, int viewWidth, int viewHeight,
                      bool timerPaused) {
  const bool hasCamera = scene.camera_size() > 0;
  const int chosen = renderer.sceneCamera >= 0 && renderer.sceneCamera < scene.camera_size() ? renderer.sceneCamera : 0;
  const Kestrel::Camera& camera = hasCamera ? scene.camera(chosen) : Kestrel::Camera::default_instance();

  const float fovY = renderer.trackFovY > 0.0f ? renderer.trackFovY : sceneFieldOfView(camera, time, renderer);
  const float aspect = static_cast<float>(viewWidth) / static_cast<float>(viewHeight);
  MathUtil::perspective(fovY, aspect, renderer.sceneNear, renderer.sceneFar, renderer.projectionMatrix);
  MathUtil::transpose(renderer.projectionMatrix);

  if (renderer.cameraSwitch > 0.5f) {  // tracks hold the camera
    const float* eye = renderer.cameraPosition;
    const float* at = renderer.cameraTarget;
    MathUtil::lookAt(eye[0], eye[1], eye[2], at[0], at[1], at[2], 0.0, 1.0, 0.0, renderer.viewMatrix);
    return 0;
  }

  if (camera.target().type() == 0) {
    if (!timerPaused) evaluateCameraMotion(camera, time, renderer);
    freeCameraView(renderer, renderer.viewMatrix);
    walkCameraParents(scene, camera, time, renderer);
    return hasCamera ? 0 : 1;
  }

  const Envelopes& motion = camera.motion();
  if (!timerPaused) {
    renderer.camX = evaluateEnvelope(channel(motion, 0), time);
    renderer.camY = evaluateEnvelope(channel(motion, 1), time);
    renderer.camZ = evaluateEnvelope(channel(motion, 2), time);
    renderer.camB = evaluateEnvelope(channel(motion, 5), time) * renderer.degreesPerRadian;
  }
  if (camera.target().type() != 1) {
    if (!renderer.targetReported) {
      renderer.targetReported = true;
      platform::showMessageBox("target not implemented!", "error", platform::MessageIcon::Error);
    }
    return 1;
  }
  if (!validObjectNumber(scene, camera.target().number())) return 1;

  // The target's own position channels; its pivot and parents are not applied.
  const Envelopes& target = scene.object(static_cast<int>(camera.target().number()) - 1).motion();
  const float targetX = evaluateEnvelope(channel(target, 0), time);
  const float targetY = evaluateEnvelope(channel(target, 1), time);
  const float targetZ = evaluateEnvelope(channel(target, 2), time);

  float bank[16];
  const float upAxis[4] = {0.0f, 1.0f, 0.0f, 0.0f};
  float up[4];
  MathUtil::rotation(renderer.camB, 0.0f, 0.0f, 1.0f, bank);
  MathUtil::transformRow(upAxis, bank, up);  // (−sin B, cos B, 0)
  MathUtil::lookAt(renderer.camX, renderer.camY, renderer.camZ, targetX, targetY, targetZ, up[0], up[1], up[2],
                   renderer.viewMatrix);
  return 0;
}

void computeCameraView(Renderer& renderer) {
  freeCameraView(renderer, renderer.viewMatrix);
  MathUtil::transpose(renderer.viewMatrix);
}

void loadSceneProjection(const Renderer& renderer) {
  cg::setProjection(renderer.projectionMatrix);
  cg::setModelView(cg::kIdentityMatrix);
}
