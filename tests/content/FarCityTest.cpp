// The far city: it reaches far beyond the detailed grid, never enters it, and tags its
// copy of the detailed city so that the far effect can drop each shape whole.
#include <gtest/gtest.h>

#include <algorithm>

#include "city/FarCity.h"

namespace {

using content::Mesh;

TEST(FarCity, ReachesFarOutsideTheDetailedGridAndTagsItsCopyByShape) {
  const content::CityLayout city = content::makeCityLayout();
  const content::FarCity far = content::makeFarCity(city);
  const float lo = city.lines.front() - 9, hi = city.lines.back() + 9;  // outer street edges
  auto inGrid = [&](float x, float z) { return x > lo && x < hi && z > lo && z < hi; };

  content::Vec3 groundLo, groundHi;
  far.ground.bounds(groundLo, groundHi);
  EXPECT_LE(groundLo.x, lo - 700);
  EXPECT_GE(groundHi.z, hi + 700);
  EXPECT_LT(groundHi.y, 0.0f) << "the far ground stays under the detailed streets";

  for (const Mesh* m : {&far.towers, &far.ground}) {
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
        if (m == &far.towers) {
          EXPECT_FALSE(inGrid(p[0], p[2])) << "a far tower inside the detailed grid";
        }
      }
    }
    EXPECT_GT(copies, 0u);
  }
  EXPECT_GT(far.towers.triangleCount(), 10u * 576u) << "the copy alone holds a box per detailed tower";
}

}  // namespace
