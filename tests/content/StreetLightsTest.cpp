// The streets' light: lamps stand on the sidewalks and reach over the asphalt, the light map
// lights the streets where the lamps and signs are, and the car trails carry the very cars
// the player lays out.
#include <gtest/gtest.h>

#include <cmath>

#include "Scene01.h"
#include "city/CarTrails.h"
#include "city/StreetLights.h"

namespace {

using content::Vec3;

// The light map's brightness at a world position (scaled back to the light added).
float lightAt(const content::Image& map, float x, float z) {
  const float perUnit = float(content::kGroundLightPixels) / content::kGroundLightSize;
  const int px = int((x - content::kGroundLightOrigin) * perUnit);
  const int pz = int((z - content::kGroundLightOrigin) * perUnit);
  const content::Rgba& p = map.at(px, content::kGroundLightPixels - 1 - pz);
  return (p.r + p.g + p.b) / 3 / content::kGroundLightScale;
}

TEST(StreetLights, LampsStandOnSidewalksReachOverTheAvenueAndLightIt) {
  const content::CityLayout city = content::makeCityLayout();
  const std::vector<content::StreetLamp> lamps = content::streetLamps(city);
  ASSERT_GE(lamps.size(), 300u);
  for (const content::StreetLamp& l : lamps) {
    // The nearest avenue line across the lamp's reach: the foot is on its sidewalk, outside
    // the asphalt, and the head reaches back over it.
    const float across = l.reach.x != 0 ? l.foot.x : l.foot.z;
    float a = city.avenues.front();
    for (float v : city.avenues) a = std::fabs(v - across) < std::fabs(a - across) ? v : a;
    const float hw = content::CityLayout::halfWidth(a);
    EXPECT_GT(std::fabs(across - a), hw);
    EXPECT_LT(std::fabs(across - a), hw + 3);
    const Vec3 tip = l.foot + l.reach * 2.4f;
    EXPECT_LT(std::fabs((l.reach.x != 0 ? tip.x : tip.z) - a), hw);
    for (const content::Tower& t : city.towers)
      for (const content::Box& b : t.tiers)
        EXPECT_FALSE(l.foot.x > b.lo.x && l.foot.x < b.hi.x && l.foot.z > b.lo.z && l.foot.z < b.hi.z);
  }
  const content::Image map = content::groundLightImage(city);
  // Under a lamp's head against the middle of a plain street's crossing: pools stand out.
  const Vec3 pool = lamps.front().foot + lamps.front().reach * 2.2f;
  EXPECT_GT(lightAt(map, pool.x, pool.z), 0.2f);
  EXPECT_LT(lightAt(map, city.lines[1], city.lines[1]), 0.05f);
  // Every sign throws its colour onto the asphalt in front of it.
  const std::vector<content::SignPlate> signs = content::placeSigns(city);
  ASSERT_GE(signs.size(), 20u);
  for (const content::SignPlate& s : signs) {
    const Vec3 mid = (s.corner[0] + s.corner[1]) * 0.5f;
    const Vec3 street = mid + s.facing * 6.0f;
    EXPECT_GT(lightAt(map, street.x, street.z), 0.02f) << "sign at " << mid.x << ", " << mid.z;
  }
}

TEST(CarTrails, CarryTheCarsThePlayerLaysOutOneQuadPerCopy) {
  std::array<CarRecord, 200> playerA, playerB;
  layOutCars(playerA, playerB);
  std::array<content::CarStreamRecord, 200> a, b;
  content::carStreams(a, b);
  for (size_t i = 0; i < 200; ++i) {
    EXPECT_EQ(a[i].a, playerA[i].a);
    EXPECT_EQ(a[i].y, playerA[i].y);
    EXPECT_EQ(a[i].b, playerA[i].b);
    EXPECT_EQ(a[i].speed, playerA[i].speed);
    EXPECT_EQ(b[i].a, playerB[i].a);
    EXPECT_EQ(b[i].y, playerB[i].y);
    EXPECT_EQ(b[i].b, playerB[i].b);
    EXPECT_EQ(b[i].speed, playerB[i].speed);
  }
  const content::Mesh trails = content::carTrails();
  ASSERT_EQ(trails.vertexCount(), 1600u * 4);
  EXPECT_EQ(trails.triangleCount(), 1600u * 2);
  // The first quad: stream A's first car, the copy 220 units to the north, its start and speed.
  EXPECT_EQ(trails.points[0], a[0].b - 220.0f);
  EXPECT_EQ(trails.points[2], 0.0f);
  EXPECT_EQ(trails.normals[0], a[0].a);
  EXPECT_EQ(trails.normals[1], a[0].speed);
}

}  // namespace
