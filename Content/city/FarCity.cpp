#include "city/FarCity.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "city/CityTextures.h"
#include "data/Image.h"

namespace content {
namespace {

// The far effect reads the normal as a tag, not as a direction: (x, 1, z) marks the plain
// copy of the detailed city, with the centre (x, z) of the shape the vertex belongs to so
// that the effect keeps or drops the shape whole; (0, 0, 0) marks the far city itself.
void tag(Mesh& m, uint32_t first, Vec3 n) {
  for (size_t i = size_t(first) * 3; i + 2 < m.normals.size(); i += 3)
    m.normals[i] = n.x, m.normals[i + 1] = n.y, m.normals[i + 2] = n.z;
}

// One box's walls, mapped into the far-facade atlas at whole cells from (cellU, cellV), so
// that windows keep their size on every face and floors line up around the box; its roof
// has the texture coordinates (-1, -1).
void addFarBox(Mesh& m, Vec3 lo, Vec3 hi, int cellU, int cellV, bool copy) {
  const uint32_t first = m.vertexCount();
  const float texW = kFarBays * kBayWidth, texH = kFarFloors * kFloorHeight;
  const float u0 = float(cellU) / kFarBays, v0 = float(cellV) / kFarFloors;
  Vec3 corners[4] = {{lo.x, 0, hi.z}, {hi.x, 0, hi.z}, {hi.x, 0, lo.z}, {lo.x, 0, lo.z}};
  // The walls as one band around the box: neighbouring walls meet with the same texture
  // coordinates, so they share their corner vertices (10 instead of 16, each shaded once).
  float along = 0;
  for (int k = 0; k <= 4; ++k) {
    const Vec3 a = corners[k % 4];
    const float u = u0 + along / texW;
    m.addVertex({a.x, lo.y, a.z}, {}, {}, u, v0 + lo.y / texH);
    m.addVertex({a.x, hi.y, a.z}, {}, {}, u, v0 + hi.y / texH);
    if (k == 4) break;
    const Vec3 c = corners[(k + 1) % 4];
    along += std::fabs(c.x - a.x) + std::fabs(c.z - a.z);
  }
  for (uint32_t k = 0; k < 4; ++k) {
    const uint32_t bottom = first + 2 * k, next = bottom + 2;
    m.addTriangle(bottom, next, next + 1);
    m.addTriangle(bottom, next + 1, bottom + 1);
  }
  m.addQuad({lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}, -1, -1, -1, -1);
  tag(m, first, copy ? Vec3{(lo.x + hi.x) * 0.5f, 1, (lo.z + hi.z) * 0.5f} : Vec3{});
}

// Block indices from lo to hi (exclusive) on both axes, nearest to the city's centre first:
// the camera stays near the centre, so this draws roughly front to back whichever way it
// looks, and hidden walls are rejected before they are shaded.
std::vector<std::pair<int, int>> blocksOutward(int lo, int hi, int centre) {
  std::vector<std::pair<int, int>> blocks;
  for (int bz = lo; bz < hi; ++bz)
    for (int bx = lo; bx < hi; ++bx) blocks.push_back({bx, bz});
  auto key = [centre](const std::pair<int, int>& b) {
    return (b.first - centre) * (b.first - centre) + (b.second - centre) * (b.second - centre);
  };
  std::stable_sort(blocks.begin(), blocks.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
  return blocks;
}

}  // namespace

FarCity makeFarCity(const CityLayout& city) {
  FarCity far;
  const float block = 110.0f, first = city.lines.front();
  const int inner = int(city.lines.size()) - 1;  // detailed blocks per side
  const int lo = -kFarBlocks, hi = inner + kFarBlocks;
  Random rnd(91021);

  // The detailed city's centre block: (-110, -110) lies at its corner.
  const int centre = int((-110.0f - first) / block);
  const std::vector<std::pair<int, int>> order = blocksOutward(lo, hi, centre);
  auto inside = [inner](int bx, int bz) { return bx >= 0 && bx < inner && bz >= 0 && bz < inner; };
  // Tiles: 3 x 3 bands split at the detailed grid's edges, the middle one (the grid) first.
  // Every block is generated in the same order as with one mesh; only the mesh it goes to
  // depends on its tile.
  far.tiles.resize(9);
  auto tile = [&](int bx, int bz) -> FarTile& {
    auto band = [inner](int b) { return b < 0 ? 0 : b < inner ? 1 : 2; };
    const int index = band(bz) * 3 + band(bx);
    return far.tiles[size_t(index == 4 ? 0 : index < 4 ? index + 1 : index)];
  };

  // The detailed towers, tier by tier, with their windows at the far atlas's scale.
  for (auto [bx, bz] : order) {
    if (!inside(bx, bz)) continue;
    float x0 = first + block * float(bx), z0 = first + block * float(bz);
    for (const Tower& t : city.towers) {
      const Box& base = t.tiers.front();
      if (base.lo.x < x0 || base.lo.x >= x0 + block || base.lo.z < z0 || base.lo.z >= z0 + block) continue;
      int cu = int(uint32_t(t.seed) % kFarBays), cv = int(uint32_t(t.seed) / 7 % (kFarFloors / 2));
      for (const Box& b : t.tiers) addFarBox(tile(bx, bz).towers, b.lo, b.hi, cu, cv, true);
    }
  }

  for (auto [bx, bz] : order) {
    if (inside(bx, bz)) continue;
      float x0 = first + block * float(bx) + 12, z0 = first + block * float(bz) + 12;
      float cx = x0 + 43 - (-110), cz = z0 + 43 - (-110);
      float d = std::sqrt(cx * cx + cz * cz);
      // Lower and sparser away from the centre: 2 x 2 lots near, one big lot far out.
      float scale = 10 + 42 * std::exp(-(d * d) / (800.0f * 800.0f));
      int lots = d < 1100 ? 2 : 1;
      float lot = lots == 2 ? 41.0f : 86.0f;
      Mesh& towers = tile(bx, bz).towers;
      for (int lz = 0; lz < lots; ++lz)
        for (int lx = 0; lx < lots; ++lx) {
          if (rnd.chance(0.2f)) continue;
          float ax = x0 + float(lx) * (lot + 4) + rnd.uniform(0, 6), az = z0 + float(lz) * (lot + 4) + rnd.uniform(0, 6);
          float bxw = rnd.uniform(18, lot - 6), bzw = rnd.uniform(18, lot - 6);
          float h = scale * rnd.uniform(0.5f, 1.4f);
          if (rnd.chance(0.06f)) h *= 2.2f;
          h = std::max(7.0f, std::floor(h / kFloorHeight + 0.5f) * kFloorHeight);
          int cu = rnd.below(kFarBays), cv = rnd.below(kFarFloors / 2);
          Vec3 a{ax, 0, az}, b{ax + bxw, h, az + bzw};
          if (h > 40 && rnd.chance(0.5f)) {
            // A setback: a lower podium and a narrower shaft.
            float podium = std::floor(h * 0.35f / kFloorHeight) * kFloorHeight;
            addFarBox(towers, a, {b.x, podium, b.z}, cu, cv, false);
            addFarBox(towers, {a.x + 4, podium, a.z + 4}, {b.x - 4, h, b.z - 4}, cu, cv, false);
          } else {
            addFarBox(towers, a, b, cu, cv, false);
          }
        }
    }

  // The ground in block tiles (the haze is worked out at the vertices).
  for (auto [bx, bz] : order) {
    float x0 = first + block * float(bx), z0 = first + block * float(bz), x1 = x0 + block, z1 = z0 + block;
    Mesh& ground = tile(bx, bz).ground;
    const uint32_t at = ground.vertexCount();
    ground.addQuad({x0, kFarGroundY, z1}, {x1, kFarGroundY, z1}, {x1, kFarGroundY, z0}, {x0, kFarGroundY, z0},
                       float(bx), float(bz + 1), float(bx + 1), float(bz));
    tag(ground, at, inside(bx, bz) ? Vec3{x0 + block * 0.5f, 1, z0 + block * 0.5f} : Vec3{});
  }
  return far;
}

}  // namespace content
