// The far city: it reaches far beyond the detailed grid, never enters it, and tags its
// copy of the detailed city so that the far effect can drop each shape whole.
#include <gtest/gtest.h>

#include <algorithm>

#include "city/FarCity.h"

namespace {

using content::Mesh;

TEST(FarCity, ReachesFarOutsideTheDetailedGridAndTagsItsCopyByShapeInTheMiddleTileOnly) {
  const content::CityLayout city = content::makeCityLayout();
  const content::FarCity far = content::makeFarCity(city);
  const float lo = city.lines.front() - 9, hi = city.lines.back() + 9;  // outer street edges
  auto inGrid = [&](float x, float z) { return x > lo && x < hi && z > lo && z < hi; };
  ASSERT_EQ(far.tiles.size(), 9u);

  content::Vec3 groundLo{1e9f, 1e9f, 1e9f}, groundHi{-1e9f, -1e9f, -1e9f};
  size_t towerTriangles = 0;
  for (size_t tile = 0; tile < far.tiles.size(); ++tile) {
    const content::FarTile& part = far.tiles[tile];
    content::Vec3 a, b;
    part.ground.bounds(a, b);
    groundLo = {std::min(groundLo.x, a.x), std::min(groundLo.y, a.y), std::min(groundLo.z, a.z)};
    groundHi = {std::max(groundHi.x, b.x), std::max(groundHi.y, b.y), std::max(groundHi.z, b.z)};
    towerTriangles += part.towers.triangleCount();
    // The player skips a tile by its bounding box: the middle tile is the grid's copy, and
    // the ring's tiles lie wholly outside the grid.
    part.towers.bounds(a, b);
    if (tile != 0) {
      EXPECT_FALSE(a.x < hi && b.x > lo && a.z < hi && b.z > lo) << "ring tile " << tile;
    }
    for (const Mesh* m : {&part.towers, &part.ground}) {
      size_t copies = 0;
      for (size_t t = 0; t < m->polygons.size(); t += 3) {
        const float* n = &m->normals[size_t(m->polygons[t]) * 3];
        for (int k = 1; k < 3; ++k) {
          const float* o = &m->normals[size_t(m->polygons[t + size_t(k)]) * 3];
          ASSERT_TRUE(std::equal(n, n + 3, o)) << "one triangle, two tags";
        }
        const float* p = &m->points[size_t(m->polygons[t]) * 3];
        if (n[1] == 1.0f) {
          ++copies;
          EXPECT_TRUE(inGrid(n[0], n[2])) << "a copied shape centred outside the grid";
        } else {
          ASSERT_EQ(n[1], 0.0f);
          if (m == &part.towers) {
            EXPECT_FALSE(inGrid(p[0], p[2])) << "a far tower inside the detailed grid";
          }
        }
      }
      EXPECT_EQ(copies, tile == 0 ? m->triangleCount() : 0u) << "tile " << tile;
    }
  }
  EXPECT_LE(groundLo.x, lo - 700);
  EXPECT_GE(groundHi.z, hi + 700);
  EXPECT_LT(groundHi.y, 0.0f) << "the far ground stays under the detailed streets";
  EXPECT_GT(far.tiles[0].towers.triangleCount(), 10u * 576u) << "the copy alone holds a box per detailed tower";
  EXPECT_GT(towerTriangles, far.tiles[0].towers.triangleCount());
}

}  // namespace
