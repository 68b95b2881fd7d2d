// The archive's meshes, read back with the engine's mesh loaders.
#include <gtest/gtest.h>

#include <cmath>

#include "ContentFixtures.h"
#include "car/VeltroCar.h"

namespace {

struct V3 {
  float x, y, z;
};
V3 at(const std::vector<float>& a, int i) { return {a[3 * i], a[3 * i + 1], a[3 * i + 2]}; }
V3 sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Every triangle of a well-formed mesh: indices in range, not degenerate, and wound
// counter-clockwise around its vertices' normal (so back-face culling keeps the outside).
void expectSoundTriangles(const MmfMesh& m) {
  int n = int(m.points.size() / 3);
  ASSERT_EQ(m.normals.size(), m.points.size());
  ASSERT_EQ(m.uvs.size() / 2, m.points.size() / 3);
  ASSERT_EQ(m.polygons.size() % 3, 0u);
  for (size_t t = 0; t < m.polygons.size(); t += 3) {
    int a = m.polygons[t], b = m.polygons[t + 1], c = m.polygons[t + 2];
    ASSERT_TRUE(a >= 0 && b >= 0 && c >= 0 && a < n && b < n && c < n) << "triangle " << t / 3;
    V3 face = cross(sub(at(m.points, b), at(m.points, a)), sub(at(m.points, c), at(m.points, a)));
    EXPECT_GT(std::sqrt(dot(face, face)), 1e-7f) << "degenerate triangle " << t / 3;
    EXPECT_GT(dot(face, at(m.normals, a)), 0) << "triangle " << t / 3 << " wound against its normal";
  }
  for (float uv : m.uvs) {
    EXPECT_GE(uv, 0.0f);
    EXPECT_LE(uv, 1.0f);
  }
}

class ArchiveMeshes : public testing::Test {
 protected:
  Loader& loader = content_test::builtArchive();
};

TEST_F(ArchiveMeshes, QuadCoversTheViewportFacingTheViewer) {
  MmfMesh quad;
  ASSERT_EQ(loader.loadMmf(quad), 0);
  ASSERT_EQ(quad.points.size(), 12u);
  ASSERT_EQ(quad.polygons.size(), 6u);
  expectSoundTriangles(quad);
  // Corners at -1 and 1 (clip space under identity transforms), z 0, uvs 0..1 matching.
  for (int i = 0; i < 4; ++i) {
    V3 p = at(quad.points, i);
    EXPECT_EQ(std::fabs(p.x), 1.0f);
    EXPECT_EQ(std::fabs(p.y), 1.0f);
    EXPECT_EQ(p.z, 0.0f);
    EXPECT_EQ(quad.uvs[2 * i], (p.x + 1) / 2);
    EXPECT_EQ(quad.uvs[2 * i + 1], (p.y + 1) / 2);
    EXPECT_EQ(at(quad.normals, i).z, 1.0f);
  }
  ASSERT_EQ(quad.textures.size(), 1u);
  EXPECT_EQ(quad.textures[0].source, "textures\\gradient.png");
}

TEST_F(ArchiveMeshes, EnvironmentCubeIsAHundredUnitsWithOutwardFaces) {
  MmfMesh cube;
  ASSERT_EQ(loader.loadBinMmf("objects/cube_env100out.mmf", cube), 0);
  ASSERT_EQ(cube.polygons.size(), 36u);
  expectSoundTriangles(cube);
  for (size_t i = 0; i < cube.points.size() / 3; ++i) {
    V3 p = at(cube.points, int(i)), n = at(cube.normals, int(i));
    EXPECT_EQ(std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z), 150.0f);
    EXPECT_NEAR(dot(p, n), 50.0f, 1e-4f) << "normal not outward at vertex " << i;
  }
}

// The three cars, full, far and distant: the same size and place, all lit.
TEST_F(ArchiveMeshes, CarsAreSmallSleekAndLit) {
  struct Expected {
    const char* member;
    size_t fewest, most;
    bool thinLamps;  // the fin lamps and side markers, thinner than a pixel on a distant car
  };
  for (const Expected& e : {Expected{"objects/veltro.mmf", 60, 300, true}, Expected{"objects/veltro-far.mmf", 40, 80, true},
                            Expected{"objects/veltro-distant.mmf", 10, 20, false}}) {
    SCOPED_TRACE(e.member);
    MmfMesh car;
    ASSERT_EQ(loader.loadBinMmf(e.member, car), 0);
    expectSoundTriangles(car);
    size_t triangles = car.polygons.size() / 3;
    EXPECT_GE(triangles, e.fewest);
    EXPECT_LE(triangles, e.most) << "1,600 instances a frame: keep the car small";
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (size_t i = 0; i < car.points.size(); ++i)
      lo[i % 3] = std::min(lo[i % 3], car.points[i]), hi[i % 3] = std::max(hi[i % 3], car.points[i]);
    EXPECT_NEAR(hi[0] - lo[0], 4.0f, 0.3f);  // length along x
    EXPECT_LT(hi[2] - lo[2], 2.2f);          // narrower than long
    EXPECT_LT(hi[1] - lo[1], 1.6f);          // and low
    EXPECT_NEAR(hi[0] + lo[0], 0.0f, 0.2f);  // centred on x
    // Head lights (white region, lower left of the atlas) on the nose, tail lights (red,
    // beside it) at the back and on top of the fins, the glowing side markers on the flanks:
    // the far car keeps every lamp of the near one.
    bool head = false, tail = false, finLamp = false, marker = false, glowBelow = false;
    for (size_t i = 0; i < car.points.size() / 3; ++i) {
      float u = car.uvs[2 * i], v = car.uvs[2 * i + 1], x = car.points[3 * i], y = car.points[3 * i + 1],
            z = car.points[3 * i + 2];
      if (v < 0.25f && u < 0.25f && x > 1.9f) head = true;
      if (v < 0.25f && u >= 0.25f && u < 0.5f && x < -1.9f) tail = true;
      if (v < 0.25f && u >= 0.25f && u < 0.5f && y > 1.2f) finLamp = true;
      if (v < 0.25f && u >= 0.5f && u < 0.75f && std::fabs(z) > 0.9f) marker = true;
      if (v < 0.25f && u >= 0.5f && u < 0.75f && car.normals[3 * i + 1] < -0.9f) glowBelow = true;
    }
    EXPECT_TRUE(head);
    EXPECT_TRUE(tail);
    EXPECT_TRUE(glowBelow);
    EXPECT_EQ(finLamp, e.thinLamps);
    EXPECT_EQ(marker, e.thinLamps);
  }
}

TEST(CarMesh, BinaryFileKeepsEveryValueOfTheGeneratedMesh) {
  content::Mesh generated = content::veltroMesh();
  std::vector<uint8_t> bytes = content_test::member("objects/veltro.mmf");
  Loader loader;
  MmfMesh read;
  ASSERT_EQ(loader.parseBinMmf("objects/veltro.mmf", bytes.data(), bytes.size(), read), 0);
  EXPECT_EQ(read.points, generated.points);
  EXPECT_EQ(read.normals, generated.normals);
  EXPECT_EQ(read.uvs, generated.uvs);
  ASSERT_EQ(read.polygons.size(), generated.polygons.size());
  for (size_t i = 0; i < read.polygons.size(); ++i) EXPECT_EQ(uint32_t(read.polygons[i]), generated.polygons[i]);
}

}  // namespace
