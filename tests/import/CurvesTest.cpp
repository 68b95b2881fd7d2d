#include <gtest/gtest.h>

#include <cmath>

#include "import/GltfCurves.h"
#include "scene/Envelope.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"

using namespace gltf_import;

namespace {

double valueRange(const Curve& c, int component) {
  const size_t stride = static_cast<size_t>(c.components) * (c.mode == Interpolation::CubicSpline ? 3 : 1);
  const size_t skip = c.mode == Interpolation::CubicSpline ? static_cast<size_t>(c.components) : 0;
  float lo = 1e30f, hi = -1e30f;
  for (size_t k = 0; k < c.times.size(); ++k) {
    lo = std::min(lo, c.values[k * stride + skip + static_cast<size_t>(component)]);
    hi = std::max(hi, c.values[k * stride + skip + static_cast<size_t>(component)]);
  }
  return std::max(1e-6, static_cast<double>(hi - lo));
}

// The rotation the engine draws: an object's model matrix, or the transpose of the camera's
// view, with every other channel neutral. Row-major 3x3.
std::array<double, 9> engineRotation(const std::array<Kestrel::Envelope*, 3>& angles, EulerOrder order, float time,
                                     Kestrel::KestrelLib& scene) {
  Renderer renderer(nullptr);
  std::array<double, 9> r{};
  if (order == EulerOrder::Object) {
    MathUtil::identity(renderer.modelMatrix);
    objectMatrix(scene, 0, time, renderer);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r[static_cast<size_t>(3 * i + j)] = renderer.modelMatrix[4 * i + j];
  } else {
    updateSceneCamera(scene, time, renderer, 1024, 576, false);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r[static_cast<size_t>(3 * i + j)] = renderer.viewMatrix[4 * j + i];
  }
  (void)angles;
  return r;
}

double degreesBetween(const std::array<double, 9>& a, const Quat& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const std::array<double, 9> b{1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                                2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                                2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
  double trace = 0;
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) trace += a[static_cast<size_t>(3 * k + i)] * b[static_cast<size_t>(3 * k + i)];
  return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180.0 / 3.141592653589793;
}

}  // namespace

TEST(GltfCurves, TranslationEnvelopesMatchLinearStepAndCubicSamplers) {
  Curve c;
  c.components = 3;
  c.times = {0.0f, 0.5f, 2.0f, 2.25f};
  // A value of the glTF Hermite worked by hand: keys (0 s, 1) out-tangent 2 and (0.5 s, 3)
  // in-tangent -4, at 0.25 s: 0.5*1 + 0.125*0.5*2 + 0.5*3 - 0.125*0.5*(-4) = 2.375.
  c.mode = Interpolation::CubicSpline;
  c.values = {0, 0, 0, 1, -2, 5, 2, 1, 0,   -4, 3, 1, 3, 0, 7, 1, -3, 2,
              0.5f, 1, 1, -1, 4, 6, 2, 2, -8, 6, 0, 0, 2, 2, 0, 0, 0, 0};
  EXPECT_NEAR(c.at(0.25f)[0], 2.375, 1e-5);
  const std::vector<float> cubicValues = c.values;
  for (Interpolation mode : {Interpolation::Linear, Interpolation::Step, Interpolation::CubicSpline}) {
    c.mode = mode;
    c.values = cubicValues;
    if (mode != Interpolation::CubicSpline) {  // the key values alone
      c.values.clear();
      for (size_t k = 0; k < 4; ++k)
        for (size_t i = 0; i < 3; ++i) c.values.push_back(cubicValues[k * 9 + 3 + i]);
    }
    for (int component = 0; component < 3; ++component) {
      Kestrel::Envelope envelope;
      componentEnvelope(c, component, 1.0f, envelope);
      const double tolerance = 1e-4 * valueRange(c, component);
      for (float t = -0.5f; t <= 3.0f; t += 0.0037f)
        ASSERT_NEAR(evaluateEnvelope(envelope, t), c.at(t)[static_cast<size_t>(component)], tolerance)
            << "mode " << static_cast<int>(mode) << " component " << component << " at " << t;
    }
  }
  Kestrel::Envelope constant;
  constantEnvelope(4.5f, constant);
  EXPECT_EQ(evaluateEnvelope(constant, -3.0f), 4.5f);
  EXPECT_EQ(evaluateEnvelope(constant, 9.0f), 4.5f);
}

TEST(GltfCurves, RotationsStayWithinATenthOfADegreeForObjectsAndTheCamera) {
  // Whole turns about tilted axes, through the pitch pole: the angles must unwrap and the
  // engine's Euler spans must stay on the quaternion path.
  Curve c;
  c.components = 4;
  c.times = {0.0f, 1.0f, 1.5f, 3.0f, 4.0f};
  const Euler keys[] = {{0, 0, 0}, {2.5, 0.4, -0.3}, {3.0, 1.5707, 0.2}, {-2.8, -0.7, 3.0}, {6.0, 0.1, 0.1}};
  for (const Interpolation mode : {Interpolation::Linear, Interpolation::CubicSpline, Interpolation::Step}) {
    for (const EulerOrder order : {EulerOrder::Object, EulerOrder::Camera}) {
      c.mode = mode;
      c.values.clear();
      for (const Euler& e : keys) {
        const Quat q = eulerToQuat(e, order);
        if (mode == Interpolation::CubicSpline) c.values.insert(c.values.end(), {0.1f, -0.2f, 0.0f, 0.05f});
        c.values.insert(c.values.end(), {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                                         static_cast<float>(q[3])});
        if (mode == Interpolation::CubicSpline) c.values.insert(c.values.end(), {-0.1f, 0.3f, 0.2f, 0.0f});
      }
      Kestrel::KestrelLib scene;
      Kestrel::Object* object = scene.add_object();
      Kestrel::Camera* camera = scene.add_camera();
      for (int i = 0; i < 9; ++i) constantEnvelope(i >= 6 ? 1.0f : 0.0f, *object->add_motion());
      for (int i = 0; i < 6; ++i) constantEnvelope(0.0f, *camera->add_motion());
      constantEnvelope(1.0f, *camera->mutable_zoomfactor());
      auto* motion = order == EulerOrder::Object ? object->mutable_motion() : camera->mutable_motion();
      const std::array<Kestrel::Envelope*, 3> angles{motion->Mutable(3), motion->Mutable(4), motion->Mutable(5)};
      rotationEnvelopes(c, order, 0.05, angles);
      for (const Kestrel::Envelope* e : angles)
        for (int k = 1; k < e->key_size(); ++k)
          ASSERT_LT(std::fabs(e->key(k).value() - e->key(k - 1).value()), 3.1416f)
              << "a key jumps by a turn: mode " << static_cast<int>(mode) << " order " << static_cast<int>(order) << " key " << k << " at " << e->key(k).time() << ": " << e->key(k - 1).value() << " -> " << e->key(k).value();
      for (float t = -0.25f; t <= 4.25f; t += 0.0061f) {
        std::vector<float> v = c.at(t);
        ASSERT_LE(degreesBetween(engineRotation(angles, order, t, scene), {v[0], v[1], v[2], v[3]}), 0.1)
            << "mode " << static_cast<int>(mode) << " order " << static_cast<int>(order) << " at " << t;
      }
    }
  }
}
