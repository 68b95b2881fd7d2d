#include "city/CityLayout.h"

#include <algorithm>
#include <cmath>

#include "data/Image.h"

namespace content {

Vec3 Tower::roofCentre() const {
  const Box& top = tiers.back();
  return {(top.lo.x + top.hi.x) * 0.5f, top.hi.y, (top.lo.z + top.hi.z) * 0.5f};
}

float CityLayout::halfWidth(float line) {
  bool avenue = line == -220 || line == -110 || line == 0 || line == 110;
  return avenue ? 14.0f : 9.0f;
}

bool CityLayout::isAvenue(float line) const {
  return std::find(avenues.begin(), avenues.end(), line) != avenues.end();
}

namespace {

// Lots (block column, block row, lot column, lot row) that carry the landmark towers, with
// their heights. Block 0 starts at line -550.
struct LandmarkSpot {
  int bx, bz, lx, lz;
  float height;
};
constexpr LandmarkSpot kLandmarks[] = {
    {4, 3, 1, 1, 205},  // centre (-55, -165)
    {3, 4, 1, 1, 185},  // (-165, -55)
    {3, 1, 1, 1, 220},  // (-165, -385): ahead of the flight's last climb
    {5, 4, 1, 1, 165},  // (55, -55)
    {2, 3, 1, 1, 175},  // (-275, -165)
};

float districtHeight(float x, float z, Random& rnd) {
  float dx = x + 110, dz = z + 110;
  float d = std::sqrt(dx * dx + dz * dz);
  float core = 105.0f * std::exp(-(d * d) / (190.0f * 190.0f));
  float h = 14.0f + core * rnd.uniform(0.45f, 1.25f) + rnd.uniform(0, 14);
  if (rnd.chance(0.08f)) h *= 1.5f;  // the odd tall one anywhere
  return std::min(h, 150.0f);
}

}  // namespace

CityLayout makeCityLayout() {
  CityLayout city;
  for (int i = 0; i <= 8; ++i) city.lines.push_back(-550.0f + 110.0f * float(i));
  city.avenues = {-220, -110, 0, 110};
  city.extentLo = city.lines.front() + 45;
  city.extentHi = city.lines.back() - 45;
  Random rnd(120303);

  const int blocks = int(city.lines.size()) - 1;
  for (int bz = 0; bz < blocks; ++bz) {
    for (int bx = 0; bx < blocks; ++bx) {
      float ax = city.lines[bx], bxl = city.lines[bx + 1];
      float az = city.lines[bz], bzl = city.lines[bz + 1];
      // Buildable area: inside the streets and a 3-unit sidewalk; three lots each way with
      // 2-unit alleys between them.
      float x0 = ax + CityLayout::halfWidth(ax) + 3, x1 = bxl - CityLayout::halfWidth(bxl) - 3;
      float z0 = az + CityLayout::halfWidth(az) + 3, z1 = bzl - CityLayout::halfWidth(bzl) - 3;
      float lotW = (x1 - x0 - 4) / 3, lotD = (z1 - z0 - 4) / 3;
      for (int lz = 0; lz < 3; ++lz) {
        for (int lx = 0; lx < 3; ++lx) {
          float lox = x0 + float(lx) * (lotW + 2), loz = z0 + float(lz) * (lotD + 2);
          float hix = lox + lotW, hiz = loz + lotD;
          Tower t;
          t.seed = int(rnd.uniform() * 1e6f);
          float h = districtHeight((lox + hix) * 0.5f, (loz + hiz) * 0.5f, rnd);
          bool outskirts = bx == 0 || bz == 0 || bx == blocks - 1 || bz == blocks - 1;
          if (outskirts) h = std::min(h, 16.0f + rnd.uniform(0, 22));
          for (const LandmarkSpot& s : kLandmarks) {
            if (s.bx == bx && s.bz == bz && s.lx == lx && s.lz == lz) {
              t.landmark = true;
              h = s.height;
            }
          }
          float m = t.landmark ? 0.5f : 1.0f;
          Box base{{lox + rnd.uniform(0.5f, 3.5f) * m, 0, loz + rnd.uniform(0.5f, 3.5f) * m},
                   {hix - rnd.uniform(0.5f, 3.5f) * m, 0, hiz - rnd.uniform(0.5f, 3.5f) * m}};
          float r = rnd.uniform();
          int tiers = t.landmark ? 3 : (r < 0.4f ? 1 : (r < 0.8f ? 2 : 3));
          if (h < 26) tiers = 1;
          float y = 0;
          Box b = base;
          for (int k = 0; k < tiers; ++k) {
            float share = k + 1 == tiers ? 1.0f : (k == 0 ? rnd.uniform(0.55f, 0.75f) : rnd.uniform(0.6f, 0.8f));
            float top = k + 1 == tiers ? h : y + (h - y) * share;
            b.lo.y = y, b.hi.y = std::floor(top / 3.5f + 0.5f) * 3.5f;
            if (b.hi.y <= y) b.hi.y = y + 3.5f;
            t.tiers.push_back(b);
            y = b.hi.y;
            // The next tier steps back from this one's edges.
            float inset = t.landmark ? 2.5f : rnd.uniform(1.5f, 3.5f);
            b.lo.x += inset, b.lo.z += inset, b.hi.x -= inset, b.hi.z -= inset;
            if (b.hi.x - b.lo.x < 5 || b.hi.z - b.lo.z < 5) break;
          }
          t.facade = t.landmark ? 0 : (h > 70 ? (rnd.chance(0.6f) ? 0 : 2) : rnd.below(3));
          t.mast = t.landmark || (h > 45 && rnd.chance(0.35f));
          if (t.mast) {
            Vec3 c = t.roofCentre();
            t.mastTop = {c.x, c.y + (t.landmark ? 30.0f : rnd.uniform(6, 14)), c.z};
          }
          if (t.landmark) city.landmarks.push_back(int(city.towers.size()));
          city.towers.push_back(std::move(t));
        }
      }
    }
  }
  return city;
}

}  // namespace content
