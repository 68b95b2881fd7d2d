// Scene lights as effects see them: photometric units to the renderer's, view-space placement,
// spot cones, and which lights an effect gets when a scene has more than it takes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/SceneLights.h"

namespace {

Kestrel::Light light(Kestrel::LightType type, float intensity) {
  Kestrel::Light l;
  l.set_type(type);
  l.set_r(1), l.set_g(0.5f), l.set_b(0.25f);
  l.set_intensity(intensity);
  return l;
}

// Row-major: a node at (x, y, z) in view space, turned a quarter turn about -X (its -Z then
// points along -Y, straight down).
std::vector<float> placed(float x, float y, float z) {
  return {1, 0, 0, x, 0, 0, 1, y, 0, -1, 0, z, 0, 0, 0, 1};
}

}  // namespace

TEST(SceneLights, IntensitiesBecomeWattsAndLightsTakeTheirNodesPlaceAndAxis) {
  // 683 candela at 2 units: one watt per steradian, a quarter of it reaching the camera.
  const std::vector<float> m = placed(0, 0, -2);
  const SceneLight point = sceneLight(light(Kestrel::POINT, 683.0f), m.data());
  EXPECT_FLOAT_EQ(point.colour[0], 1.0f);
  EXPECT_FLOAT_EQ(point.colour[1], 0.5f);
  EXPECT_FLOAT_EQ(point.colour[2], 0.25f);
  EXPECT_EQ(point.position[3], 1.0f);
  EXPECT_FLOAT_EQ(point.position[2], -2.0f);
  EXPECT_FLOAT_EQ(point.rank, 0.25f);
  EXPECT_FLOAT_EQ(point.cone[0], 0.0f) << "a point light has no cone";
  EXPECT_FLOAT_EQ(point.cone[1], 1.0f);

  // A sun shines along its node's -Z; the effect gets the direction towards it.
  const SceneLight sun = sceneLight(light(Kestrel::DISTANT, 2 * 683.0f), m.data());
  EXPECT_EQ(sun.position[3], 0.0f);
  EXPECT_NEAR(sun.position[1], 1.0f, 1e-6) << "straight down: the light is above";
  EXPECT_NEAR(sun.axis[1], -1.0f, 1e-6);
  EXPECT_FLOAT_EQ(sun.colour[0], 2.0f);

  // A spot of inner 0.2 and outer 0.4 radians: full at cos 0.2, none at cos 0.4.
  Kestrel::Light spotRecord = light(Kestrel::SPOT, 683.0f);
  spotRecord.set_innercone(0.2f);
  spotRecord.set_outercone(0.4f);
  spotRecord.set_range(5.0f);
  const SceneLight spot = sceneLight(spotRecord, m.data());
  EXPECT_NEAR(std::cos(0.2f) * spot.cone[0] + spot.cone[1], 1.0f, 1e-4);
  EXPECT_NEAR(std::cos(0.4f) * spot.cone[0] + spot.cone[1], 0.0f, 1e-4);
  EXPECT_FLOAT_EQ(spot.colour[3], 5.0f);

  EXPECT_NEAR(srgbEncode(0.5f), 0.7354f, 1e-4);
  EXPECT_FLOAT_EQ(srgbEncode(2.0f), 1.0f);
}

TEST(SceneLights, AnEffectGetsTheEightThatLightTheCameraMost) {
  std::vector<SceneLight> lights;
  for (int i = 0; i < 12; ++i) {
    const std::vector<float> m = placed(0, 0, -1.0f - static_cast<float>(i));
    lights.push_back(sceneLight(light(Kestrel::POINT, 683.0f), m.data()));
  }
  lights.push_back(sceneLight(light(Kestrel::DISTANT, 0.5f * 683.0f), nullptr));  // ranks 0.5, between the 1st and 2nd
  ASSERT_EQ(chooseLights(lights.data(), static_cast<int>(lights.size())), kSceneLightLimit);
  EXPECT_FLOAT_EQ(lights[0].position[2], -1.0f) << "the nearest first";
  EXPECT_EQ(lights[1].position[3], 0.0f) << "then the sun";
  EXPECT_FLOAT_EQ(lights[2].position[2], -2.0f);
  EXPECT_FLOAT_EQ(lights[7].position[2], -7.0f);
  EXPECT_EQ(chooseLights(lights.data(), 3), 3);
}
