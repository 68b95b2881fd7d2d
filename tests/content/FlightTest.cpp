// The camera flight and the animated parts of the city, evaluated with the engine's motion.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "ContentFixtures.h"
#include "city/CameraFlight.h"
#include "city/CityLayout.h"
#include "scene/Envelope.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"

namespace {

class Flight : public testing::Test {
 protected:
  static const Kestrel::KestrelLib& scene() { return content_test::cityScene(); }
  static const Kestrel::Camera& camera() { return scene().camera(0); }
  void cameraAt(float t, float& x, float& y, float& z) {
    x = evaluateEnvelope(camera().motion(0), t);
    y = evaluateEnvelope(camera().motion(1), t);
    z = evaluateEnvelope(camera().motion(2), t);
  }
  // Index of the first object whose dissolve has keys at these values, or -1.
  // The first object whose dissolve has `keys` keys and switches on at firstKeyTime.
  int findDissolving(float firstKeyTime, int keys) {
    for (int i = 0; i < scene().object_size(); ++i) {
      const Kestrel::Envelope& d = scene().object(i).dissolve();
      if (d.key_size() == keys && std::fabs(d.key(1).time() - firstKeyTime) < 1e-4f) return i;
    }
    return -1;
  }
};

TEST_F(Flight, CameraFliesThe120SecondsWithoutEnteringABuilding) {
  content::CityLayout city = content::makeCityLayout();
  float px = 0, py = 0, pz = 0, length = 0;
  for (float t = 0; t <= content::kFlightSeconds; t += 0.1f) {
    float x, y, z;
    cameraAt(t, x, y, z);
    if (t > 0) {
      float step = std::sqrt((x - px) * (x - px) + (y - py) * (y - py) + (z - pz) * (z - pz));
      EXPECT_GT(step, 0.05f) << "camera stands still at " << t << " s";
      EXPECT_LT(step, 6.0f) << "camera jumps at " << t << " s";
      length += step;
    }
    px = x, py = y, pz = z;
    ASSERT_GT(y, 6.0f) << "camera below the traffic at " << t << " s";
    for (const content::Tower& tw : city.towers)
      for (const content::Box& b : tw.tiers) {
        const float m = 2.5f;  // the near plane is 4 units ahead: keep walls out of it
        bool inside = x > b.lo.x - m && x < b.hi.x + m && z > b.lo.z - m && z < b.hi.z + m && y < b.hi.y + m;
        ASSERT_FALSE(inside) << "camera inside a tower at " << t << " s (" << x << ", " << y << ", " << z << ")";
      }
  }
  EXPECT_GT(length, 1000.0f);
}

TEST_F(Flight, LookAtViewMatchesTheCameraRecordViewOnceTheTargetSettles) {
  // The cars are drawn with the view made from the camera record alone; from the moment the
  // target sits straight ahead both views must agree, or the traffic would float off its lanes.
  Renderer r(nullptr);
  int mismatchBefore = 0;
  for (float t = 1; t <= content::kFlightSeconds; t += 0.5f) {
    ASSERT_EQ(updateSceneCamera(scene(), t, r, 1024, 576, false), 0);
    float lookAt[16];
    std::copy(r.viewMatrix, r.viewMatrix + 16, lookAt);
    computeCameraView(r);  // left in GL (column-major) order
    float worst = 0;
    for (int row = 0; row < 4; ++row)
      for (int col = 0; col < 4; ++col) {
        float scale = col == 3 ? 0.001f : 1.0f;  // translations are hundreds of units
        worst = std::max(worst, std::fabs(lookAt[4 * row + col] - r.viewMatrix[4 * col + row]) * scale);
      }
    if (t >= content::kTargetSettled) EXPECT_LT(worst, 2e-4f) << "views differ at " << t << " s";
    else mismatchBefore += worst > 0.05f;
  }
  EXPECT_GT(mismatchBefore, 20) << "the target should lead the view before it settles";
}

TEST_F(Flight, ZoomKeepsAReasonableFieldOfView) {
  Renderer r(nullptr);
  for (float t = 0; t <= content::kFlightSeconds; t += 1) {
    float fov = sceneFieldOfView(camera(), t, r);
    EXPECT_GT(fov, 50.0f) << t;
    EXPECT_LT(fov, 95.0f) << t;
  }
}

constexpr int kSkyObject = 11;  // after the towers, the streets and the far city's nine tiles

TEST_F(Flight, SkyFollowsTheCamera) {
  Renderer r(nullptr);
  for (float t : {0.0f, 30.0f, 77.0f, 119.0f}) {
    ASSERT_EQ(objectMatrix(scene(), kSkyObject, t, r), 0);
    float x, y, z;
    cameraAt(t, x, y, z);
    EXPECT_NEAR(r.modelMatrix[3], x, 1e-3f);
    EXPECT_NEAR(r.modelMatrix[7], y, 1e-3f);
    EXPECT_NEAR(r.modelMatrix[11], z, 1e-3f);
  }
}

TEST_F(Flight, RooftopPartsTurnAndLampsBlinkAndBoardsSwitchOn) {
  Renderer r(nullptr);
  int turning = 0, blinking = 0;
  for (int i = 0; i < scene().object_size(); ++i) {
    const Kestrel::Object& o = scene().object(i);
    if (o.parent().type() == 1 && o.type() == Kestrel::OBJECT) {
      objectMatrix(scene(), i, 1.0f, r);
      float a = r.modelMatrix[0];
      objectMatrix(scene(), i, 3.0f, r);
      turning += std::fabs(r.modelMatrix[0] - a) > 0.05f;
    }
    int changes = 0;
    float last = evaluateEnvelope(o.dissolve(), 10.0f);
    for (float t = 10.05f; t < 12.0f; t += 0.05f) {
      float d = evaluateEnvelope(o.dissolve(), t);
      changes += d != last;
      last = d;
    }
    blinking += changes >= 2;
  }
  EXPECT_GE(turning, 10);
  EXPECT_GE(blinking, 10);
  int board = findDissolving(43.0f, 3);
  ASSERT_GE(board, 0);
  EXPECT_NE(evaluateEnvelope(scene().object(board).dissolve(), 42.9f), 0.0f);
  EXPECT_EQ(evaluateEnvelope(scene().object(board).dissolve(), 43.0f), 0.0f);
  EXPECT_NE(evaluateEnvelope(scene().object(board).dissolve(), 101.5f), 0.0f) << "the first board goes dark again";
  // Searchlights answer the music: on at the drop, dark through the breakdown, back after.
  int beam = findDissolving(43.0f, 5);
  ASSERT_GE(beam, 0);
  for (auto [t, on] : {std::pair{42.9f, false}, {60.0f, true}, {80.0f, false}, {90.0f, true}, {117.0f, false}})
    EXPECT_EQ(evaluateEnvelope(scene().object(beam).dissolve(), t) == 0.0f, on) << t << " s";
}

}  // namespace
