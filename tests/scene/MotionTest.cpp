#include <gtest/gtest.h>

#include <cmath>

#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "support/TestSupport.h"

using testing_support::MessageRecorder;

namespace {

// An envelope holding one value at every time.
void setConstant(Kestrel::Envelope* envelope, float value) {
  Kestrel::Key* key = envelope->add_key();
  key->set_time(0);
  key->set_value(value);
}

// A linear ramp from `from` at 0 s to `to` at 10 s.
void setRamp(Kestrel::Envelope* envelope, float from, float to) {
  for (int i = 0; i < 2; ++i) {
    Kestrel::Key* key = envelope->add_key();
    key->set_time(10.0f * i);
    key->set_value(i ? to : from);
    key->set_spantype(3);
  }
}

// An object with nine channels: position, angles (radians) and scale.
Kestrel::Object* addObject(Kestrel::KestrelLib& scene,
                           std::initializer_list<float> channels = {0, 0, 0, 0, 0, 0, 1, 1, 1}) {
  Kestrel::Object* object = scene.add_object();
  for (float value : channels) setConstant(object->add_motion(), value);
  return object;
}

Kestrel::Camera* addCamera(Kestrel::KestrelLib& scene, std::initializer_list<float> channels, float zoom = 1.0f) {
  Kestrel::Camera* camera = scene.add_camera();
  for (float value : channels) setConstant(camera->add_motion(), value);
  setConstant(camera->mutable_zoomfactor(), zoom);
  return camera;
}

void transform(const float* m, float x, float y, float z, float out[3]) {
  for (int r = 0; r < 3; ++r) out[r] = m[4 * r] * x + m[4 * r + 1] * y + m[4 * r + 2] * z + m[4 * r + 3];
}

void expectSameMatrix(const float* actual, const float* expected, float tolerance = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

constexpr float kHalfPi = 1.5707964f;

}  // namespace

TEST(ObjectMotion, ChannelsInDegreesAndShortListsReadAsZero) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* object = addObject(scene, {1, 2, 3, kHalfPi, 0.5f, -1, 2, 3, 4});
  float motion[9];
  evaluateObjectMotion(*object, 0, motion);
  EXPECT_EQ(motion[0], 1);
  EXPECT_EQ(motion[2], 3);
  EXPECT_FLOAT_EQ(motion[3], 90.0f);
  EXPECT_FLOAT_EQ(motion[4], 0.5f * 57.29578f);
  EXPECT_FLOAT_EQ(motion[5], -57.29578f);
  EXPECT_EQ(motion[8], 4);
  Kestrel::Object* shortList = addObject(scene, {5, 6});
  evaluateObjectMotion(*shortList, 0, motion);
  EXPECT_EQ(motion[1], 6);
  for (int i = 2; i < 9; ++i) EXPECT_EQ(motion[i], 0.0f);
}

TEST(ObjectMotion, PivotIsSubtractedInXAndYAndAddedInZ) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* object = addObject(scene);
  for (float p : {1.0f, 2.0f, 3.0f}) object->add_pivot(p);
  Renderer renderer(nullptr);
  ASSERT_EQ(objectMatrix(scene, 0, 0, renderer), 0);
  float expected[16];
  MathUtil::translation(-1, -2, 3, expected);
  expectSameMatrix(renderer.modelMatrix, expected);
}

TEST(ObjectMotion, HeadingOfHalfPiTurnsLocalXToWorldZ) {
  Kestrel::KestrelLib scene;
  addObject(scene, {0, 0, 0, kHalfPi, 0, 0, 1, 1, 1});
  Renderer renderer(nullptr);
  objectMatrix(scene, 0, 0, renderer);
  float expected[16];
  MathUtil::rotation(90, 0, 1, 0, expected);
  expectSameMatrix(renderer.modelMatrix, expected);
  float p[3];
  transform(renderer.modelMatrix, 1, 0, 0, p);
  EXPECT_NEAR(p[0], 0, 1e-6f);
  EXPECT_NEAR(p[2], 1, 1e-6f);
}

TEST(ObjectMotion, RotationsApplyHeadingThenPitchThenBankThenTranslation) {
  Kestrel::KestrelLib scene;
  addObject(scene, {10, 0, 0, kHalfPi, kHalfPi, 0, 2, 2, 2});
  Renderer renderer(nullptr);
  objectMatrix(scene, 0, 0, renderer);
  float p[3];
  // (1, 0, 0) scaled to (2, 0, 0), heading to (0, 0, 2), pitch +90 raises it to (0, 2, 0).
  transform(renderer.modelMatrix, 1, 0, 0, p);
  EXPECT_NEAR(p[0], 10, 1e-5f);
  EXPECT_NEAR(p[1], 2, 1e-5f);
  EXPECT_NEAR(p[2], 0, 1e-5f);
}

TEST(ObjectMotion, ModelMatrixIsTheProductOfItsFactorsFloatForFloat) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* object = addObject(scene, {1.5f, -2.25f, 3.1f, 0.7f, -1.3f, 2.9f, 0.5f, 1.75f, -2.0f});
  for (float p : {0.3f, -1.7f, 2.2f}) object->add_pivot(p);
  Renderer renderer(nullptr);
  objectMatrix(scene, 0, 0, renderer);
  float motion[9];
  evaluateObjectMotion(*object, 0, motion);
  float m[16], step[16];
  MathUtil::translation(motion[0], motion[1], motion[2], m);
  MathUtil::rotation(-motion[5], 0, 0, 1, step);
  MathUtil::multiply(m, step, m);
  MathUtil::rotation(motion[4], 1, 0, 0, step);
  MathUtil::multiply(m, step, m);
  MathUtil::rotation(motion[3], 0, 1, 0, step);
  MathUtil::multiply(m, step, m);
  MathUtil::translation(-0.3f, 1.7f, 2.2f, step);
  MathUtil::multiply(m, step, m);
  MathUtil::scaling(motion[6], motion[7], motion[8], step);
  MathUtil::multiply(m, step, m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(renderer.modelMatrix[i], m[i]) << "element " << i;
}

TEST(ObjectHierarchy, ParentTranslationLiftsTheChildAndParentScaleIsIgnored) {
  Kestrel::KestrelLib scene;
  addObject(scene, {0, 5, 0, 0, 0, 0, 3, 3, 3});  // object 1, the parent
  Kestrel::Object* child = addObject(scene, {1, 0, 0, 0, 0, 0, 1, 1, 1});
  child->mutable_parent()->set_type(1);
  child->mutable_parent()->set_number(1);
  Renderer renderer(nullptr);
  ASSERT_EQ(objectMatrix(scene, 1, 0, renderer), 0);
  float p[3];
  transform(renderer.modelMatrix, 0, 0, 0, p);
  EXPECT_FLOAT_EQ(p[0], 1);
  EXPECT_FLOAT_EQ(p[1], 5);
  transform(renderer.modelMatrix, 1, 0, 0, p);
  EXPECT_FLOAT_EQ(p[0], 2);  // not scaled by the parent
  // The motion record holds the topmost parent's motion.
  EXPECT_EQ(renderer.motion[1], 5);
  EXPECT_EQ(renderer.motion[6], 3);
}

TEST(ObjectHierarchy, ParentRotationAndPivotApplyAfterTheChild) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* grand = addObject(scene, {0, 0, 7, 0, 0, 0, 1, 1, 1});
  (void)grand;
  Kestrel::Object* parent = addObject(scene, {0, 0, 0, kHalfPi, 0, 0, 1, 1, 1});
  for (float p : {0.0f, 0.0f, 1.0f}) parent->add_pivot(p);
  parent->mutable_parent()->set_type(1);
  parent->mutable_parent()->set_number(1);
  Kestrel::Object* child = addObject(scene, {1, 0, 0, 0, 0, 0, 1, 1, 1});
  child->mutable_parent()->set_type(1);
  child->mutable_parent()->set_number(2);
  Renderer renderer(nullptr);
  ASSERT_EQ(objectMatrix(scene, 2, 0, renderer), 0);
  float p[3];
  // Child origin at (1, 0, 0); the parent's pivot moves it to (1, 0, 1); its heading of 90
  // (+x to +z, +z to -x) turns it to (-1, 0, 1); the grandparent adds 7 to z.
  transform(renderer.modelMatrix, 0, 0, 0, p);
  EXPECT_NEAR(p[0], -1, 1e-5f);
  EXPECT_NEAR(p[1], 0, 1e-5f);
  EXPECT_NEAR(p[2], 8, 1e-5f);
}

TEST(ObjectHierarchy, ParentLoopsAndBadNumbersEndTheWalk) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* a = addObject(scene, {0, 1, 0, 0, 0, 0, 1, 1, 1});
  Kestrel::Object* b = addObject(scene, {0, 1, 0, 0, 0, 0, 1, 1, 1});
  a->mutable_parent()->set_type(1);
  a->mutable_parent()->set_number(2);
  b->mutable_parent()->set_type(1);
  b->mutable_parent()->set_number(1);
  Renderer renderer(nullptr);
  EXPECT_EQ(objectMatrix(scene, 0, 0, renderer), 1);
  Kestrel::Object* self = addObject(scene);
  self->mutable_parent()->set_type(1);
  self->mutable_parent()->set_number(3);
  EXPECT_EQ(objectMatrix(scene, 2, 0, renderer), 1);
  Kestrel::Object* orphan = addObject(scene, {4, 0, 0, 0, 0, 0, 1, 1, 1});
  orphan->mutable_parent()->set_type(1);
  orphan->mutable_parent()->set_number(99);
  EXPECT_EQ(objectMatrix(scene, 3, 0, renderer), 0);
  EXPECT_EQ(renderer.modelMatrix[3], 4);
  EXPECT_EQ(objectMatrix(scene, 4, 0, renderer), 1);  // no such object: identity
  float identity[16];
  MathUtil::identity(identity);
  expectSameMatrix(renderer.modelMatrix, identity, 0);
}

TEST(SceneCamera, ZoomGivesTheFieldOfViewAndProjectionIsKeptInGlOrder) {
  Kestrel::KestrelLib scene;
  Kestrel::Camera* camera = addCamera(scene, {0, 0, 0, 0, 0, 0}, 1.0f);
  Renderer renderer(nullptr);
  EXPECT_FLOAT_EQ(sceneFieldOfView(*camera, 0, renderer), 90.0f);
  ASSERT_EQ(updateSceneCamera(scene, 0, renderer, 1024, 576, false), 0);
  float expected[16];
  MathUtil::perspective(90, 1024.0f / 576.0f, 4, 530, expected);
  MathUtil::transpose(expected);
  expectSameMatrix(renderer.projectionMatrix, expected, 0);
  EXPECT_EQ(renderer.projectionMatrix[11], -1.0f);
  EXPECT_NEAR(renderer.projectionMatrix[0], 576.0f / 1024.0f, 1e-6f);
  // No zoom envelope: 1 / 0 gives 180 degrees, without a message.
  MessageRecorder recorder;
  EXPECT_FLOAT_EQ(sceneFieldOfView(Kestrel::Camera::default_instance(), 0, renderer), 180.0f);
  EXPECT_TRUE(recorder.boxes.empty());
}

TEST(SceneCamera, FreeCameraWithHeadingNinetyLooksAlongPlusX) {
  Kestrel::KestrelLib scene;
  addCamera(scene, {0, 0, 0, kHalfPi, 0, 0});
  Renderer renderer(nullptr);
  updateSceneCamera(scene, 0, renderer, 1024, 576, false);
  EXPECT_FLOAT_EQ(renderer.camH, 90.0f);
  float p[3];
  transform(renderer.viewMatrix, 5, 0, 0, p);
  EXPECT_NEAR(p[0], 0, 1e-5f);
  EXPECT_NEAR(p[1], 0, 1e-5f);
  EXPECT_NEAR(p[2], -5, 1e-5f);
}

TEST(SceneCamera, FreeViewInvertsTheCameraPlacement) {
  Kestrel::KestrelLib scene;
  addCamera(scene, {1, 2, 3, 0.3f, -0.4f, 0.5f});
  Renderer renderer(nullptr);
  updateSceneCamera(scene, 0, renderer, 640, 360, false);
  // placement = T(position) · rotation(H, Y) · rotation(P, X) · rotation(−B, Z)
  float placement[16], step[16];
  MathUtil::translation(renderer.camX, renderer.camY, renderer.camZ, placement);
  MathUtil::rotation(renderer.camH, 0, 1, 0, step);
  MathUtil::multiply(placement, step, placement);
  MathUtil::rotation(renderer.camP, 1, 0, 0, step);
  MathUtil::multiply(placement, step, placement);
  MathUtil::rotation(-renderer.camB, 0, 0, 1, step);
  MathUtil::multiply(placement, step, placement);
  float product[16], identity[16];
  MathUtil::multiply(renderer.viewMatrix, placement, product);
  MathUtil::identity(identity);
  expectSameMatrix(product, identity);
  // computeCameraView gives the same view, transposed for GL.
  float view[16];
  std::copy(renderer.viewMatrix, renderer.viewMatrix + 16, view);
  computeCameraView(renderer);
  MathUtil::transpose(view);
  expectSameMatrix(renderer.viewMatrix, view, 0);
}

TEST(SceneCamera, PausedTimerLeavesTheCameraRecordInCharge) {
  Kestrel::KestrelLib scene;
  Kestrel::Camera* camera = scene.add_camera();
  for (int i = 0; i < 6; ++i) setRamp(camera->add_motion(), 0, 1);
  setConstant(camera->mutable_zoomfactor(), 1);
  Renderer renderer(nullptr);
  updateSceneCamera(scene, 5, renderer, 1024, 576, false);
  EXPECT_FLOAT_EQ(renderer.camX, 0.5f);
  renderer.camX = 10;
  renderer.camH = renderer.camP = renderer.camB = 0;
  updateSceneCamera(scene, 8, renderer, 1024, 576, true);
  EXPECT_EQ(renderer.camX, 10);
  EXPECT_FLOAT_EQ(renderer.camY, 0.5f);
  EXPECT_FLOAT_EQ(renderer.viewMatrix[3], -10);
  EXPECT_FLOAT_EQ(renderer.viewMatrix[7], -0.5f);
}

TEST(SceneCamera, TargetCameraLooksAtTheTargetAndIgnoresHeadingAndPitch) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* target = addObject(scene, {3, 0, -4, 1, 1, 1, 1, 1, 1});
  for (float p : {9.0f, 9.0f, 9.0f}) target->add_pivot(p);  // not applied to the target
  Kestrel::Camera* camera = addCamera(scene, {0, 0, 0, 1.0f, 1.0f, 0});
  camera->mutable_target()->set_type(1);
  camera->mutable_target()->set_number(1);
  Renderer renderer(nullptr);
  renderer.camH = 33;
  renderer.camP = 44;
  ASSERT_EQ(updateSceneCamera(scene, 0, renderer, 1024, 576, false), 0);
  EXPECT_EQ(renderer.camH, 33);
  EXPECT_EQ(renderer.camP, 44);
  float p[3];
  transform(renderer.viewMatrix, 3, 0, -4, p);
  EXPECT_NEAR(p[0], 0, 1e-5f);
  EXPECT_NEAR(p[1], 0, 1e-5f);
  EXPECT_NEAR(p[2], -5, 1e-5f);
}

TEST(SceneCamera, BankRollsTheTargetCameraUpVector) {
  Kestrel::KestrelLib scene;
  addObject(scene, {0, 0, -5, 0, 0, 0, 1, 1, 1});
  Kestrel::Camera* camera = addCamera(scene, {0, 0, 0, 0, 0, kHalfPi});
  camera->mutable_target()->set_type(1);
  camera->mutable_target()->set_number(1);
  Renderer renderer(nullptr);
  updateSceneCamera(scene, 0, renderer, 1024, 576, false);
  // up = (−sin B, cos B, 0) = (−1, 0, 0): world −x appears as view +y.
  float p[3];
  transform(renderer.viewMatrix, -1, 0, -5, p);
  EXPECT_NEAR(p[0], 0, 1e-5f);
  EXPECT_NEAR(p[1], 1, 1e-5f);
}

TEST(SceneCamera, UnknownTargetAndParentTypesAreReportedOnce) {
  Kestrel::KestrelLib scene;
  addObject(scene);
  Kestrel::Camera* camera = addCamera(scene, {1, 2, 3, 0, 0, 0});
  camera->mutable_target()->set_type(2);
  Renderer renderer(nullptr);
  std::fill(renderer.viewMatrix, renderer.viewMatrix + 16, 7.0f);
  MessageRecorder recorder;
  for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(updateSceneCamera(scene, 0, renderer, 1024, 576, false), 1);
  EXPECT_EQ(renderer.viewMatrix[0], 7.0f);  // the previous view stays
  EXPECT_EQ(renderer.camX, 1.0f);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "target not implemented!");
  EXPECT_EQ(recorder.boxes[0].caption, "error");

  camera->mutable_target()->set_type(0);
  camera->mutable_parent()->set_type(3);
  for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(updateSceneCamera(scene, 0, renderer, 1024, 576, false), 0);
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[1].text, "parent not implemented!");
  EXPECT_EQ(recorder.boxes[1].caption, "error");
  EXPECT_EQ(renderer.viewMatrix[3], -1.0f);
}

TEST(SceneCamera, CameraParentsDoNotMoveTheViewAndLoopsEnd) {
  Kestrel::KestrelLib scene;
  Kestrel::Object* a = addObject(scene, {0, 8, 0, 0, 0, 0, 1, 1, 1});
  a->mutable_parent()->set_type(1);
  a->mutable_parent()->set_number(1);  // its own parent
  Kestrel::Camera* camera = addCamera(scene, {1, 2, 3, 0, 0, 0});
  camera->mutable_parent()->set_type(1);
  camera->mutable_parent()->set_number(1);
  Renderer renderer(nullptr);
  MessageRecorder recorder;
  EXPECT_EQ(updateSceneCamera(scene, 0, renderer, 1024, 576, false), 0);
  EXPECT_EQ(renderer.viewMatrix[7], -2.0f);
  EXPECT_EQ(renderer.motion[1], 8.0f);
  EXPECT_TRUE(recorder.boxes.empty());
}

TEST(SceneCamera, SceneWithoutCameraUsesAnEmptyOne) {
  Kestrel::KestrelLib scene;
  Renderer renderer(nullptr);
  EXPECT_EQ(updateSceneCamera(scene, 0, renderer, 1024, 576, false), 1);
  EXPECT_EQ(renderer.camY, 0.0f);
  EXPECT_TRUE(std::isfinite(renderer.projectionMatrix[0]));
}
